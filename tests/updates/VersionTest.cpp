#include "updates/Version.h"

#include <gtest/gtest.h>

#include <tuple>

using corvana::updates::isNewer;
using corvana::updates::parseVersion;

TEST(Version, ReadsThreeGroupsOfOneToFourDigitsAndComparesThemInOrder)
{
  const auto v = parseVersion("12.0.9999");
  EXPECT_EQ(std::tie(v.valid, v.major, v.minor, v.patch), std::make_tuple(true, 12, 0, 9999));
  for (const char* bad : {"", "1..0", "1.0.0.0", " 1.0.0", "v1.0.0", "1.0.10000", "-1.0.0"})
    EXPECT_FALSE(parseVersion(bad).valid) << '"' << bad << '"';
  const std::pair<const char*, bool> cases[] = {{"1.2.4", true},     {"1.3.0", true},
                                                {"2.0.0", true},     {"01.02.003", false},
                                                {"1.1.9999", false}, {"0.9999.9999", false}};
  for (const auto& [version, newer] : cases)
    EXPECT_EQ(isNewer(parseVersion(version), parseVersion("1.2.3")), newer) << version;
  EXPECT_FALSE(isNewer(parseVersion("9.9.9"), parseVersion("bad")));
}
