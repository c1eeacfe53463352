#include "updates/UpdateWorker.h"

#include <random>

namespace corvana::updates
{

namespace
{

std::chrono::milliseconds randomUpTo(std::chrono::milliseconds limit)
{
  if (limit.count() <= 0)
    return std::chrono::milliseconds{0};
  try
  {
    std::random_device device;
    std::uniform_int_distribution<std::chrono::milliseconds::rep> pick(0, limit.count());
    return std::chrono::milliseconds{pick(device)};
  }
  catch (...)
  {
    // No random device: spreading the first checks of many instances is only a courtesy.
    return limit / 2;
  }
}

} // namespace

UpdateWorker::UpdateWorker(std::function<void()> task, std::function<void()> interrupt,
                           Timing timing)
  : mTask(std::move(task))
  , mInterrupt(std::move(interrupt))
  , mTiming(timing)
{
  const auto firstWait = mTiming.firstDelay + randomUpTo(mTiming.firstJitter);
  mThread = std::thread([this, firstWait] { run(firstWait); });
}

UpdateWorker::~UpdateWorker()
{
  {
    std::lock_guard lock(mMutex);
    mStopping = true;
  }
  mWake.notify_all();
  if (mInterrupt)
    mInterrupt();
  if (mThread.joinable())
    mThread.join();
}

bool UpdateWorker::waitFor(std::chrono::milliseconds duration)
{
  std::unique_lock lock(mMutex);
  return !mWake.wait_for(lock, duration, [this] { return mStopping; });
}

void UpdateWorker::run(std::chrono::milliseconds firstWait)
{
  if (!waitFor(firstWait))
    return;
  bool first = true;
  auto lastRun = std::chrono::steady_clock::now();
  for (;;)
  {
    const auto now = std::chrono::steady_clock::now();
    if (first || now - lastRun >= mTiming.period)
    {
      first = false;
      lastRun = now;
      try
      {
        if (mTask)
          mTask();
      }
      catch (...)
      {
      }
    }
    if (!waitFor(mTiming.pollInterval))
      return;
  }
}

} // namespace corvana::updates
