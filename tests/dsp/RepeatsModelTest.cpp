#include "dsp/RepeatsModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using ostratapedelay::dsp::Repeat;
using ostratapedelay::dsp::RepeatsModel;
using ostratapedelay::dsp::TapeDelay;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The plug-in's default parameters at 120 bpm, with the given times and feedback.
RepeatsModel::Request request(double timeL = 0.5, double timeR = 0.5, double feedback = 0.3,
                              TapeDelay::Character character = TapeDelay::kMedium)
{
    RepeatsModel::Request r;
    r.settings.timeLeft = timeL;
    r.settings.timeRight = timeR;
    r.settings.feedback = feedback;
    r.settings.character = character;
    r.settings.lowCut = 20.0;
    r.settings.highCut = 20000.0;
    r.settings.slope = 0;
    r.settings.bandwidth = 16000.0;
    r.settings.wobble = 0.3;
    return r;
}

// The model is heavy (two 4.6 MB rings); the tests share one, which also
// shows that measurements do not depend on each other.
RepeatsModel& model()
{
    static RepeatsModel m;
    m.prepare();
    return m;
}

std::vector<Repeat> measure(const RepeatsModel::Request& r)
{
    std::vector<Repeat> out;
    EXPECT_TRUE(model().measure(r, out, {}));
    return out;
}

bool same(const std::vector<Repeat>& a, const std::vector<Repeat>& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Repeat& x, const Repeat& y) {
               return x.time == y.time && x.right == y.right && x.index == y.index && x.levelDb == y.levelDb
                      && x.highHz == y.highHz && x.lowHz == y.lowHz;
           });
}

} // namespace

TEST(RepeatsModel, SameRequestGivesTheSameResultAfterOtherAndCancelledMeasurements)
{
    const std::vector<Repeat> first = measure(request());
    ASSERT_FALSE(first.empty());
    RepeatsModel::Request other = request(0.5, 0.2, 0.9);
    other.driveDb = 12.0;
    measure(other);
    std::vector<Repeat> partial;
    int calls = 0;
    EXPECT_FALSE(model().measure(other, partial, [&] { return ++calls == 3; }));
    EXPECT_TRUE(same(first, measure(request())));

    RepeatsModel fresh;
    std::vector<Repeat> again;
    EXPECT_TRUE(fresh.measure(request(), again, {})); // prepares itself
    EXPECT_TRUE(fresh.prepared());
    EXPECT_TRUE(same(first, again));
}

TEST(RepeatsModel, EqualTimesGiveLeftRightPairsUntilBothSidesAreQuiet)
{
    const std::vector<Repeat> out = measure(request());
    ASSERT_GE(out.size(), 4u);
    ASSERT_EQ(out.size() % 2, 0u);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int n = static_cast<int>(i / 2) + 1;
        EXPECT_EQ(out[i].right, i % 2 == 1) << i;
        EXPECT_EQ(out[i].index, n) << i;
        EXPECT_DOUBLE_EQ(out[i].time, 0.5 * n) << i;
        if (i > 1) {
            EXPECT_LT(out[i].levelDb, out[i - 2].levelDb) << i; // each pass loses level
        }
    }
    // It stopped at the first pair that is quiet on both sides, not later.
    const std::size_t last = out.size() - 1;
    EXPECT_LT(std::max(out[last].levelDb, out[last - 1].levelDb), RepeatsModel::kQuietDb);
    EXPECT_GE(std::max(out[last - 2].levelDb, out[last - 3].levelDb), RepeatsModel::kQuietDb);
}

TEST(RepeatsModel, UnequalTimesAreMergedInTimeOrder)
{
    RepeatsModel::Request r = request(0.1, 0.15, 0.95, TapeDelay::kPlain);
    r.settings.bandwidth = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_EQ(out.size(), 48u); // loud enough for every slot on both sides
    int count[2] = {0, 0};
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(out[i].time, out[i - 1].time) << i;
            if (out[i].time == out[i - 1].time) {
                EXPECT_TRUE(!out[i - 1].right && out[i].right) << "left first at equal times " << i;
            }
        }
        const int n = ++count[out[i].right];
        EXPECT_EQ(out[i].index, n);
        EXPECT_DOUBLE_EQ(out[i].time, n * (out[i].right ? 0.15 : 0.1));
    }
    EXPECT_EQ(count[0], 24);
    EXPECT_EQ(count[1], 24);
}

TEST(RepeatsModel, PingPongAlternatesFromTheLeftAndStopsAtTheFirstQuietRepeat)
{
    RepeatsModel::Request r = request(0.1, 0.2, 0.95);
    r.settings.pingPong = true;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 4u);
    ASSERT_LE(out.size(), 24u);
    double t = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        t += i % 2 == 0 ? 0.1 : 0.2;
        EXPECT_EQ(out[i].right, i % 2 == 1) << i;
        EXPECT_EQ(out[i].index, static_cast<int>(i / 2) + 1) << i;
        EXPECT_DOUBLE_EQ(out[i].time, t) << i;
        EXPECT_GT(out[i].levelDb, -60.0) << i; // every window caught its echo
    }

    r.settings.feedback = 0.2;
    const std::vector<Repeat> quiet = measure(r);
    ASSERT_FALSE(quiet.empty());
    EXPECT_LT(quiet.back().levelDb, RepeatsModel::kQuietDb); // included
    for (std::size_t i = 0; i + 1 < quiet.size(); ++i)
        EXPECT_GE(quiet[i].levelDb, RepeatsModel::kQuietDb) << i;
}

TEST(RepeatsModel, LevelsFollowThePlainFeedbackExactly)
{
    RepeatsModel::Request r = request(0.1, 0.1, 0.5, TapeDelay::kPlain);
    r.settings.bandwidth = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 6u);
    // The first echo is the taped burst itself: near the burst's level.
    EXPECT_NEAR(out[0].levelDb, 0.0, 6.0);
    EXPECT_DOUBLE_EQ(out[0].levelDb, out[1].levelDb);
    for (std::size_t i = 2; i < 6; ++i) // each pass halves the amplitude
        EXPECT_NEAR(out[i].levelDb - out[i - 2].levelDb, 20.0 * std::log10(0.5), 1e-3) << i;
}

TEST(RepeatsModel, EchoTimesComeFromTheEngineLimits)
{
    // Too short: raised to 1 ms, and the burst of at least one sample is still heard.
    std::vector<Repeat> out = measure(request(0.0, 0.0004, 0.0));
    ASSERT_GE(out.size(), 2u);
    EXPECT_DOUBLE_EQ(out[0].time, 0.001);
    EXPECT_DOUBLE_EQ(out[1].time, 0.001);
    EXPECT_GT(out[0].levelDb, -20.0);

    // Too long: limited to 6 s, and nothing past 60 s. Left echoes at 6, ...,
    // 54 s (the one at 60 s starts at the limit); right at 5.5, ..., 55 s.
    out = measure(request(30.0, 5.5, 0.95, TapeDelay::kPlain));
    int count[2] = {0, 0};
    for (const Repeat& x : out) {
        EXPECT_LE(x.time * 48000.0 + 1680.0, 2880000.0 + 1e-6); // 1680: burst plus window margin
        ++count[x.right];
    }
    EXPECT_EQ(count[0], 9);
    EXPECT_EQ(count[1], 10);
    EXPECT_DOUBLE_EQ(out.back().time, 55.0);
}

TEST(RepeatsModel, BandEdgesMoveInwardWithEachPass)
{
    RepeatsModel::Request r = request(0.1, 0.1, 0.8);
    r.settings.lowCut = 200.0;
    r.settings.highCut = 5000.0;
    r.settings.bandwidth = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 6u);
    EXPECT_NEAR(out[0].lowHz, 200.0, 1e-9); // one pass: the corners themselves
    EXPECT_NEAR(out[0].highHz, 5000.0, 1e-6);
    for (std::size_t i = 2; i < out.size(); ++i) {
        const double k = out[i].index;
        EXPECT_LT(out[i].highHz, out[i - 2].highHz) << i;
        // k first-order low-passes: (1 + x^2)^k = 2; k second-order Butterworth
        // high-passes: (1 + x^-4)^k = 2.
        EXPECT_NEAR(out[i].highHz, 5000.0 * std::sqrt(std::pow(2.0, 1.0 / k) - 1.0), 1e-6) << i;
        EXPECT_NEAR(out[i].lowHz, 200.0 / std::pow(std::pow(2.0, 1.0 / k) - 1.0, 0.25), 1e-9) << i;
    }

    r.settings.lowCut = 20.0;
    r.settings.highCut = 19900.0;
    const std::vector<Repeat> open = measure(r);
    ASSERT_FALSE(open.empty());
    for (const Repeat& x : open) {
        EXPECT_EQ(x.lowHz, 0.0);
        EXPECT_EQ(x.highHz, kInf);
    }

    // High cut and tape bandwidth combine: the product of all factors is 2 at the edge.
    EXPECT_EQ(RepeatsModel::highEdge(std::nan(""), -1.0, 3), kInf);
    EXPECT_NEAR(RepeatsModel::highEdge(25000.0, 16000.0, 1), 16000.0, 1e-6); // high cut off
    const double f = RepeatsModel::highEdge(3000.0, 16000.0, 4);
    EXPECT_NEAR(std::pow((1.0 + f * f / 9e6) * (1.0 + f * f / 2.56e8), 4), 2.0, 1e-9);
    EXPECT_EQ(RepeatsModel::lowEdge(std::nan(""), 1), 0.0);
}

TEST(RepeatsModel, CancellationIsCheckedEvery4096Samples)
{
    const RepeatsModel::Request r = request(0.2, 0.2, 0.9, TapeDelay::kPlain); // never quiet: all 48 slots
    std::vector<Repeat> out(5);
    int calls = 0;
    EXPECT_FALSE(model().measure(r, out, [&] { return ++calls == 1; }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(out.empty()); // cleared; nothing measured before sample 0

    // Stopping at the 30th check (sample 29 * 4096) keeps only the windows closed before it.
    calls = 0;
    EXPECT_FALSE(model().measure(r, out, [&] { return ++calls == 30; }));
    EXPECT_EQ(calls, 30);
    ASSERT_FALSE(out.empty());
    const double window = 0.005 * 48000.0 + 0.03 * 48000.0; // 5 ms plus the 30 ms burst
    for (const Repeat& x : out)
        EXPECT_LE(std::round(x.time * 48000.0) + window, 29.0 * 4096.0);
    EXPECT_GT(std::round(out.back().time * 48000.0) + 9600.0 + window, 29.0 * 4096.0);

    // A full run calls once per 4096 samples simulated.
    calls = 0;
    EXPECT_TRUE(model().measure(r, out, [&] {
        ++calls;
        return false;
    }));
    ASSERT_EQ(out.size(), 48u);
    EXPECT_EQ(calls, static_cast<int>(std::ceil((std::round(out.back().time * 48000.0) + window) / 4096.0)));
}

TEST(RepeatsModel, DriveIsClampedToEighteenDecibels)
{
    const struct {
        double db, gain;
    } cases[] = {{-30.0, 0.12589254117941673}, {std::nan(""), 0.12589254117941673}, {-18.0, 0.12589254117941673},
                 {0.0, 1.0},                   {24.0, std::pow(10.0, 0.9)},         {kInf, std::pow(10.0, 0.9)}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(c.db), c.gain) << c.db;

    RepeatsModel::Request r = request(0.1, 0.1);
    r.driveDb = 18.0;
    const std::vector<Repeat> hot = measure(r);
    r.driveDb = 24.0;
    EXPECT_TRUE(same(hot, measure(r)));
    r.driveDb = -18.0;
    const std::vector<Repeat> cold = measure(r);
    r.driveDb = -30.0;
    EXPECT_TRUE(same(cold, measure(r)));
    // Saturation at +18 dB takes level off the burst that -18 dB leaves alone.
    ASSERT_FALSE(hot.empty() || cold.empty());
    EXPECT_LT(hot[0].levelDb, cold[0].levelDb - 1.0);
}

TEST(RepeatsModel, WobbleIsIgnoredAndBadSettingsStayFinite)
{
    RepeatsModel::Request r = request();
    r.settings.wobble = 0.0;
    const std::vector<Repeat> still = measure(r);
    r.settings.wobble = 2.0;
    EXPECT_TRUE(same(still, measure(r)));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    r = request(nan, kInf, nan);
    r.settings.lowCut = r.settings.highCut = r.settings.bandwidth = r.driveDb = nan;
    const std::vector<Repeat> out = measure(r);
    ASSERT_FALSE(out.empty());
    for (const Repeat& x : out) {
        EXPECT_TRUE(std::isfinite(x.time) && std::isfinite(x.levelDb));
        EXPECT_EQ(x.lowHz, 0.0);
    }
}

// The fast path skips silent stretches; the sample-by-sample run is the reference.
TEST(RepeatsModel, SilenceSkipStaysWithinAMillionthOfTheReference)
{
    std::vector<RepeatsModel::Request> requests{request(), request(0.25, 0.41, 0.85), {}, request(2.0, 1.5, 0.95, TapeDelay::kPlain)};
    requests[1].settings.lowCut = 150.0;
    requests[1].settings.highCut = 3000.0;
    requests[1].driveDb = 12.0;
    requests[2] = requests[1];
    requests[2].settings.pingPong = true;
    requests[2].settings.slope = 2;

    RepeatsModel reference;
    reference.skipSilence = false;
    for (const RepeatsModel::Request& rq : requests) {
        std::vector<Repeat> fast, exact;
        ASSERT_TRUE(model().measure(rq, fast, {}));
        ASSERT_TRUE(reference.measure(rq, exact, {}));
        ASSERT_EQ(fast.size(), exact.size());
        ASSERT_GE(fast.size(), 4u);
        for (std::size_t i = 0; i < fast.size(); ++i) {
            EXPECT_TRUE(fast[i].time == exact[i].time && fast[i].right == exact[i].right
                        && fast[i].index == exact[i].index && fast[i].highHz == exact[i].highHz
                        && fast[i].lowHz == exact[i].lowHz)
                << i;
            // Energies within 1e-6 relative: 10*log10(1 + 1e-6) dB.
            EXPECT_NEAR(fast[i].levelDb, exact[i].levelDb, 4.4e-6) << i;
        }
    }
}
