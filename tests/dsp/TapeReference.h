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
        double y = mode_ == 0 ? Tape::saturate(v) : mode_ == 1 ? antiderivative(v) : twice(v);
        for (Biquad& b : post_)
            y = b.tick(y);
        return y / driveCurrent_;
    }

private:
    double antiderivative(double v)
    {
        const double d = v - previous_;
        const double y = std::fabs(d) > 1e-6 ? (Tape::integral(v) - Tape::integral(previous_)) / d
                                             : Tape::saturate((v + previous_) / 2.0);
        previous_ = v;
        return y;
    }

    // Zero-stuffed upsampling, the saturator at twice the rate, half-band decimation.
    double twice(double v)
    {
        const auto& tap = Tape::halfband();
        x_[n_] = v;
        double a = 0.0, out = 0.0;
        for (std::size_t k = 0; k < 32; ++k)
            a += tap[2 * k] * x_[(n_ + 32 - k) % 32];
        const double b = x_[(n_ + 32 - 15) % 32];
        n_ = (n_ + 1) % 32;
        y_[j_] = Tape::saturate(2.0 * a);
        for (std::size_t k = 0; k < 32; ++k)
            out += tap[2 * k] * y_[(j_ + 64 - 2 * k) % 64];
        out += tap[31] * y_[(j_ + 64 - 31) % 64];
        y_[j_ + 1] = Tape::saturate(b);
        j_ = (j_ + 2) % 64;
        return out;
    }

    std::array<Biquad, 2> pre_{};
    std::array<Biquad, 5> post_{};
    double smooth_ = 0.0, driveCurrent_ = 1.0, driveTarget_ = 1.0, previous_ = 0.0, x_[32]{}, y_[64]{};
    int mode_ = 2;
    std::size_t n_ = 0, j_ = 0;
};

} // namespace tapetest
