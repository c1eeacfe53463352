#pragma once

#include "dsp/Biquad.h"

#include <array>
#include <span>

namespace ostratapedelay::dsp
{

using corvana::dsp::Biquad;

// One section of a fixed equalisation curve.
struct TapeSection
{
  enum class Kind : int
  {
    kNone = -1, // leaves the biquad as it is
    kHighPass = 0,
    kPeaking = 1,
    kHighShelf = 2
  };
  Kind kind = Kind::kNone;
  double frequency = 0.0; // Hz
  double q = 0.0;
  double gain = 0.0; // dB, ignored by the high-pass
};

// Before the saturator: a presence dip and a treble lift.
inline constexpr std::array<TapeSection, 2> kBeforeCurve{{
    {TapeSection::Kind::kPeaking, 2160.1962, 0.553154, -4.163867},
    {TapeSection::Kind::kHighShelf, 8017.1193, 0.397066, 8.282617},
}};

// After the saturator: subsonic high-pass, low peak and dip, presence lift, treble cut.
inline constexpr std::array<TapeSection, 5> kAfterCurve{{
    {TapeSection::Kind::kHighPass, 24.6164, 0.906503, 0.0},
    {TapeSection::Kind::kPeaking, 36.1782, 3.0, 0.874088},
    {TapeSection::Kind::kPeaking, 68.735, 3.0, -2.345599},
    {TapeSection::Kind::kPeaking, 2148.3941, 0.576209, 5.85763},
    {TapeSection::Kind::kHighShelf, 4085.476, 0.402043, -5.949434},
}};

// Tape colouring of one channel: fixed pre-emphasis, drive, a smooth symmetric
// saturator (direct, antiderivative or oversampled by two), fixed de-emphasis and
// a make-up division by the drive.
//
// One instance is used by one thread at a time. The shared lookup tables are
// built once per process and are read-only afterwards.
class Tape
{
public:
  // The saturator: applied directly, through its antiderivative, or oversampled by two.
  enum class Mode : int
  {
    kDirect = 0,
    kAntiderivative = 1,
    kOversampled = 2
  };
  using enum Mode;

  // Delay of the oversampled mode in samples at the host rate.
  static constexpr int kOversampledLatency = 31;

  // The drive's range in dB; below it the gain stays at its floor, -18 dB = 10^(-18/20).
  static constexpr double kMinDriveDb = -18.0;
  static constexpr double kMaxDriveDb = 18.0;
  static constexpr double kMinDriveGain = 0.12589254117941673;

  static constexpr int kTableSize = 16386;     // entries of the antiderivative table
  static constexpr int kTableResolution = 256; // entries per unit of input
  static constexpr int kHalfbandTaps = 63;

  // Designs `biquads[i]` from `sections[i]` for `rate` (only the common length
  // is used). Any thread; real-time safe.
  static void design(std::span<const TapeSection> sections, std::span<Biquad> biquads,
                     double rate) noexcept;

  // The saturator f(x) = x / (1 + (|x|/0.41)^3.1)^(1/3.1): odd, unit slope at
  // 0, bounded by +-0.41. Any thread; real-time safe.
  static double saturate(double x) noexcept;

  // The saturator by cubic Hermite interpolation of a shared table of
  // f(x)/x: within 1e-7 relative of saturate() everywhere, a few times
  // cheaper. This is what tick uses. Any thread; real-time safe once the
  // tables exist (the first call builds them).
  static double saturateFast(double x) noexcept;

  // Antiderivative F of the saturator from 0, interpolated from the shared
  // table; 0 for a non-finite x. Any thread; real-time safe once the tables
  // exist (the first call builds them).
  static double integral(double x) noexcept;

  // The shared read-only tables, built on first use under thread-safe
  // one-time initialisation. Any thread.
  static const std::array<double, kTableSize>& antiderivativeTable();
  static const std::array<double, kHalfbandTaps>& halfband();

  // Designs the sections for `sampleRate` (48000 when it is not a usable
  // rate), zeroes every state and raises the first flag. Keeps the mode and
  // the drive. Not real-time safe on the very first call in the process
  // (builds the shared tables); owner's thread.
  void prepare(double sampleRate);

  // Zeroes the section states, previous sample and histories, raises the
  // first flag. Owner's thread; real-time safe.
  void clear() noexcept;

  // Selects the saturator (a value outside the three, cast from a number, runs
  // oversampled). A change clears the previous sample and the histories.
  // Owner's thread; real-time safe.
  void setMode(Mode newMode) noexcept;
  Mode mode() const noexcept { return mMode; }

  // Latency of the current mode in samples (31 when oversampled, else 0).
  int latency() const noexcept
  {
    return (mMode == kDirect || mMode == kAntiderivative) ? 0 : kOversampledLatency;
  }

  // Per-block drive update (linear gain): sets the target; on the first block
  // after prepare or clear the current drive jumps to it and the first flag is
  // lowered. Owner's thread; real-time safe.
  void setDrive(double linearGain) noexcept;

  // Sets both the current and target drive and lowers the first flag, so the
  // drive does not glide. Owner's thread; real-time safe.
  void jumpDrive(double linearGain) noexcept;

  void setDriveTarget(double linearGain) noexcept { mDriveTarget = linearGain; }
  void setDriveCurrent(double linearGain) noexcept { mDriveCurrent = linearGain; }
  void setFirst(bool isFirst) noexcept { mFirst = isFirst; }
  double driveTarget() const noexcept { return mDriveTarget; }
  double driveCurrent() const noexcept { return mDriveCurrent; }
  bool first() const noexcept { return mFirst; }

  // The most recent sample after the drive gain (the meter's source).
  double lastDriven() const noexcept { return mLastDriven; }

  // One sample through the stage. Owner's thread; real-time safe.
  double tick(double x) noexcept;

  // `n` samples through the stage, giving bit for bit what `n` calls of tick
  // would; `driven` (may be null) receives lastDriven() of every sample.
  // Oversampled blocks of ordinary audio take a faster path; other modes
  // and blocks with non-finite or absurdly large samples run tick by tick.
  // `out` may be `in`. Owner's thread; real-time safe.
  void process(const double* in, double* out, int n, double* driven = nullptr) noexcept;

  // Two stages (the left and right channel) through one pass that runs both
  // channels side by side; each gives exactly what its own process() would.
  // Owner's thread; real-time safe.
  static void processPair(Tape& left, Tape& right, const double* inLeft, const double* inRight,
                          double* outLeft, double* outRight, int n, double* drivenLeft = nullptr,
                          double* drivenRight = nullptr) noexcept;

private:
  // True when the next `n` inputs can take the fast block path: oversampled
  // mode, a usable drive, and states and inputs far from overflow, so tick
  // would never reach its non-finite recovery.
  bool blockSafe(const double* in, int n) const noexcept;
  void fetchTables() noexcept;

  // The oversampled block path for one (V = double) or two (V = a pair of
  // lanes) stages.
  template <class V>
  static void runLanes(Tape* const* stages, const double* const* in, double* const* out,
                       double* const* driven, int n) noexcept;

  double twice(double v) noexcept;
  void clearSaturator() noexcept;
  void clearStates() noexcept;

  std::array<Biquad, 2> mPre{};
  std::array<Biquad, 5> mPost{};
  double mDriveCurrent = 1.0;
  double mDriveTarget = 1.0;
  double mSmooth = 0.0;
  double mLastDriven = 0.0;
  bool mFirst = true;
  Mode mMode = kOversampled;
  double mPrevious = 0.0;
  double mPreviousIntegral = 0.0; // F(mPrevious)

  // Oversampled mode. Each history is stored twice in a row (write at i and
  // i + 32) so that the newest 32 entries are always contiguous and the two
  // filter sums run as straight dot products.
  std::array<double, 64> mInHistory{};     // driven input at the host rate
  std::array<double, 64> mUpHistory{};     // saturated interpolated samples
  std::array<double, 32> mDirectHistory{}; // saturated original samples
  int mInIndex = 0;
  int mOutIndex = 0;

  const double* mShape = nullptr; // shared table of f(x)/x and its slope
  const double* mTaps = nullptr;  // shared half-band taps at odd distance, reversed
  double mCentreTap = 0.5;
  const double* mAntiderivative = nullptr; // shared antiderivative table
};

} // namespace ostratapedelay::dsp
