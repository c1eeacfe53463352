// Parameter text must not change when the host process switches to a comma locale.
#include "framework/IParam.h"
#include "framework/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using plug::IParam;

namespace
{

constexpr const char* kCommaLocale = "de_DE.UTF-8";

// Switches LC_NUMERIC to a decimal-comma locale, generated under the build folder when none is
// installed.
class CommaLocale : public testing::Test
{
protected:
  void SetUp() override
  {
    if (!std::setlocale(LC_NUMERIC, kCommaLocale))
    {
      const std::filesystem::path dir = std::filesystem::path(OSTRA_BUILD_DIR) / "test-locales";
      std::error_code ec;
      std::filesystem::create_directories(dir, ec);
      const std::string target = (dir / kCommaLocale).string();
      if (!std::filesystem::exists(target))
      {
        // Test processes may run in parallel: build under a private name, then rename.
        const std::string scratch = target + "." + std::to_string(getpid());
        (void)std::system(
            ("localedef -i de_DE -f UTF-8 '" + scratch + "' >/dev/null 2>&1").c_str());
        std::filesystem::rename(scratch, target, ec);
        std::filesystem::remove_all(scratch, ec);
      }
      setenv("LOCPATH", dir.c_str(), 1);
      if (!std::setlocale(LC_NUMERIC, kCommaLocale))
        GTEST_SKIP() << "no decimal-comma locale " << kCommaLocale
                     << " and localedef could not make one";
    }
    // Guards the tests: they would pass trivially under a '.' locale.
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5");
  }

  void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
};

} // namespace

TEST_F(CommaLocale, DisplayAndTypedNumbersUseADecimalPoint)
{
  IParam time, sign;
  time.InitDouble("Time", 500.0, 1.0, 2000.0, 0.1, "ms", 0, "", IParam::ShapePowCurve(3.0));
  sign.InitDouble("Gain", 0.0, -10.0, 10.0, 0.01, "", IParam::kFlagSignDisplay);
  std::string normalised, labelled, signed_;
  time.GetDisplay(0.5, true, normalised);
  time.Set(1234.5);
  time.GetDisplayWithLabel(labelled);
  sign.GetDisplay(2.25, false, signed_);
  EXPECT_EQ(normalised + "|" + labelled + "|" + signed_, "250.9|1234.5 ms|+2.25");
  EXPECT_EQ(std::vector<double>({time.StringToValue("12.5"), time.StringToValue("12,5"),
                                 plug::ParseLeadingDouble("-0.25e1")}),
            std::vector<double>({12.5, 12.0, -2.5}));
}

TEST(NumberText, FormatsAndParsesLikeTheCLocale)
{
  ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
  for (double v : {0.0, 1.0, -1.0, 0.05, 0.15, 2.5, 1.0 / 3.0, 250.875, -1234.5678, 1e-7,
                   123456789.123, 1e20, 0.045, 2.675, -0.001})
    for (int precision = 0; precision <= 6; ++precision)
    {
      char expected[64];
      std::snprintf(expected, sizeof(expected), "%.*f", precision, v);
      std::string want = expected;
      if (want.find_first_not_of("-0.") == std::string::npos && want[0] == '-')
        want.erase(0, 1); // zero never shows a minus
      EXPECT_EQ(plug::FormatFixed(v, precision), want) << v << " at " << precision;
    }

  for (const char* text :
       {"0",      "12.5",   "  -3.25xyz", "+7",  "1e3",       "1e",     ".5",    "5.",
        "-.5e-1", "abc",    "",           "+-5", "- 5",       "0x10",   "0x1p3", "-0X.8",
        "1e400",  "-1e400", "1e-400",     "inf", "-Infinity", "\t\n42", "0x-1",  "-0x+2"})
    EXPECT_EQ(plug::ParseLeadingDouble(text), std::strtod(text, nullptr)) << '"' << text << '"';
  EXPECT_TRUE(std::isnan(plug::ParseLeadingDouble("nan")));
  EXPECT_EQ(plug::ParseLeadingDouble(nullptr), 0.0);
}
