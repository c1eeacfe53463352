#pragma once

namespace corvana::dsp
{

// One sample through a second-order section in transposed direct form II, for a double
// or for lanes of them (dsp/Lanes.h): the one form of this step in the engines.
template <class V>
inline V secondOrder(V x, V b0, V b1, V b2, V a1, V a2, V& z1, V& z2) noexcept
{
  const V y = b0 * x + z1;
  z1 = b1 * x - a1 * y + z2;
  z2 = b2 * x - a2 * y;
  return y;
}

// The same with b2 = a2 = 0, where the second state would only ever hold 0.
template <class V>
inline V firstOrder(V x, V b0, V b1, V a1, V& z1) noexcept
{
  const V y = b0 * x + z1;
  z1 = b1 * x - a1 * y;
  return y;
}

// One second-order section in transposed direct form II. Coefficients are
// stored with a0 already divided out.
struct Biquad
{
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  double z1 = 0.0, z2 = 0.0;

  // Any thread that owns the section; real-time safe.
  void setCoefficients(double nb0, double nb1, double nb2, double a0, double na1,
                       double na2) noexcept
  {
    const double inv = 1.0 / a0;
    b0 = nb0 * inv;
    b1 = nb1 * inv;
    b2 = nb2 * inv;
    a1 = na1 * inv;
    a2 = na2 * inv;
  }

  // Zeroes the two states, keeps the coefficients. Real-time safe.
  void clear() noexcept { z1 = z2 = 0.0; }

  // One sample. Real-time safe.
  double tick(double x) noexcept { return secondOrder(x, b0, b1, b2, a1, a2, z1, z2); }
};

} // namespace corvana::dsp
