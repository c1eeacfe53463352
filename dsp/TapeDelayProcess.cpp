// The per-frame work of the delay lines: tick(), and process(), its block form.
//
// process() does tick()'s arithmetic, operation for operation, but a stretch
// of frames at a time and one kind of work per loop: the wobble, the reads,
// the filters and followers, the gains, the writes. Frame by frame, each
// frame's long chain (read, filters, followers, then a division, a logarithm
// and an exponential for its gain) holds up the next; loop by loop little
// passes from one frame to the next, so frames overlap in the processor, the
// two lines share instructions and the gains run four at a time.

#include "dsp/DelayLanes.h"
#include "dsp/Dispatch.h"
#include "dsp/FeedbackLaw.h"
#include "dsp/TapeDelay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#if defined(__GNUC__)
// The four-frame vectors only pass between inline functions.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace ostratapedelay::dsp
{

using corvana::dsp::Pair;

namespace
{

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Level wobble of +-0.52 dB per unit of depth.
constexpr double kLevelWobbleDb = 0.52;
constexpr double kLevelWobbleNepers = kLevelWobbleDb / 20.0 * std::numbers::ln10;

// Level wobble arguments are within this; beyond it the series below is not exact.
constexpr double kSeriesReach = 0.125;

// exp(x) for the level wobble, |x| <= 0.12: the Taylor series to x^10 is
// within 1e-17 relative there.
double expSeries(double x) noexcept
{
  // Evaluated pairwise (Estrin): four short chains instead of one of ten.
  const double x2 = x * x;
  const double x4 = x2 * x2;
  const double p01 = 1.0 + x;
  const double p23 = 1.0 / 2.0 + x * (1.0 / 6.0);
  const double p45 = 1.0 / 24.0 + x * (1.0 / 120.0);
  const double p67 = 1.0 / 720.0 + x * (1.0 / 5040.0);
  const double p810 = (1.0 / 40320.0 + x * (1.0 / 362880.0)) + x2 * (1.0 / 3628800.0);
  return (p01 + x2 * p23) + x4 * ((p45 + x2 * p67) + x4 * p810);
}

// exp(x): the series where it is exact, std::exp elsewhere.
double expSmall(double x) noexcept
{
  return std::fabs(x) <= kSeriesReach ? expSeries(x) : std::exp(x);
}

} // namespace

double TapeDelay::Line::cut(double x) noexcept
{
  using delaylanes::firstOrder;
  using delaylanes::secondOrder;
  if (lowCutOn)
    x = secondOrder(x, lowCut.b0, lowCut.b1, lowCut.b2, lowCut.a1, lowCut.a2, lowCut.z1, lowCut.z2);
  if (highCutSections >= 1)
  {
    Biquad& q = highCut1;
    x = highCutFirstOrder ? firstOrder(x, q.b0, q.b1, q.a1, q.z1)
                          : secondOrder(x, q.b0, q.b1, q.b2, q.a1, q.a2, q.z1, q.z2);
  }
  if (highCutSections == 2)
    x = secondOrder(x, highCut2.b0, highCut2.b1, highCut2.b2, highCut2.a1, highCut2.a2, highCut2.z1,
                    highCut2.z2);
  if (bandwidthOn)
    x = firstOrder(x, bandwidth.b0, bandwidth.b1, bandwidth.a1, bandwidth.z1);
  return x;
}

double TapeDelay::Line::read(double offset, std::uint32_t ahead) noexcept
{
  const delaylanes::Taps taps = delaylanes::tapsOf(*this, offset, ahead);
  return delaylanes::catmullRom(taps.y[0], taps.y[1], taps.y[2], taps.y[3], taps.t);
}

void TapeDelay::Line::write(double value) noexcept
{
  // A finite double may still overflow the float ring; both become silence.
  const float v = static_cast<float>(value);
  buffer[writeIndex] = std::isfinite(v) ? v : 0.0f;
  if (++writeIndex >= buffer.size())
    writeIndex = 0;
  if (filled < buffer.size())
    ++filled;
}

void TapeDelay::Line::addInput(double value, std::uint32_t inputOffset) noexcept
{
  if (!std::isfinite(value))
    return;
  const auto size = static_cast<std::uint32_t>(buffer.size());
  // (writeIndex + size - back) mod size without dividing every sample.
  const std::uint32_t next = inputOffset + 1u;
  const std::uint32_t back = next < size ? next : next % size;
  const std::uint32_t slot = writeIndex >= back ? writeIndex - back : writeIndex + (size - back);
  const float sum = static_cast<float>(static_cast<double>(buffer[slot]) + value);
  if (std::isfinite(sum))
    buffer[slot] = sum;
}

void TapeDelay::Line::writeStretch(const double* values, const double* inputs, std::uint32_t frames,
                                   std::uint32_t inputOffset) noexcept
{
  // write() and addInput() in straight runs between the ends of the ring.
  // All writes first, then all inputs: an input lands behind the head, on
  // slots only earlier writes of the stretch reach, so the order of the
  // pairs is kept where it matters.
  const auto size = static_cast<std::uint32_t>(buffer.size());
  float* ring = buffer.data();
  const std::uint32_t start = writeIndex;
  for (std::uint32_t done = 0; done < frames;)
  {
    const std::uint32_t run = std::min(frames - done, size - writeIndex);
    float* to = ring + writeIndex;
    for (std::uint32_t j = 0; j < run; ++j)
    {
      const float v = static_cast<float>(values[done + j]);
      to[j] = std::isfinite(v) ? v : 0.0f;
    }
    done += run;
    writeIndex += run;
    if (writeIndex >= size)
      writeIndex = 0;
  }
  filled =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{filled} + frames, size));
  if (inputs == nullptr)
    return;

  // Frame j's input slot: inputOffset behind the head after its write.
  const std::uint32_t back = inputOffset % size;
  std::uint32_t slot = start >= back ? start - back : start + (size - back);
  for (std::uint32_t done = 0; done < frames;)
  {
    const std::uint32_t run = std::min(frames - done, size - slot);
    float* to = ring + slot;
    for (std::uint32_t j = 0; j < run; ++j)
    {
      // A non-finite input or sum leaves the slot as it is.
      const float sum = static_cast<float>(static_cast<double>(to[j]) + inputs[done + j]);
      to[j] = std::isfinite(sum) ? sum : to[j];
    }
    done += run;
    slot += run;
    if (slot >= size)
      slot = 0;
  }
}

void TapeDelay::advancePhases() noexcept
{
  mPhase1 += mIncrement1;
  mPhase2 += mIncrement2;
  if (mPhase1 > kTwoPi)
    mPhase1 -= kTwoPi;
  if (mPhase2 > kTwoPi)
    mPhase2 -= kTwoPi;
  // Only below 19 Hz can one step exceed a turn; keep the phase bounded there too.
  if (mPhase1 > kTwoPi)
    mPhase1 = std::fmod(mPhase1, kTwoPi);
  if (mPhase2 > kTwoPi)
    mPhase2 = std::fmod(mPhase2, kTwoPi);
}

void TapeDelay::anchorOscillators() noexcept
{
  mSin1 = std::sin(mPhase1);
  mCos1 = std::cos(mPhase1);
  mSin2 = std::sin(mPhase2);
  mCos2 = std::cos(mPhase2);
  mFramesToAnchor = kAnchorFrames;
}

double TapeDelay::baseGain() noexcept
{
  if (mPlain)
    return mFeedbackCurrent;
  if (mFeedbackCurrent <= 1e-9)
    return 0.0;
  // The smoothed amount settles to a fixed value; its power is reused until it moves.
  if (mFeedbackCurrent != mPoweredFor || mCharacter.exponent != mPoweredExponent)
  {
    mPoweredFor = mFeedbackCurrent;
    mPoweredExponent = mCharacter.exponent;
    mPowered = std::pow(mFeedbackCurrent, mCharacter.exponent);
  }
  return mPowered;
}

double TapeDelay::gainFromEnvelopes() noexcept
{
  const double g0 = baseGain();
  return mPlain ? g0 : feedbacklaw::gain(g0, mInputEnvelope, mEchoEnvelope, mLevelExponent);
}

double TapeDelay::modulate(double& level, bool smoothersMove) noexcept
{
  if (smoothersMove)
  {
    mFeedbackCurrent += (mFeedbackTarget - mFeedbackCurrent) * mSmooth;
    mWobbleCurrent += (mWobbleTarget - mWobbleCurrent) * mSmooth;
  }

  double mod = 0.0;
  level = 0.0;
  if (mWobbleCurrent != 0.0)
  {
    if (mFramesToAnchor <= 0)
      anchorOscillators();
    mod = mSin1 * mDepthPerUnit * mWobbleCurrent;
    // 10^(dB/20) as an exponential: equal to within rounding.
    level = mSin2 * mWobbleCurrent * kLevelWobbleNepers;
    // Rotate to the next phases.
    const double s1 = mSin1 * mStepCos1 + mCos1 * mStepSin1;
    mCos1 = mCos1 * mStepCos1 - mSin1 * mStepSin1;
    mSin1 = s1;
    const double s2 = mSin2 * mStepCos2 + mCos2 * mStepSin2;
    mCos2 = mCos2 * mStepCos2 - mSin2 * mStepSin2;
    mSin2 = s2;
    --mFramesToAnchor;
  }
  else
  {
    mFramesToAnchor = 0; // the phases move on without the rotation
  }

  advancePhases();
  return mod;
}

void TapeDelay::follow(double inLeft, double inRight, double yL, double yR) noexcept
{
  if (mPlain)
    return;
  // A non-finite input would stick in the follower forever and silence the
  // echoes, so it counts as silence here (it is never written either).
  const double a = std::isfinite(inLeft) ? std::abs(inLeft) : 0.0;
  const double b = std::isfinite(inRight) ? std::abs(inRight) : 0.0;
  const double in = std::max(a, b);
  if (in > mInputEnvelope)
    mInputEnvelope += (in - mInputEnvelope) * mAttack;
  else
    mInputEnvelope *= mInputRelease;
  const double echo = std::max(std::abs(yL), std::abs(yR));
  if (echo > mEchoEnvelope)
    mEchoEnvelope += (echo - mEchoEnvelope) * mAttack;
  else
    mEchoEnvelope *= mEchoRelease;
}

void TapeDelay::readLines(double mod, double am, std::uint32_t ahead, double& yL,
                          double& yR) noexcept
{
  yL = mLeft.cut(mLeft.read(mod, ahead) * am);
  yR = mRight.read(mod, ahead);
  if (!mPingPong)
    yR = mRight.cut(am * yR);
}

void TapeDelay::writeFrame(double inLeft, double inRight, double yL, double yR, double g) noexcept
{
  mLastGain = g;
  if (mPingPong)
  {
    mLeft.write(g * g * yR);
    mLeft.addInput((inLeft + inRight) / 2.0, inputOffset);
    mRight.write(yL);
  }
  else
  {
    mLeft.write(g * yL);
    mLeft.addInput(inLeft, inputOffset);
    mRight.write(g * yR);
    mRight.addInput(inRight, inputOffset);
  }
}

// The per-frame helpers (read, cut, write, the feedback law) are inlined into
// tick: it runs every frame and the calls cost as much as some of them.
#if defined(__GNUC__)
[[gnu::flatten]]
#endif
CORVANA_DSP_CLONES void
TapeDelay::tick(double inLeft, double inRight, double& outLeft, double& outRight) noexcept
{
  if (mLeft.buffer.empty() || mRight.buffer.empty())
  {
    outLeft = outRight = 0.0;
    return;
  }
  double level;
  const double mod = modulate(level, true);
  double yL;
  double yR;
  readLines(mod, expSmall(level), 0, yL, yR);
  follow(inLeft, inRight, yL, yR);
  writeFrame(inLeft, inRight, yL, yR, gainFromEnvelopes());
  outLeft = yL;
  outRight = yR;
}

double TapeDelay::swing() const noexcept
{
  return mDepthPerUnit * std::max(mWobbleCurrent, mWobbleTarget) + 1.0;
}

std::uint32_t TapeDelay::safeRun(std::uint32_t limit) const noexcept
{
  // Within a stretch each delay moves monotonically towards its target and
  // the wobble's swing stays below its largest depth; the reads reach at
  // most 2 samples past their position. Everything the stretch writes lies
  // at or after inputOffset samples behind the write head as it starts.
  const double shortest =
      std::min({mLeft.delayCurrent, mLeft.delayTarget, mRight.delayCurrent, mRight.delayTarget});
  const double room = shortest - swing() - static_cast<double>(inputOffset) - 3.0;
  if (!(room >= 1.0))
    return 1;
  return room >= static_cast<double>(limit) ? limit : static_cast<std::uint32_t>(room);
}

// What the stages of process() hand each other over one stretch.
struct TapeDelay::Stretch
{
  std::uint32_t n = 0;
  const double* inL = nullptr;
  const double* inR = nullptr;
  double mod[kStretch];           // read offset of the time wobble, samples
  double am[kStretch];            // level wobble factor
  double base[kStretch];          // feedback amount raised to the character's exponent
  Pair read[kStretch];            // the lines' reads (left, right), levels applied
  double echoL[kStretch];         // the echoes: reads through the cut chains
  double echoR[kStretch];         //
  double inputEnvelope[kStretch]; // followers after each frame
  double echoEnvelope[kStretch];  //
  double gain[kStretch];          // feedback gain
};

void TapeDelay::wobbleStretch(Stretch& st) noexcept
{
  // The wobble does not depend on the signal: its offsets and level factors
  // first, the factors' exponentials as one loop. Smoothers that have arrived
  // stay put (a step of 0), and so does the gain.
  bool seriesExact = true;
  auto wobble = [&](bool smoothersMove)
  {
    const double settledGain = smoothersMove ? 0.0 : baseGain();
    for (std::uint32_t j = 0; j < st.n; ++j)
    {
      st.mod[j] = modulate(st.am[j], smoothersMove);
      st.base[j] = smoothersMove ? baseGain() : settledGain;
      seriesExact = seriesExact && std::fabs(st.am[j]) <= kSeriesReach;
    }
  };
  if (mFeedbackCurrent == mFeedbackTarget && mWobbleCurrent == mWobbleTarget)
    wobble(false);
  else
    wobble(true);
  if (seriesExact)
  {
    for (std::uint32_t j = 0; j < st.n; ++j)
      st.am[j] = expSeries(st.am[j]);
  }
  else
  {
    for (std::uint32_t j = 0; j < st.n; ++j)
      st.am[j] = expSmall(st.am[j]);
  }
}

void TapeDelay::readStretch(Stretch& st) noexcept
{
  // Both lines in the two lanes of the same instructions. In ping-pong mode the
  // right read recirculates unfiltered and without the level wobble: a factor
  // of 1 leaves it exactly as read.
  if (mPingPong)
    readLanes(st, [&st](std::uint32_t j) { return Pair{st.am[j], 1.0}; });
  else
    readLanes(st, [&st](std::uint32_t j) { return st.am[j]; });
}

template <class Level>
void TapeDelay::readLanes(Stretch& st, Level level) noexcept
{
#if defined(__GNUC__)
  const double reach = swing();
  if (delaylanes::readsClear(mLeft, st.n, reach) && delaylanes::readsClear(mRight, st.n, reach))
  {
    // The usual case, reads well inside both rings: tapsOf()'s arithmetic in
    // two lanes, without the history and wrap checks.
    Pair delay{mLeft.delayCurrent, mRight.delayCurrent};
    const Pair target{mLeft.delayTarget, mRight.delayTarget};
    const Pair glide{mLeft.glide, mRight.glide};
    const Pair head{static_cast<double>(mLeft.writeIndex), static_cast<double>(mRight.writeIndex)};
    const float* ringL = mLeft.buffer.data();
    const float* ringR = mRight.buffer.data();
    for (std::uint32_t j = 0; j < st.n; ++j)
    {
      delay += (target - delay) * glide;
      const Pair p = (head + static_cast<double>(j)) - (delay + st.mod[j]);
      const Pair fl{std::floor(p[0]), std::floor(p[1])};
      const float* l = ringL + (static_cast<std::int64_t>(fl[0]) - 1);
      const float* r = ringR + (static_cast<std::int64_t>(fl[1]) - 1);
      st.read[j] = delaylanes::catmullRom(Pair{l[0], r[0]}, Pair{l[1], r[1]}, Pair{l[2], r[2]},
                                          Pair{l[3], r[3]}, p - fl) *
                   level(j);
    }
    mLeft.delayCurrent = delay[0];
    mRight.delayCurrent = delay[1];
    return;
  }
#endif
  for (std::uint32_t j = 0; j < st.n; ++j)
  {
    const delaylanes::Taps l = delaylanes::tapsOf(mLeft, st.mod[j], j);
    const delaylanes::Taps r = delaylanes::tapsOf(mRight, st.mod[j], j);
    st.read[j] =
        delaylanes::catmullRom(Pair{l.y[0], r.y[0]}, Pair{l.y[1], r.y[1]}, Pair{l.y[2], r.y[2]},
                               Pair{l.y[3], r.y[3]}, Pair{l.t, r.t}) *
        level(j);
  }
}

void TapeDelay::filterStretch(Stretch& st) noexcept
{
  // The cut chains, then the followers; each frame carries only the filter
  // states and envelopes to the next.
#if defined(__GNUC__)
  if (!mPingPong && delaylanes::CutPair::fits(mLeft, mRight))
  {
    delaylanes::CutPair cuts(mLeft, mRight);
    for (std::uint32_t j = 0; j < st.n; ++j)
    {
      const Pair y = cuts.run(st.read[j]);
      st.echoL[j] = y[0];
      st.echoR[j] = y[1];
      follow(st.inL[j], st.inR[j], y[0], y[1]);
      st.inputEnvelope[j] = mInputEnvelope;
      st.echoEnvelope[j] = mEchoEnvelope;
    }
    cuts.store(mLeft, mRight);
    return;
  }
#endif
  for (std::uint32_t j = 0; j < st.n; ++j)
  {
    st.echoL[j] = mLeft.cut(st.read[j][0]);
    st.echoR[j] = mPingPong ? st.read[j][1] : mRight.cut(st.read[j][1]);
    follow(st.inL[j], st.inR[j], st.echoL[j], st.echoR[j]);
    st.inputEnvelope[j] = mInputEnvelope;
    st.echoEnvelope[j] = mEchoEnvelope;
  }
}

void TapeDelay::gainStretch(Stretch& st) noexcept
{
  if (mPlain)
  {
    std::memcpy(st.gain, st.base, st.n * sizeof(double));
    return;
  }
  std::uint32_t j = 0;
#if defined(__GNUC__)
  // Four frames at a time; the law's exponential and logarithm dominate.
  if (mLevelExponent != 0.0)
  {
    using feedbacklaw::Quad;
    for (; j + 4 <= st.n; j += 4)
    {
      Quad g0, in, echo;
      std::memcpy(&g0, st.base + j, sizeof g0);
      std::memcpy(&in, st.inputEnvelope + j, sizeof in);
      std::memcpy(&echo, st.echoEnvelope + j, sizeof echo);
      const Quad g = feedbacklaw::gains(g0, in, echo, mLevelExponent);
      std::memcpy(st.gain + j, &g, sizeof g);
    }
  }
#endif
  for (; j < st.n; ++j)
    st.gain[j] =
        feedbacklaw::gain(st.base[j], st.inputEnvelope[j], st.echoEnvelope[j], mLevelExponent);
}

void TapeDelay::writeStretch(const Stretch& st) noexcept
{
  const std::uint32_t n = st.n;
  double toLeft[kStretch];
  if (mPingPong)
  {
    double mono[kStretch];
    for (std::uint32_t j = 0; j < n; ++j)
    {
      toLeft[j] = st.gain[j] * st.gain[j] * st.echoR[j];
      mono[j] = (st.inL[j] + st.inR[j]) / 2.0;
    }
    mLeft.writeStretch(toLeft, mono, n, inputOffset);
    mRight.writeStretch(st.echoL, nullptr, n, inputOffset);
  }
  else
  {
    double toRight[kStretch];
    for (std::uint32_t j = 0; j < n; ++j)
    {
      toLeft[j] = st.gain[j] * st.echoL[j];
      toRight[j] = st.gain[j] * st.echoR[j];
    }
    mLeft.writeStretch(toLeft, st.inL, n, inputOffset);
    mRight.writeStretch(toRight, st.inR, n, inputOffset);
  }
  mLastGain = st.gain[n - 1];
}

#if defined(__GNUC__)
[[gnu::flatten]]
#endif
CORVANA_DSP_CLONES void
TapeDelay::process(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                   int frames) noexcept
{
  if (mLeft.buffer.empty() || mRight.buffer.empty())
  {
    std::fill_n(outLeft, std::max(frames, 0), 0.0);
    std::fill_n(outRight, std::max(frames, 0), 0.0);
    return;
  }

  // The echoes stay in the stretch until the writes: the outputs may be the inputs.
  Stretch st;
  for (int done = 0; done < frames; done += static_cast<int>(st.n))
  {
    st.n = safeRun(static_cast<std::uint32_t>(std::min<int>(frames - done, kStretch)));
    st.inL = inLeft + done;
    st.inR = inRight + done;
    wobbleStretch(st);
    readStretch(st);
    filterStretch(st);
    gainStretch(st);
    writeStretch(st);
    std::memcpy(outLeft + done, st.echoL, st.n * sizeof(double));
    std::memcpy(outRight + done, st.echoR, st.n * sizeof(double));
  }
}

} // namespace ostratapedelay::dsp
