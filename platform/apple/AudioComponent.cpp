// Component registry, unit instances and the host-side calls that dispatch through a unit's
// version-2 plug-in interface, as the system's AudioToolbox does on macOS.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/apple/AUComponent.h"
#include "platform/apple/Components.h"
#include "platform/apple/MusicDevice.h"
#include "platform/apple/StandInEnvironment.h"

struct OpaqueAudioComponent
{
  AudioComponentDescription description{};
  std::string name;
  UInt32 version = 0;
  AudioComponentFactoryFunction factory = nullptr;
};

struct ComponentInstanceRecord
{
  AudioComponent component = nullptr;
  AudioComponentPlugInInterface* plugIn = nullptr;
  Handle storage = nullptr;
};

namespace
{

struct Registry
{
  std::mutex mutex;
  std::vector<std::unique_ptr<OpaqueAudioComponent>> components;
};

Registry& registry()
{
  static Registry r;
  return r;
}

bool fieldMatches(OSType wanted, OSType actual)
{
  return wanted == 0 || wanted == actual;
}

bool matches(const AudioComponentDescription& wanted, const AudioComponentDescription& actual)
{
  return fieldMatches(wanted.componentType, actual.componentType) &&
         fieldMatches(wanted.componentSubType, actual.componentSubType) &&
         fieldMatches(wanted.componentManufacturer, actual.componentManufacturer);
}

// Looks the selector up in the unit's interface and calls it with the interface as `self`.
template <typename Proc, typename... Args>
OSStatus dispatch(AudioUnit unit, SInt16 selector, Args... args)
{
  if (!unit || !unit->plugIn || !unit->plugIn->Lookup)
    return badComponentInstance;
  const AudioComponentMethod method = unit->plugIn->Lookup(selector);
  if (!method)
    return badComponentSelector;
  return reinterpret_cast<Proc>(method)(unit->plugIn, args...);
}

} // namespace

namespace ostra::apple
{

AudioComponentInstance makeBareInstance()
{
  return new ComponentInstanceRecord;
}

void disposeBareInstance(AudioComponentInstance instance)
{
  delete instance;
}

} // namespace ostra::apple

extern "C"
{

  void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage)
  {
    if (aComponentInstance)
      aComponentInstance->storage = theStorage;
  }

  Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance)
  {
    return aComponentInstance ? aComponentInstance->storage : nullptr;
  }

  AudioComponent AudioComponentRegister(const AudioComponentDescription* inDesc, CFStringRef inName,
                                        UInt32 inVersion, AudioComponentFactoryFunction inFactory)
  {
    if (!inDesc || !inFactory)
      return nullptr;
    auto component = std::make_unique<OpaqueAudioComponent>();
    component->description = *inDesc;
    component->version = inVersion;
    component->factory = inFactory;
    if (const char* name = CFStringGetCStringPtr(inName, kCFStringEncodingUTF8))
      component->name = name;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.components.push_back(std::move(component));
    return r.components.back().get();
  }

  AudioComponent AudioComponentFindNext(AudioComponent inComponent,
                                        const AudioComponentDescription* inDesc)
  {
    if (!inDesc)
      return nullptr;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    bool passedStart = inComponent == nullptr;
    for (const auto& c : r.components)
    {
      if (!passedStart)
      {
        passedStart = c.get() == inComponent;
        continue;
      }
      if (matches(*inDesc, c->description))
        return c.get();
    }
    return nullptr;
  }

  OSStatus AudioComponentGetDescription(AudioComponent inComponent,
                                        AudioComponentDescription* outDesc)
  {
    if (!inComponent || !outDesc)
      return kAudio_ParamError;
    *outDesc = inComponent->description;
    return noErr;
  }

  OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion)
  {
    if (!inComponent || !outVersion)
      return kAudio_ParamError;
    *outVersion = inComponent->version;
    return noErr;
  }

  OSStatus AudioComponentCopyName(AudioComponent inComponent, CFStringRef* outName)
  {
    if (!inComponent || !outName)
      return kAudio_ParamError;
    *outName = CFStringCreateWithCString(kCFAllocatorDefault, inComponent->name.c_str(),
                                         kCFStringEncodingUTF8);
    return noErr;
  }

  OSStatus AudioComponentInstanceNew(AudioComponent inComponent,
                                     AudioComponentInstance* outInstance)
  {
    if (!inComponent || !outInstance)
      return kAudio_ParamError;
    *outInstance = nullptr;
    AudioComponentPlugInInterface* plugIn = inComponent->factory(&inComponent->description);
    if (!plugIn)
      return kAudioUnitErr_FailedInitialization;
    auto instance = std::make_unique<ComponentInstanceRecord>();
    instance->component = inComponent;
    instance->plugIn = plugIn;
    if (const OSStatus err = plugIn->Open(plugIn, instance.get()); err != noErr)
    {
      // Close owns the interface record the factory made, opened or not.
      plugIn->Close(plugIn);
      return err;
    }
    *outInstance = instance.release();
    return noErr;
  }

  OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance)
  {
    if (!inInstance)
      return kAudio_ParamError;
    const OSStatus err = inInstance->plugIn ? inInstance->plugIn->Close(inInstance->plugIn) : noErr;
    delete inInstance;
    return err;
  }

  AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance)
  {
    return inInstance ? inInstance->component : nullptr;
  }

  Boolean AudioComponentInstanceCanDo(AudioComponentInstance inInstance, SInt16 inSelectorID)
  {
    return inInstance && inInstance->plugIn && inInstance->plugIn->Lookup &&
           inInstance->plugIn->Lookup(inSelectorID) != nullptr;
  }

  OSStatus AudioUnitInitialize(AudioUnit inUnit)
  {
    return dispatch<AudioUnitInitializeProc>(inUnit, kAudioUnitInitializeSelect);
  }

  OSStatus AudioUnitUninitialize(AudioUnit inUnit)
  {
    return dispatch<AudioUnitUninitializeProc>(inUnit, kAudioUnitUninitializeSelect);
  }

  OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID,
                                    AudioUnitScope inScope, AudioUnitElement inElement,
                                    UInt32* outDataSize, Boolean* outWritable)
  {
    return dispatch<AudioUnitGetPropertyInfoProc>(inUnit, kAudioUnitGetPropertyInfoSelect, inID,
                                                  inScope, inElement, outDataSize, outWritable);
  }

  OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, void* outData, UInt32* ioDataSize)
  {
    return dispatch<AudioUnitGetPropertyProc>(inUnit, kAudioUnitGetPropertySelect, inID, inScope,
                                              inElement, outData, ioDataSize);
  }

  OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, const void* inData, UInt32 inDataSize)
  {
    return dispatch<AudioUnitSetPropertyProc>(inUnit, kAudioUnitSetPropertySelect, inID, inScope,
                                              inElement, inData, inDataSize);
  }

  OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                        AudioUnitPropertyListenerProc inProc, void* inProcUserData)
  {
    return dispatch<AudioUnitAddPropertyListenerProc>(inUnit, kAudioUnitAddPropertyListenerSelect,
                                                      inID, inProc, inProcUserData);
  }

  OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                       AudioUnitPropertyListenerProc inProc,
                                                       void* inProcUserData)
  {
    return dispatch<AudioUnitRemovePropertyListenerWithUserDataProc>(
        inUnit, kAudioUnitRemovePropertyListenerWithUserDataSelect, inID, inProc, inProcUserData);
  }

  OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData)
  {
    return dispatch<AudioUnitAddRenderNotifyProc>(inUnit, kAudioUnitAddRenderNotifySelect, inProc,
                                                  inProcUserData);
  }

  OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                       void* inProcUserData)
  {
    return dispatch<AudioUnitRemoveRenderNotifyProc>(inUnit, kAudioUnitRemoveRenderNotifySelect,
                                                     inProc, inProcUserData);
  }

  OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID,
                                 AudioUnitScope inScope, AudioUnitElement inElement,
                                 AudioUnitParameterValue* outValue)
  {
    return dispatch<AudioUnitGetParameterProc>(inUnit, kAudioUnitGetParameterSelect, inID, inScope,
                                               inElement, outValue);
  }

  OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID,
                                 AudioUnitScope inScope, AudioUnitElement inElement,
                                 AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames)
  {
    return dispatch<AudioUnitSetParameterProc>(inUnit, kAudioUnitSetParameterSelect, inID, inScope,
                                               inElement, inValue, inBufferOffsetInFrames);
  }

  OSStatus AudioUnitScheduleParameters(AudioUnit inUnit,
                                       const AudioUnitParameterEvent* inParameterEvent,
                                       UInt32 inNumParamEvents)
  {
    return dispatch<AudioUnitScheduleParametersProc>(inUnit, kAudioUnitScheduleParametersSelect,
                                                     inParameterEvent, inNumParamEvents);
  }

  OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                           const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                           UInt32 inNumberFrames, AudioBufferList* ioData)
  {
    return dispatch<AudioUnitRenderProc>(inUnit, kAudioUnitRenderSelect, ioActionFlags, inTimeStamp,
                                         inOutputBusNumber, inNumberFrames, ioData);
  }

  OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement)
  {
    return dispatch<AudioUnitResetProc>(inUnit, kAudioUnitResetSelect, inScope, inElement);
  }

  OSStatus MusicDeviceMIDIEvent(AudioUnit inUnit, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                                UInt32 inOffsetSampleFrame)
  {
    return dispatch<MusicDeviceMIDIEventProc>(inUnit, kMusicDeviceMIDIEventSelect, inStatus,
                                              inData1, inData2, inOffsetSampleFrame);
  }

  OSStatus MusicDeviceSysEx(AudioUnit inUnit, const UInt8* inData, UInt32 inLength)
  {
    return dispatch<MusicDeviceSysExProc>(inUnit, kMusicDeviceSysExSelect, inData, inLength);
  }

} // extern "C"
