// Event listeners for parameter gestures, value changes and property changes. Delivery is
// synchronous: AUEventListenerNotify calls each matching listener before it returns.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/apple/AudioUnitProperties.h"
#include "platform/apple/AudioUnitUtilities.h"

struct AUListenerBase
{
  AUEventListenerProc proc = nullptr;
  void* userData = nullptr;
  struct Registration
  {
    void* object;
    AudioUnitEvent event;
  };
  std::vector<Registration> registrations;
};

namespace
{

constexpr AudioUnitParameterID kAnyParameter = 0xFFFFFFFF;

struct Listeners
{
  std::mutex mutex;
  std::vector<AUListenerBase*> all;
};

Listeners& listeners()
{
  static Listeners l;
  return l;
}

bool sameEvent(const AudioUnitEvent& registered, const AudioUnitEvent& sent)
{
  if (registered.mEventType != sent.mEventType)
    return false;
  if (sent.mEventType == kAudioUnitEvent_PropertyChange)
  {
    const auto& a = registered.mArgument.mProperty;
    const auto& b = sent.mArgument.mProperty;
    return a.mAudioUnit == b.mAudioUnit && a.mPropertyID == b.mPropertyID && a.mScope == b.mScope &&
           a.mElement == b.mElement;
  }
  const auto& a = registered.mArgument.mParameter;
  const auto& b = sent.mArgument.mParameter;
  return a.mAudioUnit == b.mAudioUnit && a.mScope == b.mScope && a.mElement == b.mElement &&
         (a.mParameterID == kAnyParameter || a.mParameterID == b.mParameterID);
}

} // namespace

extern "C"
{

  OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, CFRunLoopRef,
                                 CFStringRef, Float32, Float32, AUEventListenerRef* outListener)
  {
    if (!inProc || !outListener)
      return kAudio_ParamError;
    auto* listener = new AUListenerBase;
    listener->proc = inProc;
    listener->userData = inUserData;
    auto& l = listeners();
    std::lock_guard lock(l.mutex);
    l.all.push_back(listener);
    *outListener = listener;
    return noErr;
  }

  OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                       const AudioUnitEvent* inEvent)
  {
    if (!inListener || !inEvent)
      return kAudio_ParamError;
    auto& l = listeners();
    std::lock_guard lock(l.mutex);
    inListener->registrations.push_back({inObject, *inEvent});
    return noErr;
  }

  OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                          const AudioUnitEvent* inEvent)
  {
    if (!inListener || !inEvent)
      return kAudio_ParamError;
    auto& l = listeners();
    std::lock_guard lock(l.mutex);
    auto& regs = inListener->registrations;
    regs.erase(std::remove_if(regs.begin(), regs.end(),
                              [&](const auto& r)
                              { return r.object == inObject && sameEvent(r.event, *inEvent); }),
               regs.end());
    return noErr;
  }

  OSStatus AUListenerDispose(AUParameterListenerRef inListener)
  {
    if (!inListener)
      return kAudio_ParamError;
    auto& l = listeners();
    {
      std::lock_guard lock(l.mutex);
      const auto it = std::find(l.all.begin(), l.all.end(), inListener);
      if (it == l.all.end())
        return kAudio_ParamError;
      l.all.erase(it);
    }
    delete inListener;
    return noErr;
  }

  OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                 const AudioUnitEvent* inEvent)
  {
    if (!inEvent)
      return kAudio_ParamError;
    AudioUnitParameterValue value = 0;
    if (inEvent->mEventType == kAudioUnitEvent_ParameterValueChange)
    {
      const auto& p = inEvent->mArgument.mParameter;
      if (AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value) !=
          noErr)
        value = 0;
    }
    // Collect first and call outside the lock, so that a listener may register or notify in turn.
    struct Call
    {
      AUEventListenerProc proc;
      void* userData;
      void* object;
    };
    std::vector<Call> calls;
    {
      auto& l = listeners();
      std::lock_guard lock(l.mutex);
      for (AUListenerBase* listener : l.all)
      {
        if (listener == inSendingListener)
          continue;
        for (const auto& r : listener->registrations)
        {
          if (inSendingObject && r.object == inSendingObject)
            continue;
          if (sameEvent(r.event, *inEvent))
          {
            calls.push_back({listener->proc, listener->userData, r.object});
            break;
          }
        }
      }
    }
    for (const Call& c : calls)
      c.proc(c.userData, c.object, inEvent, 0, value);
    return noErr;
  }

} // extern "C"
