// The parameter table and the note values as hosts and typed text see them.
#include "plugin/Parameters.h"
#include "plugin/NoteValues.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace ostratapedelay::plugin;
using plug::IParam;

namespace
{

std::string shown(IParam& p, double value)
{
  p.Set(value);
  std::string out;
  p.GetDisplayWithLabel(out);
  return out;
}

} // namespace

TEST(Parameters, HostSeesTheTableInIndexOrderWithItsDefaults)
{
  const std::pair<const char*, const char*> rows[] = {{"Bypass", "off"},
                                                      {"Time L", "500.0 ms"},
                                                      {"Time R", "500.0 ms"},
                                                      {"Note L", "1/4"},
                                                      {"Note R", "1/4"},
                                                      {"Sync", "on"},
                                                      {"Link", "on"},
                                                      {"Feedback", "30.0 %"},
                                                      {"Ping Pong", "off"},
                                                      {"Drive", "0.0 dB"},
                                                      {"Low Cut", "Off"},
                                                      {"High Cut", "Off"},
                                                      {"Wobble", "100 %"},
                                                      {"Width", "0"},
                                                      {"Tap", "off"},
                                                      {"Duck", "Off"},
                                                      {"Duck Release", "400 ms"},
                                                      {"Mix", "100 %"}};
  OstraTapeDelay plugin;
  ASSERT_EQ(plugin.NParams(), 18);
  for (int i = 0; i < kNumParams; ++i)
  {
    IParam& p = *plugin.GetParam(i);
    EXPECT_STREQ(p.GetName(), rows[i].first);
    EXPECT_EQ(shown(p, p.Value()), rows[i].second) << rows[i].first;
  }
  // Damaged note indices fall back to "1/4".
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, int> indices[] = {{0.0, 0},    {12.9, 12}, {18.0, 18},
                                            {-0.5, 0},   {19.0, 13}, {-1.0, 13},
                                            {1e300, 13}, {-inf, 13}, {std::nan(""), 13}};
  for (auto [stored, index] : indices)
    EXPECT_EQ(noteValueIndex(stored), index) << stored;
}

TEST(Parameters, CurvesAndOffTextsAtTheExactEnds)
{
  OstraTapeDelay plugin;
  auto p = [&](EParams idx) -> IParam& { return *plugin.GetParam(idx); };
  // Cubic: half the travel covers an eighth of the range.
  EXPECT_DOUBLE_EQ(p(kTimeL).FromNormalized(0.5), 250.875);
  EXPECT_DOUBLE_EQ(p(kTimeR).ToNormalized(250.875), 0.5);

  struct Case
  {
    EParams idx;
    double value;
    const char* text;
  };
  const Case cases[] = {{kTimeL, 250.875, "250.9 ms"},
                        {kLowCut, p(kLowCut).FromNormalized(0.5), "200 Hz"},
                        {kHighCut, p(kHighCut).FromNormalized(0.5), "4472 Hz"},
                        {kDuckRelease, p(kDuckRelease).FromNormalized(0.5), "316 ms"},
                        {kLowCut, 20.0, "Off"},
                        {kLowCut, 20.0 + 1e-7, "20 Hz"},
                        {kHighCut, 20000.0, "Off"},
                        {kHighCut, 20000.0 - 1e-7, "20000 Hz"},
                        {kDuck, 0.0, "Off"},
                        {kDuck, 0.04, "0.0 dB"}};
  for (const Case& c : cases)
    EXPECT_EQ(shown(p(c.idx), c.value), c.text) << c.idx << " at " << c.value;
}
