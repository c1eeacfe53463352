#pragma once

#include "dsp/Tape.h"
#include "dsp/TapeDelay.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ostratapedelay::dsp
{

// One measured echo.
struct Repeat
{
  double time = 0.0;      // seconds from the start of the burst to the echo's expected start
  bool right = false;     // output channel: false left, true right
  std::int32_t index = 0; // number of the echo on its side, from 1
  double levelDb = 0.0;   // echo energy relative to the burst energy
  double highHz = 0.0;    // upper band edge; +infinity when no low-pass is active
  double lowHz = 0.0;     // lower band edge; 0 when the low cut is off
};

// Measures, offline, the echoes that a set of delay settings produces: private
// copies of the tape stage and the delay engine run at 48000 Hz on a short
// band-limited noise burst, and each expected echo's window is integrated.
//
// One instance is used by one thread at a time (the repeats worker). prepare()
// allocates; measure() allocates only its small result and slot lists.
class RepeatsModel
{
public:
  struct Request
  {
    TapeDelay::Settings settings; // as the block processing would use them
    double driveDb = 0.0;         // the Drive parameter in dB
  };

  static constexpr double kRate = 48000.0;
  // Hard limit of simulated audio: 60 s.
  static constexpr std::int64_t kMaxSamples = 2880000;
  // Samples between cancellation checks.
  static constexpr std::int64_t kCancelInterval = 4096;
  // A repeat below this level counts as quiet.
  static constexpr double kQuietDb = -48.0;

  // Samples below this magnitude count as silence on the fast path.
  static constexpr double kSilenceFloor = 1e-30;

  // Runs the stretches between echoes, where the lines hold only silence,
  // in one go instead of sample by sample. The levels stay within 1e-6
  // (relative) of the sample-by-sample run, which `false` selects (the
  // reference for tests and benchmarks).
  bool skipSilence = true;

  // Prepares both private engines at 48000 Hz and puts the tape stage in its
  // oversampled mode, once; later calls do nothing. Not real-time safe (the
  // delay rings are allocated here); owner's thread.
  void prepare();
  bool prepared() const noexcept { return mPrepared; }

  // Clears `out`, then appends one Repeat per finished echo in the order the
  // echoes' windows close (ascending time, left before right at equal times).
  // Calls `cancelled` (unless empty) every 4096 simulated samples and returns
  // false as soon as it reports true; returns true when the measurement ran
  // to its end. Owner's thread; not for the audio thread.
  bool measure(const Request& request, std::vector<Repeat>& out,
               const std::function<bool()>& cancelled);

  // The drive gain the model applies for a Drive value in dB: clamped to
  // -18..+18 dB; below -18 or not a number gives -18 dB.
  static double driveGain(double driveDb) noexcept;

  // Upper band edge after `passes` passes through the active first-order
  // low-passes (high cut strictly inside 0..19900 Hz, bandwidth above 0);
  // +infinity when none is active.
  static double highEdge(double highCut, double bandwidth, int passes) noexcept;

  // Lower band edge after `passes` passes through a second-order Butterworth
  // high-pass at `lowCut`; 0 when the low cut is off (20 Hz or below).
  static double lowEdge(double lowCut, int passes) noexcept;

private:
  struct Slot
  {
    double time = 0.0;
    bool right = false;
    std::int32_t index = 0;
  };

  void makeSlots(double tL, double tR, bool pingPong);
  void makeBurst(std::int64_t length);

  TapeDelay mDelay;
  Tape mTape;
  bool mPrepared = false;

  std::vector<Slot> mSlots;
  std::vector<std::int64_t> mStarts; // each slot's first sample
  std::vector<double> mBurst;
  double mBurstEnergy = 0.0;
};

} // namespace ostratapedelay::dsp
