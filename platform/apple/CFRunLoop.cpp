// The main run loop stand-in: timers ordered by their next fire time, fired one at a time on the
// thread that runs the loop, with the lock released so that a callback may add, remove or
// invalidate timers (its own included) and dispose of whatever owns them.
#include "platform/apple/CFRunLoop.h"

#include "platform/apple/CFRuntime.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

using namespace ostra::apple;
using Clock = std::chrono::steady_clock;

struct __CFRunLoopTimer : CFObject
{
  __CFRunLoopTimer()
    : CFObject(kRunLoopTimerTypeID)
  {
  }
  ~__CFRunLoopTimer() override
  {
    if (context.release && context.info)
      context.release(context.info);
  }
  CFRunLoopTimerCallBack callout = nullptr;
  CFRunLoopTimerContext context{};
  CFTimeInterval interval = 0.0;
  Clock::time_point next{};
  std::atomic<bool> valid{true};
};

struct __CFRunLoop : CFObject
{
  __CFRunLoop()
    : CFObject(kRunLoopTypeID, true)
  {
  }
  struct Entry
  {
    CFRunLoopTimerRef timer;
    std::string mode;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<Entry> entries; // each holds one retain of its timer
  bool stopRequested = false;
};

namespace
{

const std::string kCommon = "kCFRunLoopCommonModes";
const std::string kDefault = "kCFRunLoopDefaultMode";

std::string modeName(CFStringRef mode)
{
  const auto* s = as<const __CFString>(mode, kStringTypeID);
  return s ? s->utf8 : std::string();
}

// The default mode is the one common mode a host has here.
bool firesIn(const std::string& entryMode, const std::string& runMode)
{
  return entryMode == runMode || (entryMode == kCommon && runMode == kDefault);
}

__CFRunLoop& mainLoop()
{
  static __CFRunLoop loop;
  return loop;
}

__CFRunLoop* asLoop(CFRunLoopRef rl)
{
  return rl == &mainLoop() ? rl : nullptr;
}

// Drops every entry of `timer` (or only those of `mode` when given). Lock held.
void removeEntries(__CFRunLoop& loop, CFRunLoopTimerRef timer, const std::string* mode,
                   std::vector<CFRunLoopTimerRef>& toRelease)
{
  auto& e = loop.entries;
  for (auto it = e.begin(); it != e.end();)
  {
    if (it->timer == timer && (!mode || it->mode == *mode))
    {
      toRelease.push_back(it->timer);
      it = e.erase(it);
    }
    else
      ++it;
  }
}

void releaseAll(const std::vector<CFRunLoopTimerRef>& timers)
{
  // Outside the lock: the last release runs the context's release function.
  for (CFRunLoopTimerRef t : timers)
    CFRelease(t);
}

Clock::time_point fromAbsolute(CFAbsoluteTime date)
{
  const double ahead = date - CFAbsoluteTimeGetCurrent();
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(std::max(ahead, 0.0)));
}

} // namespace

extern "C"
{

  const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
  const CFStringRef kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

  CFAbsoluteTime CFAbsoluteTimeGetCurrent(void)
  {
    constexpr double kFrom1970To2001 = 978307200.0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count() - kFrom1970To2001;
  }

  CFRunLoopRef CFRunLoopGetMain(void)
  {
    return &mainLoop();
  }

  CFTypeID CFRunLoopTimerGetTypeID(void)
  {
    return kRunLoopTimerTypeID;
  }

  CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate,
                                         CFTimeInterval interval, CFOptionFlags, CFIndex,
                                         CFRunLoopTimerCallBack callout,
                                         CFRunLoopTimerContext* context)
  {
    if (!callout)
      return nullptr;
    auto* timer = new __CFRunLoopTimer;
    timer->callout = callout;
    if (context)
    {
      timer->context = *context;
      if (context->retain && context->info)
        timer->context.info = const_cast<void*>(context->retain(context->info));
    }
    timer->interval = interval;
    timer->next = fromAbsolute(fireDate);
    return timer;
  }

  void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode)
  {
    __CFRunLoop* loop = asLoop(rl);
    if (!loop || !as<__CFRunLoopTimer>(timer, kRunLoopTimerTypeID) || !timer->valid.load())
      return;
    const std::string name = modeName(mode);
    std::lock_guard lock(loop->mutex);
    for (const auto& e : loop->entries)
      if (e.timer == timer && e.mode == name)
        return;
    CFRetain(timer);
    loop->entries.push_back({timer, name});
    loop->wake.notify_all();
  }

  void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode)
  {
    __CFRunLoop* loop = asLoop(rl);
    if (!loop)
      return;
    const std::string name = modeName(mode);
    std::vector<CFRunLoopTimerRef> toRelease;
    {
      std::lock_guard lock(loop->mutex);
      removeEntries(*loop, timer, &name, toRelease);
    }
    releaseAll(toRelease);
  }

  Boolean CFRunLoopContainsTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode)
  {
    __CFRunLoop* loop = asLoop(rl);
    if (!loop)
      return false;
    const std::string name = modeName(mode);
    std::lock_guard lock(loop->mutex);
    return std::any_of(loop->entries.begin(), loop->entries.end(),
                       [&](const auto& e) { return e.timer == timer && e.mode == name; });
  }

  void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer)
  {
    if (!as<__CFRunLoopTimer>(timer, kRunLoopTimerTypeID))
      return;
    __CFRunLoop& loop = mainLoop();
    std::vector<CFRunLoopTimerRef> toRelease;
    {
      std::lock_guard lock(loop.mutex);
      timer->valid.store(false);
      removeEntries(loop, timer, nullptr, toRelease);
    }
    releaseAll(toRelease);
  }

  Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer)
  {
    return as<__CFRunLoopTimer>(timer, kRunLoopTimerTypeID) && timer->valid.load();
  }

  CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer)
  {
    return as<__CFRunLoopTimer>(timer, kRunLoopTimerTypeID) ? timer->interval : 0.0;
  }

  void CFRunLoopStop(CFRunLoopRef rl)
  {
    __CFRunLoop* loop = asLoop(rl);
    if (!loop)
      return;
    std::lock_guard lock(loop->mutex);
    loop->stopRequested = true;
    loop->wake.notify_all();
  }

  CFRunLoopRunResult CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds, Boolean)
  {
    __CFRunLoop& loop = mainLoop();
    const std::string name = modeName(mode);
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(std::max(seconds, 0.0)));
    std::unique_lock lock(loop.mutex);
    while (true)
    {
      if (loop.stopRequested)
      {
        loop.stopRequested = false;
        return kCFRunLoopRunStopped;
      }
      CFRunLoopTimerRef soonest = nullptr;
      for (const auto& e : loop.entries)
        if (firesIn(e.mode, name) && (!soonest || e.timer->next < soonest->next))
          soonest = e.timer;
      if (!soonest)
        return kCFRunLoopRunFinished;
      const Clock::time_point now = Clock::now();
      if (soonest->next > now)
      {
        if (now >= end)
          return kCFRunLoopRunTimedOut;
        loop.wake.wait_until(lock, std::min(soonest->next, end));
        continue;
      }
      // Due: schedule the next fire (missed fires are skipped, not made up) or retire a
      // one-shot timer, then call out without the lock.
      CFRunLoopTimerRef timer = soonest;
      CFRetain(timer);
      std::vector<CFRunLoopTimerRef> toRelease;
      if (timer->interval > 0.0)
      {
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(timer->interval));
        timer->next += period;
        if (timer->next <= now)
          timer->next = now + period;
      }
      else
      {
        timer->valid.store(false);
        removeEntries(loop, timer, nullptr, toRelease);
      }
      lock.unlock();
      releaseAll(toRelease);
      timer->callout(timer, timer->context.info);
      CFRelease(timer);
      if (Clock::now() >= end)
        return kCFRunLoopRunTimedOut;
      lock.lock();
    }
  }

} // extern "C"
