#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace plug
{

/**
 * A periodic main-thread callback. Linux has no main run loop a plug-in could join, so the
 * timer does not fire by itself: whoever owns the main thread (a host binding's idle hook,
 * the command-line tool, a test) calls Tick() about once per period, or lets RunUntil pump
 * it from a loop on the calling thread.
 *
 * Tick, RunUntil: the owning (main) thread. Stop, IsRunning: any thread.
 */
class Timer
{
public:
  using Callback = std::function<void(Timer&)>;

  /** A running timer that calls `callback` with itself on each tick; the period is kept for
   *  the code that drives it (values below 1 ms count as 1 ms). */
  Timer(Callback callback, int periodMs);

  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  int GetPeriodMs() const noexcept { return mPeriodMs; }

  /** Calls the callback once, unless the timer was stopped. */
  void Tick();

  /** Stops the timer for good: later ticks do nothing and RunUntil returns. */
  void Stop() noexcept { mRunning.store(false, std::memory_order_relaxed); }
  bool IsRunning() const noexcept { return mRunning.load(std::memory_order_relaxed); }

  /** Number of callbacks made so far. */
  std::uint64_t NTicks() const noexcept { return mNTicks; }

  /**
   * Ticks once per period on the calling thread until `done()` returns true (checked before
   * each tick) or the timer is stopped. A late tick does not cause a burst of catch-up ticks.
   */
  void RunUntil(const std::function<bool()>& done);

private:
  Callback mCallback;
  int mPeriodMs;
  std::atomic<bool> mRunning{true};
  std::uint64_t mNTicks = 0;
};

} // namespace plug
