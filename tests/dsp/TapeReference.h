#pragma once

// A deliberately plain tape stage: the textbook loop over ring buffers and the
// saturator evaluated with two pow calls. The optimised Tape must stay within
// 1e-6 relative of it; the benchmarks use it as their baseline.

#include "dsp/Tape.h"

#include <array>
#include <cmath>

namespace tapetest {

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::Tape;

class ReferenceTape {
public:
    void prepare(double rate, int mode, double drive)
    {
        Tape::design(ostratapedelay::dsp::kBeforeCurve, pre_, rate);
        Tape::design(ostratapedelay::dsp::kAfterCurve, post_, rate);
        smooth_ = 1.0 - std::exp(-1.0 / (0.02 * rate));
        mode_ = mode;
        driveCurrent_ = driveTarget_ = drive;
    }

    void setDriveTarget(double d) { driveTarget_ = d; }

    double tick(double x)
    {
        driveCurrent_ += (driveTarget_ - driveCurrent_) * smooth_;
        const double v = pre_[1].tick(pre_[0].tick(x)) * driveCurrent_;
        double y;
        if (mode_ == 0) {
            y = Tape::saturate(v);
        } else if (mode_ == 1) {
            const double d = v - previous_;
            y = std::fabs(d) > 1e-6 ? (Tape::integral(v) - Tape::integral(previous_)) / d
                                    : Tape::saturate((v + previous_) / 2.0);
            previous_ = v;
        } else {
            y = twice(v);
        }
        for (Biquad& b : post_)
            y = b.tick(y);
        return y / driveCurrent_;
    }

private:
    double twice(double v)
    {
        const auto& tap = Tape::halfband();
        x_[n_] = v;
        double a = 0.0;
        for (int k = 0; k < 32; ++k)
            a += tap[static_cast<std::size_t>(2 * k)] * x_[(n_ + 32 - static_cast<std::size_t>(k)) % 32];
        a *= 2.0;
        const double b = x_[(n_ + 32 - 15) % 32];
        n_ = (n_ + 1) % 32;
        y_[j_] = Tape::saturate(a);
        double out = 0.0;
        for (int k = 0; k < 32; ++k)
            out += tap[static_cast<std::size_t>(2 * k)] * y_[(j_ + 64 - 2 * static_cast<std::size_t>(k)) % 64];
        out += tap[31] * y_[(j_ + 64 - 31) % 64];
        y_[j_ + 1] = Tape::saturate(b);
        j_ = (j_ + 2) % 64;
        return out;
    }

    std::array<Biquad, 2> pre_{};
    std::array<Biquad, 5> post_{};
    double smooth_ = 0.0;
    double driveCurrent_ = 1.0;
    double driveTarget_ = 1.0;
    int mode_ = 2;
    double previous_ = 0.0;
    std::array<double, 32> x_{};
    std::array<double, 64> y_{};
    std::size_t n_ = 0;
    std::size_t j_ = 0;
};

} // namespace tapetest
