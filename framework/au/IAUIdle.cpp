// The idle timer on the host's main run loop. On macOS the loop is the application's; the
// stand-in's loop runs wherever the host spins it, which is then the unit's main thread.
#include "framework/au/IAUBinding.h"

namespace plug
{

namespace
{

void TickIdle(CFRunLoopTimerRef, void* info)
{
  try
  {
    static_cast<IAUBinding*>(info)->GetTimer().Tick();
  }
  catch (...)
  {
    // The host's run loop must never see an exception; the next tick tries again.
  }
}

} // namespace

void IAUBinding::StartIdleTimer()
{
  if (mIdleTimer)
    return;
  const CFTimeInterval period = kIdleTimerPeriodMs / 1000.0;
  CFRunLoopTimerContext context{0, this, nullptr, nullptr, nullptr};
  mIdleTimer = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + period,
                                    period, 0, 0, TickIdle, &context);
  if (mIdleTimer)
    CFRunLoopAddTimer(CFRunLoopGetMain(), mIdleTimer, kCFRunLoopCommonModes);
}

void IAUBinding::StopIdleTimer()
{
  if (!mIdleTimer)
    return;
  CFRunLoopTimerInvalidate(mIdleTimer);
  CFRelease(mIdleTimer);
  mIdleTimer = nullptr;
}

} // namespace plug
