// Parameter and property event listeners: how a unit tells hosts about edits made in its editor.
// Here events are delivered synchronously on the notifying thread; Apple's run-loop delivery is
// not reproduced, so listeners must be quick.
#pragma once

#include "platform/apple/AUComponent.h"

extern "C"
{

  typedef struct AudioUnitParameter
  {
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
  } AudioUnitParameter;

  typedef struct AudioUnitProperty
  {
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
  } AudioUnitProperty;

  typedef UInt32 AudioUnitEventType;
  enum : AudioUnitEventType
  {
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
  };

  typedef struct AudioUnitEvent
  {
    AudioUnitEventType mEventType;
    union
    {
      AudioUnitParameter mParameter;
      AudioUnitProperty mProperty;
    } mArgument;
  } AudioUnitEvent;

  typedef struct AUListenerBase* AUParameterListenerRef;
  typedef AUParameterListenerRef AUEventListenerRef;

  typedef void (*AUEventListenerProc)(void* inCallbackRefCon, void* inObject,
                                      const AudioUnitEvent* inEvent, UInt64 inEventHostTime,
                                      AudioUnitParameterValue inParameterValue);

  OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData,
                                 CFRunLoopRef inRunLoop, CFStringRef inRunLoopMode,
                                 Float32 inNotificationInterval, Float32 inNotificationGranularity,
                                 AUEventListenerRef* outListener);
  OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                       const AudioUnitEvent* inEvent);
  OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                          const AudioUnitEvent* inEvent);
  OSStatus AUListenerDispose(AUParameterListenerRef inListener);

  // Tells every listener registered for this event; inSendingListener (may be null) is skipped.
  // For a value change the listeners receive the parameter's current value.
  OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                 const AudioUnitEvent* inEvent);

} // extern "C"
