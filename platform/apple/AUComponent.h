// Audio components and Audio Unit instances: descriptions, the version-2 plug-in interface
// (factory, open, close, selector lookup), selectors, render callbacks and error codes, and the
// host-side calls that dispatch through a unit's plug-in interface.
#pragma once

#include "platform/apple/CoreAudioTypes.h"
#include "platform/apple/CoreFoundation.h"

extern "C"
{

  typedef struct OpaqueAudioComponent* AudioComponent;
  typedef struct ComponentInstanceRecord* AudioComponentInstance;
  typedef AudioComponentInstance AudioUnit;

  typedef struct AudioComponentDescription
  {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
  } AudioComponentDescription;

  typedef OSStatus (*AudioComponentMethod)(void* self, ...);

  typedef struct AudioComponentPlugInInterface
  {
    OSStatus (*Open)(void* self, AudioComponentInstance mInstance);
    OSStatus (*Close)(void* self);
    AudioComponentMethod (*Lookup)(SInt16 selector);
    void* reserved;
  } AudioComponentPlugInInterface;

  typedef AudioComponentPlugInInterface* (*AudioComponentFactoryFunction)(
      const AudioComponentDescription* inDesc);

  enum : OSType
  {
    kAudioUnitType_Output = 0x61756F75,          // 'auou'
    kAudioUnitType_MusicDevice = 0x61756D75,     // 'aumu'
    kAudioUnitType_MusicEffect = 0x61756D66,     // 'aumf'
    kAudioUnitType_FormatConverter = 0x61756663, // 'aufc'
    kAudioUnitType_Effect = 0x61756678,          // 'aufx'
    kAudioUnitType_Mixer = 0x61756D78,           // 'aumx'
    kAudioUnitType_Panner = 0x6175706E,          // 'aupn'
    kAudioUnitType_Generator = 0x6175676E,       // 'augn'
    kAudioUnitType_OfflineEffect = 0x61756F6C,   // 'auol'
    kAudioUnitType_MIDIProcessor = 0x61756D69,   // 'aumi'
  };

  typedef UInt32 AudioUnitPropertyID;
  typedef UInt32 AudioUnitScope;
  typedef UInt32 AudioUnitElement;
  typedef UInt32 AudioUnitParameterID;
  typedef Float32 AudioUnitParameterValue;

  typedef UInt32 AudioUnitRenderActionFlags;
  enum : AudioUnitRenderActionFlags
  {
    kAudioUnitRenderAction_PreRender = 1U << 2,
    kAudioUnitRenderAction_PostRender = 1U << 3,
    kAudioUnitRenderAction_OutputIsSilence = 1U << 4,
    kAudioOfflineUnitRenderAction_Preflight = 1U << 5,
    kAudioOfflineUnitRenderAction_Render = 1U << 6,
    kAudioOfflineUnitRenderAction_Complete = 1U << 7,
    kAudioUnitRenderAction_PostRenderError = 1U << 8,
    kAudioUnitRenderAction_DoNotCheckRenderArgs = 1U << 9,
  };

  enum : OSStatus
  {
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_NoConnection = -10876,
    kAudioUnitErr_FailedInitialization = -10875,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_InvalidFile = -10871,
    kAudioUnitErr_UnknownFileType = -10870,
    kAudioUnitErr_FileNotSpecified = -10869,
    kAudioUnitErr_FormatNotSupported = -10868,
    kAudioUnitErr_Uninitialized = -10867,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_PropertyNotWritable = -10865,
    kAudioUnitErr_CannotDoInCurrentContext = -10863,
    kAudioUnitErr_InvalidPropertyValue = -10851,
    kAudioUnitErr_PropertyNotInUse = -10850,
    kAudioUnitErr_Initialized = -10849,
    kAudioUnitErr_InvalidOfflineRender = -10848,
    kAudioUnitErr_Unauthorized = -10847,
    kAudioComponentErr_InstanceInvalidated = -66749,
  };

  // Selectors of the version-2 interface (Lookup) and of the component entry.
  enum : SInt16
  {
    kAudioUnitRange = 0x0000,
    kAudioUnitInitializeSelect = 0x0001,
    kAudioUnitUninitializeSelect = 0x0002,
    kAudioUnitGetPropertyInfoSelect = 0x0003,
    kAudioUnitGetPropertySelect = 0x0004,
    kAudioUnitSetPropertySelect = 0x0005,
    kAudioUnitAddPropertyListenerSelect = 0x000A,
    kAudioUnitRemovePropertyListenerSelect = 0x000B,
    kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012,
    kAudioUnitAddRenderNotifySelect = 0x000F,
    kAudioUnitRemoveRenderNotifySelect = 0x0010,
    kAudioUnitGetParameterSelect = 0x0006,
    kAudioUnitSetParameterSelect = 0x0007,
    kAudioUnitScheduleParametersSelect = 0x0011,
    kAudioUnitRenderSelect = 0x000E,
    kAudioUnitResetSelect = 0x0009,
    kAudioUnitComplexRenderSelect = 0x0013,
    kAudioUnitProcessSelect = 0x0014,
    kAudioUnitProcessMultipleSelect = 0x0015,
  };

  typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                       const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                       UInt32 inNumberFrames, AudioBufferList* ioData);

  typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit,
                                                AudioUnitPropertyID inID, AudioUnitScope inScope,
                                                AudioUnitElement inElement);

  typedef UInt32 AUParameterEventType;
  enum : AUParameterEventType
  {
    kParameterEvent_Immediate = 1,
    kParameterEvent_Ramped = 2
  };

  typedef struct AudioUnitParameterEvent
  {
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    AUParameterEventType eventType;
    union
    {
      struct
      {
        SInt32 startBufferOffset;
        UInt32 durationInFrames;
        AudioUnitParameterValue startValue;
        AudioUnitParameterValue endValue;
      } ramp;
      struct
      {
        UInt32 bufferOffset;
        AudioUnitParameterValue value;
      } immediate;
    } eventValues;
  } AudioUnitParameterEvent;

  // Method shapes that Lookup returns, cast to AudioComponentMethod.
  typedef OSStatus (*AudioUnitInitializeProc)(void* self);
  typedef OSStatus (*AudioUnitUninitializeProc)(void* self);
  typedef OSStatus (*AudioUnitGetPropertyInfoProc)(void* self, AudioUnitPropertyID prop,
                                                   AudioUnitScope scope, AudioUnitElement elem,
                                                   UInt32* outDataSize, Boolean* outWritable);
  typedef OSStatus (*AudioUnitGetPropertyProc)(void* self, AudioUnitPropertyID inID,
                                               AudioUnitScope inScope, AudioUnitElement inElement,
                                               void* outData, UInt32* ioDataSize);
  typedef OSStatus (*AudioUnitSetPropertyProc)(void* self, AudioUnitPropertyID inID,
                                               AudioUnitScope inScope, AudioUnitElement inElement,
                                               const void* inData, UInt32 inDataSize);
  typedef OSStatus (*AudioUnitAddPropertyListenerProc)(void* self, AudioUnitPropertyID prop,
                                                       AudioUnitPropertyListenerProc proc,
                                                       void* userData);
  typedef OSStatus (*AudioUnitRemovePropertyListenerProc)(void* self, AudioUnitPropertyID prop,
                                                          AudioUnitPropertyListenerProc proc);
  typedef OSStatus (*AudioUnitRemovePropertyListenerWithUserDataProc)(
      void* self, AudioUnitPropertyID prop, AudioUnitPropertyListenerProc proc, void* userData);
  typedef OSStatus (*AudioUnitAddRenderNotifyProc)(void* self, AURenderCallback proc,
                                                   void* userData);
  typedef OSStatus (*AudioUnitRemoveRenderNotifyProc)(void* self, AURenderCallback proc,
                                                      void* userData);
  typedef OSStatus (*AudioUnitGetParameterProc)(void* self, AudioUnitParameterID inID,
                                                AudioUnitScope inScope, AudioUnitElement inElement,
                                                AudioUnitParameterValue* outValue);
  typedef OSStatus (*AudioUnitSetParameterProc)(void* self, AudioUnitParameterID inID,
                                                AudioUnitScope inScope, AudioUnitElement inElement,
                                                AudioUnitParameterValue inValue,
                                                UInt32 inBufferOffsetInFrames);
  typedef OSStatus (*AudioUnitScheduleParametersProc)(
      void* self, const AudioUnitParameterEvent* inParameterEvent, UInt32 inNumParamEvents);
  typedef OSStatus (*AudioUnitRenderProc)(void* self, AudioUnitRenderActionFlags* ioActionFlags,
                                          const AudioTimeStamp* inTimeStamp,
                                          UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                                          AudioBufferList* ioData);
  typedef OSStatus (*AudioUnitResetProc)(void* self, AudioUnitScope inScope,
                                         AudioUnitElement inElement);

  // Component registry and instances. AudioComponentRegister stands for what the system does when
  // it finds the plug-in's bundle: it records the factory under the description.
  AudioComponent AudioComponentRegister(const AudioComponentDescription* inDesc, CFStringRef inName,
                                        UInt32 inVersion, AudioComponentFactoryFunction inFactory);
  AudioComponent AudioComponentFindNext(AudioComponent inComponent,
                                        const AudioComponentDescription* inDesc);
  OSStatus AudioComponentGetDescription(AudioComponent inComponent,
                                        AudioComponentDescription* outDesc);
  OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion);
  OSStatus AudioComponentCopyName(AudioComponent inComponent, CFStringRef* outName);
  OSStatus AudioComponentInstanceNew(AudioComponent inComponent,
                                     AudioComponentInstance* outInstance);
  OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);
  AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance);
  Boolean AudioComponentInstanceCanDo(AudioComponentInstance inInstance, SInt16 inSelectorID);

  // Host-side calls. Each looks its selector up in the unit's plug-in interface and answers
  // badComponentSelector when the unit does not implement it.
  OSStatus AudioUnitInitialize(AudioUnit inUnit);
  OSStatus AudioUnitUninitialize(AudioUnit inUnit);
  OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID,
                                    AudioUnitScope inScope, AudioUnitElement inElement,
                                    UInt32* outDataSize, Boolean* outWritable);
  OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
  OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
  OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                        AudioUnitPropertyListenerProc inProc, void* inProcUserData);
  OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                       AudioUnitPropertyListenerProc inProc,
                                                       void* inProcUserData);
  OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                    void* inProcUserData);
  OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                       void* inProcUserData);
  OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID,
                                 AudioUnitScope inScope, AudioUnitElement inElement,
                                 AudioUnitParameterValue* outValue);
  OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID,
                                 AudioUnitScope inScope, AudioUnitElement inElement,
                                 AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames);
  OSStatus AudioUnitScheduleParameters(AudioUnit inUnit,
                                       const AudioUnitParameterEvent* inParameterEvent,
                                       UInt32 inNumParamEvents);
  OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                           const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                           UInt32 inNumberFrames, AudioBufferList* ioData);
  OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement);

} // extern "C"
