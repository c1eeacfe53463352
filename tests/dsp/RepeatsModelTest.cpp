#include "dsp/RepeatsModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using ostratapedelay::dsp::Repeat;
using ostratapedelay::dsp::RepeatsModel;
using ostratapedelay::dsp::TapeDelay;

namespace
{

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The plug-in's default parameters, with the given times and feedback.
RepeatsModel::Request request(double timeL = 0.5, double timeR = 0.5, double feedback = 0.3,
                              TapeDelay::Character character = TapeDelay::kMedium,
                              bool pingPong = false)
{
  return {.settings = {timeL, timeR, feedback, pingPong, character, 20.0, 20000.0, 16000.0,
                       TapeDelay::Slope::k6dB, 0.3}};
}

// One model shared by the tests (two 4.6 MB rings), which also shows that
// measurements do not depend on each other.
std::vector<Repeat> measure(const RepeatsModel::Request& r)
{
  static RepeatsModel model;
  std::vector<Repeat> out;
  EXPECT_TRUE(model.measure(r, out, {}));
  return out;
}

bool same(const std::vector<Repeat>& a, const std::vector<Repeat>& b, double levelTolerance = 0.0)
{
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](const Repeat& x, const Repeat& y)
                    {
                      return x.time == y.time && x.right == y.right && x.index == y.index &&
                             x.highHz == y.highHz && x.lowHz == y.lowHz &&
                             std::abs(x.levelDb - y.levelDb) <= levelTolerance;
                    });
}

} // namespace

// Without ping-pong n*tL on the left and n*tR on the right merged in time
// order, left first at equal times; with ping-pong tL, tL+tR, 2tL+tR, ...
// alternating from the left. Times come from the engine's limits.
TEST(RepeatsModel, EchoesFollowTheirPatternInTimeOrderUntilQuiet)
{
  const struct
  {
    RepeatsModel::Request request;
    double tL, tR;
    std::size_t minCount, maxCount;
  } cases[] = {
      {request(), 0.5, 0.5, 4, 48},
      {request(0.1, 0.15, 0.95, TapeDelay::kPlain), 0.1, 0.15, 48,
       48}, // loud enough for every slot
      {request(0.1, 0.2, 0.95, TapeDelay::kMedium, true), 0.1, 0.2, 4, 24},
      {request(0.1, 0.2, 0.2, TapeDelay::kMedium, true), 0.1, 0.2, 2, 23},
      {request(0.0, 0.0004, 0.0), 0.001, 0.001, 2, 48}, // raised to 1 ms
      // Limited to 6 s, and no window (the burst and 5 ms more) closes past
      // 60 s: left echoes at 6, ..., 54 s; right at 5.5, ..., 55 s.
      {request(30.0, 5.5, 0.95, TapeDelay::kPlain), 6.0, 5.5, 19, 19},
  };
  for (const auto& c : cases)
  {
    const bool pingPong = c.request.settings.pingPong;
    const std::vector<Repeat> out = measure(c.request);
    ASSERT_TRUE(out.size() >= c.minCount && out.size() <= c.maxCount) << c.tL << " " << out.size();
    int count[2] = {0, 0};
    double pingPongTime = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
      EXPECT_EQ(out[i].index, ++count[out[i].right]) << c.tL << " " << i;
      pingPongTime += i % 2 == 0 ? c.tL : c.tR;
      EXPECT_DOUBLE_EQ(out[i].time,
                       pingPong ? pingPongTime : out[i].index * (out[i].right ? c.tR : c.tL));
      if (pingPong)
      { // stops at the first quiet repeat, included
        EXPECT_EQ(out[i].right, i % 2 == 1) << i;
        EXPECT_EQ(out[i].levelDb < RepeatsModel::kQuietDb, i + 1 == out.size() && i < 23) << i;
      }
      else if (i > 0)
      {
        EXPECT_TRUE(out[i].time > out[i - 1].time ||
                    (out[i].time == out[i - 1].time && out[i].right))
            << i;
      }
    }
    // Otherwise at the first pair quiet on both sides, included.
    const std::size_t last = out.size() - 1;
    if (!pingPong && out.size() >= 4 && out.size() < c.maxCount)
    {
      EXPECT_LT(std::max(out[last].levelDb, out[last - 1].levelDb), RepeatsModel::kQuietDb) << c.tL;
      EXPECT_GE(std::max(out[last - 2].levelDb, out[last - 3].levelDb), RepeatsModel::kQuietDb)
          << c.tL;
    }
  }
}

TEST(RepeatsModel, BandEdgesMoveInwardWithEachPass)
{
  RepeatsModel::Request r = request(0.1, 0.1, 0.8);
  r.settings.lowCut = 200.0;
  r.settings.highCut = 5000.0;
  r.settings.bandwidth = 0.0;
  const std::vector<Repeat> out = measure(r);
  ASSERT_GE(out.size(), 6u);
  for (const Repeat& x : out)
  {
    // k first-order low-passes: (1 + x^2)^k = 2; k second-order Butterworth
    // high-passes: (1 + x^-4)^k = 2. One pass: the corners themselves.
    const double k = x.index;
    EXPECT_NEAR(x.highHz, 5000.0 * std::sqrt(std::pow(2.0, 1.0 / k) - 1.0), 1e-6) << k;
    EXPECT_NEAR(x.lowHz, 200.0 / std::pow(std::pow(2.0, 1.0 / k) - 1.0, 0.25), 1e-9) << k;
  }
  r.settings.lowCut = 20.0;
  r.settings.highCut = 19900.0;
  for (const Repeat& x : measure(r))
    EXPECT_TRUE(x.lowHz == 0.0 && x.highHz == kInf);
  // High cut and tape bandwidth combine: the product of all factors is 2 at the edge.
  const double f = RepeatsModel::highEdge(3000.0, 16000.0, 4);
  EXPECT_NEAR(std::pow((1.0 + f * f / 9e6) * (1.0 + f * f / 2.56e8), 4), 2.0, 1e-9);
}

// A cancelled measurement leaves no trace: the same request gives the same
// result on any model, after any other.
TEST(RepeatsModel, CancellationIsCheckedEvery4096SamplesAndMeasurementsAreRepeatable)
{
  const RepeatsModel::Request r =
      request(0.2, 0.2, 0.9, TapeDelay::kPlain); // never quiet: all 48 slots
  const double window = 0.005 * 48000.0 + 0.03 * 48000.0;
  RepeatsModel model;
  std::vector<Repeat> out(5);
  int calls = 0;
  EXPECT_FALSE(model.measure(r, out, [&] { return ++calls == 1; }));
  EXPECT_TRUE(calls == 1 && out.empty()); // cleared; nothing measured before sample 0
  // Stopping at the 30th check (sample 29 * 4096) keeps only the windows closed before it.
  calls = 0;
  EXPECT_FALSE(model.measure(r, out, [&] { return ++calls == 30; }));
  ASSERT_FALSE(out.empty());
  EXPECT_LE(std::round(out.back().time * 48000.0) + window, 29.0 * 4096.0);
  EXPECT_GT(std::round(out.back().time * 48000.0) + 9600.0 + window, 29.0 * 4096.0);
  calls = 0;
  EXPECT_TRUE(model.measure(r, out, [&] { return ++calls == 0; }));
  ASSERT_EQ(out.size(), 48u);
  EXPECT_EQ(calls,
            static_cast<int>(std::ceil((std::round(out.back().time * 48000.0) + window) / 4096.0)));
  EXPECT_FALSE(model.measure(request(), out, [&] { return ++calls > 50; }));
  EXPECT_TRUE(model.measure(request(), out, {}));
  EXPECT_TRUE(same(out, measure(request())));
}

TEST(RepeatsModel, DriveIsClampedAndOtherBadSettingsStayFinite)
{
  RepeatsModel::Request r = request(0.1, 0.1);
  std::vector<Repeat> levels[2];
  for (int hot : {0, 1})
  {
    r.driveDb = hot ? 18.0 : -18.0;
    levels[hot] = measure(r);
    r.driveDb = hot ? 24.0 : -30.0;
    EXPECT_TRUE(same(levels[hot], measure(r))) << hot;
    ASSERT_FALSE(levels[hot].empty());
  }
  // Saturation at +18 dB takes level off the burst that -18 dB leaves alone.
  EXPECT_LT(levels[1][0].levelDb, levels[0][0].levelDb - 1.0);
  r.driveDb = kNaN;        // counts as -18 dB
  r.settings.wobble = 2.0; // ignored
  EXPECT_TRUE(same(levels[0], measure(r)));
  r = request(kNaN, kInf, kNaN);
  r.settings.lowCut = r.settings.highCut = r.settings.bandwidth = kNaN;
  const std::vector<Repeat> out = measure(r);
  ASSERT_FALSE(out.empty());
  for (const Repeat& x : out)
    EXPECT_TRUE(std::isfinite(x.time) && std::isfinite(x.levelDb) && x.lowHz == 0.0);
}

// The fast path skips silent stretches; the sample-by-sample run is the reference.
TEST(RepeatsModel, SilenceSkipStaysWithinAMillionthOfTheReference)
{
  RepeatsModel::Request cut = request(0.25, 0.41, 0.85), pingPong;
  cut.settings.lowCut = 150.0;
  cut.settings.highCut = 3000.0;
  cut.driveDb = 12.0;
  pingPong = cut;
  pingPong.settings.pingPong = true;
  pingPong.settings.slope = TapeDelay::Slope::k24dB;
  RepeatsModel reference;
  reference.skipSilence = false;
  for (const RepeatsModel::Request& rq :
       {request(), cut, pingPong, request(2.0, 1.5, 0.95, TapeDelay::kPlain)})
  {
    std::vector<Repeat> exact;
    ASSERT_TRUE(reference.measure(rq, exact, {}));
    ASSERT_GE(exact.size(), 4u);
    EXPECT_TRUE(same(measure(rq), exact, 4.4e-6)); // 10*log10(1 + 1e-6) dB
  }
}
