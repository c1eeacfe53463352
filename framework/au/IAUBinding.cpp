#include "framework/au/IAUBinding.h"

#include "framework/au/AUHostIdentity.h"
#include "framework/au/CFRef.h"

#include <algorithm>
#include <cstddef>

namespace plug
{

IAUBinding::IAUBinding(const Config& config)
  : IAPIBase(config)
  , IProcessor(GetConfig())
{
  mInputBuses.resize(static_cast<size_t>(std::max(0, MaxNBuses(kInput))));
  mOutputBuses.resize(static_cast<size_t>(std::max(0, MaxNBuses(kOutput))));
  mInFloat.resize(static_cast<size_t>(NChannels(kInput)));
  mOutFloat.resize(static_cast<size_t>(NChannels(kOutput)));
  mInPtrs.resize(mInFloat.size(), nullptr);
  mOutPtrs.resize(mOutFloat.size(), nullptr);
  // Room for a buffer list with one buffer per input channel record (at least one).
  const size_t nBuffers = std::max<size_t>(1, mInFloat.size());
  mInputListStorage.resize(offsetof(AudioBufferList, mBuffers) + nBuffers * sizeof(AudioBuffer) +
                           alignof(AudioBufferList));
  SetMaxFramesPerSlice(kDefaultMaxFramesPerSlice);
}

IAUBinding::~IAUBinding()
{
  mLifetime.reset();
  StopIdleTimer();
  for (CFStringRef name : mUnitNames)
    if (name)
      CFRelease(name);
}

// Buses --------------------------------------------------------------------------------------

int IAUBinding::NBuses(ERoute direction) const
{
  return static_cast<int>(direction == kInput ? mInputBuses.size() : mOutputBuses.size());
}

int IAUBinding::BusChannels(ERoute direction, int bus) const
{
  if (bus < 0 || bus >= NBuses(direction))
    return 0;
  return direction == kInput ? mInputBuses[static_cast<size_t>(bus)].nChannels
                             : mOutputBuses[static_cast<size_t>(bus)].nChannels;
}

int IAUBinding::EffectiveChannels(ERoute direction, int bus) const
{
  const int set = BusChannels(direction, bus);
  if (set > 0)
    return set;
  // Not set yet: the widest this bus gets in any layout, as a host would be offered first.
  int widest = 0;
  for (int c = 0; c < NIOConfigs(); ++c)
    widest = std::max(widest, GetIOConfig(c)->NChannelsOnBus(direction, bus));
  return std::clamp(widest, 0, NChannels(direction));
}

int IAUBinding::FirstChannel(ERoute direction, int bus) const
{
  int first = 0;
  for (int b = 0; b < bus; ++b)
    first += EffectiveChannels(direction, b);
  return std::min(first, NChannels(direction));
}

AudioStreamBasicDescription IAUBinding::StreamFormat(ERoute direction, int bus) const
{
  AudioStreamBasicDescription f{};
  f.mSampleRate = GetSampleRate();
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags =
      kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  f.mBytesPerPacket = sizeof(Float32);
  f.mFramesPerPacket = 1;
  f.mBytesPerFrame = sizeof(Float32);
  f.mChannelsPerFrame = static_cast<UInt32>(EffectiveChannels(direction, bus));
  f.mBitsPerChannel = 8 * sizeof(Float32);
  return f;
}

OSStatus IAUBinding::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                     const AudioStreamBasicDescription& f)
{
  if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
    return kAudioUnitErr_InvalidScope;
  const ERoute direction = scope == kAudioUnitScope_Input ? kInput : kOutput;
  if (static_cast<int>(element) >= NBuses(direction))
    return kAudioUnitErr_InvalidElement;
  // Only 32-bit float samples, one buffer per channel, are rendered; anything else would be
  // read and written with the wrong sample size.
  const bool interleaved = (f.mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0;
  if (f.mFormatID != kAudioFormatLinearPCM || (f.mFormatFlags & kAudioFormatFlagIsFloat) == 0 ||
      (f.mBitsPerChannel != 0 && f.mBitsPerChannel != 32) || f.mChannelsPerFrame == 0 ||
      f.mChannelsPerFrame > 1024 || (interleaved && f.mChannelsPerFrame > 1))
    return kAudioUnitErr_InvalidProperty;

  auto total = [&](ERoute d)
  {
    int sum = 0;
    for (int b = 0; b < NBuses(d); ++b)
    {
      const int n = (d == direction && b == static_cast<int>(element))
                        ? static_cast<int>(f.mChannelsPerFrame)
                        : BusChannels(d, b);
      if (n < 0)
        return -1;
      sum += n;
    }
    return sum;
  };
  if (!LegalIO(total(kInput), total(kOutput)))
    return kAudioUnitErr_InvalidProperty;

  if (direction == kInput)
    mInputBuses[element].nChannels = static_cast<int>(f.mChannelsPerFrame);
  else
    mOutputBuses[element].nChannels = static_cast<int>(f.mChannelsPerFrame);
  if (f.mSampleRate > 0.0 && f.mSampleRate < 1e7 && f.mSampleRate != GetSampleRate())
  {
    SetSampleRate(f.mSampleRate);
    OnReset();
  }
  NotifyPropertyListeners(kAudioUnitProperty_StreamFormat, scope, element);
  return noErr;
}

OSStatus IAUBinding::SetMaxFramesPerSlice(UInt32 frames)
{
  if (frames == 0 || frames > kMaxFramesPerSliceLimit)
    return kAudioUnitErr_InvalidPropertyValue;
  if (frames == mMaxFrames)
    return noErr;
  // The buffers below are in use while rendering: Apple's rule is to set this before
  // initialising, and a change afterwards is refused rather than raced.
  if (IsInitialized())
    return kAudioUnitErr_Initialized;
  SetBlockSize(static_cast<int>(frames));
  for (auto& buffer : mInFloat)
    buffer.assign(frames, 0.0f);
  for (auto& buffer : mOutFloat)
    buffer.assign(frames, 0.0f);
  for (size_t i = 0; i < mInFloat.size(); ++i)
    mInPtrs[i] = mInFloat[i].data();
  for (size_t i = 0; i < mOutFloat.size(); ++i)
    mOutPtrs[i] = mOutFloat[i].data();
  mMaxFrames = frames;
  return noErr;
}

// Lifecycle -----------------------------------------------------------------------------------

OSStatus IAUBinding::Initialize()
{
  if (IsInitialized())
    return noErr;
  if (!mHostIdentified)
    IdentifyHostFromMainBundle();
  auto total = [&](ERoute d)
  {
    int sum = 0;
    for (int b = 0; b < NBuses(d); ++b)
    {
      if (BusChannels(d, b) < 0)
        return -1; // not set: any count
      sum += BusChannels(d, b);
    }
    return sum;
  };
  if (!LegalIO(total(kInput), total(kOutput)))
    return badComponentSelector;
  mInitialized.store(true, std::memory_order_relaxed);
  mHasRendered = false;
  OnReset();
  OnParamReset(kReset);
  SetActive(true);
  return noErr;
}

OSStatus IAUBinding::Uninitialize()
{
  mInitialized.store(false, std::memory_order_relaxed);
  SetActive(false);
  return noErr;
}

OSStatus IAUBinding::Reset(AudioUnitScope, AudioUnitElement)
{
  mHasRendered = false;
  OnReset();
  return noErr;
}

// Host identity ------------------------------------------------------------------------------

void IAUBinding::IdentifyHost(const std::string& name, std::uint32_t version)
{
  {
    std::lock_guard lock(mStringsMutex);
    mHostName = name;
  }
  mHostID.store(LookUpHostID(name), std::memory_order_relaxed);
  mHostVersion.store(version, std::memory_order_relaxed);
  mHostIdentified = true;
}

void IAUBinding::IdentifyHostFromMainBundle()
{
  CFBundleRef bundle = CFBundleGetMainBundle();
  if (!bundle)
    return;
  char text[256] = {};
  std::string name;
  if (CFStringRef id = CFBundleGetIdentifier(bundle);
      id && CFStringGetCString(id, text, sizeof text, kCFStringEncodingUTF8))
    name = text;
  std::uint32_t version = 0;
  CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(bundle, kCFBundleVersionKey);
  if (value && CFGetTypeID(value) == CFStringGetTypeID() &&
      CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text, kCFStringEncodingUTF8))
    version = ParseHostVersion(text);
  IdentifyHost(name, version);
}

std::string IAUBinding::GetHostName() const
{
  std::lock_guard lock(mStringsMutex);
  return mHostName;
}

std::string IAUBinding::GetContextName() const
{
  std::lock_guard lock(mStringsMutex);
  return mContextName;
}

// Listeners and notifications -------------------------------------------------------------------

OSStatus IAUBinding::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                         void* userData)
{
  if (!proc)
    return kAudio_ParamError;
  std::lock_guard lock(mListenerMutex);
  mListeners.push_back({id, proc, userData});
  return noErr;
}

OSStatus IAUBinding::RemovePropertyListener(AudioUnitPropertyID id,
                                            AudioUnitPropertyListenerProc proc, void* userData,
                                            bool anyUserData)
{
  std::lock_guard lock(mListenerMutex);
  std::erase_if(mListeners,
                [&](const PropertyListener& l) {
                  return l.id == id && l.proc == proc && (anyUserData || l.userData == userData);
                });
  return noErr;
}

void IAUBinding::NotifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element)
{
  std::vector<PropertyListener> toCall;
  {
    std::lock_guard lock(mListenerMutex);
    for (const PropertyListener& l : mListeners)
      if (l.id == id)
        toCall.push_back(l);
  }
  // Called outside the lock: a listener commonly reads the property back or unregisters.
  for (const PropertyListener& l : toCall)
    l.proc(l.userData, mInstance, id, scope, element);
}

void IAUBinding::InformHostOfParameterDetailsChange()
{
  NotifyPropertyListeners(kAudioUnitProperty_ParameterList);
  NotifyPropertyListeners(kAudioUnitProperty_ParameterInfo);
}

OSStatus IAUBinding::AddRenderNotify(AURenderCallback proc, void* userData)
{
  if (!proc)
    return kAudio_ParamError;
  for (RenderNotify& slot : mRenderNotify)
  {
    if (slot.proc.load(std::memory_order_acquire) == nullptr)
    {
      slot.userData.store(userData, std::memory_order_relaxed);
      slot.proc.store(proc, std::memory_order_release);
      return noErr;
    }
  }
  return kAudio_MemFullError;
}

OSStatus IAUBinding::RemoveRenderNotify(AURenderCallback proc, void* userData)
{
  for (RenderNotify& slot : mRenderNotify)
    if (slot.proc.load(std::memory_order_acquire) == proc &&
        slot.userData.load(std::memory_order_relaxed) == userData)
      slot.proc.store(nullptr, std::memory_order_release);
  return noErr;
}

void IAUBinding::SendParamEvent(AudioUnitEventType type, int paramIdx)
{
  if (!GetParam(paramIdx))
    return;
  AudioUnitEvent event{};
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mInstance;
  event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(paramIdx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  AUEventListenerNotify(nullptr, nullptr, &event);
}

void IAUBinding::BeginInformHostOfParamChange(int paramIdx)
{
  SendParamEvent(kAudioUnitEvent_BeginParameterChangeGesture, paramIdx);
}

void IAUBinding::InformHostOfParamChange(int paramIdx, double)
{
  // Listeners read the value back from the unit, which already holds it.
  SendParamEvent(kAudioUnitEvent_ParameterValueChange, paramIdx);
}

void IAUBinding::EndInformHostOfParamChange(int paramIdx)
{
  SendParamEvent(kAudioUnitEvent_EndParameterChangeGesture, paramIdx);
}

// MIDI ------------------------------------------------------------------------------------------

OSStatus IAUBinding::MIDIEvent(UInt32, UInt32, UInt32, UInt32)
{
  return noErr;
}

OSStatus IAUBinding::SysEx(const UInt8*, UInt32)
{
  return noErr;
}

} // namespace plug
