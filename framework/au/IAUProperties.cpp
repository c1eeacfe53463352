// Property calls: sizes, reads and writes of everything a host asks or tells the unit.
#include "framework/au/CFRef.h"
#include "framework/au/IAUBinding.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace plug
{

namespace
{

bool IsBusScope(AudioUnitScope scope)
{
  return scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Output;
}

ERoute Route(AudioUnitScope scope)
{
  return scope == kAudioUnitScope_Input ? kInput : kOutput;
}

AudioChannelLayoutTag LayoutTag(int nChannels)
{
  switch (nChannels)
  {
    case 1:
      return kAudioChannelLayoutTag_Mono;
    case 2:
      return kAudioChannelLayoutTag_Stereo;
    default:
      return (147u << 16) | static_cast<UInt32>(nChannels); // discrete channels in order
  }
}

template <typename T>
T Read(const void* data)
{
  T value;
  std::memcpy(&value, data, sizeof(T));
  return value;
}

template <typename T>
void Write(void* out, const T& value)
{
  std::memcpy(out, &value, sizeof(T));
}

CFStringRef MakeString(const std::string& text)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

std::string ToString(CFStringRef s)
{
  if (!s || CFGetTypeID(s) != CFStringGetTypeID())
    return {};
  std::string text(static_cast<size_t>(CFStringGetMaximumSizeForEncoding(CFStringGetLength(s),
                                                                         kCFStringEncodingUTF8)) +
                       1,
                   '\0');
  if (!CFStringGetCString(s, text.data(), static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8))
    return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

// Factory preset records handed to hosts in a CFArray: reference counted, AUPreset first.
struct CFAUPreset
{
  AUPreset auPreset;
  std::atomic<CFIndex> retainCount;
};

CFAUPreset* CFAUPresetCreate(SInt32 number, CFStringRef name)
{
  auto* preset = new (std::nothrow) CFAUPreset{{number, name}, {1}};
  if (preset && name)
    CFRetain(name);
  return preset;
}

const void* CFAUPresetArrayRetain(CFAllocatorRef, const void* value)
{
  static_cast<CFAUPreset*>(const_cast<void*>(value))->retainCount.fetch_add(1);
  return value;
}

void CFAUPresetArrayRelease(CFAllocatorRef, const void* value)
{
  auto* preset = static_cast<CFAUPreset*>(const_cast<void*>(value));
  if (preset->retainCount.fetch_sub(1) == 1)
  {
    if (preset->auPreset.presetName)
      CFRelease(preset->auPreset.presetName);
    delete preset;
  }
}

const CFArrayCallBacks kCFAUPresetArrayCallBacks = {0, CFAUPresetArrayRetain,
                                                    CFAUPresetArrayRelease, nullptr, nullptr};

} // namespace

OSStatus IAUBinding::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32* outDataSize,
                                     Boolean* outWritable)
{
  UInt32 size = 0;
  bool writable = false;
  const bool global = scope == kAudioUnitScope_Global;
  const bool busOk = IsBusScope(scope) && static_cast<int>(element) < NBuses(Route(scope));

  switch (id)
  {
    case kAudioUnitProperty_ClassInfo:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(CFTypeRef);
      writable = true;
      break;
    case kAudioUnitProperty_MakeConnection:
    case kAudioUnitProperty_SetRenderCallback:
      if (scope != kAudioUnitScope_Input)
        return kAudioUnitErr_InvalidScope;
      if (!busOk)
        return kAudioUnitErr_InvalidElement;
      size = id == kAudioUnitProperty_MakeConnection ? sizeof(AudioUnitConnection)
                                                     : sizeof(AURenderCallbackStruct);
      writable = true;
      break;
    case kAudioUnitProperty_SampleRate:
      if (!global && !IsBusScope(scope))
        return kAudioUnitErr_InvalidScope;
      size = sizeof(Float64);
      writable = true;
      break;
    case kAudioUnitProperty_ParameterList:
      size = global ? static_cast<UInt32>(NParams() * sizeof(AudioUnitParameterID)) : 0;
      break;
    case kAudioUnitProperty_ParameterInfo:
      if (!global || !GetParam(static_cast<int>(element)))
        return kAudioUnitErr_InvalidParameter;
      size = sizeof(AudioUnitParameterInfo);
      break;
    case kAudioUnitProperty_StreamFormat:
      if (!IsBusScope(scope))
        return kAudioUnitErr_InvalidScope;
      if (!busOk)
        return kAudioUnitErr_InvalidElement;
      size = sizeof(AudioStreamBasicDescription);
      writable = true;
      break;
    case kAudioUnitProperty_ElementCount:
      size = sizeof(UInt32);
      break;
    case kAudioUnitProperty_Latency:
    case kAudioUnitProperty_TailTime:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(Float64);
      break;
    case kAudioUnitProperty_SupportedNumChannels:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = static_cast<UInt32>(NIOConfigs() * sizeof(AUChannelInfo));
      break;
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioUnitProperty_BypassEffect:
    case kAudioUnitProperty_OfflineRender:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(UInt32);
      writable = true;
      break;
    case kAudioUnitProperty_ParameterValueStrings:
    {
      if (!global)
        return kAudioUnitErr_InvalidScope;
      const IParam* param = GetParam(static_cast<int>(element));
      if (!param)
        return kAudioUnitErr_InvalidParameter;
      // Only indexed parameters have one text per value 0 .. n-1; a continuous one with a
      // single named value ("Off") would get a list of empty texts.
      if (param->NDisplayTexts() == 0 || param->Type() == IParam::kTypeDouble ||
          param->Type() == IParam::kTypeNone)
        return kAudioUnitErr_InvalidProperty;
      size = sizeof(CFArrayRef);
      break;
    }
    case kAudioUnitProperty_AudioChannelLayout:
      return kAudioUnitErr_PropertyNotInUse;
    case kAudioUnitProperty_LastRenderError:
      size = sizeof(SInt32);
      break;
    case kAudioUnitProperty_FactoryPresets:
    case kAudioUnitProperty_MIDIOutputCallbackInfo:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(CFArrayRef);
      break;
    case kAudioUnitProperty_ContextName:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(CFStringRef);
      writable = true;
      break;
    case kAudioUnitProperty_HostCallbacks:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(HostCallbackInfo);
      writable = true;
      break;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(AUPreset);
      writable = true;
      break;
    case kAudioUnitProperty_ElementName:
      if (!IsBusScope(scope))
        return kAudioUnitErr_InvalidScope;
      if (!busOk)
        return kAudioUnitErr_InvalidElement;
      size = sizeof(CFStringRef);
      break;
    case kAudioUnitProperty_CocoaUI:
      if (!GetConfig().plugHasUI)
        return kAudioUnitErr_InvalidProperty;
      if (!global)
        return kAudioUnitErr_InvalidScope;
      size = sizeof(AudioUnitCocoaViewInfo);
      break;
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
      if (!IsBusScope(scope))
        return kAudioUnitErr_InvalidScope;
      if (!busOk)
        return kAudioUnitErr_InvalidElement;
      std::vector<int> counts;
      for (int c = 0; c < NIOConfigs(); ++c)
      {
        const int n = GetIOConfig(c)->NChannelsOnBus(Route(scope), static_cast<int>(element));
        if (n > 0 && std::find(counts.begin(), counts.end(), n) == counts.end())
          counts.push_back(n);
      }
      size = static_cast<UInt32>(counts.size() * sizeof(AudioChannelLayoutTag));
      break;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
      size = sizeof(AudioUnitParameterStringFromValue);
      break;
    case kAudioUnitProperty_ParameterIDName:
    case kAudioUnitProperty_ParameterClumpName:
      size = sizeof(AudioUnitParameterNameInfo);
      break;
    case kAudioUnitProperty_ParameterValueFromString:
      size = sizeof(AudioUnitParameterValueFromString);
      break;
    case kAudioUnitProperty_AUHostIdentifier:
      size = sizeof(AUHostVersionIdentifier);
      writable = true;
      break;
    case kAudioUnitProperty_MIDIOutputCallback:
      size = sizeof(AUMIDIOutputCallbackStruct);
      writable = true;
      break;
    case kAudioUnitProperty_SupportsMPE:
      size = sizeof(UInt32);
      break;
    case kPrivateObjectProperty:
      size = sizeof(void*);
      break;
    default:
      return kAudioUnitErr_InvalidProperty;
  }
  if (outDataSize)
    *outDataSize = size;
  if (outWritable)
    *outWritable = writable;
  return noErr;
}

OSStatus IAUBinding::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
  if (!ioDataSize)
    return kAudio_ParamError;
  UInt32 size = 0;
  if (const OSStatus err = GetPropertyInfo(id, scope, element, &size, nullptr); err != noErr)
    return err;
  if (!outData)
  {
    *ioDataSize = size;
    return noErr;
  }
  if (*ioDataSize < size)
    return kAudio_ParamError;
  *ioDataSize = size;

  switch (id)
  {
    case kAudioUnitProperty_ClassInfo:
      Write<CFTypeRef>(outData, CopyClassInfo());
      return noErr;
    case kAudioUnitProperty_SampleRate:
      Write<Float64>(outData, GetSampleRate());
      return noErr;
    case kAudioUnitProperty_ParameterList:
    case kAudioUnitProperty_ParameterInfo:
    case kAudioUnitProperty_ParameterValueStrings:
    case kAudioUnitProperty_ParameterStringFromValue:
    case kAudioUnitProperty_ParameterValueFromString:
    case kAudioUnitProperty_ParameterIDName:
    case kAudioUnitProperty_ParameterClumpName:
      return GetParameterProperty(id, scope, element, outData, ioDataSize);
    case kAudioUnitProperty_StreamFormat:
      Write(outData, StreamFormat(Route(scope), static_cast<int>(element)));
      return noErr;
    case kAudioUnitProperty_ElementCount:
      Write<UInt32>(outData, IsBusScope(scope) ? static_cast<UInt32>(NBuses(Route(scope))) : 1u);
      return noErr;
    case kAudioUnitProperty_Latency:
      Write<Float64>(outData, GetLatency() / GetSampleRate());
      return noErr;
    case kAudioUnitProperty_TailTime:
      Write<Float64>(outData, GetTailSize() == INT_MAX ? std::numeric_limits<Float64>::infinity()
                                                       : GetTailSize() / GetSampleRate());
      return noErr;
    case kAudioUnitProperty_SupportedNumChannels:
    {
      auto* info = static_cast<AUChannelInfo*>(outData);
      for (int c = 0; c < NIOConfigs(); ++c)
      {
        const IOConfig* config = GetIOConfig(c);
        // A side that takes any number of channels is -1 for the host.
        auto count = [&](ERoute d) {
          return static_cast<SInt16>(config->ContainsWildcard(d) ? -1
                                                                 : config->GetTotalNChannels(d));
        };
        info[c] = {count(kInput), count(kOutput)};
      }
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
      Write<UInt32>(outData, mMaxFrames);
      return noErr;
    case kAudioUnitProperty_BypassEffect:
      Write<UInt32>(outData, GetBypassed() ? 1u : 0u);
      return noErr;
    case kAudioUnitProperty_OfflineRender:
      Write<UInt32>(outData, GetRenderingOffline() ? 1u : 0u);
      return noErr;
    case kAudioUnitProperty_LastRenderError:
      Write<SInt32>(outData, 0);
      return noErr;
    case kAudioUnitProperty_FactoryPresets:
    {
      CFMutableArrayRef presets =
          CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFAUPresetArrayCallBacks);
      for (size_t i = 0; i < mPresetSlots.size(); ++i)
      {
        CFRef<CFStringRef> name(MakeString(mPresetSlots[i]));
        if (CFAUPreset* preset = CFAUPresetCreate(static_cast<SInt32>(i), name.Get()))
        {
          CFArrayAppendValue(presets, preset);
          CFAUPresetArrayRelease(kCFAllocatorDefault, preset);
        }
      }
      Write<CFArrayRef>(outData, presets);
      return noErr;
    }
    case kAudioUnitProperty_ContextName:
      Write<CFStringRef>(outData, MakeString(GetContextName()));
      return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
      AUPreset preset{mCurrentPreset, MakeString(mCurrentPresetName)};
      Write(outData, preset);
      return noErr;
    }
    case kAudioUnitProperty_ElementName:
    {
      std::string name;
      GetBusName(Route(scope), static_cast<int>(element), NBuses(Route(scope)), name);
      Write<CFStringRef>(outData, MakeString(name));
      return noErr;
    }
    case kAudioUnitProperty_CocoaUI:
    {
      CFRef<CFStringRef> bundleID(MakeString(GetConfig().bundleID));
      CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID.Get());
      CFURLRef url = bundle ? CFBundleCopyBundleURL(bundle) : nullptr;
      if (!url)
        return kAudioUnitErr_PropertyNotInUse;
      AudioUnitCocoaViewInfo info{url, {MakeString(GetConfig().viewClassName)}};
      Write(outData, info);
      return noErr;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
      auto* tags = static_cast<AudioChannelLayoutTag*>(outData);
      std::vector<int> counts;
      for (int c = 0; c < NIOConfigs(); ++c)
      {
        const int n = GetIOConfig(c)->NChannelsOnBus(Route(scope), static_cast<int>(element));
        if (n > 0 && std::find(counts.begin(), counts.end(), n) == counts.end())
          counts.push_back(n);
      }
      for (size_t i = 0; i < counts.size(); ++i)
        tags[i] = LayoutTag(counts[i]);
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallbackInfo:
    {
      CFRef<CFStringRef> name(MakeString("midiOut"));
      const void* names[] = {name.Get()};
      Write<CFArrayRef>(outData,
                        CFArrayCreate(kCFAllocatorDefault, names, 1, &kCFTypeArrayCallBacks));
      return noErr;
    }
    case kAudioUnitProperty_SupportsMPE:
      Write<UInt32>(outData, 0);
      return noErr;
    case kPrivateObjectProperty:
      Write<void*>(outData, static_cast<void*>(this));
      return noErr;
    default:
      // Write-only properties.
      return kAudioUnitErr_InvalidProperty;
  }
}

OSStatus IAUBinding::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* data, UInt32 dataSize)
{
  UInt32 size = 0;
  Boolean writable = false;
  if (const OSStatus err = GetPropertyInfo(id, scope, element, &size, &writable); err != noErr)
    return err;
  if (!writable)
    return kAudioUnitErr_PropertyNotWritable;
  // Older hosts hand a shorter host-callback table (without the second transport call).
  const UInt32 minimum = id == kAudioUnitProperty_HostCallbacks ? UInt32{sizeof(void*) * 4} : size;
  if (!data || dataSize < minimum)
    return kAudioUnitErr_InvalidPropertyValue;

  switch (id)
  {
    case kAudioUnitProperty_ClassInfo:
      return RestoreClassInfo(Read<CFTypeRef>(data));
    case kAudioUnitProperty_MakeConnection:
    {
      const auto connection = Read<AudioUnitConnection>(data);
      InputBus& bus = mInputBuses[element];
      if (!connection.sourceAudioUnit)
      {
        bus.source = InputSource::kNone;
        return noErr;
      }
      AudioStreamBasicDescription format{};
      UInt32 formatSize = sizeof format;
      if (AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                               kAudioUnitScope_Output, connection.sourceOutputNumber, &format,
                               &formatSize) != noErr)
        return kAudioUnitErr_InvalidPropertyValue;
      // The upstream unit must answer for its slice size too; a unit that does not is no source.
      UInt32 upstreamFrames = 0;
      UInt32 framesSize = sizeof upstreamFrames;
      if (AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                               kAudioUnitScope_Global, 0, &upstreamFrames, &framesSize) != noErr)
        return kAudioUnitErr_InvalidPropertyValue;
      if (const OSStatus err = SetStreamFormat(kAudioUnitScope_Input, element, format);
          err != noErr)
        return err;
      bus.connection = connection;
      bus.source = InputSource::kConnection;
      return noErr;
    }
    case kAudioUnitProperty_SampleRate:
    {
      const auto rate = Read<Float64>(data);
      if (!(rate > 0.0) || !std::isfinite(rate) || rate > 1e7)
        return kAudioUnitErr_InvalidPropertyValue;
      SetSampleRate(rate);
      OnReset();
      NotifyPropertyListeners(id, scope, element);
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
      return SetStreamFormat(scope, element, Read<AudioStreamBasicDescription>(data));
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
      const OSStatus err = SetMaxFramesPerSlice(Read<UInt32>(data));
      if (err == noErr)
        NotifyPropertyListeners(id, scope, element);
      return err;
    }
    case kAudioUnitProperty_BypassEffect:
    {
      const bool bypass = Read<UInt32>(data) != 0;
      SetBypassed(bypass);
      SetActive(!bypass);
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_SetRenderCallback:
    {
      const auto callback = Read<AURenderCallbackStruct>(data);
      InputBus& bus = mInputBuses[element];
      bus.callback = callback;
      bus.source = callback.inputProc ? InputSource::kCallback : InputSource::kNone;
      return noErr;
    }
    case kAudioUnitProperty_ContextName:
    {
      const std::string name = ToString(Read<CFStringRef>(data));
      std::lock_guard lock(mStringsMutex);
      mContextName = name;
      return noErr;
    }
    case kAudioUnitProperty_HostCallbacks:
    {
      HostCallbackInfo info{};
      std::memcpy(&info, data, std::min<size_t>(dataSize, sizeof info));
      mHostCallbacks = info;
      return noErr;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
      const auto preset = Read<AUPreset>(data);
      // No framework preset slot exists after opening; a user preset (negative number)
      // is only remembered by name.
      if (preset.presetNumber >= 0)
        return kAudioUnitErr_InvalidPropertyValue;
      mCurrentPreset = preset.presetNumber;
      mCurrentPresetName = ToString(preset.presetName);
      NotifyPropertyListeners(kAudioUnitProperty_PresentPreset);
      return noErr;
    }
    case kAudioUnitProperty_OfflineRender:
      SetRenderingOffline(Read<UInt32>(data) != 0);
      return noErr;
    case kAudioUnitProperty_AUHostIdentifier:
    {
      if (!mHostIdentified)
      {
        const auto host = Read<AUHostVersionIdentifier>(data);
        IdentifyHost(ToString(host.hostName), host.hostVersion);
      }
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallback:
      mMidiOutCallback = Read<AUMIDIOutputCallbackStruct>(data);
      return noErr;
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

} // namespace plug
