#pragma once

#include <atomic>
#include <cstdint>

namespace ostratapedelay::plugin
{

/**
 * Turns tap presses into an averaged interval. The audio thread feeds press times (seconds
 * since the last reset); the idle timer takes the interval with an atomic exchange.
 */
class TapTempo
{
public:
  /** Shortest interval accepted; faster presses are contact bounce. */
  static constexpr double kBounceSeconds = 0.06;
  /** Longest interval that continues a sequence; a longer pause starts a new one. */
  static constexpr double kRestartSeconds = 2.0;
  static constexpr int kRingSize = 5;

  /** Forgets the current sequence (the published interval stays). Audio thread. */
  void restart() noexcept { mCount = 0; }

  /** One press at time `t` seconds. Audio thread; real-time safe. */
  void press(double t) noexcept;

  /** The averaged interval in seconds, replaced by -1; -1 when none is waiting. Any thread. */
  double takeInterval() noexcept { return mInterval.exchange(-1.0); }

  std::int64_t count() const noexcept { return mCount; }

private:
  double mTimes[kRingSize] = {};
  std::int64_t mCount = 0;
  std::atomic<double> mInterval{-1.0};
};

} // namespace ostratapedelay::plugin
