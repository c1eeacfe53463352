#include "dsp/Tape.h"
#include "dsp/TapeDelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::Tape;
using ostratapedelay::dsp::TapeDelay;

namespace {

constexpr double kRate = 48000.0;

TapeDelay::Settings plainSettings(double timeL, double timeR, double feedback)
{
    TapeDelay::Settings s;
    s.timeLeft = timeL;
    s.timeRight = timeR;
    s.feedback = feedback;
    s.character = TapeDelay::kPlain;
    return s;
}

struct Stereo {
    std::vector<double> left;
    std::vector<double> right;
};

// Runs `frames` samples, with `inL`/`inR` giving the input of each frame.
template <typename In>
Stereo run(TapeDelay& d, int frames, In in)
{
    Stereo out;
    out.left.resize(static_cast<std::size_t>(frames));
    out.right.resize(static_cast<std::size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const auto [l, r] = in(n);
        d.tick(l, r, out.left[static_cast<std::size_t>(n)], out.right[static_cast<std::size_t>(n)]);
    }
    return out;
}

auto impulseAt(int at, double left = 1.0, double right = 1.0)
{
    return [=](int n) { return std::pair<double, double>{n == at ? left : 0.0, n == at ? right : 0.0}; };
}

// Index and value of the largest magnitude.
std::pair<int, double> peak(const std::vector<double>& v, int from = 0, int to = -1)
{
    if (to < 0)
        to = static_cast<int>(v.size());
    int best = from;
    for (int i = from; i < to; ++i)
        if (std::abs(v[static_cast<std::size_t>(i)]) > std::abs(v[static_cast<std::size_t>(best)]))
            best = i;
    return {best, v[static_cast<std::size_t>(best)]};
}

double magnitudeSquared(const Biquad& q, double f, double rate)
{
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
    const std::complex<double> h = (q.b0 + q.b1 * z + q.b2 * z * z) / (1.0 + q.a1 * z + q.a2 * z * z);
    return std::norm(h);
}

} // namespace

TEST(TapeDelay, ImpulseEchoLandsExactlyOnTheDelayAndRecirculates)
{
    TapeDelay d;
    d.prepare(kRate);
    d.set(plainSettings(0.01, 0.015, 0.5));  // 480 and 720 samples
    const Stereo out = run(d, 2000, impulseAt(0, 1.0, -1.0));

    for (int n = 0; n < 2000; ++n) {
        const double expectL = n == 480 ? 1.0 : n == 960 ? 0.5 : n == 1440 ? 0.25 : n == 1920 ? 0.125 : 0.0;
        const double expectR = n == 720 ? -1.0 : n == 1440 ? -0.5 : 0.0;
        ASSERT_EQ(out.left[static_cast<std::size_t>(n)], expectL) << "left sample " << n;
        ASSERT_EQ(out.right[static_cast<std::size_t>(n)], expectR) << "right sample " << n;
    }
}

TEST(TapeDelay, FractionalDelayInterpolatesWithCatmullRom)
{
    TapeDelay d;
    d.prepare(kRate);
    d.set(plainSettings(480.5 / kRate, 480.25 / kRate, 0.0));
    const Stereo out = run(d, 600, impulseAt(0));
    // A unit impulse seen half a sample off: the cubic's weights at t = 0.5 are
    // -1/16, 9/16, 9/16, -1/16.
    EXPECT_NEAR(out.left[479], -0.0625, 1e-12);
    EXPECT_NEAR(out.left[480], 0.5625, 1e-12);
    EXPECT_NEAR(out.left[481], 0.5625, 1e-12);
    EXPECT_NEAR(out.left[482], -0.0625, 1e-12);
    double sum = 0.0;
    for (double v : out.right)
        sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-12);  // Catmull-Rom weights always sum to one
    EXPECT_EQ(peak(out.right).first, 480);
}

TEST(TapeDelay, TapeStageLatencyIsAbsorbedByTheInputOffset)
{
    Tape tape;
    tape.prepare(kRate);
    tape.setMode(Tape::kOversampled);
    tape.jumpDrive(1.0);
    TapeDelay d;
    d.prepare(kRate);
    d.inputOffset = static_cast<std::uint32_t>(tape.latency());
    ASSERT_EQ(d.inputOffset, 31u);
    d.set(plainSettings(0.02, 0.02, 0.0));  // 960 samples

    constexpr int kAt = 200;
    std::vector<double> taped(3000);
    std::vector<double> echo(3000);
    for (int n = 0; n < 3000; ++n) {
        const double t = tape.tick(n == kAt ? 0.25 : 0.0);
        taped[static_cast<std::size_t>(n)] = t;
        double r = 0.0;
        d.tick(t, t, echo[static_cast<std::size_t>(n)], r);
    }
    // The stage delivers the impulse 31 samples late; the echo still follows
    // the dry impulse by exactly the delay time.
    EXPECT_EQ(peak(taped).first, kAt + 31);
    EXPECT_EQ(peak(echo).first, kAt + 960);
    for (int n = kAt; n < 3000 - 960 + 31; ++n)
        ASSERT_EQ(echo[static_cast<std::size_t>(n + 960 - 31)],
                  static_cast<double>(static_cast<float>(taped[static_cast<std::size_t>(n)])))
            << n;
}

TEST(TapeDelay, RecirculationKeepsTheFullDelayWithAnInputOffset)
{
    TapeDelay d;
    d.prepare(kRate);
    d.inputOffset = 31;
    d.set(plainSettings(0.01, 0.01, 0.5));
    const Stereo out = run(d, 2000, impulseAt(100));
    EXPECT_EQ(out.left[100 + 480 - 31], 1.0);
    EXPECT_EQ(out.left[100 + 960 - 31], 0.5);
    EXPECT_EQ(out.left[100 + 1440 - 31], 0.25);
}

TEST(TapeDelay, FirstSetJumpsLaterOnesGlide)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.1, 0.2, 0.3);
    d.set(s);
    EXPECT_EQ(d.delaySamples(false), 4800.0);
    EXPECT_EQ(d.delaySamples(true), 9600.0);
    EXPECT_EQ(d.feedbackCurrent(), 0.3);

    s.timeLeft = 0.2;
    s.feedback = 0.6;
    d.set(s);
    EXPECT_EQ(d.delaySamples(false), 4800.0);  // no jump
    double l = 0.0;
    double r = 0.0;
    d.tick(0.0, 0.0, l, r);
    // One step of a glide whose time constant is the new delay itself.
    EXPECT_NEAR(d.delaySamples(false), 4800.0 + 4800.0 * (1.0 - std::exp(-1.0 / 9600.0)), 1e-9);
    EXPECT_EQ(d.delaySamples(true), 9600.0);
    EXPECT_NEAR(d.feedbackCurrent(), 0.3 + 0.3 * (1.0 - std::exp(-1.0 / (0.02 * kRate))), 1e-12);

    // After about ten time constants the glide has arrived.
    for (int n = 0; n < 96000; ++n)
        d.tick(0.0, 0.0, l, r);
    EXPECT_NEAR(d.delaySamples(false), 9600.0, 0.5);

    // A clear raises the first flag again.
    d.clear();
    s.timeLeft = 0.05;
    s.feedback = 0.1;
    d.set(s);
    EXPECT_EQ(d.delaySamples(false), 2400.0);
    EXPECT_EQ(d.feedbackCurrent(), 0.1);
}

TEST(TapeDelay, DelayTimesAreClampedToTheirRange)
{
    TapeDelay d;
    d.prepare(kRate);
    d.inputOffset = 31;
    d.set(plainSettings(0.0, 10.0, 0.3));
    EXPECT_EQ(d.delaySamples(false), 48.0);  // 1 ms beats 31 + 4 samples at 48 kHz
    EXPECT_EQ(d.delaySamples(true), 6.0 * kRate);

    d.prepare(22050.0);
    d.set(plainSettings(-1.0, std::numeric_limits<double>::quiet_NaN(), 2.0));
    EXPECT_EQ(d.delaySamples(false), 35.0);  // the input offset wins at low rates
    EXPECT_EQ(d.delaySamples(true), 35.0);   // NaN counts as 0
    EXPECT_EQ(d.feedbackCurrent(), 0.95);

    d.clear();
    d.set(plainSettings(std::numeric_limits<double>::infinity(), 1.0, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(d.delaySamples(false), 6.0 * 22050.0);
    EXPECT_EQ(d.feedbackCurrent(), 0.0);
}

TEST(TapeDelay, PrepareSizesTheRingsForSixSecondsAtTheHighestRate)
{
    TapeDelay d;
    d.prepare(44100.0);
    EXPECT_EQ(d.capacity(), 1161608u);
    EXPECT_EQ(d.left().buffer.size(), 1161608u);
    d.prepare(384000.0);
    EXPECT_EQ(d.capacity(), static_cast<std::size_t>(std::ceil(384000.0 * 6.05)) + 8);
    EXPECT_EQ(d.sampleRate(), 384000.0);
    // Going back down keeps the larger allocation.
    d.prepare(48000.0);
    EXPECT_EQ(d.right().buffer.size(), static_cast<std::size_t>(std::ceil(384000.0 * 6.05)) + 8);
    d.prepare(-5.0);
    EXPECT_EQ(d.sampleRate(), 48000.0);
    d.prepare(1e300);
    EXPECT_EQ(d.sampleRate(), TapeDelay::kMaxSampleRate);
    d.prepare(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(d.sampleRate(), 48000.0);
}

TEST(TapeDelay, CutFiltersAreDesignedOnlyInsideTheirRanges)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.1, 0.1, 0.3);

    s.lowCut = 20.0;
    s.highCut = 19900.0;
    s.bandwidth = 0.0;
    d.set(s);
    EXPECT_FALSE(d.left().lowCutOn);
    EXPECT_EQ(d.left().highCutSections, 0);
    EXPECT_FALSE(d.left().bandwidthOn);

    s.highCut = 0.0;
    d.set(s);
    EXPECT_EQ(d.right().highCutSections, 0);

    s.lowCut = 20.5;
    s.highCut = 19899.0;
    s.bandwidth = 16000.0;
    for (TapeDelay::Slope slope : {0, 1, 2, 7}) {
        s.slope = slope;
        d.set(s);
        EXPECT_TRUE(d.left().lowCutOn);
        EXPECT_TRUE(d.right().bandwidthOn);
        EXPECT_EQ(d.right().highCutSections, slope == 0 || slope == 1 ? 1 : 2) << slope;
    }
}

TEST(TapeDelay, CutFiltersHaveTheirCornersWhereAsked)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.1, 0.1, 0.3);
    s.lowCut = 150.0;
    s.highCut = 3000.0;

    s.slope = TapeDelay::kSlope6dB;
    d.set(s);
    EXPECT_NEAR(magnitudeSquared(d.left().highCut1, 3000.0, kRate), 0.5, 1e-9);
    EXPECT_NEAR(magnitudeSquared(d.left().highCut1, 0.0, kRate), 1.0, 1e-12);
    EXPECT_NEAR(magnitudeSquared(d.left().lowCut, 150.0, kRate), 0.5, 1e-9);
    EXPECT_NEAR(magnitudeSquared(d.left().lowCut, 0.0, kRate), 0.0, 1e-20);
    EXPECT_NEAR(magnitudeSquared(d.left().lowCut, 12000.0, kRate), 1.0, 1e-3);

    s.slope = TapeDelay::kSlope12dB;
    d.set(s);
    EXPECT_NEAR(magnitudeSquared(d.left().highCut1, 3000.0, kRate), 0.5, 1e-9);
    EXPECT_NEAR(magnitudeSquared(d.left().highCut1, 24000.0, kRate), 0.0, 1e-20);

    s.slope = TapeDelay::kSlope24dB;
    d.set(s);
    const double both = magnitudeSquared(d.left().highCut1, 3000.0, kRate)
                        * magnitudeSquared(d.left().highCut2, 3000.0, kRate);
    EXPECT_NEAR(both, 0.5, 1e-9);
    // Fourth order: an octave above the corner is about 24 dB down.
    const double octave = magnitudeSquared(d.left().highCut1, 6000.0, kRate)
                          * magnitudeSquared(d.left().highCut2, 6000.0, kRate);
    EXPECT_LT(10.0 * std::log10(octave), -20.0);

    // A cut above the Nyquist limit is designed at 0.49 of the rate and stays stable.
    d.prepare(22050.0);
    s.lowCut = 15000.0;
    d.set(s);
    EXPECT_NEAR(magnitudeSquared(d.left().lowCut, 0.49 * 22050.0, 22050.0), 0.5, 1e-9);
    EXPECT_LT(std::abs(d.left().lowCut.a2), 1.0);
}

TEST(TapeDelay, BandwidthSectionIsAUnityGainOnePole)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.1, 0.1, 0.3);
    s.bandwidth = 16000.0;
    d.set(s);
    const Biquad& q = d.left().bandwidth;
    EXPECT_EQ(q.b2, 0.0);
    EXPECT_EQ(q.a2, 0.0);
    EXPECT_NEAR(magnitudeSquared(q, 0.0, kRate), 1.0, 1e-12);
    // Prewarped at 8 kHz: the pole sits where k = 16000 * tan(pi * 8000 / 48000) / 8000.
    const double k = 16000.0 * std::tan(std::numbers::pi / 6.0) / 8000.0;
    EXPECT_NEAR(q.a1, (k - 1.0) / (1.0 + k), 1e-15);
    EXPECT_LT(magnitudeSquared(q, 20000.0, kRate), 0.5);
}

TEST(TapeDelay, ClearSilencesTheLinesWithoutZeroingTheRings)
{
    TapeDelay d;
    d.prepare(kRate);
    d.set(plainSettings(0.01, 0.01, 0.9));
    run(d, 300, [](int n) { return std::pair<double, double>{std::sin(n * 0.1), std::cos(n * 0.1)}; });
    const auto writeL = d.left().writeIndex;
    const auto writeR = d.right().writeIndex;

    d.clear();
    EXPECT_EQ(d.left().filled, 0u);
    EXPECT_EQ(d.left().writeIndex, writeL);
    EXPECT_EQ(d.right().writeIndex, writeR);
    const auto nonZero = std::count_if(d.left().buffer.begin(), d.left().buffer.begin() + 300,
                                       [](float v) { return v != 0.0f; });
    EXPECT_GT(nonZero, 250);  // the old samples are still there

    d.set(plainSettings(0.01, 0.01, 0.9));
    const Stereo out = run(d, 2000, [](int) { return std::pair<double, double>{0.0, 0.0}; });
    for (std::size_t n = 0; n < out.left.size(); ++n) {
        ASSERT_EQ(out.left[n], 0.0) << n;
        ASSERT_EQ(out.right[n], 0.0) << n;
    }

    // New input after the clear echoes normally.
    const Stereo again = run(d, 600, impulseAt(0));
    EXPECT_EQ(again.left[480], 1.0);
}

TEST(TapeDelay, PingPongBouncesLeftThenRight)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.01, 0.015, 0.5);  // 480 and 720
    s.pingPong = true;
    d.set(s);
    const Stereo out = run(d, 3200, impulseAt(0, 1.0, 0.0));

    const auto [firstL, valueL] = peak(out.left, 0, 1000);
    const auto [firstR, valueR] = peak(out.right, 0, 1500);
    EXPECT_EQ(firstL, 480);
    EXPECT_EQ(valueL, 0.5);  // the mono sum of a left-only impulse
    EXPECT_EQ(firstR, 480 + 720);
    EXPECT_EQ(valueR, 0.5);  // the left echo passes to the right unscaled
    EXPECT_EQ(out.right[480], 0.0);
    EXPECT_EQ(out.left[1200], 0.0);
    // Back on the left after both delays, scaled by the square of the gain.
    EXPECT_EQ(out.left[1200 + 480], 0.5 * 0.25);
    EXPECT_EQ(out.right[1680 + 720], 0.5 * 0.25);
    int nonZero = 0;
    for (double v : out.left)
        nonZero += v != 0.0;
    EXPECT_EQ(nonZero, 3);  // 480, 1680, 2880
}

TEST(TapeDelay, FeedbackZeroGivesASingleEchoForBothCharacters)
{
    for (const auto character : {TapeDelay::kPlain, TapeDelay::kMedium}) {
        TapeDelay d;
        d.prepare(kRate);
        TapeDelay::Settings s = plainSettings(0.01, 0.01, 0.0);
        s.character = character;
        d.set(s);
        const Stereo out = run(d, 3000, impulseAt(0));
        int echoes = 0;
        for (double v : out.left)
            echoes += v != 0.0;
        EXPECT_EQ(echoes, 1);
        EXPECT_EQ(d.lastGain(), 0.0);
    }
}

TEST(TapeDelay, PlainFeedbackGainIsTheSmoothedAmount)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.01, 0.01, 0.4);
    d.set(s);
    s.feedback = 0.8;
    d.set(s);
    double l = 0.0;
    double r = 0.0;
    for (int n = 0; n < 2000; ++n) {
        d.tick(n % 50 == 0 ? 1.0 : 0.0, 0.0, l, r);
        ASSERT_EQ(d.lastGain(), d.feedbackCurrent());
    }
    EXPECT_GT(d.feedbackCurrent(), 0.7);
}

// The medium law checked against an independent scalar model of the two
// followers: g = sqrt(f) while the input is silent, sqrt(f)*in/echo while the
// echoes are louder, sqrt(f)*(echo/in)^E otherwise.
TEST(TapeDelay, MediumFeedbackGainFollowsTheLevelLaw)
{
    for (double feedback : {0.3, 0.7, 0.95}) {
        TapeDelay d;
        d.prepare(kRate);
        TapeDelay::Settings s = plainSettings(0.005, 0.007, feedback);
        s.character = TapeDelay::kMedium;
        d.set(s);

        const double attack = 1.0 - std::exp(-1.0 / (0.002 * kRate));
        const double echoRelease = std::exp(-1.0 / (0.15 * kRate));
        const double inputRelease = std::exp(-1.0 / (3.0 * kRate));
        const double e = -2.0 * 0.371 * std::log10(feedback);
        double inEnv = 0.0;
        double echoEnv = 0.0;
        int louderEchoes = 0;
        int quieterEchoes = 0;

        double l = 0.0;
        double r = 0.0;
        for (int n = 0; n < 20000; ++n) {
            // A burst, then silence, so both regimes of the law occur.
            const double in = n < 600 ? 0.5 * std::sin(n * 0.05) : 0.0;
            d.tick(in, -0.5 * in, l, r);
            const double x = std::abs(in);
            inEnv = x > inEnv ? inEnv + (x - inEnv) * attack : inEnv * inputRelease;
            const double y = std::max(std::abs(l), std::abs(r));
            echoEnv = y > echoEnv ? echoEnv + (y - echoEnv) * attack : echoEnv * echoRelease;

            const double g0 = std::sqrt(feedback);
            double expected = g0;
            if (inEnv > 1e-9) {
                if (echoEnv >= inEnv) {
                    expected = g0 * inEnv / echoEnv;
                    ++louderEchoes;
                } else {
                    expected = g0 * std::pow(echoEnv / inEnv, e);
                    ++quieterEchoes;
                }
            }
            ASSERT_NEAR(d.lastGain(), expected, 1e-9 * g0) << "feedback " << feedback << " sample " << n;
        }
        EXPECT_GT(quieterEchoes, 1000);
        if (feedback >= 0.7) {
            EXPECT_GT(louderEchoes, 100) << feedback;
        }
    }
}

TEST(TapeDelay, MediumGainIsTheSquareRootWithoutInput)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.01, 0.01, 0.3);
    s.character = TapeDelay::kMedium;
    d.set(s);
    double l = 0.0;
    double r = 0.0;
    d.tick(0.0, 0.0, l, r);
    EXPECT_NEAR(d.lastGain(), std::sqrt(0.3), 1e-15);
}

TEST(TapeDelay, NonFiniteInputNeverEntersARing)
{
    for (bool pingPong : {false, true}) {
        TapeDelay d;
        d.prepare(kRate);
        TapeDelay::Settings s = plainSettings(0.002, 0.003, 0.9);
        s.character = TapeDelay::kMedium;
        s.pingPong = pingPong;
        s.lowCut = 100.0;
        s.bandwidth = 16000.0;
        d.set(s);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        const double bad[] = {nan, inf, -inf, 1e300, -1e300};
        Stereo out = run(d, 4000, [&](int n) {
            const double v = bad[n % 5];
            return std::pair<double, double>{n % 3 == 0 ? v : 0.1, n % 7 == 0 ? v : -0.1};
        });
        for (float v : d.left().buffer)
            ASSERT_TRUE(std::isfinite(v));
        for (float v : d.right().buffer)
            ASSERT_TRUE(std::isfinite(v));
        for (std::size_t n = 0; n < out.left.size(); ++n)
            ASSERT_TRUE(std::isfinite(out.left[n]) && std::isfinite(out.right[n])) << n;

        // The level followers were not poisoned: a clean impulse still echoes.
        d.clear();
        d.set(s);
        out = run(d, 400, impulseAt(0, nan, inf));
        out = run(d, 400, impulseAt(0, 1.0, 1.0));
        EXPECT_GT(peak(out.left).second, 0.1) << pingPong;
    }
}

TEST(TapeDelay, SampleRatesStayFiniteAndBoundedAtHighFeedback)
{
    for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        for (const auto character : {TapeDelay::kPlain, TapeDelay::kMedium}) {
            for (bool pingPong : {false, true}) {
                TapeDelay d;
                d.prepare(rate);
                d.inputOffset = 31;
                TapeDelay::Settings s;
                s.timeLeft = 0.013;
                s.timeRight = 0.021;
                s.feedback = 0.95;
                s.character = character;
                s.pingPong = pingPong;
                s.bandwidth = 16000.0;
                s.slope = 0;
                s.wobble = 2.0;
                d.set(s);
                std::uint32_t noise = 1;
                double peakOut = 0.0;
                double tailPeak = 0.0;
                const int frames = static_cast<int>(rate * 3.0);
                double l = 0.0;
                double r = 0.0;
                for (int n = 0; n < frames; ++n) {
                    noise = noise * 1664525u + 1013904223u;
                    const double in = n < rate * 0.5 ? noise * (2.0 / 4294967296.0) - 1.0 : 0.0;
                    d.tick(in, 0.5 * in, l, r);
                    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << rate << " " << n;
                    peakOut = std::max({peakOut, std::abs(l), std::abs(r)});
                    if (n > frames - static_cast<int>(rate * 0.1))
                        tailPeak = std::max({tailPeak, std::abs(l), std::abs(r)});
                }
                EXPECT_GT(peakOut, 0.1) << rate;
                EXPECT_LT(peakOut, 25.0) << rate;
                EXPECT_LT(tailPeak, peakOut) << rate;  // the echoes decay
            }
        }
    }
}

TEST(TapeDelay, WobbleBendsTheEchoGently)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.1, 0.1, 0.0);
    s.wobble = 1.0;
    d.set(s);
    std::vector<double> in(20000);
    for (std::size_t n = 0; n < in.size(); ++n)
        in[n] = std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(n) / kRate);
    double maxDiff = 0.0;
    double maxLevel = 0.0;
    double l = 0.0;
    double r = 0.0;
    for (std::size_t n = 0; n < in.size(); ++n) {
        d.tick(in[n], in[n], l, r);
        if (n >= 4800) {
            maxDiff = std::max(maxDiff, std::abs(l - in[n - 4800]));
            maxLevel = std::max(maxLevel, std::abs(l));
        }
    }
    EXPECT_GT(maxDiff, 1e-3);                                  // it does move
    EXPECT_LT(maxDiff, 0.15);                                  // about a cent and half a dB
    EXPECT_LT(maxLevel, std::pow(10.0, 0.52 / 20.0) + 1e-3);  // level wobble of +-0.52 dB
    EXPECT_GT(maxLevel, std::pow(10.0, 0.4 / 20.0));
}

// The offline silence skip against plain ticking: the skipped frames are
// silent in the reference too, and the frames after them agree.
TEST(TapeDelay, SilenceSkipMatchesTickingSampleBySample)
{
    for (bool pingPong : {false, true}) {
        TapeDelay ref;
        TapeDelay fast;
        TapeDelay::Settings s = plainSettings(0.3, 0.21, 0.8);
        s.character = TapeDelay::kMedium;
        s.pingPong = pingPong;
        s.lowCut = 120.0;
        s.highCut = 4000.0;
        s.slope = 2;
        s.bandwidth = 16000.0;
        for (TapeDelay* d : {&ref, &fast}) {
            d->prepare(kRate);
            d->inputOffset = 31;
            d->set(s);
        }
        constexpr int kFrames = 144000;
        constexpr int kBurst = 400;
        int skipped = 0;
        double worst = 0.0;
        double l = 0.0;
        double r = 0.0;
        for (int n = 0; n < kFrames;) {
            const double in = n < kBurst ? std::sin(n * 0.3) * 0.5 : 0.0;
            std::uint32_t k = n >= kBurst ? fast.skipSilence(777, 1e-30) : 0;
            if (k == 0) {
                double fl = 0.0;
                double fr = 0.0;
                fast.tick(in, in * 0.5, fl, fr);
                ref.tick(in, in * 0.5, l, r);
                worst = std::max({worst, std::abs(fl - l), std::abs(fr - r)});
                ++n;
                continue;
            }
            skipped += static_cast<int>(k);
            for (std::uint32_t j = 0; j < k; ++j, ++n) {
                ref.tick(0.0, 0.0, l, r);
                ASSERT_LT(std::abs(l) + std::abs(r), 1e-29) << n;
            }
            ASSERT_EQ(fast.left().writeIndex, ref.left().writeIndex);
            ASSERT_EQ(fast.right().filled, ref.right().filled);
            ASSERT_EQ(fast.feedbackCurrent(), ref.feedbackCurrent());
            ASSERT_NEAR(fast.lastGain(), ref.lastGain(), 1e-12);
        }
        EXPECT_GT(skipped, kFrames / 8) << pingPong;
        EXPECT_LT(worst, 1e-25) << pingPong;
    }
}

TEST(TapeDelay, SilenceSkipRefusesWhileSomethingMoves)
{
    TapeDelay d;
    d.prepare(kRate);
    TapeDelay::Settings s = plainSettings(0.01, 0.01, 0.5);
    d.set(s);
    EXPECT_GT(d.skipSilence(100, 1e-30), 0u);  // nothing written yet

    run(d, 10, impulseAt(0));
    // The impulse sits 470 frames ahead of the read position: skip up to it, not past it.
    const std::uint32_t k = d.skipSilence(4000, 1e-30);
    EXPECT_GT(k, 400u);
    EXPECT_LT(k, 471u);

    s.wobble = 0.5;
    d.set(s);
    EXPECT_EQ(d.skipSilence(100, 1e-30), 0u);
    s.wobble = 0.0;
    s.timeLeft = 0.02;
    d.set(s);
    double l = 0.0;
    double r = 0.0;
    d.tick(0.0, 0.0, l, r);
    EXPECT_EQ(d.skipSilence(100, 1e-30), 0u);  // the wobble is still fading out / the time glides
}

TEST(TapeDelay, AbsurdRatesStayFinite)
{
    for (double rate : {1e-310, 0.5, 8.0, 3e6}) {
        TapeDelay d;
        d.prepare(rate);
        TapeDelay::Settings s = plainSettings(0.01, 0.02, 0.9);
        s.character = TapeDelay::kMedium;
        s.lowCut = 100.0;
        s.highCut = 5000.0;
        s.bandwidth = 16000.0;
        s.wobble = 1.0;
        d.set(s);
        double l = 0.0;
        double r = 0.0;
        for (int n = 0; n < 20000; ++n) {
            d.tick(n % 100 == 0 ? 1.0 : 0.0, 0.0, l, r);
            ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << rate << " " << n;
        }
    }
}

TEST(TapeDelay, PrepareRedesignsTheCutsForTheNewRate)
{
    TapeDelay d;
    d.prepare(48000.0);
    TapeDelay::Settings s = plainSettings(0.1, 0.1, 0.3);
    s.lowCut = 1000.0;
    d.set(s);
    const double a1At48k = d.left().lowCut.a1;
    d.prepare(96000.0);
    d.set(s);
    EXPECT_NE(d.left().lowCut.a1, a1At48k);
    EXPECT_NEAR(magnitudeSquared(d.left().lowCut, 1000.0, 96000.0), 0.5, 1e-9);
}
