#include "framework/Timer.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace plug
{

Timer::Timer(Callback callback, int periodMs)
  : mCallback(std::move(callback))
  , mPeriodMs(std::max(periodMs, 1))
{
}

void Timer::Tick()
{
  if (!IsRunning() || !mCallback)
    return;
  ++mNTicks;
  mCallback(*this);
}

void Timer::RunUntil(const std::function<bool()>& done)
{
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::milliseconds(mPeriodMs);
  auto next = Clock::now();
  while (IsRunning() && !(done && done()))
  {
    Tick();
    next += period;
    const auto now = Clock::now();
    if (next < now)
      next = now; // fell behind: carry on from now rather than firing a burst
    else
      std::this_thread::sleep_until(next);
  }
}

} // namespace plug
