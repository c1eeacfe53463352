#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvana::updates
{

/** The waits of the update worker; the defaults are the product's. */
struct UpdateWorkerTiming
{
  std::chrono::milliseconds firstDelay{4000};
  std::chrono::milliseconds firstJitter{6000}; ///< uniformly random 0..this added to firstDelay
  std::chrono::milliseconds period{600000};
  std::chrono::milliseconds pollInterval{5000};
};

/**
 * The thread that drives the update check for the plug-in object's whole life: after a
 * first wait of `firstDelay` plus a random part of up to `firstJitter` it runs the task,
 * then again whenever `period` has passed since it last ran, looking every `pollInterval`.
 * Destroying the worker ends every wait at once and joins the thread; it waits only for a
 * task that is running, and calls `interrupt` first so that such a task can end early.
 */
class UpdateWorker
{
public:
  using Timing = UpdateWorkerTiming;

  /** Starts the thread. Main thread. `task` runs on the worker thread; its exceptions
      are swallowed (background failures are silent). */
  explicit UpdateWorker(std::function<void()> task, std::function<void()> interrupt = {},
                        Timing timing = Timing{});

  /** Stops and joins the thread. Main thread; returns promptly unless a task is running
      and ignores `interrupt`. */
  ~UpdateWorker();

  UpdateWorker(const UpdateWorker&) = delete;
  UpdateWorker& operator=(const UpdateWorker&) = delete;

private:
  void run(std::chrono::milliseconds firstWait);
  /** Waits up to `duration`; false when the worker is being stopped. */
  bool waitFor(std::chrono::milliseconds duration);

  std::function<void()> mTask;
  std::function<void()> mInterrupt;
  Timing mTiming;
  std::mutex mMutex;
  std::condition_variable mWake;
  bool mStopping = false;
  std::thread mThread;
};

} // namespace corvana::updates
