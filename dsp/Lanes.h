#pragma once

// The vector types of the block paths: two doubles side by side (`Pair`: the two channels
// of a stereo engine, or two frames of one) and four (`Quad`). Arithmetic on them acts
// lane by lane, so code written once for `double` runs on them unchanged and every lane
// gives the bits the one-lane code gives.

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace corvana::dsp
{

#if defined(__GNUC__)
using Pair = double __attribute__((vector_size(16)));
// Wider than the baseline's registers: functions passing it are always inlined
// (CORVANA_LANES_INLINE, dsp/Dispatch.h).
using Quad = double __attribute__((vector_size(32)));
#else
// Compilers without vector extensions: a plain pair with the operations the block paths use.
struct Pair
{
  double v[2];
  double operator[](int k) const noexcept { return v[k]; }
  double& operator[](int k) noexcept { return v[k]; }
  friend Pair operator+(Pair a, Pair b) noexcept { return {{a.v[0] + b.v[0], a.v[1] + b.v[1]}}; }
  friend Pair operator-(Pair a, Pair b) noexcept { return {{a.v[0] - b.v[0], a.v[1] - b.v[1]}}; }
  friend Pair operator*(Pair a, Pair b) noexcept { return {{a.v[0] * b.v[0], a.v[1] * b.v[1]}}; }
  friend Pair operator/(Pair a, Pair b) noexcept { return {{a.v[0] / b.v[0], a.v[1] / b.v[1]}}; }
  friend Pair operator*(double a, Pair b) noexcept { return {{a * b.v[0], a * b.v[1]}}; }
  friend Pair operator*(Pair a, double b) noexcept { return {{a.v[0] * b, a.v[1] * b}}; }
  friend Pair operator/(Pair a, double b) noexcept { return {{a.v[0] / b, a.v[1] / b}}; }
  friend Pair operator+(Pair a, double b) noexcept { return {{a.v[0] + b, a.v[1] + b}}; }
  Pair& operator+=(Pair b) noexcept { return *this = *this + b; }
};
#endif

} // namespace corvana::dsp

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
