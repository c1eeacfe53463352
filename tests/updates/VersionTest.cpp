#include "updates/Version.h"

#include <gtest/gtest.h>

using corvana::updates::isNewer;
using corvana::updates::parseVersion;

TEST(Version, ReadsExactlyThreeGroupsOfOneToFourDigits)
{
    const auto v = parseVersion("12.0.9999");
    EXPECT_TRUE(v.valid);
    EXPECT_EQ(v.major, 12);
    EXPECT_EQ(v.minor, 0);
    EXPECT_EQ(v.patch, 9999);
    EXPECT_TRUE(parseVersion("0.0.0").valid);
    EXPECT_TRUE(parseVersion("0001.02.3").valid);
    for (const char* bad : {"", "1", "1.0", "1.0.", ".1.0", "1..0", "1.0.0.0", "1.0.0-beta", "1.0.0 ", " 1.0.0",
                            "v1.0.0", "1.0.10000", "10000.0.0", "+1.0.0", "-1.0.0", "1.0.0\n", "1,0,0", "1.a.0"})
        EXPECT_FALSE(parseVersion(bad).valid) << '"' << bad << '"';
    EXPECT_FALSE(parseVersion(std::string_view("1.0.0\0", 6)).valid);
}

TEST(Version, ComparesMajorThenMinorThenPatch)
{
    const auto running = parseVersion("1.2.3");
    EXPECT_TRUE(isNewer(parseVersion("1.2.4"), running));
    EXPECT_TRUE(isNewer(parseVersion("1.3.0"), running));
    EXPECT_TRUE(isNewer(parseVersion("2.0.0"), running));
    EXPECT_FALSE(isNewer(parseVersion("1.2.3"), running));
    EXPECT_FALSE(isNewer(parseVersion("01.02.003"), running)); // same numbers, other spelling
    EXPECT_FALSE(isNewer(parseVersion("1.1.9999"), running));
    EXPECT_FALSE(isNewer(parseVersion("0.9999.9999"), running));
    EXPECT_FALSE(isNewer(parseVersion("9.9.9x"), running));
    EXPECT_FALSE(isNewer(parseVersion("9.9.9"), parseVersion("bad")));
}
