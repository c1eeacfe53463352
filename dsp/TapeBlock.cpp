// Block processing of the tape stage: the oversampled path over whole blocks,
// for one channel or for two channels side by side.
//
// The arithmetic is tick()'s, operation for operation, so the results are the
// same bits. What changes is where the state lives: the filter states and
// drive sit in registers for the whole block, and the histories are straight
// arrays, so every half-band window is contiguous and a stereo pair runs its
// two channels in the two lanes of the same instructions.

#include "dsp/Dispatch.h"
#include "dsp/Tape.h"
#include "dsp/TapeLanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__GNUC__)
// The two-frame vectors of TapeLanes.h only pass between inline functions.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace ostratapedelay::dsp
{

using tapelanes::foldedDot;
using tapelanes::lane;
using tapelanes::Pair;
using tapelanes::setLane;
using tapelanes::shapeAt;

namespace
{

// Far enough from the double range that nothing in the stage can overflow:
// with states, history and inputs below it and a drive between its inverse
// and it, every intermediate stays below about 1e65.
constexpr double kSafeMagnitude = 1e30;

bool safe(double x) noexcept
{
  return std::fabs(x) <= kSafeMagnitude;
} // false for NaN

// Every |in[i]| <= kSafeMagnitude (NaN fails). Two samples per comparison,
// without a branch per sample: this runs over every block.
bool inputsSafe(const double* in, int n) noexcept
{
  int i = 0;
#if defined(__GNUC__)
  using Mask = long long __attribute__((vector_size(16)));
  Mask ok = {-1, -1};
  for (; i + 2 <= n; i += 2)
  {
    Pair x;
    std::memcpy(&x, in + i, sizeof x);
    ok &= (x <= kSafeMagnitude) & (x >= -kSafeMagnitude);
  }
  if ((ok[0] & ok[1]) == 0)
    return false;
#endif
  bool scalarOk = true;
  for (; i < n; ++i)
    scalarOk = scalarOk && safe(in[i]);
  return scalarOk;
}

template <class V>
struct Section
{
  V b0, b1, b2, a1, a2, z1, z2;

  V tick(V x) noexcept { return corvana::dsp::secondOrder(x, b0, b1, b2, a1, a2, z1, z2); }
};

constexpr int kChunk = 64;         // frames per pass over the straight histories
constexpr int kWindow = 32;        // half-band sum length at the host rate
constexpr int kKeep = kWindow - 1; // history carried from pass to pass
constexpr int kDirectDelay = 16;   // the original-rate branch meets the sum 16 samples late

} // namespace

bool Tape::blockSafe(const double* in, int n) const noexcept
{
  if (mMode == kDirect || mMode == kAntiderivative)
    return false;
  if (!(mDriveCurrent >= 1.0 / kSafeMagnitude && mDriveCurrent <= kSafeMagnitude) ||
      !(mDriveTarget >= 1.0 / kSafeMagnitude && mDriveTarget <= kSafeMagnitude) ||
      !std::isfinite(mSmooth))
    return false;
  bool ok = true;
  for (const Biquad& b : mPre)
    ok = ok && safe(b.z1) && safe(b.z2);
  for (const Biquad& b : mPost)
    ok = ok && safe(b.z1) && safe(b.z2);
  // The 31 driven samples the next half-band sums read.
  return ok && inputsSafe(mInHistory.data() + mInIndex + 1, kKeep) && inputsSafe(in, n);
}

template <class V>
CORVANA_DSP_CLONES void Tape::runLanes(Tape* const* stages, const double* const* in,
                                       double* const* out, double* const* driven, int n) noexcept
{
  constexpr int kN = tapelanes::kLanes<V>;
  auto gather = [&](auto field)
  {
    V v;
    for (int k = 0; k < kN; ++k)
      setLane(v, k, field(*stages[k]));
    return v;
  };
  auto section = [&](auto pick)
  {
    return Section<V>{
        gather([&](Tape& t) { return pick(t).b0; }), gather([&](Tape& t) { return pick(t).b1; }),
        gather([&](Tape& t) { return pick(t).b2; }), gather([&](Tape& t) { return pick(t).a1; }),
        gather([&](Tape& t) { return pick(t).a2; }), gather([&](Tape& t) { return pick(t).z1; }),
        gather([&](Tape& t) { return pick(t).z2; })};
  };

  Section<V> pre[2];
  Section<V> post[5];
  for (std::size_t s = 0; s < 2; ++s)
    pre[s] = section([s](Tape& t) -> Biquad& { return t.mPre[s]; });
  for (std::size_t s = 0; s < 5; ++s)
    post[s] = section([s](Tape& t) -> Biquad& { return t.mPost[s]; });
  V drive = gather([](Tape& t) { return t.mDriveCurrent; });
  const V target = gather([](Tape& t) { return t.mDriveTarget; });
  const V smooth = gather([](Tape& t) { return t.mSmooth; });
  V lastDriven = gather([](Tape& t) { return t.mLastDriven; });

  // The rings as straight arrays, oldest first: x holds the driven input,
  // up the saturated interpolated samples, direct the saturated original
  // samples (the entry read at frame i was written 16 frames before).
  V x[kKeep + kChunk];
  V up[kKeep + kChunk];
  V direct[kDirectDelay + kChunk];
  for (int k = 0; k < kN; ++k)
  {
    const Tape& t = *stages[k];
    for (int j = 0; j < kKeep; ++j)
    {
      setLane(x[j], k, t.mInHistory[static_cast<std::size_t>(t.mInIndex + 1 + j)]);
      setLane(up[j], k, t.mUpHistory[static_cast<std::size_t>(t.mOutIndex + 1 + j)]);
    }
    for (int j = 0; j < kDirectDelay; ++j)
      setLane(direct[j], k,
              t.mDirectHistory[static_cast<std::size_t>((t.mOutIndex + 16 + j) & 31)]);
  }

  const double* shape = stages[0]->mShape;
  V taps[16];
  for (int q = 0; q < 16; ++q)
    taps[q] = tapelanes::splat<V>(stages[0]->mTaps[q]);
  const double centre = stages[0]->mCentreTap;

#if defined(__GNUC__)
  using W = typename tapelanes::TwoFrames<V>::Type;
  W tapsTwo[16];
  for (int q = 0; q < 16; ++q)
    tapsTwo[q] = tapelanes::splat<W>(stages[0]->mTaps[q]);
#endif

  // Per slice in four passes: the recursive pre-emphasis and drive, the
  // half-band sums and saturators (no frame depends on another's result
  // there, so two frames go through each instruction), the decimating sum,
  // and the recursive de-emphasis. Each frame sees the same operations as
  // in tick, so the results are the same.
  V drives[kChunk];
  V decimated[kChunk];
  for (int start = 0; start < n; start += kChunk)
  {
    const int m = std::min(kChunk, n - start);
    for (int i = 0; i < m; ++i)
    {
      V input;
      for (int k = 0; k < kN; ++k)
        setLane(input, k, in[k][start + i]);
      drive += (target - drive) * smooth;
      drives[i] = drive;
      const V v = pre[1].tick(pre[0].tick(input)) * drive;
      x[kKeep + i] = v;
      for (int k = 0; k < kN; ++k)
        if (driven[k] != nullptr)
          driven[k][start + i] = lane(v, k);
    }
    lastDriven = x[kKeep + m - 1];

    int i = 0;
#if defined(__GNUC__)
    for (; i + 2 <= m; i += 2)
    {
      const W interpolated = 2.0 * tapelanes::foldedDotTwo(tapsTwo, x + i);
      tapelanes::storeTwo(up + kKeep + i, tapelanes::shapeTwo<V>(shape, interpolated));
      tapelanes::storeTwo(direct + kDirectDelay + i,
                          tapelanes::shapeTwo<V>(shape, tapelanes::loadTwo(x + i + kWindow - 16)));
    }
#endif
    for (; i < m; ++i)
    {
      const V interpolated = 2.0 * foldedDot(taps, x + i);
      up[kKeep + i] = shapeAt(shape, interpolated);
      direct[kDirectDelay + i] = shapeAt(shape, x[i + kWindow - 16]);
    }

    // direct[i] was written 16 frames before it is read here.
    i = 0;
#if defined(__GNUC__)
    for (; i + 2 <= m; i += 2)
      tapelanes::storeTwo(decimated + i, tapelanes::foldedDotTwo(tapsTwo, up + i) +
                                             centre * tapelanes::loadTwo(direct + i));
#endif
    for (; i < m; ++i)
      decimated[i] = foldedDot(taps, up + i) + centre * direct[i];

    for (i = 0; i < m; ++i)
    {
      V y = decimated[i];
      for (Section<V>& s : post)
        y = s.tick(y);
      y = y / drives[i];
      for (int k = 0; k < kN; ++k)
        out[k][start + i] = lane(y, k);
    }
    std::copy(x + m, x + m + kKeep, x);
    std::copy(up + m, up + m + kKeep, up);
    std::copy(direct + m, direct + m + kDirectDelay, direct);
  }

  // Back into the rings, rotated so the next tick writes at index 0.
  for (int k = 0; k < kN; ++k)
  {
    Tape& t = *stages[k];
    for (std::size_t s = 0; s < 2; ++s)
    {
      t.mPre[s].z1 = lane(pre[s].z1, k);
      t.mPre[s].z2 = lane(pre[s].z2, k);
    }
    for (std::size_t s = 0; s < 5; ++s)
    {
      t.mPost[s].z1 = lane(post[s].z1, k);
      t.mPost[s].z2 = lane(post[s].z2, k);
    }
    t.mDriveCurrent = lane(drive, k);
    t.mLastDriven = lane(lastDriven, k);
    t.mInIndex = 0;
    t.mOutIndex = 0;
    t.mInHistory[0] = t.mInHistory[32] = 0.0;
    t.mUpHistory[0] = t.mUpHistory[32] = 0.0;
    for (std::size_t j = 0; j < kKeep; ++j)
    {
      t.mInHistory[1 + j] = t.mInHistory[33 + j] = lane(x[j], k);
      t.mUpHistory[1 + j] = t.mUpHistory[33 + j] = lane(up[j], k);
    }
    for (std::size_t j = 0; j < kDirectDelay; ++j)
      t.mDirectHistory[16 + j] = lane(direct[j], k);
  }
}

void Tape::process(const double* in, double* out, int n, double* driven) noexcept
{
  if (n <= 0)
    return;
  if (mShape == nullptr)
    fetchTables();
  if (!blockSafe(in, n))
  {
    for (int i = 0; i < n; ++i)
    {
      out[i] = tick(in[i]);
      if (driven != nullptr)
        driven[i] = mLastDriven;
    }
    return;
  }
  Tape* stages[1]{this};
  double* drivenLanes[1]{driven};
  runLanes<double>(stages, &in, &out, drivenLanes, n);
}

void Tape::processPair(Tape& left, Tape& right, const double* inLeft, const double* inRight,
                       double* outLeft, double* outRight, int n, double* drivenLeft,
                       double* drivenRight) noexcept
{
  if (n <= 0)
    return;
  if (left.mShape == nullptr)
    left.fetchTables();
  if (right.mShape == nullptr)
    right.fetchTables();
  if (&left == &right || !left.blockSafe(inLeft, n) || !right.blockSafe(inRight, n))
  {
    left.process(inLeft, outLeft, n, drivenLeft);
    right.process(inRight, outRight, n, drivenRight);
    return;
  }
  Tape* stages[2]{&left, &right};
  const double* in[2]{inLeft, inRight};
  double* out[2]{outLeft, outRight};
  double* driven[2]{drivenLeft, drivenRight};
  runLanes<Pair>(stages, in, out, driven, n);
}

} // namespace ostratapedelay::dsp
