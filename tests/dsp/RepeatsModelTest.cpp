#include "dsp/RepeatsModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using ostratapedelay::dsp::Repeat;
using ostratapedelay::dsp::RepeatsModel;
using ostratapedelay::dsp::TapeDelay;

namespace {

// The request the plug-in makes with its default parameters at 120 bpm.
RepeatsModel::Request defaultRequest()
{
    RepeatsModel::Request r;
    r.settings.timeLeft = 0.5;
    r.settings.timeRight = 0.5;
    r.settings.feedback = 0.3;
    r.settings.character = TapeDelay::kMedium;
    r.settings.lowCut = 20.0;
    r.settings.highCut = 20000.0;
    r.settings.slope = 0;
    r.settings.bandwidth = 16000.0;
    r.settings.wobble = 0.3;
    r.driveDb = 0.0;
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

bool sameRepeats(const std::vector<Repeat>& a, const std::vector<Repeat>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Repeat& x = a[i];
        const Repeat& y = b[i];
        if (x.time != y.time || x.right != y.right || x.index != y.index || x.levelDb != y.levelDb
            || x.highHz != y.highHz || x.lowHz != y.lowHz)
            return false;
    }
    return true;
}

} // namespace

TEST(RepeatsModel, SameRequestGivesTheSameResultAfterOtherMeasurements)
{
    const RepeatsModel::Request r = defaultRequest();
    const std::vector<Repeat> first = measure(r);
    ASSERT_FALSE(first.empty());

    RepeatsModel::Request other = defaultRequest();
    other.settings.feedback = 0.9;
    other.settings.timeRight = 0.2;
    other.driveDb = 12.0;
    measure(other);
    // A cancelled run in between must not leave anything behind either.
    std::vector<Repeat> partial;
    int calls = 0;
    EXPECT_FALSE(model().measure(other, partial, [&] { return ++calls == 3; }));

    EXPECT_TRUE(sameRepeats(first, measure(r)));
    RepeatsModel fresh;
    std::vector<Repeat> again;
    EXPECT_TRUE(fresh.measure(r, again, {}));  // prepares itself
    EXPECT_TRUE(fresh.prepared());
    EXPECT_TRUE(sameRepeats(first, again));
}

TEST(RepeatsModel, EqualTimesGiveLeftRightPairsUntilBothSidesAreQuiet)
{
    const std::vector<Repeat> out = measure(defaultRequest());
    ASSERT_GE(out.size(), 4u);
    ASSERT_EQ(out.size() % 2, 0u);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int n = static_cast<int>(i / 2) + 1;
        EXPECT_EQ(out[i].right, i % 2 == 1) << i;
        EXPECT_EQ(out[i].index, n) << i;
        EXPECT_DOUBLE_EQ(out[i].time, 0.5 * n) << i;
        if (i > 1) {
            EXPECT_LT(out[i].levelDb, out[i - 2].levelDb) << i;  // each pass loses level
        }
    }
    // It stopped at the first pair that is quiet on both sides, not later.
    EXPECT_LT(out[out.size() - 1].levelDb, RepeatsModel::kQuietDb);
    EXPECT_LT(out[out.size() - 2].levelDb, RepeatsModel::kQuietDb);
    EXPECT_FALSE(out[out.size() - 3].levelDb < RepeatsModel::kQuietDb
                 && out[out.size() - 4].levelDb < RepeatsModel::kQuietDb);
}

TEST(RepeatsModel, UnequalTimesAreMergedInTimeOrder)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.1;
    r.settings.timeRight = 0.15;
    r.settings.feedback = 0.95;
    r.settings.character = TapeDelay::kPlain;
    r.settings.bandwidth = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_EQ(out.size(), 48u);  // loud enough for every slot on both sides
    int left = 0;
    int right = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(out[i].time, out[i - 1].time) << i;
            if (out[i].time == out[i - 1].time) {
                EXPECT_TRUE(!out[i - 1].right && out[i].right) << "left first at equal times";
            }
        }
        const int n = out[i].right ? ++right : ++left;
        EXPECT_EQ(out[i].index, n);
        EXPECT_DOUBLE_EQ(out[i].time, n * (out[i].right ? 0.15 : 0.1));
    }
    EXPECT_EQ(left, 24);
    EXPECT_EQ(right, 24);
}

TEST(RepeatsModel, PingPongAlternatesFromTheLeft)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.pingPong = true;
    r.settings.timeLeft = 0.1;
    r.settings.timeRight = 0.2;
    r.settings.feedback = 0.95;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 4u);
    ASSERT_LE(out.size(), 24u);
    double t = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        t += i % 2 == 0 ? 0.1 : 0.2;
        EXPECT_EQ(out[i].right, i % 2 == 1) << i;
        EXPECT_EQ(out[i].index, static_cast<int>(i / 2) + 1) << i;
        EXPECT_DOUBLE_EQ(out[i].time, t) << i;
        EXPECT_GT(out[i].levelDb, -60.0) << i;  // every window caught its echo
    }

    // With little feedback the first quiet repeat ends the run and is included.
    r.settings.feedback = 0.2;
    const std::vector<Repeat> quiet = measure(r);
    ASSERT_FALSE(quiet.empty());
    EXPECT_LT(quiet.back().levelDb, RepeatsModel::kQuietDb);
    for (std::size_t i = 0; i + 1 < quiet.size(); ++i)
        EXPECT_GE(quiet[i].levelDb, RepeatsModel::kQuietDb) << i;
}

TEST(RepeatsModel, LevelsFollowThePlainFeedbackExactly)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.1;
    r.settings.timeRight = 0.1;
    r.settings.feedback = 0.5;
    r.settings.character = TapeDelay::kPlain;
    r.settings.bandwidth = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 6u);
    // The first echo is the taped burst itself: near the burst's level.
    EXPECT_GT(out[0].levelDb, -6.0);
    EXPECT_LT(out[0].levelDb, 6.0);
    EXPECT_DOUBLE_EQ(out[0].levelDb, out[1].levelDb);
    // Each further pass multiplies the amplitude by 0.5: -6.02 dB in energy.
    for (std::size_t i = 2; i < 6; ++i)
        EXPECT_NEAR(out[i].levelDb - out[i - 2].levelDb, 20.0 * std::log10(0.5), 1e-3) << i;
}

TEST(RepeatsModel, EchoTimesComeFromTheEngineLimits)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.0;
    r.settings.timeRight = 0.0004;
    r.settings.feedback = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 2u);
    EXPECT_DOUBLE_EQ(out[0].time, 0.001);  // raised to 1 ms (48 samples)
    EXPECT_DOUBLE_EQ(out[1].time, 0.001);
    EXPECT_GT(out[0].levelDb, -20.0);      // the one-sample-or-more burst is still heard
}

TEST(RepeatsModel, LongDelaysStopAtSixtySeconds)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 30.0;  // limited to 6 s by the engine
    r.settings.timeRight = 5.5;
    r.settings.feedback = 0.95;
    r.settings.character = TapeDelay::kPlain;
    const std::vector<Repeat> out = measure(r);
    // Left echoes at 6, 12, ..., 54 s (the one at 60 s starts at the limit);
    // right at 5.5, ..., 55 s (60.5 s is past it).
    int left = 0;
    int right = 0;
    for (const Repeat& x : out) {
        EXPECT_LT(x.time * 48000.0 + 1680.0, 2880000.0 + 1e-6);
        (x.right ? right : left) += 1;
    }
    EXPECT_EQ(left, 9);
    EXPECT_EQ(right, 10);
    EXPECT_DOUBLE_EQ(out.back().time, 55.0);
}

TEST(RepeatsModel, BandEdgesMoveInwardWithEachPass)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.1;
    r.settings.timeRight = 0.1;
    r.settings.feedback = 0.8;
    r.settings.lowCut = 200.0;
    r.settings.highCut = 5000.0;
    r.settings.bandwidth = 0.0;
    const std::vector<Repeat> out = measure(r);
    ASSERT_GE(out.size(), 6u);
    EXPECT_NEAR(out[0].lowHz, 200.0, 1e-9);   // one pass: the corner itself
    EXPECT_NEAR(out[0].highHz, 5000.0, 1e-6);
    EXPECT_EQ(out[0].highHz, out[1].highHz);
    for (std::size_t i = 2; i < out.size(); ++i) {
        EXPECT_GT(out[i].lowHz, out[i - 2].lowHz) << i;
        EXPECT_LT(out[i].highHz, out[i - 2].highHz) << i;
        const int k = out[i].index;
        // k first-order low-passes: half power where (1 + x^2)^k = 2.
        EXPECT_NEAR(out[i].highHz, 5000.0 * std::sqrt(std::pow(2.0, 1.0 / k) - 1.0), 1e-6) << i;
        // k second-order Butterworth high-passes: (1 + x^-4)^k = 2.
        EXPECT_NEAR(out[i].lowHz, 200.0 / std::pow(std::pow(2.0, 1.0 / k) - 1.0, 0.25), 1e-9) << i;
    }

    r.settings.lowCut = 20.0;
    r.settings.highCut = 19900.0;
    const std::vector<Repeat> open = measure(r);
    ASSERT_FALSE(open.empty());
    for (const Repeat& x : open) {
        EXPECT_EQ(x.lowHz, 0.0);
        EXPECT_EQ(x.highHz, std::numeric_limits<double>::infinity());
    }
}

TEST(RepeatsModel, HighEdgeCombinesHighCutAndTapeBandwidth)
{
    EXPECT_EQ(RepeatsModel::highEdge(0.0, 0.0, 1), std::numeric_limits<double>::infinity());
    EXPECT_EQ(RepeatsModel::highEdge(std::nan(""), -1.0, 3), std::numeric_limits<double>::infinity());
    EXPECT_NEAR(RepeatsModel::highEdge(25000.0, 16000.0, 1), 16000.0, 1e-6);  // high cut off
    // Two equal first-order corners: (1 + x^2)^2 = 2 at x = sqrt(sqrt(2) - 1).
    EXPECT_NEAR(RepeatsModel::highEdge(8000.0, 8000.0, 1), 8000.0 * std::sqrt(std::sqrt(2.0) - 1.0), 1e-6);
    // The product of all factors is 2 at the edge.
    const double f = RepeatsModel::highEdge(3000.0, 16000.0, 4);
    const double a = (1.0 + f * f / (3000.0 * 3000.0)) * (1.0 + f * f / (16000.0 * 16000.0));
    EXPECT_NEAR(std::pow(a, 4), 2.0, 1e-9);
    EXPECT_EQ(RepeatsModel::lowEdge(20.0, 1), 0.0);
    EXPECT_EQ(RepeatsModel::lowEdge(std::nan(""), 1), 0.0);
    EXPECT_DOUBLE_EQ(RepeatsModel::lowEdge(80.0, 1), 80.0);
}

TEST(RepeatsModel, CancellationIsCheckedEvery4096Samples)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.2;
    r.settings.timeRight = 0.2;
    r.settings.feedback = 0.9;
    r.settings.character = TapeDelay::kPlain;  // never quiet: all 48 slots

    std::vector<Repeat> out(5);
    int calls = 0;
    EXPECT_FALSE(model().measure(r, out, [&] { return ++calls == 1; }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(out.empty());  // cleared, nothing measured before sample 0

    // Stopping at the 30th check (sample 29 * 4096) keeps only windows closed before it.
    calls = 0;
    EXPECT_FALSE(model().measure(r, out, [&] { return ++calls == 30; }));
    EXPECT_EQ(calls, 30);
    ASSERT_FALSE(out.empty());
    const double window = 0.005 * 48000.0 + 0.03 * 48000.0;  // 5 ms plus the 30 ms burst
    for (const Repeat& x : out)
        EXPECT_LE(std::round(x.time * 48000.0) + window, 29.0 * 4096.0);
    EXPECT_GT(std::round(out.back().time * 48000.0) + 9600.0 + window, 29.0 * 4096.0);

    // A full run calls once per 4096 samples simulated.
    calls = 0;
    EXPECT_TRUE(model().measure(r, out, [&] { ++calls; return false; }));
    ASSERT_EQ(out.size(), 48u);
    const double lastClose = std::round(out.back().time * 48000.0) + window;
    EXPECT_EQ(calls, static_cast<int>(std::ceil(lastClose / 4096.0)));
}

TEST(RepeatsModel, DriveIsClampedToEighteenDecibels)
{
    EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(-30.0), 0.12589254117941673);
    EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(std::nan("")), 0.12589254117941673);
    EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(-18.0), 0.12589254117941673);
    EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(0.0), 1.0);
    EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(24.0), std::pow(10.0, 18.0 / 20.0));
    EXPECT_DOUBLE_EQ(RepeatsModel::driveGain(std::numeric_limits<double>::infinity()), std::pow(10.0, 0.9));

    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.1;
    r.settings.timeRight = 0.1;
    r.driveDb = 18.0;
    const std::vector<Repeat> hot = measure(r);
    r.driveDb = 24.0;
    EXPECT_TRUE(sameRepeats(hot, measure(r)));
    r.driveDb = -18.0;
    const std::vector<Repeat> cold = measure(r);
    r.driveDb = -30.0;
    EXPECT_TRUE(sameRepeats(cold, measure(r)));
    // Saturation at +18 dB takes level off the burst that -18 dB leaves alone.
    ASSERT_FALSE(hot.empty());
    ASSERT_FALSE(cold.empty());
    EXPECT_LT(hot[0].levelDb, cold[0].levelDb - 1.0);
}

TEST(RepeatsModel, WobbleIsIgnoredAndBadSettingsStayFinite)
{
    RepeatsModel::Request r = defaultRequest();
    r.settings.wobble = 0.0;
    const std::vector<Repeat> still = measure(r);
    r.settings.wobble = 2.0;
    EXPECT_TRUE(sameRepeats(still, measure(r)));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    r.settings.timeLeft = nan;
    r.settings.timeRight = std::numeric_limits<double>::infinity();
    r.settings.feedback = nan;
    r.settings.lowCut = nan;
    r.settings.highCut = nan;
    r.settings.bandwidth = nan;
    r.driveDb = nan;
    const std::vector<Repeat> out = measure(r);
    ASSERT_FALSE(out.empty());
    for (const Repeat& x : out) {
        EXPECT_TRUE(std::isfinite(x.time));
        EXPECT_TRUE(std::isfinite(x.levelDb));
        EXPECT_EQ(x.lowHz, 0.0);
    }
}

// The fast path skips silent stretches; the sample-by-sample run is the reference.
TEST(RepeatsModel, SilenceSkipStaysWithinAMillionthOfTheReference)
{
    std::vector<RepeatsModel::Request> requests;
    requests.push_back(defaultRequest());
    RepeatsModel::Request r = defaultRequest();
    r.settings.timeLeft = 0.25;
    r.settings.timeRight = 0.41;
    r.settings.feedback = 0.85;
    r.settings.lowCut = 150.0;
    r.settings.highCut = 3000.0;
    r.driveDb = 12.0;
    requests.push_back(r);
    r.settings.pingPong = true;
    r.settings.slope = 2;
    requests.push_back(r);
    r = defaultRequest();
    r.settings.timeLeft = 2.0;
    r.settings.timeRight = 1.5;
    r.settings.feedback = 0.95;
    r.settings.character = TapeDelay::kPlain;
    requests.push_back(r);

    RepeatsModel reference;
    reference.skipSilence = false;
    for (const RepeatsModel::Request& request : requests) {
        std::vector<Repeat> fast;
        std::vector<Repeat> exact;
        ASSERT_TRUE(model().measure(request, fast, {}));
        ASSERT_TRUE(reference.measure(request, exact, {}));
        ASSERT_EQ(fast.size(), exact.size());
        ASSERT_GE(fast.size(), 4u);
        for (std::size_t i = 0; i < fast.size(); ++i) {
            EXPECT_EQ(fast[i].time, exact[i].time);
            EXPECT_EQ(fast[i].right, exact[i].right);
            EXPECT_EQ(fast[i].index, exact[i].index);
            EXPECT_EQ(fast[i].highHz, exact[i].highHz);
            EXPECT_EQ(fast[i].lowHz, exact[i].lowHz);
            // Energies within 1e-6 relative: 10*log10(1 + 1e-6) dB.
            EXPECT_NEAR(fast[i].levelDb, exact[i].levelDb, 4.4e-6) << i;
        }
    }
}
