// The delay engine (rotating wobble oscillators, series exponential, cached
// powers, wrap without division) against the plain formulas.

#include "dsp/TapeDelay.h"

#include "dsp/TapeDelayReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using ostratapedelay::dsp::TapeDelay;

TEST(TapeDelayAgainstReference, StaysWithinAMillionthWithWobbleCutsAndSettingChanges)
{
    // Short lines: many trips round the feedback path.
    const TapeDelay::Settings plugin{.timeLeft = 0.0123, .timeRight = 0.0171, .feedback = 0.6,
                                     .character = TapeDelay::kMedium, .lowCut = 120.0, .highCut = 6000.0,
                                     .bandwidth = 16000.0, .slope = TapeDelay::kSlope6dB, .wobble = 1.0};
    TapeDelay::Settings pingPong = plugin, plain = plugin;
    pingPong.pingPong = true;
    pingPong.wobble = 2.0;
    pingPong.slope = TapeDelay::kSlope24dB;
    pingPong.feedback = 0.9;
    plain.character = TapeDelay::kPlain;
    plain.slope = TapeDelay::kSlope12dB;
    const struct {
        TapeDelay::Settings settings;
        double rate;
        bool changes;
    } cases[] = {{plugin, 48000.0, false}, {pingPong, 44100.0, false}, {pingPong, 96000.0, false}, {plain, 48000.0, true}};
    for (const auto& c : cases) {
        TapeDelay engine;
        engine.prepare(c.rate);
        engine.inputOffset = 31;
        tapetest::ReferenceDelay ref;
        ref.prepare(c.rate, engine.capacity(), 31);
        TapeDelay::Settings s = c.settings;
        engine.set(s);
        ref.set(s);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> noise(-0.5, 0.5);
        std::vector<double> a, b;
        double peak = 0.0;
        const int frames = static_cast<int>(c.rate * 2.0);
        for (int n = 0; n < frames; ++n) {
            // The wobble glides to 0 and stays there a while, comes back, the
            // delay time glides, the feedback falls.
            if (c.changes && (n == 5000 || n == 40000 || n == 60000 || n == 70000)) {
                s.wobble = n == 5000 ? 0.0 : 0.5;
                s.timeLeft = n >= 60000 ? 0.02 : s.timeLeft;
                s.feedback = n == 70000 ? 0.3 : s.feedback;
                engine.set(s);
                ref.set(s);
            }
            // Bursts of noise with silent gaps: the level law sees the input come and go.
            const bool on = std::fmod(n / c.rate, 0.25) < 0.08;
            const double inL = on ? noise(rng) : 0.0, inR = on ? noise(rng) : 0.0;
            a.resize(a.size() + 2);
            b.resize(b.size() + 2);
            engine.tick(inL, inR, a[a.size() - 2], a.back());
            ref.tick(inL, inR, b[b.size() - 2], b.back());
            peak = std::max({peak, std::fabs(b[b.size() - 2]), std::fabs(b.back())});
        }
        ASSERT_GT(peak, 0.01);
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_LE(std::fabs(a[i] - b[i]), 1e-6 * std::fabs(b[i]) + 1e-7 * peak) << c.rate << " frame " << i / 2;
    }
}
