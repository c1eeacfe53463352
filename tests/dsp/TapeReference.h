#pragma once

// A deliberately plain tape stage: the textbook loop over ring buffers and the
// saturator evaluated with two pow calls. The optimised Tape must stay within
// 1e-6 relative of it; the benchmarks use it as their baseline.

#include "dsp/Tape.h"

#include <array>
#include <cmath>

namespace tapetest
{

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::Tape;

class ReferenceTape
{
public:
  void prepare(double rate, int mode, double drive)
  {
    Tape::design(ostratapedelay::dsp::kBeforeCurve, mPre, rate);
    Tape::design(ostratapedelay::dsp::kAfterCurve, mPost, rate);
    mSmooth = 1.0 - std::exp(-1.0 / (0.02 * rate));
    mMode = mode;
    mDriveCurrent = mDriveTarget = drive;
  }

  void setDriveTarget(double d) { mDriveTarget = d; }

  double tick(double x)
  {
    mDriveCurrent += (mDriveTarget - mDriveCurrent) * mSmooth;
    const double v = mPre[1].tick(mPre[0].tick(x)) * mDriveCurrent;
    double y = mMode == 0 ? Tape::saturate(v) : mMode == 1 ? antiderivative(v) : twice(v);
    for (Biquad& b : mPost)
      y = b.tick(y);
    return y / mDriveCurrent;
  }

private:
  double antiderivative(double v)
  {
    const double d = v - mPrevious;
    const double y = std::fabs(d) > 1e-6 ? (Tape::integral(v) - Tape::integral(mPrevious)) / d
                                         : Tape::saturate((v + mPrevious) / 2.0);
    mPrevious = v;
    return y;
  }

  // Zero-stuffed upsampling, the saturator at twice the rate, half-band decimation.
  double twice(double v)
  {
    const auto& tap = Tape::halfband();
    mX[mN] = v;
    double a = 0.0, out = 0.0;
    for (std::size_t k = 0; k < 32; ++k)
      a += tap[2 * k] * mX[(mN + 32 - k) % 32];
    const double b = mX[(mN + 32 - 15) % 32];
    mN = (mN + 1) % 32;
    mY[mJ] = Tape::saturate(2.0 * a);
    for (std::size_t k = 0; k < 32; ++k)
      out += tap[2 * k] * mY[(mJ + 64 - 2 * k) % 64];
    out += tap[31] * mY[(mJ + 64 - 31) % 64];
    mY[mJ + 1] = Tape::saturate(b);
    mJ = (mJ + 2) % 64;
    return out;
  }

  std::array<Biquad, 2> mPre{};
  std::array<Biquad, 5> mPost{};
  double mSmooth = 0.0, mDriveCurrent = 1.0, mDriveTarget = 1.0, mPrevious = 0.0, mX[32]{},
         mY[64]{};
  int mMode = 2;
  std::size_t mN = 0, mJ = 0;
};

} // namespace tapetest
