#include "dsp/Width.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

using corvana::dsp::Width;

namespace {

constexpr double kPi = std::numbers::pi;

Width makeWidth(float w, int mode, int method = 0, double rate = 48000.0)
{
    Width s;
    s.setMode(mode);
    s.setMethod(method);
    s.setWidth(w);
    s.prepare(rate);
    return s;
}

// Feeds `frames` frames with the given mid and side generators to the analyser
// path (output discarded).
template <typename Gen>
void feed(Width& s, long frames, Gen gen)
{
    for (long i = 0; i < frames; ++i) {
        double mid = 0.0;
        double side = 0.0;
        gen(i, mid, side);
        double l = mid + side;
        double r = mid - side;
        s.tick(l, r);
    }
}

struct Noise {
    std::mt19937 rng{11};
    std::uniform_real_distribution<double> dist{-0.5, 0.5};
    double operator()() { return dist(rng); }
};

} // namespace

TEST(Width, MinusHundredGivesMidOnBothChannels)
{
    Width s = makeWidth(-1.0f, Width::kStereo);
    Noise n;
    for (int i = 0; i < 1000; ++i) {
        double l = n();
        double r = n();
        const double mid = (l + r) / 2.0;
        s.tick(l, r);
        ASSERT_NEAR(l, mid, 1e-15);
        ASSERT_NEAR(r, mid, 1e-15);
    }
}

TEST(Width, ZeroWidthLeavesSignalUnchanged)
{
    Width s = makeWidth(0.0f, Width::kAuto);
    Noise n;
    std::vector<double> inL(512), inR(512), outL(512), outR(512);
    for (std::size_t i = 0; i < inL.size(); ++i) {
        inL[i] = n();
        inR[i] = n();
    }
    s.process(inL.data(), inR.data(), outL.data(), outR.data(), 512);
    EXPECT_EQ(outL, inL);
    EXPECT_EQ(outR, inR);

    // In place as well.
    std::vector<double> l = inL, r = inR;
    s.process(l.data(), r.data(), l.data(), r.data(), 512);
    EXPECT_EQ(l, inL);
    EXPECT_EQ(r, inR);
}

TEST(Width, StereoWideningScalesSideAndKeepsMid)
{
    // Stereo mode at full width: side doubled; a pure side signal has no mid to
    // synthesise from, so it is exactly doubled.
    Width s = makeWidth(1.0f, Width::kStereo);
    EXPECT_FLOAT_EQ(s.sideGain(), 2.0f);
    EXPECT_FLOAT_EQ(s.synthGain(), 0.375f);
    Noise n;
    for (int i = 0; i < 2000; ++i) {
        const double side = n();
        double l = side;
        double r = -side;
        s.tick(l, r);
        ASSERT_NEAR(l, 2.0 * side, 1e-12);
        ASSERT_NEAR(r, -2.0 * side, 1e-12);
    }
    // The mid is untouched whatever is added to the side.
    for (int i = 0; i < 2000; ++i) {
        double l = n();
        double r = n();
        const double mid = (l + r) / 2.0;
        s.tick(l, r);
        ASSERT_NEAR((l + r) / 2.0, mid, 1e-12);
    }
}

TEST(Width, DecorrelatorMethodsAreAllpassLikeWithoutBass)
{
    for (int method : {Width::kAllpassCascade, 0}) {
        Width s = makeWidth(1.0f, Width::kMono, method);
        // White noise: about the same energy, little correlation with the mid.
        Noise n;
        double ein = 0.0, eout = 0.0, cross = 0.0;
        for (int i = 0; i < 48000; ++i) {
            const double x = n();
            const double y = s.built(x);
            ein += x * x;
            eout += y * y;
            cross += x * y;
        }
        EXPECT_NEAR(eout / ein, 1.0, 0.05) << method;
        EXPECT_LT(std::fabs(cross) / std::sqrt(ein * eout), 0.3) << method;

        // 1 kHz passes at full level, 30 Hz is removed by the 120 Hz high-pass.
        for (auto [freq, lo, hi] : {std::tuple{1000.0, 0.95, 1.05}, std::tuple{30.0, 0.0, 0.08}}) {
            s.clearDecorrelator();
            double peak = 0.0;
            for (int i = 0; i < 96000; ++i) {
                const double y = s.built(std::sin(2.0 * kPi * freq * i / 48000.0));
                if (i > 48000)
                    peak = std::max(peak, std::fabs(y));
            }
            EXPECT_GE(peak, lo) << method << " " << freq;
            EXPECT_LE(peak, hi) << method << " " << freq;
        }
    }
}

TEST(Width, DelayChainImpulseResponse)
{
    // The four allpass delays (23, 53, 89, 131 samples at 48 kHz): an impulse
    // first leaves as (-0.5)^4 at once, and nothing else arrives before the
    // shortest delay.
    Width s = makeWidth(1.0f, Width::kMono, 0);
    std::vector<double> y;
    for (int i = 0; i < 400; ++i)
        y.push_back(s.built(i == 0 ? 1.0 : 0.0));
    // Until then the output is the 120 Hz high-pass's impulse response times 0.0625.
    const double w = 2.0 * kPi * 120.0 / 48000.0;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1.0 + alpha;
    const double b0 = (1.0 + std::cos(w)) / 2.0 / a0, b1 = -(1.0 + std::cos(w)) / a0, b2 = b0;
    const double a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
    double z1 = 0.0, z2 = 0.0;
    for (int i = 0; i < 23; ++i) {
        const double x = i == 0 ? 0.0625 : 0.0;
        const double ref = b0 * x + z1;
        z1 = b1 * x - a1 * ref + z2;
        z2 = b2 * x - a2 * ref;
        EXPECT_NEAR(y[static_cast<std::size_t>(i)], ref, 1e-12) << i;
    }
    // The first delayed contribution arrives after 23 samples.
    EXPECT_GT(std::fabs(y[23]), 0.05);

    // The cascade method differs from the delay chain.
    Width c = makeWidth(1.0f, Width::kMono, Width::kAllpassCascade);
    EXPECT_NE(c.built(1.0), 0.0625 * 0.989);
}

TEST(Width, SynthesisedSideFadesOutOver50msThenStops)
{
    Width s = makeWidth(1.0f, Width::kMono);
    Noise n;
    feed(s, 4800, [&](long, double& mid, double& side) { mid = n(); side = 0.0; });
    EXPECT_TRUE(s.synthActive());
    EXPECT_FLOAT_EQ(s.synthGain(), 0.75f);
    EXPECT_FLOAT_EQ(s.sideGain(), 1.0f);

    s.setWidth(0.0f);
    feed(s, 2400, [&](long, double& mid, double& side) { mid = n(); side = 0.0; });
    EXPECT_NEAR(s.synthGain() / 0.75f, std::exp(-1.0), 2e-3);
    EXPECT_TRUE(s.synthActive());
    feed(s, 48000, [&](long, double& mid, double& side) { mid = n(); side = 0.0; });
    EXPECT_EQ(s.synthGain(), 0.0f);
    EXPECT_FALSE(s.synthActive());

    // Back to width 0 steady state: unchanged signal.
    double l = 0.3, r = -0.1;
    s.tick(l, r);
    EXPECT_EQ(l, 0.3);
    EXPECT_EQ(r, -0.1);
}

TEST(WidthAnalyser, DecidesMonoAfterHalfASecond)
{
    Width s = makeWidth(1.0f, Width::kAuto);
    Noise n;
    // Side 40 dB below the mid.
    auto mono = [&](long, double& mid, double& side) { mid = n(); side = mid * 0.01; };
    feed(s, 23999, mono);
    EXPECT_EQ(s.state(), Width::kUndecided);
    EXPECT_FLOAT_EQ(s.synthGain(), 0.375f); // undecided: treated as stereo
    feed(s, 1, mono);
    EXPECT_EQ(s.state(), Width::kMono);
    EXPECT_FALSE(s.listening());

    // Mono decision: side left unscaled, synthesised side at 0.75 w.
    feed(s, 48000, mono);
    EXPECT_FLOAT_EQ(s.sideGain(), 1.0f);
    EXPECT_FLOAT_EQ(s.synthGain(), 0.75f);

    // The decision is kept while playing continues, even if it turns stereo.
    feed(s, 48000, [&](long, double& mid, double& side) { mid = n(); side = n(); });
    EXPECT_EQ(s.state(), Width::kMono);
}

TEST(WidthAnalyser, DecidesStereoAndListensAgainAfterTwoSecondsOfSilence)
{
    Width s = makeWidth(0.5f, Width::kAuto);
    Noise n;
    auto stereo = [&](long, double& mid, double& side) { mid = n(); side = n(); };
    auto mono = [&](long, double& mid, double& side) { mid = n(); side = mid * 0.001; };
    auto silence = [](long, double& mid, double& side) { mid = side = 0.0; };

    // Silence before any playing is ignored.
    feed(s, 200000, silence);
    EXPECT_EQ(s.state(), Width::kUndecided);
    feed(s, 24000, stereo);
    EXPECT_EQ(s.state(), Width::kStereo);

    // Less than two seconds of silence: no new listening.
    feed(s, 95999, silence);
    feed(s, 24000, mono);
    EXPECT_EQ(s.state(), Width::kStereo);

    // Two seconds of silence: listens again, keeps the old decision meanwhile.
    feed(s, 96000, silence);
    EXPECT_TRUE(s.listening());
    EXPECT_EQ(s.state(), Width::kStereo);
    feed(s, 24000, mono);
    EXPECT_EQ(s.state(), Width::kMono);
}

TEST(WidthAnalyser, InBetweenKeepsPreviousDecision)
{
    Noise n;
    // Side 25 dB below mid: between the two thresholds.
    const double k = std::pow(10.0, -25.0 / 20.0);
    auto between = [&](long, double& mid, double& side) { mid = n(); side = mid * k; };
    auto mono = [&](long, double& mid, double& side) { mid = n(); side = mid * 0.001; };
    auto silence = [](long, double& mid, double& side) { mid = side = 0.0; };

    // Undecided before: counts as stereo.
    Width a = makeWidth(0.0f, Width::kAuto);
    feed(a, 24000, between);
    EXPECT_EQ(a.state(), Width::kStereo);

    // After a mono decision: stays mono.
    Width b = makeWidth(0.0f, Width::kAuto);
    feed(b, 24000, mono);
    ASSERT_EQ(b.state(), Width::kMono);
    feed(b, 96000, silence);
    feed(b, 24000, between);
    EXPECT_EQ(b.state(), Width::kMono);
}

TEST(WidthAnalyser, OnlyRunsInAutoModeOnAStereoBus)
{
    Noise n;
    auto mono = [&](long, double& mid, double& side) { mid = n(); side = 0.0; };
    Width bus = makeWidth(1.0f, Width::kAuto);
    bus.setMonoBus(true);
    feed(bus, 48000, mono);
    EXPECT_EQ(bus.state(), Width::kUndecided);
    EXPECT_FLOAT_EQ(bus.synthGain(), 0.75f); // a mono bus is treated as mono

    Width fixed = makeWidth(1.0f, Width::kStereo);
    feed(fixed, 48000, mono);
    EXPECT_EQ(fixed.state(), Width::kUndecided);
    EXPECT_FLOAT_EQ(fixed.synthGain(), 0.375f);

    // A mode change forgets the decision.
    Width a = makeWidth(1.0f, Width::kAuto);
    feed(a, 24000, mono);
    ASSERT_EQ(a.state(), Width::kMono);
    a.setMode(Width::kStereo);
    EXPECT_EQ(a.state(), Width::kUndecided);
}

TEST(Width, SampleRatesAndBadInput)
{
    for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        for (int method : {Width::kAllpassCascade, 0}) {
            Width s = makeWidth(1.0f, Width::kAuto, method, rate);
            Noise n;
            const long window = std::lround(0.5 * rate);
            feed(s, window - 1, [&](long, double& mid, double& side) { mid = n(); side = 0.0; });
            EXPECT_EQ(s.state(), Width::kUndecided) << rate;
            double peak = 0.0;
            for (int i = 0; i < 20000; ++i) {
                double l = n(), r = l;
                if (i == 50)
                    l = std::numeric_limits<double>::quiet_NaN();
                if (i == 60)
                    r = std::numeric_limits<double>::infinity();
                s.tick(l, r);
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << rate << " " << i;
                peak = std::max({peak, std::fabs(l), std::fabs(r)});
            }
            EXPECT_EQ(s.state(), Width::kMono) << rate;
            EXPECT_LT(peak, 3.0) << rate;
            EXPECT_GT(peak, 0.1) << rate;
        }
    }
    // Width values out of range are limited; non-finite counts as 0.
    Width s;
    s.setWidth(3.0f);
    EXPECT_EQ(s.width(), 1.0f);
    s.setWidth(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(s.width(), 0.0f);
}

TEST(Width, GainsSettleExactlyOnTheirTargets)
{
    // From full stereo width back to 0 the side gain must arrive at exactly 1
    // (float smoothing would otherwise stall just short of it), leaving the
    // signal unchanged.
    for (double rate : {44100.0, 192000.0}) {
        Width s = makeWidth(1.0f, Width::kStereo, 0, rate);
        s.setWidth(0.0f);
        Noise n;
        feed(s, static_cast<long>(rate), [&](long, double& mid, double& side) { mid = n(); side = n(); });
        EXPECT_EQ(s.sideGain(), 1.0f) << rate;
        EXPECT_EQ(s.synthGain(), 0.0f) << rate;
        double l = 0.25, r = 0.5;
        s.tick(l, r);
        EXPECT_EQ(l, 0.25);
        EXPECT_EQ(r, 0.5);
    }
}
