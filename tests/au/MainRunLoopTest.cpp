// The main run loop of the stand-in: what a host's spinning loop owes the timers of units and
// views, which may come and go from inside their own callbacks.
#include "platform/apple/CFRunLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{

struct Log
{
  std::string fired;
  CFRunLoopTimerRef toInvalidate = nullptr;
};

CFRunLoopTimerRef MakeTimer(double in, double every, Log& log, CFRunLoopTimerCallBack callback)
{
  CFRunLoopTimerContext context{0, &log, nullptr, nullptr, nullptr};
  return CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + in, every, 0, 0,
                              callback, &context);
}

TEST(MainRunLoop, TimersFireInTimeOrderOnTheSpinningThreadAndMayEndThemselves)
{
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.01, false), kCFRunLoopRunFinished);

  Log log;
  CFRunLoopTimerRef once = MakeTimer(
      0.045, 0.0, log, [](CFRunLoopTimerRef, void* l) { static_cast<Log*>(l)->fired += 'o'; });
  // Fires every 5 ms and ends itself on its fourth call.
  CFRunLoopTimerRef repeating = MakeTimer(0.005, 0.005, log,
                                          [](CFRunLoopTimerRef self, void* l)
                                          {
                                            auto* log = static_cast<Log*>(l);
                                            log->fired += 'r';
                                            if (log->fired.size() == 4)
                                              CFRunLoopTimerInvalidate(self);
                                          });
  // Added in another mode: never fires in the default one.
  CFRunLoopTimerRef elsewhere = MakeTimer(
      0.0, 0.001, log, [](CFRunLoopTimerRef, void* l) { static_cast<Log*>(l)->fired += 'x'; });
  CFRunLoopAddTimer(CFRunLoopGetMain(), once, kCFRunLoopCommonModes);
  CFRunLoopAddTimer(CFRunLoopGetMain(), repeating, kCFRunLoopDefaultMode);
  CFRunLoopAddTimer(CFRunLoopGetMain(), elsewhere, CFSTR("AUModalPanelMode"));
  EXPECT_EQ(CFGetRetainCount(repeating), 2); // the loop holds one

  const auto start = std::chrono::steady_clock::now();
  // Once the last timer of the mode is gone the run ends, long before its time is up.
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 5.0, false), kCFRunLoopRunFinished);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(log.fired, "rrrro");
  EXPECT_FALSE(CFRunLoopTimerIsValid(repeating));
  EXPECT_FALSE(CFRunLoopTimerIsValid(once)); // a one-shot timer ends after its call
  EXPECT_EQ(CFGetRetainCount(repeating), 1);

  CFRunLoopRemoveTimer(CFRunLoopGetMain(), elsewhere, CFSTR("AUModalPanelMode"));
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.01, false), kCFRunLoopRunFinished);
  for (CFRunLoopTimerRef t : {once, repeating, elsewhere})
    CFRelease(t);
}

TEST(MainRunLoop, StopEndsTheRunAndAReleasedTimerReleasesItsInfo)
{
  static int released = 0;
  released = 0;
  CFRunLoopTimerContext context{0, &released, [](const void* info) { return info; },
                                [](const void*) { ++released; }, nullptr};
  CFRunLoopTimerRef stopper = CFRunLoopTimerCreate(
      kCFAllocatorDefault, CFAbsoluteTimeGetCurrent(), 0.001, 0, 0,
      [](CFRunLoopTimerRef, void*) { CFRunLoopStop(CFRunLoopGetMain()); }, &context);
  CFRunLoopAddTimer(CFRunLoopGetMain(), stopper, kCFRunLoopCommonModes);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 5.0, false), kCFRunLoopRunStopped);
  CFRunLoopTimerInvalidate(stopper);
  EXPECT_EQ(released, 0); // still referenced by its creator
  CFRelease(stopper);
  EXPECT_EQ(released, 1);
}

} // namespace
