#pragma once

// The level-dependent part of the delay lines' feedback law, for one frame and
// for four frames side by side, the same bits in every lane. Internal to the
// delay engine (TapeDelayProcess.cpp).

#include "dsp/FastMath.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace ostratapedelay::dsp::feedbacklaw
{

// Input envelopes at or below this count as silence: the gain is g0.
inline constexpr double kQuiet = 1e-9;

// Gain for base gain g0, input and echo envelopes and level exponent E: echoes
// louder than the input are pulled down to it, quieter ones are scaled by
// (echo / input)^E.
inline double gain(double g0, double input, double echo, double exponent) noexcept
{
  // A base gain of 0 stays 0 even where a negative exponent would overflow.
  if (input <= kQuiet || g0 == 0.0)
    return g0;
  if (echo >= input)
    return g0 * input / echo;
  // E = 0 would meet ln 0 = -inf at an echo envelope of 0, where the power is 1.
  if (exponent == 0.0)
    return g0;
  // ratio^E as exp(E ln ratio), within about 1e-14 of pow.
  return g0 * corvana::dsp::fastExp(exponent * corvana::dsp::fastLog(echo / input));
}

#if defined(__GNUC__)
using corvana::dsp::Quad;

// gain() of four frames. Lanes whose power would leave the kernels' ranges
// (an echo envelope of 0 or below 2^-1022, a power beyond e^-708..e^709) send the four
// frames to gain() one by one. `exponent` must not be 0.
CORVANA_LANES_INLINE Quad gains(Quad g0, Quad input, Quad echo, double exponent) noexcept
{
  namespace fm = corvana::dsp::fastmath;
  const auto quiet = (input <= kQuiet) | (g0 == 0.0);
  const auto louder = echo >= input;
  const Quad ratio = (quiet | louder) ? Quad{} + 1.0 : echo / input;
  const Quad y = exponent * fm::logKernel(ratio);
  // NaN compares false and also takes the slow way.
  const auto inRange = (ratio >= fm::kLogLowest) & (y >= fm::kExpLowest) & (y <= fm::kExpHighest);
  if (!(inRange[0] & inRange[1] & inRange[2] & inRange[3]))
  {
    Quad g;
    for (int k = 0; k < 4; ++k)
      g[k] = gain(g0[k], input[k], echo[k], exponent);
    return g;
  }
  return quiet ? g0 : (louder ? g0 * input / echo : g0 * fm::expKernel(y));
}
#endif

} // namespace ostratapedelay::dsp::feedbacklaw

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
