// The delay engine (rotating wobble oscillators, series exponential, cached
// powers, wrap without division) against the plain formulas.

#include "dsp/TapeDelay.h"

#include "dsp/TapeDelayReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

using ostratapedelay::dsp::TapeDelay;

namespace {

constexpr std::uint32_t kOffset = 31;

// Bursts of noise with silent gaps: the echoes recirculate on their own, and
// the level law sees the input come and go.
double burst(std::mt19937& rng, int n, double rate)
{
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    const bool on = std::fmod(n / rate, 0.25) < 0.08;
    return on ? noise(rng) : 0.0;
}

struct Case {
    const char* name;
    TapeDelay::Settings settings;
    double rate;
    // Called before frame n; may change the settings (both engines get them).
    std::function<void(int, TapeDelay::Settings&)> change;
};

void expectClose(const Case& c, int frames)
{
    SCOPED_TRACE(c.name);
    TapeDelay engine;
    engine.prepare(c.rate);
    engine.inputOffset = kOffset;
    tapetest::ReferenceDelay ref;
    ref.prepare(c.rate, engine.capacity(), kOffset);
    TapeDelay::Settings s = c.settings;
    engine.set(s);
    ref.set(s);

    std::mt19937 rngL(1), rngR(2);
    std::vector<double> a, b;
    double peak = 0.0;
    for (int n = 0; n < frames; ++n) {
        if (c.change) {
            const TapeDelay::Settings before = s;
            c.change(n, s);
            if (s.timeLeft != before.timeLeft || s.feedback != before.feedback || s.wobble != before.wobble
                || s.pingPong != before.pingPong) {
                engine.set(s);
                ref.set(s);
            }
        }
        const double inL = burst(rngL, n, c.rate);
        const double inR = burst(rngR, n, c.rate);
        double eL, eR, rL, rR;
        engine.tick(inL, inR, eL, eR);
        ref.tick(inL, inR, rL, rR);
        a.push_back(eL);
        a.push_back(eR);
        b.push_back(rL);
        b.push_back(rR);
        peak = std::max({peak, std::fabs(rL), std::fabs(rR)});
    }
    ASSERT_GT(peak, 0.01);
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_LE(std::fabs(a[i] - b[i]), 1e-6 * std::fabs(b[i]) + 1e-7 * peak) << "frame " << i / 2;
}

TapeDelay::Settings pluginLike()
{
    TapeDelay::Settings s;
    s.timeLeft = 0.0123; // short lines: many trips round the feedback path
    s.timeRight = 0.0171;
    s.feedback = 0.6;
    s.character = TapeDelay::kMedium;
    s.lowCut = 120.0;
    s.highCut = 6000.0;
    s.slope = TapeDelay::kSlope6dB;
    s.bandwidth = 16000.0;
    s.wobble = 1.0;
    return s;
}

} // namespace

TEST(TapeDelayAgainstReference, PluginSettingsWithFullWobble)
{
    expectClose({"plug-in settings", pluginLike(), 48000.0, nullptr}, 96000);
}

TEST(TapeDelayAgainstReference, PingPongSteepCutsDeepWobbleOtherRates)
{
    for (double rate : {44100.0, 96000.0}) {
        TapeDelay::Settings s = pluginLike();
        s.pingPong = true;
        s.wobble = 2.0;
        s.slope = TapeDelay::kSlope24dB;
        s.feedback = 0.9;
        expectClose({"ping-pong", s, rate, nullptr}, static_cast<int>(rate));
    }
}

TEST(TapeDelayAgainstReference, WobbleSwitchedOffAndOnGlidesAndSettingChanges)
{
    // The wobble glides to 0 and stays there for a while (the oscillators stop
    // following the phases), comes back, the delay time glides, the law is plain.
    TapeDelay::Settings s = pluginLike();
    s.character = TapeDelay::kPlain;
    s.slope = TapeDelay::kSlope12dB;
    auto change = [](int n, TapeDelay::Settings& st) {
        if (n == 5000)
            st.wobble = 0.0;
        if (n == 40000)
            st.wobble = 0.5;
        if (n == 60000)
            st.timeLeft = 0.02;
        if (n == 70000)
            st.feedback = 0.3;
    };
    expectClose({"changes", s, 48000.0, change}, 96000);
}
