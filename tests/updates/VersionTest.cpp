#include "updates/Version.h"

#include <gtest/gtest.h>

#include <tuple>

using corvana::updates::isNewer;
using corvana::updates::parseVersion;

TEST(Version, ReadsExactlyThreeGroupsOfOneToFourDigits) {
  const auto v = parseVersion("12.0.9999");
  EXPECT_TRUE(v.valid);
  EXPECT_EQ(std::tie(v.major, v.minor, v.patch), std::make_tuple(12, 0, 9999));
  EXPECT_TRUE(parseVersion("0001.02.3").valid);
  for (const char *bad : {"", "1.0", "1.0.", ".1.0", "1..0", "1.0.0.0", "1.0.0-beta", "1.0.0 ", " 1.0.0",
                          "v1.0.0", "1.0.10000", "10000.0.0", "+1.0.0", "-1.0.0", "1,0,0", "1.a.0"})
    EXPECT_FALSE(parseVersion(bad).valid) << '"' << bad << '"';
  EXPECT_FALSE(parseVersion(std::string_view("1.0.0\0", 6)).valid);
}

TEST(Version, ComparesMajorThenMinorThenPatch) {
  const auto running = parseVersion("1.2.3");
  for (const char *newer : {"1.2.4", "1.3.0", "2.0.0"})
    EXPECT_TRUE(isNewer(parseVersion(newer), running)) << newer;
  for (const char *notNewer : {"1.2.3", "01.02.003", "1.1.9999", "0.9999.9999", "9.9.9x"})
    EXPECT_FALSE(isNewer(parseVersion(notNewer), running)) << notNewer;
  EXPECT_FALSE(isNewer(parseVersion("9.9.9"), parseVersion("bad")));
}
