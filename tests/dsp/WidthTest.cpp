#include "dsp/Width.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <tuple>
#include <utility>
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

struct Noise {
    std::mt19937 rng{11};
    std::uniform_real_distribution<double> dist{-0.5, 0.5};
    double operator()() { return dist(rng); }
    std::pair<double, double> stereo() { return {(*this)(), (*this)()}; }
    std::pair<double, double> mono(double sideRatio)
    {
        const double mid = (*this)();
        return {mid, mid * sideRatio};
    }
};

// Feeds `frames` frames whose (mid, side) come from `gen` (output discarded).
template <typename Gen>
void feed(Width& s, long frames, Gen gen)
{
    for (long i = 0; i < frames; ++i) {
        const auto [mid, side] = gen();
        double l = mid + side, r = mid - side;
        s.tick(l, r);
    }
}

} // namespace

TEST(Width, MidStaysAndTheSideScalesByOnePlusWidth)
{
    Noise n;
    std::vector<double> inL(512), inR(512);
    for (std::size_t i = 0; i < inL.size(); ++i)
        std::tie(inL[i], inR[i]) = n.stereo();
    // Narrowing: -100 % gives the mid on both channels, 0 leaves the signal as
    // it is; in place or not.
    for (float w : {-1.0f, -0.5f, 0.0f}) {
        Width s = makeWidth(w, Width::kAuto), inPlace = makeWidth(w, Width::kAuto);
        std::vector<double> outL(512), outR(512), l = inL, r = inR;
        s.process(inL.data(), inR.data(), outL.data(), outR.data(), 512);
        inPlace.process(l.data(), r.data(), l.data(), r.data(), 512);
        for (std::size_t i = 0; i < inL.size(); ++i) {
            const double mid = (inL[i] + inR[i]) / 2.0, side = (inL[i] - inR[i]) / 2.0 * (1.0 + w);
            ASSERT_NEAR(outL[i], mid + side, 1e-15) << w << " " << i;
            ASSERT_NEAR(outR[i], mid - side, 1e-15) << w << " " << i;
        }
        EXPECT_TRUE(l == outL && r == outR) << w;
        if (w == 0.0f) {
            EXPECT_TRUE(outL == inL && outR == inR);
        }
    }

    // Widening a stereo input: a pure side (no mid to synthesise from) is
    // exactly doubled, and the mid stays whatever is added to the side.
    Width s = makeWidth(1.0f, Width::kStereo);
    EXPECT_FLOAT_EQ(s.synthGain(), 0.375f);
    for (int i = 0; i < 4000; ++i) {
        const double side = n(), mid = i < 2000 ? 0.0 : n();
        double l = mid + side, r = mid - side;
        s.tick(l, r);
        ASSERT_NEAR((l + r) / 2.0, mid, 1e-12) << i;
        if (i < 2000) {
            ASSERT_NEAR(l, 2.0 * side, 1e-12) << i;
        }
    }
}

TEST(Width, DecorrelatorIsAllpassLikeWithoutBass)
{
    for (int method : {Width::kAllpassCascade, 0}) {
        SCOPED_TRACE(testing::Message() << "method " << method);
        Width s = makeWidth(1.0f, Width::kMono, method);
        // White noise: about the same energy, little correlation with the mid.
        Noise n;
        double ein = 0.0, eout = 0.0, cross = 0.0;
        for (int i = 0; i < 48000; ++i) {
            const double x = n(), y = s.built(x);
            ein += x * x;
            eout += y * y;
            cross += x * y;
        }
        EXPECT_NEAR(eout / ein, 1.0, 0.05);
        EXPECT_LT(std::fabs(cross) / std::sqrt(ein * eout), 0.3);
        // 1 kHz passes at full level, 30 Hz is removed by the 120 Hz high-pass.
        for (auto [freq, lo, hi] : {std::tuple{1000.0, 0.95, 1.05}, std::tuple{30.0, 0.0, 0.08}}) {
            s.clearDecorrelator();
            double peak = 0.0;
            for (int i = 0; i < 96000; ++i) {
                const double y = s.built(std::sin(2.0 * kPi * freq * i / 48000.0));
                peak = i > 48000 ? std::max(peak, std::fabs(y)) : 0.0;
            }
            EXPECT_GE(peak, lo) << freq;
            EXPECT_LE(peak, hi) << freq;
        }
    }
}

// Back from full width to 0 the synthesised side fades over 50 ms, the
// decorrelator stops, and both gains arrive exactly (float smoothing could
// stall just short of them), leaving the signal unchanged.
TEST(Width, WideningFadesOutAndTheGainsSettleExactly)
{
    for (double rate : {44100.0, 192000.0}) {
        SCOPED_TRACE(rate);
        Width s = makeWidth(1.0f, Width::kStereo, 0, rate);
        Noise n;
        auto stereo = [&] { return n.stereo(); };
        feed(s, 4800, stereo);
        s.setWidth(0.0f);
        feed(s, std::lround(0.05 * rate), stereo);
        EXPECT_NEAR(s.synthGain() / 0.375f, std::exp(-1.0), 2e-3);
        EXPECT_TRUE(s.synthActive());
        feed(s, static_cast<long>(rate), stereo);
        EXPECT_TRUE(s.sideGain() == 1.0f && s.synthGain() == 0.0f && !s.synthActive());
        double l = 0.25, r = 0.5;
        s.tick(l, r);
        EXPECT_TRUE(l == 0.25 && r == 0.5);
    }
}

TEST(WidthAnalyser, DecidesOnHalfASecondOfPlayingAndListensAgainAfterTwoSecondsOfSilence)
{
    Noise n;
    auto mono = [&] { return n.mono(0.01); }; // side 40 dB down
    auto stereo = [&] { return n.stereo(); };
    auto between = [&] { return n.mono(std::pow(10.0, -25.0 / 20.0)); };
    auto silence = [] { return std::pair{0.0, 0.0}; };
    Width s = makeWidth(1.0f, Width::kAuto);
    feed(s, 200000, silence); // silence before any playing is ignored
    feed(s, 23999, mono);
    EXPECT_EQ(s.state(), Width::kUndecided);
    EXPECT_FLOAT_EQ(s.synthGain(), 0.375f); // undecided counts as stereo
    feed(s, 1, mono);
    EXPECT_EQ(s.state(), Width::kMono);
    EXPECT_FALSE(s.listening());
    // Mono: the side is left unscaled and synthesised at 0.75 w.
    feed(s, 48000, mono);
    EXPECT_FLOAT_EQ(s.sideGain(), 1.0f);
    EXPECT_FLOAT_EQ(s.synthGain(), 0.75f);
    feed(s, 48000, stereo); // kept while playing continues
    feed(s, 95999, silence); // and over less than two seconds of silence
    feed(s, 24000, stereo);
    EXPECT_EQ(s.state(), Width::kMono);

    // After two seconds of silence it listens again, the old decision holding meanwhile.
    feed(s, 96000, silence);
    EXPECT_TRUE(s.listening());
    EXPECT_EQ(s.state(), Width::kMono);
    feed(s, 24000, stereo);
    EXPECT_EQ(s.state(), Width::kStereo);
    // Between -30 and -20 dB the previous decision stands; undecided counts as stereo.
    feed(s, 96000, silence);
    feed(s, 24000, mono);
    ASSERT_EQ(s.state(), Width::kMono);
    feed(s, 96000, silence);
    feed(s, 24000, between);
    EXPECT_EQ(s.state(), Width::kMono);
    Width fresh = makeWidth(0.0f, Width::kAuto);
    feed(fresh, 24000, between);
    EXPECT_EQ(fresh.state(), Width::kStereo);
}

TEST(WidthAnalyser, OnlyRunsInAutoModeOnAStereoBus)
{
    Noise n;
    auto mono = [&] { return n.mono(0.0); };
    // A mono bus counts as mono, a fixed stereo mode as stereo; neither listens.
    for (auto [mode, monoBus, synth] :
         {std::tuple{Width::kAuto, true, 0.75f}, std::tuple{Width::kStereo, false, 0.375f}}) {
        Width s = makeWidth(1.0f, mode);
        s.setMonoBus(monoBus);
        feed(s, 48000, mono);
        EXPECT_EQ(s.state(), Width::kUndecided) << mode;
        EXPECT_FLOAT_EQ(s.synthGain(), synth) << mode;
    }
    Width a = makeWidth(1.0f, Width::kAuto);
    feed(a, 24000, mono);
    ASSERT_EQ(a.state(), Width::kMono);
    a.setMode(Width::kStereo); // a mode change forgets the decision
    EXPECT_EQ(a.state(), Width::kUndecided);
}

TEST(Width, SampleRatesAndBadInput)
{
    for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        for (int method : {Width::kAllpassCascade, 0}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, method " << method);
            Width s = makeWidth(1.0f, Width::kAuto, method, rate);
            Noise n;
            feed(s, std::lround(0.5 * rate) - 1, [&] { return n.mono(0.0); });
            EXPECT_EQ(s.state(), Width::kUndecided); // the window scales with the rate
            double peak = 0.0;
            for (int i = 0; i < 20000; ++i) {
                double l = i == 50 ? std::numeric_limits<double>::quiet_NaN() : n();
                double r = i == 60 ? std::numeric_limits<double>::infinity() : l;
                s.tick(l, r);
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << i;
                peak = std::max({peak, std::fabs(l), std::fabs(r)});
            }
            EXPECT_EQ(s.state(), Width::kMono);
            EXPECT_TRUE(peak > 0.1 && peak < 3.0) << peak;
        }
    }
    Width s;
    s.setWidth(3.0f);
    EXPECT_EQ(s.width(), 1.0f);
    s.setWidth(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(s.width(), 0.0f);
}
