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
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TapeDelay prepared(const TapeDelay::Settings& s, std::uint32_t inputOffset = 0, double rate = kRate)
{
    TapeDelay d;
    d.prepare(rate);
    d.inputOffset = inputOffset;
    d.set(s);
    return d;
}

struct Stereo {
    std::vector<double> left, right;
};

// Runs `frames` frames of a (left, right) impulse at frame `at`.
Stereo impulse(TapeDelay& d, int frames, int at = 0, double left = 1.0, double right = 1.0)
{
    const auto size = static_cast<std::size_t>(frames);
    Stereo out{std::vector<double>(size), std::vector<double>(size)};
    for (std::size_t n = 0; n < out.left.size(); ++n)
        d.tick(n == static_cast<std::size_t>(at) ? left : 0.0, n == static_cast<std::size_t>(at) ? right : 0.0,
               out.left[n], out.right[n]);
    return out;
}

std::size_t peakIndex(const std::vector<double>& v)
{
    auto louder = [](double a, double b) { return std::abs(a) < std::abs(b); };
    return static_cast<std::size_t>(std::max_element(v.begin(), v.end(), louder) - v.begin());
}

double powerGain(const Biquad& q, double f, double rate = kRate)
{
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
    return std::norm((q.b0 + q.b1 * z + q.b2 * z * z) / (1.0 + q.a1 * z + q.a2 * z * z));
}

} // namespace

// The input enters inputOffset samples behind the write head, so the first echo
// leaves that much early while the recirculation keeps the full delay.
TEST(TapeDelay, ImpulseEchoesLandExactlyOnTheDelayAndRecirculate)
{
    for (int offset : {0, 31}) {
        const auto inputOffset = static_cast<std::uint32_t>(offset);
        TapeDelay d = prepared({.timeLeft = 0.01, .timeRight = 0.015, .feedback = 0.5}, inputOffset); // 480, 720
        const Stereo out = impulse(d, 2100, 100, 1.0, -1.0);
        auto expected = [&](int n, int delay) {
            const int k = n - 100 + offset;
            return k > 0 && k % delay == 0 ? std::pow(0.5, k / delay - 1) : 0.0;
        };
        for (int n = 0; n < 2100; ++n) {
            ASSERT_EQ(out.left[static_cast<std::size_t>(n)], expected(n, 480)) << offset << " left " << n;
            ASSERT_EQ(out.right[static_cast<std::size_t>(n)], -expected(n, 720)) << offset << " right " << n;
        }
    }
}

TEST(TapeDelay, TapeStageLatencyIsAbsorbedByTheInputOffset)
{
    Tape tape;
    tape.prepare(kRate);
    tape.setMode(Tape::kOversampled);
    tape.jumpDrive(1.0);
    const auto latency = static_cast<std::uint32_t>(tape.latency());
    TapeDelay d = prepared({.timeLeft = 0.02, .timeRight = 0.02, .feedback = 0.0}, latency); // 960 samples
    std::vector<double> taped(3000), echo(3000);
    for (std::size_t n = 0; n < taped.size(); ++n) {
        taped[n] = tape.tick(n == 200 ? 0.25 : 0.0);
        double r = 0.0;
        d.tick(taped[n], taped[n], echo[n], r);
    }
    // The stage delivers the impulse 31 samples late; the echo still follows
    // the dry impulse by exactly the delay time.
    EXPECT_EQ(peakIndex(taped), 200u + 31u);
    EXPECT_EQ(peakIndex(echo), 200u + 960u);
    for (std::size_t n = 200; n < 3000 - 960 + 31; ++n)
        ASSERT_EQ(echo[n + 960 - 31], static_cast<double>(static_cast<float>(taped[n]))) << n;
}

TEST(TapeDelay, FractionalDelayInterpolatesWithCatmullRom)
{
    TapeDelay d = prepared({.timeLeft = 480.5 / kRate, .timeRight = 480.25 / kRate, .feedback = 0.0});
    const Stereo out = impulse(d, 600);
    // Half a sample off, the cubic's weights are -1/16, 9/16, 9/16, -1/16; they always sum to one.
    const double weights[] = {-0.0625, 0.5625, 0.5625, -0.0625};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(out.left[479 + i], weights[i], 1e-12) << i;
    double sum = 0.0;
    for (double v : out.right)
        sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_EQ(peakIndex(out.right), 480u);
}

TEST(TapeDelay, FirstSetJumpsLaterOnesGlide)
{
    TapeDelay d = prepared({.timeLeft = 0.1, .timeRight = 0.2, .feedback = 0.3});
    EXPECT_EQ(d.delaySamples(false), 4800.0);
    EXPECT_EQ(d.feedbackCurrent(), 0.3);
    d.set({.timeLeft = 0.2, .timeRight = 0.2, .feedback = 0.6});
    EXPECT_EQ(d.delaySamples(false), 4800.0);
    double l = 0.0, r = 0.0;
    d.tick(0.0, 0.0, l, r);
    // The delay glides with the new delay as time constant, the feedback over 20 ms.
    EXPECT_NEAR(d.delaySamples(false), 4800.0 + 4800.0 * (1.0 - std::exp(-1.0 / 9600.0)), 1e-9);
    EXPECT_EQ(d.delaySamples(true), 9600.0);
    EXPECT_NEAR(d.feedbackCurrent(), 0.3 + 0.3 * (1.0 - std::exp(-1.0 / (0.02 * kRate))), 1e-12);
    for (int n = 0; n < 96000; ++n)
        d.tick(0.0, 0.0, l, r);
    EXPECT_NEAR(d.delaySamples(false), 9600.0, 0.5);
    d.clear(); // raises the first flag again
    d.set({.timeLeft = 0.05, .timeRight = 0.2, .feedback = 0.1});
    EXPECT_EQ(d.delaySamples(false), 2400.0);
    EXPECT_EQ(d.feedbackCurrent(), 0.1);
}

TEST(TapeDelay, RingsAndSettingsStayWithinTheirLimitsAtAnyRate)
{
    TapeDelay d = prepared({.timeLeft = 0.0, .timeRight = 10.0, .feedback = 0.3}, 31);
    EXPECT_EQ(d.capacity(), 1161608u);    // six seconds at 192 kHz, plus margin
    EXPECT_EQ(d.delaySamples(false), 48.0); // 1 ms beats 31 + 4 samples at 48 kHz
    EXPECT_EQ(d.delaySamples(true), 6.0 * kRate);
    d.prepare(22050.0);
    d.set({.timeLeft = -1.0, .timeRight = kNaN, .feedback = 2.0});
    EXPECT_EQ(d.delaySamples(false), 35.0); // the input offset wins at low rates
    EXPECT_EQ(d.delaySamples(true), 35.0);  // NaN counts as 0
    EXPECT_EQ(d.feedbackCurrent(), 0.95);
    d.clear();
    d.set({.timeLeft = kInf, .timeRight = 1.0, .feedback = kNaN});
    EXPECT_EQ(d.delaySamples(false), 6.0 * 22050.0);
    EXPECT_EQ(d.feedbackCurrent(), 0.0);

    // Unusable rates mean 48 kHz, absurd ones are limited (the rings too, and
    // kept when the rate goes down), and the engine stays finite with everything on.
    const struct {
        double asked, used;
    } rates[] = {{1e300, TapeDelay::kMaxSampleRate}, {-5.0, 48000.0}, {kNaN, 48000.0},
                 {1e-310, TapeDelay::kMinSampleRate}, {8.0, 8.0}};
    const TapeDelay::Settings s{.timeLeft = 0.01, .timeRight = 0.02, .feedback = 0.9, .character = TapeDelay::kMedium,
                                .lowCut = 100.0, .highCut = 5000.0, .bandwidth = 16000.0, .wobble = 1.0};
    for (const auto& rate : rates) {
        d.prepare(rate.asked);
        EXPECT_EQ(d.sampleRate(), rate.used) << rate.asked;
        EXPECT_EQ(d.capacity(), static_cast<std::size_t>(std::ceil(TapeDelay::kMaxSampleRate * 6.05)) + 8);
        d.set(s);
        double l = 0.0, r = 0.0;
        for (int n = 0; n < 20000; ++n) {
            d.tick(n % 100 == 0 ? 1.0 : 0.0, 0.0, l, r);
            ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << rate.asked << " " << n;
        }
    }
}

TEST(TapeDelay, CutFiltersAreDesignedOnlyInsideTheirRangesWithTheirCornersWhereAsked)
{
    TapeDelay::Settings s{.timeLeft = 0.1, .timeRight = 0.1, .lowCut = 20.0, .highCut = 19900.0};
    TapeDelay d = prepared(s);
    EXPECT_FALSE(d.left().lowCutOn || d.left().bandwidthOn);
    EXPECT_EQ(d.right().highCutSections, 0);
    s.highCut = 0.0;
    d.set(s);
    EXPECT_EQ(d.right().highCutSections, 0);

    // Half power at the corners; the high cut of every slope passes DC.
    s = {.timeLeft = 0.1, .timeRight = 0.1, .lowCut = 150.0, .highCut = 3000.0, .bandwidth = 16000.0};
    for (TapeDelay::Slope slope : {0, 1, 2, 7}) {
        s.slope = slope;
        d.set(s);
        const TapeDelay::Line& line = d.left();
        ASSERT_TRUE(line.lowCutOn && line.bandwidthOn);
        ASSERT_EQ(line.highCutSections, slope < 2 ? 1 : 2) << slope;
        auto highCut = [&](double f) {
            return powerGain(line.highCut1, f) * (slope < 2 ? 1.0 : powerGain(line.highCut2, f));
        };
        EXPECT_NEAR(highCut(3000.0), 0.5, 1e-9) << slope;
        EXPECT_NEAR(highCut(0.0), 1.0, 1e-12) << slope;
        EXPECT_LT(10.0 * std::log10(highCut(6000.0)), slope == 0 ? -6.0 : slope == 1 ? -11.0 : -20.0) << slope;
    }
    EXPECT_NEAR(powerGain(d.left().lowCut, 150.0), 0.5, 1e-9);
    EXPECT_NEAR(powerGain(d.left().lowCut, 0.0), 0.0, 1e-20);
    EXPECT_NEAR(powerGain(d.left().lowCut, 12000.0), 1.0, 1e-3);
    // The tape bandwidth: a unity-gain one-pole prewarped at 8 kHz.
    const double k = 16000.0 * std::tan(std::numbers::pi / 6.0) / 8000.0;
    EXPECT_NEAR(d.left().bandwidth.a1, (k - 1.0) / (1.0 + k), 1e-15);
    EXPECT_NEAR(powerGain(d.left().bandwidth, 0.0), 1.0, 1e-12);

    // prepare redesigns for the new rate; a cut above the Nyquist limit is
    // designed at 0.49 of the rate and stays stable.
    d.prepare(96000.0);
    d.set(s);
    EXPECT_NEAR(powerGain(d.left().lowCut, 150.0, 96000.0), 0.5, 1e-9);
    d.prepare(22050.0);
    s.lowCut = 15000.0;
    d.set(s);
    EXPECT_NEAR(powerGain(d.left().lowCut, 0.49 * 22050.0, 22050.0), 0.5, 1e-9);
    EXPECT_LT(std::abs(d.left().lowCut.a2), 1.0);
}

TEST(TapeDelay, ClearSilencesTheLinesWithoutZeroingTheRings)
{
    TapeDelay d = prepared({.timeLeft = 0.01, .timeRight = 0.01, .feedback = 0.9});
    double l = 0.0, r = 0.0;
    for (int n = 0; n < 300; ++n)
        d.tick(std::sin(n * 0.1), std::cos(n * 0.1), l, r);
    const auto writeIndex = d.left().writeIndex;
    d.clear();
    EXPECT_EQ(d.left().filled, 0u);
    EXPECT_EQ(d.left().writeIndex, writeIndex);
    EXPECT_LT(std::count(d.left().buffer.begin(), d.left().buffer.begin() + 300, 0.0f), 50); // old samples stay
    d.set({.timeLeft = 0.01, .timeRight = 0.01, .feedback = 0.9});
    for (int n = 0; n < 2000; ++n) {
        d.tick(0.0, 0.0, l, r);
        ASSERT_TRUE(l == 0.0 && r == 0.0) << n;
    }
    EXPECT_EQ(impulse(d, 600).left[480], 1.0); // new input echoes normally
}

TEST(TapeDelay, PingPongBouncesLeftThenRight)
{
    TapeDelay d = prepared({.timeLeft = 0.01, .timeRight = 0.015, .feedback = 0.5, .pingPong = true}); // 480, 720
    const Stereo out = impulse(d, 3200, 0, 1.0, 0.0);
    // The mono sum goes left after the left delay, on to the right after the
    // right delay unscaled, and back left scaled by the square of the gain.
    for (std::size_t n = 0; n < out.left.size(); ++n) {
        ASSERT_EQ(out.left[n], n == 480 ? 0.5 : n == 1680 ? 0.125 : n == 2880 ? 0.03125 : 0.0) << n;
        ASSERT_EQ(out.right[n], n == 1200 ? 0.5 : n == 2400 ? 0.125 : 0.0) << n;
    }
}

// Feedback 0 gives one echo with either law. The medium law against an
// independent scalar model of the two followers: sqrt(f) while the input is
// silent, sqrt(f)*in/echo while the echoes are louder, sqrt(f)*(echo/in)^E otherwise.
TEST(TapeDelay, FeedbackLawOfBothCharacters)
{
    for (const auto character : {TapeDelay::kPlain, TapeDelay::kMedium}) {
        TapeDelay d = prepared({.timeLeft = 0.01, .timeRight = 0.01, .feedback = 0.0, .character = character});
        const Stereo out = impulse(d, 3000);
        EXPECT_EQ(std::count(out.left.begin(), out.left.end(), 0.0), 2999);
        EXPECT_EQ(d.lastGain(), 0.0);
    }
    const double attack = 1.0 - std::exp(-1.0 / (0.002 * kRate));
    const double echoRelease = std::exp(-1.0 / (0.15 * kRate));
    const double inputRelease = std::exp(-1.0 / (3.0 * kRate));
    for (double feedback : {0.3, 0.7, 0.95}) {
        TapeDelay d =
            prepared({.timeLeft = 0.005, .timeRight = 0.007, .feedback = feedback, .character = TapeDelay::kMedium});
        const double e = -2.0 * 0.371 * std::log10(feedback);
        const double g0 = std::sqrt(feedback);
        double inEnv = 0.0, echoEnv = 0.0, l = 0.0, r = 0.0;
        int louder = 0, quieter = 0;
        for (int n = 0; n < 20000; ++n) {
            const double in = n < 600 ? 0.5 * std::sin(n * 0.05) : 0.0; // both regimes occur
            d.tick(in, -0.5 * in, l, r);
            inEnv = std::abs(in) > inEnv ? inEnv + (std::abs(in) - inEnv) * attack : inEnv * inputRelease;
            const double y = std::max(std::abs(l), std::abs(r));
            echoEnv = y > echoEnv ? echoEnv + (y - echoEnv) * attack : echoEnv * echoRelease;
            double expected = g0;
            if (inEnv > 1e-9) {
                const bool louderEchoes = echoEnv >= inEnv;
                expected = louderEchoes ? g0 * inEnv / echoEnv : g0 * std::pow(echoEnv / inEnv, e);
                ++(louderEchoes ? louder : quieter);
            }
            ASSERT_NEAR(d.lastGain(), expected, 1e-9 * g0) << "feedback " << feedback << " sample " << n;
        }
        EXPECT_GT(quieter, 1000);
        EXPECT_GT(louder, feedback >= 0.7 ? 100 : 0) << feedback;
    }
}

TEST(TapeDelay, NonFiniteInputNeverEntersARing)
{
    for (bool pingPong : {false, true}) {
        const TapeDelay::Settings s{.timeLeft = 0.002, .timeRight = 0.003, .feedback = 0.9, .pingPong = pingPong,
                                    .character = TapeDelay::kMedium, .lowCut = 100.0, .bandwidth = 16000.0};
        TapeDelay d = prepared(s);
        const double bad[] = {kNaN, kInf, -kInf, 1e300, -1e300};
        double l = 0.0, r = 0.0;
        for (int n = 0; n < 4000; ++n) {
            d.tick(n % 3 == 0 ? bad[n % 5] : 0.1, n % 7 == 0 ? bad[n % 5] : -0.1, l, r);
            ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << n;
        }
        for (const auto* ring : {&d.left().buffer, &d.right().buffer})
            ASSERT_TRUE(std::all_of(ring->begin(), ring->end(), [](float v) { return std::isfinite(v); }));
        // The level followers were not poisoned: a clean impulse still echoes.
        d.clear();
        d.set(s);
        impulse(d, 400, 0, kNaN, kInf);
        const Stereo out = impulse(d, 400);
        EXPECT_GT(std::abs(out.left[peakIndex(out.left)]), 0.1) << pingPong;
    }
}

// The plug-in's chain at its extremes: +18 dB of drive into 95 % feedback with
// maximum wobble, at every common rate; the left input is taped, the right raw.
TEST(TapeDelay, SampleRatesStayFiniteAndBoundedAtFullFeedbackAndDrive)
{
    for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        for (const auto character : {TapeDelay::kPlain, TapeDelay::kMedium}) {
            for (bool pingPong : {false, true}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, exponent " << character.exponent << ", ping-pong "
                                                << pingPong);
                Tape tape;
                tape.prepare(rate);
                tape.setMode(Tape::kOversampled);
                tape.jumpDrive(std::pow(10.0, 18.0 / 20.0));
                TapeDelay d = prepared({.timeLeft = 0.013, .timeRight = 0.021, .feedback = 0.95, .pingPong = pingPong,
                                        .character = character, .bandwidth = 16000.0, .slope = 0, .wobble = 2.0},
                                       31, rate);
                std::uint32_t noise = 1;
                double peak = 0.0, tailPeak = 0.0, l = 0.0, r = 0.0;
                const int frames = static_cast<int>(rate * 3.0);
                for (int n = 0; n < frames; ++n) {
                    noise = noise * 1664525u + 1013904223u;
                    const double in = n < rate * 0.5 ? noise * (2.0 / 4294967296.0) - 1.0 : 0.0;
                    const double taped = n < rate * 0.6 ? tape.tick(in) : 0.0; // the stage's tail is long gone
                    d.tick(taped, 0.5 * in, l, r);
                    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << n;
                    peak = std::max({peak, std::abs(l), std::abs(r)});
                    tailPeak = n > frames - rate * 0.1 ? std::max({tailPeak, std::abs(l), std::abs(r)}) : 0.0;
                }
                EXPECT_GT(peak, 0.1);
                EXPECT_LT(peak, 25.0);
                EXPECT_LT(tailPeak, peak); // the echoes decay
            }
        }
    }
}

TEST(TapeDelay, WobbleBendsTheEchoGently)
{
    TapeDelay d = prepared({.timeLeft = 0.1, .timeRight = 0.1, .feedback = 0.0, .wobble = 1.0});
    double maxDiff = 0.0, maxLevel = 0.0, l = 0.0, r = 0.0;
    auto in = [](int n) { return std::sin(2.0 * std::numbers::pi * 1000.0 * n / kRate); };
    for (int n = 0; n < 20000; ++n) {
        d.tick(in(n), in(n), l, r);
        maxDiff = n >= 4800 ? std::max(maxDiff, std::abs(l - in(n - 4800))) : 0.0;
        maxLevel = std::max(maxLevel, std::abs(l));
    }
    EXPECT_GT(maxDiff, 1e-3); // it does move, by about a cent
    EXPECT_LT(maxDiff, 0.15);
    EXPECT_LT(maxLevel, std::pow(10.0, 0.52 / 20.0) + 1e-3); // and by +-0.52 dB
    EXPECT_GT(maxLevel, std::pow(10.0, 0.4 / 20.0));
}

// The offline silence skip against plain ticking: the skipped frames are silent
// in the reference too, and the frames after them agree.
TEST(TapeDelaySilenceSkip, MatchesTickingSampleBySample)
{
    for (bool pingPong : {false, true}) {
        const TapeDelay::Settings s{.timeLeft = 0.3, .timeRight = 0.21, .feedback = 0.8, .pingPong = pingPong,
                                    .character = TapeDelay::kMedium, .lowCut = 120.0, .highCut = 4000.0,
                                    .bandwidth = 16000.0, .slope = 2};
        TapeDelay ref = prepared(s, 31), fast = prepared(s, 31);
        int skipped = 0;
        double worst = 0.0, l = 0.0, r = 0.0, fl = 0.0, fr = 0.0;
        for (int n = 0; n < 144000;) {
            const std::uint32_t k = n >= 400 ? fast.skipSilence(777, 1e-30) : 0;
            if (k == 0) {
                const double in = n < 400 ? std::sin(n * 0.3) * 0.5 : 0.0;
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
        EXPECT_GT(skipped, 144000 / 8) << pingPong;
        EXPECT_LT(worst, 1e-25) << pingPong;
    }
}

TEST(TapeDelaySilenceSkip, RefusesWhileTheReadPositionsMove)
{
    TapeDelay::Settings s{.timeLeft = 0.01, .timeRight = 0.01, .feedback = 0.5, .wobble = 0.5};
    TapeDelay d = prepared(s);
    EXPECT_EQ(d.skipSilence(100, 1e-30), 0u);
    s.wobble = 0.0;
    d.set(s);
    EXPECT_EQ(d.skipSilence(100, 1e-30), 0u); // the wobble is still fading out
    d.clear();
    d.set(s);
    EXPECT_EQ(d.skipSilence(100, 1e-30), 100u);
    s.timeLeft = 0.02;
    d.set(s);
    EXPECT_EQ(d.skipSilence(100, 1e-30), 0u); // the time glides
}
