#pragma once

#include "dsp/Biquad.h"

#include <cstdint>
#include <vector>

namespace ostratapedelay::dsp
{

using corvana::dsp::Biquad;

// Feedback law of the delay lines: the feedback amount is raised to `exponent`,
// and `compression` sets how strongly the gain follows the ratio of echo level
// to input level.
struct Character
{
  double exponent = 1.0;
  double compression = 0.0;
};

// Linear feedback, no level dependence.
inline constexpr Character kPlain{1.0, 0.0};
// The plug-in's law: square-root feedback with gentle level compression.
inline constexpr Character kMedium{0.5, 0.371};

// Two recirculating tape delay lines (left and right) with gliding delay
// times, cut filters in the feedback path, a slow pitch and level wobble, a
// level-dependent feedback law and ping-pong routing. The outputs are the
// echoes only.
//
// One instance is used by one thread at a time; no locks. prepare() allocates,
// everything else is real-time safe.
class TapeDelay
{
public:
  using Character = dsp::Character;
  static constexpr Character kPlain = dsp::kPlain;
  static constexpr Character kMedium = dsp::kMedium;

  // High-cut steepness per octave. A value outside the three (cast from a
  // number) counts as the steepest.
  enum class Slope : int
  {
    k6dB = 0,
    k12dB = 1,
    k24dB = 2
  };

  struct Settings
  {
    double timeLeft = 0.5;  // seconds
    double timeRight = 0.5; // seconds
    double feedback = 0.3;  // 0..0.95
    bool pingPong = false;
    Character character = kPlain;
    double lowCut = 0.0;    // Hz; 20 or below: off
    double highCut = 0.0;   // Hz; 0 or below, or 19900 and above: off
    double bandwidth = 0.0; // Hz of the tape low-pass; 0: off
    Slope slope = Slope::k12dB;
    double wobble = 0.0; // 0..2, 1 = nominal depth
  };

  // Longest delay in seconds; the rings hold a little more for interpolation
  // and wobble.
  static constexpr double kMaxDelaySeconds = 6.0;

  // Rates the engine runs at; prepare() takes a rate outside as the nearest limit.
  static constexpr double kMinSampleRate = 1.0;
  static constexpr double kMaxSampleRate = 1536000.0;

  // One channel: a ring of 32-bit floats, its gliding delay time and the
  // filter chain of its feedback path.
  struct Line
  {
    std::vector<float> buffer;
    std::uint32_t writeIndex = 0;
    std::uint32_t filled = 0;  // valid samples since the last clear
    double delayCurrent = 0.0; // samples
    double delayTarget = 0.0;  // samples
    double glide = 1.0;
    Biquad lowCut;
    Biquad highCut1;
    Biquad highCut2;
    Biquad bandwidth;
    bool lowCutOn = false;
    bool bandwidthOn = false; // a first-order section
    int highCutSections = 0;
    bool highCutFirstOrder = false; // the 6 dB/octave high cut

    // Designs the four sections from the cut settings; a cut outside its
    // range is switched off. Real-time safe.
    void designCuts(double lowCutHz, double highCutHz, Slope slope, double bandwidthHz,
                    double rate) noexcept;

    // The feedback-path filter chain on one sample. Real-time safe.
    double cut(double x) noexcept;

    // Advances the glide, then reads the ring `delayCurrent + offset`
    // samples behind the write head by Catmull-Rom interpolation. Positions
    // outside the written history read as 0. `ahead` frames of writes are
    // pending: the read is made as if they had happened (they must not
    // touch what it reads). Real-time safe.
    double read(double offset, std::uint32_t ahead = 0) noexcept;

    // Stores one sample (0 when not representable as a finite float) and
    // advances the write head. Real-time safe.
    void write(double value) noexcept;

    // Adds a finite input to the slot `inputOffset` samples behind the slot
    // just written. Real-time safe.
    void addInput(double value, std::uint32_t inputOffset) noexcept;

    // What `frames` write/addInput pairs give, values and inputs taken in
    // order (`inputs` may be null: none). Real-time safe.
    void writeStretch(const double* values, const double* inputs, std::uint32_t frames,
                      std::uint32_t inputOffset) noexcept;

    // Zeroes the filter states and forgets the history (filled := 0); the
    // ring itself is left as it is. Real-time safe.
    void clear() noexcept;
  };

  TapeDelay() = default;

  // Allocates (or reuses) the rings for `sampleRate` (48000 when it is not a
  // finite positive rate, limited to kMinSampleRate..kMaxSampleRate), zeroes them and computes the
  // rate-dependent coefficients, then clears. Not real-time safe; owner's thread. May throw
  // std::bad_alloc, leaving the previous rings in place.
  void prepare(double sampleRate);

  // Takes new settings; the first call after prepare() or clear() jumps to
  // them, later calls glide. Cheap when nothing changed. Owner's thread;
  // real-time safe.
  void set(const Settings& s) noexcept;

  // Stops all echoes at once: forgets the written history of both lines and
  // zeroes filter states, envelopes and oscillator phases. The rings are not
  // zeroed, the write heads and the designed cuts stay. Owner's thread;
  // real-time safe.
  void clear() noexcept;

  // One stereo sample: feeds the inputs in, returns the echoes. Owner's
  // thread; real-time safe.
  void tick(double inLeft, double inRight, double& outLeft, double& outRight) noexcept;

  // `frames` stereo samples; exactly what as many tick() calls give, the
  // outputs may be the inputs. Frames run in stretches whose reads all lie
  // behind what the stretch writes, so the wobble, the reads, the filters,
  // the gains and the writes each run as a loop of their own. Owner's
  // thread; real-time safe.
  void process(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
               int frames) noexcept;

  // Samples between the write head and the slot that receives the input; the
  // owner sets it to the latency of what runs before the engine, so the
  // first echo still follows the dry signal by the delay time.
  std::uint32_t inputOffset = 0;

  // Offline fast path for silent stretches (the repeats model uses it):
  // the caller promises zero inputs for the next `maxFrames` frames. When
  // every filter state and every ring sample that the lines would read in
  // the next frames is below `floor` in magnitude, those frames are run as
  // exact silence in one go (zeros written, smoothers, envelopes and phases
  // advanced per frame). Returns the frames advanced; 0 when the next frame
  // must be ticked normally. Owner's thread; real-time safe.
  std::uint32_t skipSilence(std::uint32_t maxFrames, double floor) noexcept;

  double sampleRate() const noexcept { return mRate; }
  std::size_t capacity() const noexcept { return mCapacity; }
  const Line& left() const noexcept { return mLeft; }
  const Line& right() const noexcept { return mRight; }
  // Current delay of a line in samples (after the glide so far).
  double delaySamples(bool rightLine) const noexcept
  {
    return rightLine ? mRight.delayCurrent : mLeft.delayCurrent;
  }
  double feedbackCurrent() const noexcept { return mFeedbackCurrent; }
  // Gain applied to the most recent recirculation (before ping-pong's square).
  double lastGain() const noexcept { return mLastGain; }

private:
  // A frame before its writes, in three parts: the smoothers (unless they
  // have arrived) and the wobble, which return the read offset and set the
  // level wobble's exponent `level`; the reads (`ahead` frames of writes
  // pending) with the level factor `am` and the cut chains; the followers.
  double modulate(double& level, bool smoothersMove) noexcept;
  void readLines(double mod, double am, std::uint32_t ahead, double& yL, double& yR) noexcept;
  void follow(double inLeft, double inRight, double yL, double yR) noexcept;
  // Second half: recirculates the echoes with gain `g`, feeds the inputs in.
  void writeFrame(double inLeft, double inRight, double yL, double yR, double g) noexcept;
  // Frames (1 to `limit`) whose reads stay clear of everything they write.
  std::uint32_t safeRun(std::uint32_t limit) const noexcept;

  // process() in stretches of at most kStretch frames (a safe run), each through five
  // stages in turn: the wobble and smoothers, the reads, the cut chains and followers, the
  // feedback gains, the writes. Stretch carries what one stage leaves for the next.
  static constexpr std::uint32_t kStretch = 64;
  struct Stretch;
  void wobbleStretch(Stretch& st) noexcept;
  void readStretch(Stretch& st) noexcept;
  // The reads with the level factor `level(j)` of each frame (per line, or both).
  template <class Level>
  void readLanes(Stretch& st, Level level) noexcept;
  void filterStretch(Stretch& st) noexcept;
  void gainStretch(Stretch& st) noexcept;
  void writeStretch(const Stretch& st) noexcept;
  // Samples the wobble may move a read from its delay (with a sample to spare).
  double swing() const noexcept;
  // The feedback amount raised to the character's exponent (the plain law's
  // whole gain); 0 for an amount of (nearly) 0.
  double baseGain() noexcept;
  double gainFromEnvelopes() noexcept;
  void advancePhases() noexcept;
  void anchorOscillators() noexcept;
  static std::uint32_t silentFrames(const Line& line, std::uint32_t maxFrames,
                                    double floor) noexcept;

  Line mLeft;
  Line mRight;
  std::size_t mCapacity = 0;
  double mRate = 48000.0;

  double mFeedbackCurrent = 0.0;
  double mFeedbackTarget = 0.0;
  double mSmooth = 0.0;
  double mLastGain = 0.0;

  Character mCharacter = kPlain;
  bool mPlain = true;
  double mLevelExponent = 0.0; // E
  double mPoweredFor = -1.0;   // feedback amount whose power is cached
  double mPoweredExponent = 1.0;
  double mPowered = 0.0;

  double mInputEnvelope = 0.0;
  double mEchoEnvelope = 0.0;
  double mAttack = 0.0;
  double mEchoRelease = 0.0;
  double mInputRelease = 0.0;

  bool mPingPong = false;

  double mWobbleCurrent = 0.0;
  double mWobbleTarget = 0.0;
  double mDepthPerUnit = 0.0;
  double mPhase1 = 0.0;
  double mPhase2 = 0.0;
  double mIncrement1 = 0.0;
  double mIncrement2 = 0.0;

  // sin and cos of the two phases, advanced by rotation (a complex
  // multiplication per frame instead of two sin calls) and re-anchored to
  // the exact values of the phases every kAnchorFrames frames, so they stay
  // within about 1e-14 of sin(phase). 0 in mFramesToAnchor forces an anchor;
  // whatever moves the phases other than tick sets it.
  static constexpr int kAnchorFrames = 64;
  double mSin1 = 0.0, mCos1 = 1.0, mSin2 = 0.0, mCos2 = 1.0;
  double mStepSin1 = 0.0, mStepCos1 = 1.0, mStepSin2 = 0.0, mStepCos2 = 1.0;
  int mFramesToAnchor = 0;

  double mDesignedLowCut = -1.0;
  double mDesignedHighCut = -1.0;
  double mDesignedBandwidth = -1.0;
  Slope mDesignedSlope = Slope::k12dB;
  bool mCutsDesigned = false; // false forces a design on the next set()

  bool mFirst = true;
};

} // namespace ostratapedelay::dsp
