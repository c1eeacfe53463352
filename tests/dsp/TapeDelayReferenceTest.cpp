// The delay engine (rotating wobble oscillators, series exponential, cached
// powers, wrap without division) against a deliberately plain pair of lines.

#include "dsp/TapeDelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::TapeDelay;

namespace {

// Every formula written out plainly, sin, pow and modulo evaluated each
// sample, no caching; finite inputs only.
class ReferenceDelay {
public:
    // Rings of the engine's capacity, so reads outside the history agree.
    void prepare(double rate, std::size_t capacity, std::uint32_t inputOffset)
    {
        rate_ = rate;
        offset_ = inputOffset;
        for (Line& l : lines_)
            l.ring.assign(capacity, 0.0f);
        smooth_ = 1.0 - std::exp(-1.0 / (0.02 * rate));
        attack_ = 1.0 - std::exp(-1.0 / (0.002 * rate));
        echoRelease_ = std::exp(-1.0 / (0.15 * rate));
        inputRelease_ = std::exp(-1.0 / (3.0 * rate));
        inc1_ = 2.0 * std::numbers::pi * 19.0 / rate;
        inc2_ = 2.0 * std::numbers::pi * 18.88 / rate;
        depthPerUnit_ = 0.0006355868152678745 * rate / (2.0 * std::numbers::pi * 19.0);
        first_ = true;
    }

    void set(const TapeDelay::Settings& s)
    {
        pingPong_ = s.pingPong;
        fbTarget_ = std::clamp(s.feedback, 0.0, 0.95);
        character_ = s.character;
        plain_ = character_.exponent == 1.0 && character_.compression == 0.0;
        levelExponent_ = fbTarget_ > 1e-6 ? std::log10(fbTarget_) * (-20.0 * character_.compression) / 10.0 : 0.0;
        const double minDelay = std::max(0.001 * rate_, offset_ + 4.0);
        wobTarget_ = std::clamp(s.wobble, 0.0, 2.0);
        const double times[2] = {s.timeLeft, s.timeRight};
        for (int c = 0; c < 2; ++c) {
            Line& l = lines_[c];
            const double maxDelay = std::min(6.0 * rate_, static_cast<double>(l.ring.size()) - 4.0);
            const double d = std::clamp(times[c] * rate_, minDelay, maxDelay);
            l.glide = d != l.target ? 1.0 - std::exp(-1.0 / d) : l.glide;
            l.target = d;
            l.current = first_ ? d : l.current;
            // The engine's designs (checked by their own tests); the filtering is done here.
            l.cuts.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, rate_);
        }
        if (first_) {
            fb_ = fbTarget_;
            wob_ = wobTarget_;
        }
        first_ = false;
    }

    void tick(double inL, double inR, double& outL, double& outR)
    {
        fb_ += (fbTarget_ - fb_) * smooth_;
        wob_ += (wobTarget_ - wob_) * smooth_;
        const double mod = std::sin(phase1_) * depthPerUnit_ * wob_;
        const double am = wob_ != 0.0 ? std::pow(10.0, std::sin(phase2_) * 0.52 * wob_ / 20.0) : 1.0;
        phase1_ += inc1_;
        phase2_ += inc2_;
        for (double* phase : {&phase1_, &phase2_})
            *phase -= *phase > 2.0 * std::numbers::pi ? 2.0 * std::numbers::pi : 0.0;

        const double yL = cut(lines_[0], read(lines_[0], mod) * am);
        double yR = read(lines_[1], mod);
        if (!pingPong_)
            yR = cut(lines_[1], am * yR);

        double g = fb_;
        if (!plain_) {
            const double in = std::max(std::fabs(inL), std::fabs(inR));
            inEnv_ = in > inEnv_ ? inEnv_ + (in - inEnv_) * attack_ : inEnv_ * inputRelease_;
            const double echo = std::max(std::fabs(yL), std::fabs(yR));
            echoEnv_ = echo > echoEnv_ ? echoEnv_ + (echo - echoEnv_) * attack_ : echoEnv_ * echoRelease_;
            g = fb_ <= 1e-9 ? 0.0 : std::pow(fb_, character_.exponent);
            if (fb_ > 1e-9 && inEnv_ > 1e-9)
                g *= echoEnv_ >= inEnv_ ? inEnv_ / echoEnv_ : std::pow(echoEnv_ / inEnv_, levelExponent_);
        }

        write(lines_[0], pingPong_ ? g * g * yR : g * yL, pingPong_ ? (inL + inR) / 2.0 : inL);
        write(lines_[1], pingPong_ ? yL : g * yR, pingPong_ ? 0.0 : inR);
        outL = yL;
        outR = yR;
    }

private:
    struct Line {
        std::vector<float> ring;
        std::uint32_t write = 0, filled = 0;
        double current = 0.0, target = 0.0, glide = 1.0;
        TapeDelay::Line cuts;
    };

    static double cut(Line& l, double x)
    {
        TapeDelay::Line& c = l.cuts;
        const bool on[] = {c.lowCutOn, c.highCutSections >= 1, c.highCutSections == 2, c.bandwidthOn};
        Biquad* sections[] = {&c.lowCut, &c.highCut1, &c.highCut2, &c.bandwidth};
        for (int i = 0; i < 4; ++i)
            x = on[i] ? sections[i]->tick(x) : x;
        return x;
    }

    double read(Line& l, double offset)
    {
        l.current += (l.target - l.current) * l.glide;
        const double p = static_cast<double>(l.write) - (l.current + offset);
        const double i = std::floor(p), t = p - i;
        const auto size = static_cast<std::int64_t>(l.ring.size());
        double y[4];
        for (int j = 0; j < 4; ++j) {
            const auto k = static_cast<std::int64_t>(i) - 1 + j;
            const bool valid = k < static_cast<std::int64_t>(l.write)
                               && static_cast<std::int64_t>(l.write) - k <= static_cast<std::int64_t>(l.filled);
            y[j] = valid ? l.ring[static_cast<std::size_t>(((k % size) + size) % size)] : 0.0;
        }
        const double c2 = y[0] - 2.5 * y[1] + 2.0 * y[2] - y[3] / 2.0, c3 = 1.5 * (y[1] - y[2]) + (y[3] - y[0]) / 2.0;
        return ((c3 * t + c2) * t + (y[2] - y[0]) / 2.0) * t + y[1];
    }

    // Writes v at the head, then adds the input inputOffset samples behind it.
    void write(Line& l, double v, double in)
    {
        const std::size_t size = l.ring.size();
        l.ring[l.write] = static_cast<float>(v);
        l.write = static_cast<std::uint32_t>((l.write + 1) % size);
        l.filled = static_cast<std::uint32_t>(std::min<std::size_t>(l.filled + 1, size));
        const std::size_t slot = (l.write + size - (offset_ + 1) % size) % size;
        l.ring[slot] = static_cast<float>(static_cast<double>(l.ring[slot]) + in);
    }

    Line lines_[2];
    double rate_ = 48000.0, smooth_ = 0.0, attack_ = 0.0, echoRelease_ = 0.0, inputRelease_ = 0.0;
    double inc1_ = 0.0, inc2_ = 0.0, depthPerUnit_ = 0.0, phase1_ = 0.0, phase2_ = 0.0;
    double fb_ = 0.0, fbTarget_ = 0.0, wob_ = 0.0, wobTarget_ = 0.0, inEnv_ = 0.0, echoEnv_ = 0.0, levelExponent_ = 0.0;
    std::uint32_t offset_ = 0;
    TapeDelay::Character character_{};
    bool plain_ = true, pingPong_ = false, first_ = true;
};

} // namespace

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
        ReferenceDelay ref;
        ref.prepare(c.rate, engine.capacity(), 31);
        TapeDelay::Settings s = c.settings;
        engine.set(s);
        ref.set(s);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> noise(-0.5, 0.5);
        double peak = 0.0, a[2], b[2];
        for (int n = 0; n < static_cast<int>(c.rate * 2.0); ++n) {
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
            engine.tick(inL, inR, a[0], a[1]);
            ref.tick(inL, inR, b[0], b[1]);
            for (int i = 0; i < 2; ++i)
                ASSERT_LE(std::fabs(a[i] - b[i]), 1e-6 * std::fabs(b[i]) + 1e-7) << c.rate << " frame " << n;
            peak = std::max({peak, std::fabs(b[0]), std::fabs(b[1])});
        }
        EXPECT_GT(peak, 0.01);
    }
}
