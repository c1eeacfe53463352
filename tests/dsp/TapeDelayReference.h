#pragma once

// A deliberately plain pair of tape delay lines: every formula written out as
// stated, sin, pow and modulo evaluated each sample, no caching. The engine
// must stay within 1e-6 relative of it; the benchmarks use it as baseline.
// Finite inputs only (the engine's guards against non-finite samples are
// tested on their own).

#include "dsp/TapeDelay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tapetest {

using ostratapedelay::dsp::TapeDelay;

class ReferenceDelay {
public:
    // Rings of the engine's capacity, so reads outside the history agree.
    void prepare(double rate, std::size_t capacity, std::uint32_t inputOffset)
    {
        rate_ = rate;
        offset_ = inputOffset;
        for (Line& l : lines_) {
            l.ring.assign(capacity, 0.0f);
            l.write = 0;
            l.filled = 0;
        }
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
        if (first_)
            wob_ = wobTarget_;
        const double times[2] = {s.timeLeft, s.timeRight};
        for (int c = 0; c < 2; ++c) {
            Line& l = lines_[c];
            const double maxDelay = std::min(6.0 * rate_, static_cast<double>(l.ring.size()) - 4.0);
            double d = times[c] * rate_;
            d = d < minDelay ? minDelay : std::min(d, maxDelay);
            if (d != l.target) {
                l.target = d;
                l.glide = 1.0 - std::exp(-1.0 / d);
            }
            if (first_)
                l.current = d;
            // The engine's designs (checked by their own tests); the filtering is done here.
            l.cuts.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, rate_);
        }
        if (first_)
            fb_ = fbTarget_;
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

        if (pingPong_) {
            write(lines_[0], g * g * yR);
            addInput(lines_[0], (inL + inR) / 2.0);
            write(lines_[1], yL);
        } else {
            write(lines_[0], g * yL);
            addInput(lines_[0], inL);
            write(lines_[1], g * yR);
            addInput(lines_[1], inR);
        }
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

    static double section(ostratapedelay::dsp::Biquad& b, double x)
    {
        const double y = b.b0 * x + b.z1;
        b.z1 = b.b1 * x - b.a1 * y + b.z2;
        b.z2 = b.b2 * x - b.a2 * y;
        return y;
    }

    static double cut(Line& l, double x)
    {
        if (l.cuts.lowCutOn)
            x = section(l.cuts.lowCut, x);
        if (l.cuts.highCutSections >= 1)
            x = section(l.cuts.highCut1, x);
        if (l.cuts.highCutSections == 2)
            x = section(l.cuts.highCut2, x);
        if (l.cuts.bandwidthOn)
            x = section(l.cuts.bandwidth, x);
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

    static void write(Line& l, double v)
    {
        l.ring[l.write] = static_cast<float>(v);
        l.write = static_cast<std::uint32_t>((l.write + 1) % l.ring.size());
        l.filled = static_cast<std::uint32_t>(std::min<std::size_t>(l.filled + 1, l.ring.size()));
    }

    void addInput(Line& l, double v)
    {
        const std::size_t size = l.ring.size();
        const std::size_t slot = (l.write + size - (offset_ + 1) % size) % size;
        l.ring[slot] = static_cast<float>(static_cast<double>(l.ring[slot]) + v);
    }

    Line lines_[2];
    double rate_ = 48000.0, smooth_ = 0.0, attack_ = 0.0, echoRelease_ = 0.0, inputRelease_ = 0.0;
    double inc1_ = 0.0, inc2_ = 0.0, depthPerUnit_ = 0.0, phase1_ = 0.0, phase2_ = 0.0;
    double fb_ = 0.0, fbTarget_ = 0.0, wob_ = 0.0, wobTarget_ = 0.0, inEnv_ = 0.0, echoEnv_ = 0.0, levelExponent_ = 0.0;
    std::uint32_t offset_ = 0;
    TapeDelay::Character character_{};
    bool plain_ = true, pingPong_ = false, first_ = true;
};

} // namespace tapetest
