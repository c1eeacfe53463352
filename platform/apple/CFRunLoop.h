// The main run loop and its timers: how a macOS host gives plug-ins time on its main thread. A
// host spins the loop (CFRunLoopRunInMode) and every timer added to it fires on that thread.
// Only the main run loop exists here and only timers can be added to it; timers may be added
// and removed on any thread, but one thread at a time runs the loop.
#pragma once

#include "platform/apple/CoreFoundation.h"

extern "C"
{

  typedef double CFTimeInterval;
  /** Seconds since 1 January 2001, 00:00 GMT. */
  typedef CFTimeInterval CFAbsoluteTime;
  typedef struct __CFRunLoopTimer* CFRunLoopTimerRef;

  extern const CFStringRef kCFRunLoopDefaultMode;
  /** The modes a host marks common; a timer added here fires in any of them. */
  extern const CFStringRef kCFRunLoopCommonModes;

  typedef SInt32 CFRunLoopRunResult;
  enum : CFRunLoopRunResult
  {
    kCFRunLoopRunFinished = 1, // nothing in the mode could fire
    kCFRunLoopRunStopped = 2,
    kCFRunLoopRunTimedOut = 3,
    kCFRunLoopRunHandledSource = 4,
  };

  typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void* info);
  typedef struct
  {
    CFIndex version;
    void* info;
    const void* (*retain)(const void* info);
    void (*release)(const void* info);
    CFStringRef (*copyDescription)(const void* info);
  } CFRunLoopTimerContext;

  CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

  CFRunLoopRef CFRunLoopGetMain(void);
  /** Runs the loop on the calling thread for `seconds`, firing due timers of `mode`. Timers are
   *  no sources: returnAfterSourceHandled never ends the run early. */
  CFRunLoopRunResult CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds,
                                        Boolean returnAfterSourceHandled);
  /** Makes the running CFRunLoopRunInMode return kCFRunLoopRunStopped. */
  void CFRunLoopStop(CFRunLoopRef rl);

  CFTypeID CFRunLoopTimerGetTypeID(void);
  /** A timer that first fires at `fireDate` and then every `interval` seconds (once when the
   *  interval is 0 or less). The context's info is handed to the callback, retained and released
   *  through the context's functions when they are given. */
  CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate,
                                         CFTimeInterval interval, CFOptionFlags flags,
                                         CFIndex order, CFRunLoopTimerCallBack callout,
                                         CFRunLoopTimerContext* context);
  /** The loop retains the timer until it is removed or invalidated. */
  void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
  void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
  Boolean CFRunLoopContainsTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
  /** Stops the timer for good and takes it out of the loop. Once this returns the callback is
   *  not called again, unless it is running right now on the loop's thread. */
  void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
  Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);
  CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer);

} // extern "C"
