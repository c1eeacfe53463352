#pragma once

#include <cmath>

namespace corvana::dsp
{

// Rate used when none is known, or when the one given is unusable
// (zero, negative, NaN or infinite).
inline constexpr double kDefaultSampleRate = 48000.0;

// The rate to design for: the given one if it is finite and positive.
inline double usableRate(double rate) noexcept
{
  return (std::isfinite(rate) && rate > 0.0) ? rate : kDefaultSampleRate;
}

// Coefficient c of a one-pole smoother y += (target - y) * c with time
// constant `seconds`. Real-time safe.
inline double onePoleCoefficient(double seconds, double rate) noexcept
{
  return 1.0 - std::exp(-1.0 / (seconds * rate));
}

// Per-sample decay factor with time constant `seconds`. Real-time safe.
inline double decayCoefficient(double seconds, double rate) noexcept
{
  return std::exp(-1.0 / (seconds * rate));
}

} // namespace corvana::dsp
