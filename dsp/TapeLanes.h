#pragma once

// Arithmetic of the tape stage written once for one channel (`double`) and for
// two channels side by side (`Pair`, one lane per channel). Every lane performs
// exactly the operations of the one-channel code in the same order, so a pair
// of stages gives bit for bit what two single stages give.
//
// Internal to the tape stage (Tape.cpp, TapeBlock.cpp).

#include "dsp/Dispatch.h"
#include "dsp/Lanes.h"
#include "dsp/Tape.h"

#include <cmath>
#include <cstring>

namespace ostratapedelay::dsp::tapelanes
{

using corvana::dsp::Pair;

// Lane access, so the kernels below serve both types.
inline double lane(double v, int) noexcept
{
  return v;
}
inline double lane(const Pair& v, int k) noexcept
{
  return v[k];
}
inline void setLane(double& v, int, double x) noexcept
{
  v = x;
}
inline void setLane(Pair& v, int k, double x) noexcept
{
  v[k] = x;
}

#if defined(__GNUC__)
// Two frames of one (Pair) or two (Quad) channels side by side, for the
// half-band sums and the saturator, which do not feed back from frame to frame.
// Everything using it is inline, so the wider vectors never cross a call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
using corvana::dsp::Quad;
inline void setLane(Quad& v, int k, double x) noexcept
{
  v[k] = x;
}
#endif

template <class V>
inline constexpr int kLanes = sizeof(V) / sizeof(double);

template <class V>
CORVANA_LANES_INLINE V splat(double x) noexcept
{
  V v;
  for (int k = 0; k < kLanes<V>; ++k)
    setLane(v, k, x);
  return v;
}

// The saturator's table reaches to |x|/0.41 = 64, 32 steps per unit; each
// entry is h(a) = f(x)/x and its slope times the step (cubic Hermite).
inline constexpr double kCeiling = 0.41;
inline constexpr int kShapeResolution = 32;
inline constexpr double kShapeEnd = 64.0;
inline constexpr int kShapeEntries = static_cast<int>(kShapeEnd) * kShapeResolution + 2;

// f(x) from the shape table; the exact formula past its end (and for NaN).
inline double shapeAt(const double* shape, double x) noexcept
{
  const double a = std::fabs(x) * (1.0 / kCeiling);
  if (!(a < kShapeEnd))
    return Tape::saturate(x);
  const double u = a * kShapeResolution;
  const int i = static_cast<int>(u);
  const double t = u - i;
  const double* e = shape + 2 * i;
  const double t2 = t * t;
  const double t3 = t2 * t;
  const double h = (2.0 * t3 - 3.0 * t2 + 1.0) * e[0] + (t3 - 2.0 * t2 + t) * e[1] +
                   (3.0 * t2 - 2.0 * t3) * e[2] + (t3 - t2) * e[3];
  return x * h;
}

inline Pair shapeAt(const double* shape, Pair x) noexcept
{
#if defined(__GNUC__)
  // The same steps as the one-lane version, both lanes per instruction;
  // only the table reads are per lane.
  using Index = int __attribute__((vector_size(8)));
  const Pair a = (x < 0.0 ? -x : x) * (1.0 / kCeiling);
  if (!(a[0] < kShapeEnd && a[1] < kShapeEnd))
  {
    Pair y;
    y[0] = shapeAt(shape, x[0]);
    y[1] = shapeAt(shape, x[1]);
    return y;
  }
  const Pair u = a * static_cast<double>(kShapeResolution);
  const Index i = __builtin_convertvector(u, Index);
  const Pair t = u - __builtin_convertvector(i, Pair);
  const double* p = shape + 2 * i[0];
  const double* q = shape + 2 * i[1];
  const Pair e0 = {p[0], q[0]};
  const Pair e1 = {p[1], q[1]};
  const Pair e2 = {p[2], q[2]};
  const Pair e3 = {p[3], q[3]};
#else
  const double a0 = std::fabs(x[0]) * (1.0 / kCeiling);
  const double a1 = std::fabs(x[1]) * (1.0 / kCeiling);
  if (!(a0 < kShapeEnd && a1 < kShapeEnd))
  {
    Pair y;
    y[0] = shapeAt(shape, x[0]);
    y[1] = shapeAt(shape, x[1]);
    return y;
  }
  Pair u;
  u[0] = a0 * kShapeResolution;
  u[1] = a1 * kShapeResolution;
  const int i0 = static_cast<int>(u[0]);
  const int i1 = static_cast<int>(u[1]);
  Pair fi;
  fi[0] = i0;
  fi[1] = i1;
  const Pair t = u - fi;
  const double* p = shape + 2 * i0;
  const double* q = shape + 2 * i1;
  Pair e0, e1, e2, e3;
  e0[0] = p[0], e0[1] = q[0];
  e1[0] = p[1], e1[1] = q[1];
  e2[0] = p[2], e2[1] = q[2];
  e3[0] = p[3], e3[1] = q[3];
#endif
  const Pair t2 = t * t;
  const Pair t3 = t2 * t;
  const Pair h = (2.0 * t3 - 3.0 * t2 + 1.0) * e0 + (t3 - 2.0 * t2 + t) * e1 +
                 (3.0 * t2 - 2.0 * t3) * e2 + (t3 - t2) * e3;
  return x * h;
}

#if defined(__GNUC__)
template <class V>
struct TwoFrames;
template <>
struct TwoFrames<double>
{
  using Type = Pair;
  using Index = int __attribute__((vector_size(8)));
};
template <>
struct TwoFrames<Pair>
{
  using Type = Quad;
  using Index = int __attribute__((vector_size(16)));
};

// Frames p[0] and p[1] as one vector.
template <class V>
CORVANA_LANES_INLINE typename TwoFrames<V>::Type loadTwo(const V* p) noexcept
{
  typename TwoFrames<V>::Type w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

template <class V>
CORVANA_LANES_INLINE void storeTwo(V* p, typename TwoFrames<V>::Type w) noexcept
{
  std::memcpy(p, &w, sizeof w);
}

// shapeAt for every lane of a two-frame vector: the same steps lane by lane.
template <class V>
CORVANA_LANES_INLINE typename TwoFrames<V>::Type shapeTwo(const double* shape,
                                                          typename TwoFrames<V>::Type x) noexcept
{
  using W = typename TwoFrames<V>::Type;
  using Index = typename TwoFrames<V>::Index;
  constexpr int kN = sizeof(W) / sizeof(double);
  const W a = (x < 0.0 ? -x : x) * (1.0 / kCeiling);
  bool inTable = true;
  for (int k = 0; k < kN; ++k)
    inTable = inTable && a[k] < kShapeEnd;
  if (!inTable)
  {
    W y;
    for (int k = 0; k < kN; ++k)
      y[k] = shapeAt(shape, x[k]);
    return y;
  }
  const W u = a * static_cast<double>(kShapeResolution);
  const Index i = __builtin_convertvector(u, Index);
  const W t = u - __builtin_convertvector(i, W);
  W e0, e1, e2, e3;
  for (int k = 0; k < kN; ++k)
  {
    const double* e = shape + 2 * i[k];
    e0[k] = e[0];
    e1[k] = e[1];
    e2[k] = e[2];
    e3[k] = e[3];
  }
  const W t2 = t * t;
  const W t3 = t2 * t;
  const W h = (2.0 * t3 - 3.0 * t2 + 1.0) * e0 + (t3 - 2.0 * t2 + t) * e1 +
              (3.0 * t2 - 2.0 * t3) * e2 + (t3 - t2) * e3;
  return x * h;
}
#endif

// The 32-term half-band sum sum_q c[q] x[q] with symmetric taps (c[q] equals
// c[31 - q]), folded so each tap multiplies once: 16 pairs are added first.
// Eight partial sums keep the additions short and independent; their grouping
// is fixed, so one and two lanes round alike.
// `c` holds the first 16 taps, as plain numbers or already spread over the
// lanes (`C` = V), which saves a broadcast per tap inside block loops.
template <class V, class C>
inline V foldedDot(const C* c, const V* x) noexcept
{
  V s[8];
  for (int k = 0; k < 8; ++k)
    s[k] = c[k] * (x[k] + x[31 - k]) + c[k + 8] * (x[k + 8] + x[23 - k]);
  return ((s[0] + s[2]) + (s[4] + s[6])) + ((s[1] + s[3]) + (s[5] + s[7]));
}

#if defined(__GNUC__)
// foldedDot<double> with the taps across the two lanes (partial sums s[2j]
// and s[2j + 1] side by side): the same operations on the same values, so the
// same bits, in half the instructions of the one-lane loop.
inline double foldedDotAcross(const double* c, const double* x) noexcept
{
  Pair t[4];
  for (int j = 0; j < 4; ++j)
  {
    const int k = 2 * j;
    Pair c0, c8, x0, x8;
    std::memcpy(&c0, c + k, sizeof c0);
    std::memcpy(&c8, c + k + 8, sizeof c8);
    std::memcpy(&x0, x + k, sizeof x0);
    std::memcpy(&x8, x + k + 8, sizeof x8);
    const Pair r0 = {x[31 - k], x[30 - k]};
    const Pair r8 = {x[23 - k], x[22 - k]};
    t[j] = c0 * (x0 + r0) + c8 * (x8 + r8);
  }
  const Pair sum = (t[0] + t[1]) + (t[2] + t[3]);
  return sum[0] + sum[1];
}

// foldedDot for frames x and x + 1 at once (windows x[0..31] and x[1..32]).
template <class V>
CORVANA_LANES_INLINE typename TwoFrames<V>::Type foldedDotTwo(const typename TwoFrames<V>::Type* c,
                                                              const V* x) noexcept
{
  using W = typename TwoFrames<V>::Type;
  W s[8];
  for (int k = 0; k < 8; ++k)
    s[k] = c[k] * (loadTwo(x + k) + loadTwo(x + 31 - k)) +
           c[k + 8] * (loadTwo(x + k + 8) + loadTwo(x + 23 - k));
  return ((s[0] + s[2]) + (s[4] + s[6])) + ((s[1] + s[3]) + (s[5] + s[7]));
}
#endif

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace ostratapedelay::dsp::tapelanes
