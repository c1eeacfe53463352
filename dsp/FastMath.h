#pragma once

// Natural logarithm and exponential for the per-sample paths, inline and
// table-driven with short polynomials, within a few units in the last place of
// std::log / std::exp (the tests measure it). The kernels are written once for
// a double and for four doubles side by side (`Quad`), operation for
// operation, so a lane of the wide form gives the same bits as the narrow one.

#include "dsp/Dispatch.h"
#include "dsp/Lanes.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace corvana::dsp
{

namespace fastmath
{

inline constexpr int kLogBits = 7;
inline constexpr int kLogEntries = 1 << kLogBits;
inline constexpr int kExpBits = 6;
inline constexpr int kExpEntries = 1 << kExpBits;

// For the logarithm: 1/c and -ln(1/c) for c = 1 + i / kLogEntries, i = 0 to
// kLogEntries (c = 1 is exact, so ln 1 = 0); for the exponential:
// 2^(j / kExpEntries). Filled while the library loads, before any caller runs.
struct Tables
{
  std::array<double, kLogEntries + 1> inverse;
  std::array<double, kLogEntries + 1> logOfCentre;
  std::array<double, kExpEntries> exp2;
};
extern const Tables kTables;

// ln 2 split so that n * kLn2Hi is exact for |n| < 2^21.
inline constexpr double kLn2Hi = 6.93147180369123816490e-01;
inline constexpr double kLn2Lo = 1.90821492927058770002e-10;
inline constexpr double kInvLn2 = 1.4426950408889634074;
// Adding and subtracting 1.5 * 2^52 rounds to the nearest integer k, and the
// low mantissa bits of the sum are then 2^51 + k.
inline constexpr double kRoundMagic = 0x1.8p52;
// An integer e below 2^52 as the bits of 2^52 + e, from which 2^52 is subtracted.
inline constexpr std::uint64_t kTwo52Bits = 0x4330000000000000ull;
inline constexpr std::uint64_t kMantissaMask = (std::uint64_t{1} << 52) - 1;

// Ranges the kernels are exact for; the callers take the library outside.
inline constexpr double kLogLowest = 0x1p-1022;
inline constexpr double kLogHighest = 0x1.fffffffffffffp+1023;
inline constexpr double kExpLowest = -708.0;
inline constexpr double kExpHighest = 709.0;

#if defined(__GNUC__)
using corvana::dsp::Quad;
using QuadBits = std::uint64_t __attribute__((vector_size(32)));
#endif

// std::bit_cast without a call, so four-double vectors never cross one.
template <class To, class From>
CORVANA_LANES_INLINE To bitCast(From from) noexcept
{
#if defined(__GNUC__)
  return __builtin_bit_cast(To, from);
#else
  return std::bit_cast<To>(from);
#endif
}

template <class D>
struct Lanes
{
  using Bits = std::uint64_t;
  template <std::size_t N>
  CORVANA_LANES_INLINE static double lookup(const std::array<double, N>& t, Bits i) noexcept
  {
    return t[i];
  }
};

#if defined(__GNUC__)
template <>
struct Lanes<Quad>
{
  using Bits = QuadBits;
  template <std::size_t N>
  CORVANA_LANES_INLINE static Quad lookup(const std::array<double, N>& t, Bits i) noexcept
  {
    return Quad{t[i[0]], t[i[1]], t[i[2]], t[i[3]]};
  }
};
#endif

// ln x for kLogLowest <= x <= kLogHighest.
template <class D>
CORVANA_LANES_INLINE D logKernel(D x) noexcept
{
  using L = Lanes<D>;
  using Bits = typename L::Bits;
  const auto bits = bitCast<Bits>(x);
  const D exponent = bitCast<D>((bits >> 52) | kTwo52Bits) - (0x1p52 + 1023.0);
  // The nearest c: the top kLogBits + 1 mantissa bits, rounded.
  const Bits slice = (((bits >> (51 - kLogBits)) & (2 * kLogEntries - 1)) + 1) >> 1;
  const D m = bitCast<D>((bits & kMantissaMask) | (std::uint64_t{1023} << 52));

  // x = 2^e * c * (1 + r) with |r| <= 1/256; ln(1 + r) to r^5 is within 1e-15.
  const D r = m * L::lookup(kTables.inverse, slice) - 1.0;
  const D r2 = r * r;
  const D series = r + r2 * ((-1.0 / 2.0 + r * (1.0 / 3.0)) + r2 * (-1.0 / 4.0 + r * (1.0 / 5.0)));
  return exponent * kLn2Hi + (L::lookup(kTables.logOfCentre, slice) + (series + exponent * kLn2Lo));
}

// e^x for kExpLowest <= x <= kExpHighest.
template <class D>
CORVANA_LANES_INLINE D expKernel(D x) noexcept
{
  using L = Lanes<D>;
  using Bits = typename L::Bits;
  // x = (k / 64) ln 2 + f with |f| <= ln(2) / 128.
  const D shifted = x * (kExpEntries * kInvLn2) + kRoundMagic;
  const D k = shifted - kRoundMagic;
  const D f = (x - k * (kLn2Hi / kExpEntries)) - k * (kLn2Lo / kExpEntries);
  // e^f to f^5: within 4e-17 relative.
  const D f2 = f * f;
  const D p =
      1.0 + (f + f2 * ((1.0 / 2.0 + f * (1.0 / 6.0)) + f2 * (1.0 / 24.0 + f * (1.0 / 120.0))));

  // u = 2^51 + k: its low bits index the table, the rest is floor(k / 64).
  const Bits u = bitCast<Bits>(shifted) & kMantissaMask;
  const Bits whole =
      ((u >> kExpBits) + (std::uint64_t{1023} - (std::uint64_t{1} << (51 - kExpBits)))) << 52;
  return p * (L::lookup(kTables.exp2, u & (kExpEntries - 1)) * bitCast<D>(whole));
}

} // namespace fastmath

// ln x; 0, subnormal, negative, infinite and NaN arguments go to std::log.
inline double fastLog(double x) noexcept
{
  if (!(x >= fastmath::kLogLowest && x <= fastmath::kLogHighest))
    return std::log(x);
  return fastmath::logKernel(x);
}

// e^x; arguments beyond -708..709 and NaN go to std::exp.
inline double fastExp(double x) noexcept
{
  if (!(x >= fastmath::kExpLowest && x <= fastmath::kExpHighest))
    return std::exp(x);
  return fastmath::expKernel(x);
}

} // namespace corvana::dsp

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
