// Host access to parameters: values, automation and the descriptive properties.
#include "framework/au/CFRef.h"
#include "framework/au/IAUBinding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace plug
{

namespace
{

// Audio Unit units for the framework's unit codes 0 .. 20, in code order.
constexpr AudioUnitParameterUnit kUnitForCode[] = {
    kAudioUnitParameterUnit_Percent,
    kAudioUnitParameterUnit_Seconds,
    kAudioUnitParameterUnit_Milliseconds,
    kAudioUnitParameterUnit_SampleFrames,
    kAudioUnitParameterUnit_Decibels,
    kAudioUnitParameterUnit_LinearGain,
    kAudioUnitParameterUnit_Pan,
    kAudioUnitParameterUnit_Phase,
    kAudioUnitParameterUnit_Degrees,
    kAudioUnitParameterUnit_Meters,
    kAudioUnitParameterUnit_Rate,
    kAudioUnitParameterUnit_Ratio,
    kAudioUnitParameterUnit_Hertz,
    kAudioUnitParameterUnit_Octaves,
    kAudioUnitParameterUnit_Cents,
    kAudioUnitParameterUnit_AbsoluteCents,
    kAudioUnitParameterUnit_RelativeSemiTones,
    kAudioUnitParameterUnit_MIDINoteNumber,
    kAudioUnitParameterUnit_MIDIController,
    kAudioUnitParameterUnit_BPM,
    kAudioUnitParameterUnit_Beats,
};

AudioUnitParameterOptions DisplayFlag(EDisplayType type)
{
  switch (type)
  {
    case kDisplayLog:
      return kAudioUnitParameterFlag_DisplayLogarithmic;
    case kDisplayExp:
      return kAudioUnitParameterFlag_DisplayExponential;
    case kDisplaySquared:
      return kAudioUnitParameterFlag_DisplaySquared;
    case kDisplaySquareRoot:
      return kAudioUnitParameterFlag_DisplaySquareRoot;
    case kDisplayCubed:
      return kAudioUnitParameterFlag_DisplayCubed;
    case kDisplayCubeRoot:
      return kAudioUnitParameterFlag_DisplayCubeRoot;
    default:
      return 0;
  }
}

bool IsIndexed(const IParam& p)
{
  return p.Type() == IParam::kTypeBool || p.Type() == IParam::kTypeInt ||
         p.Type() == IParam::kTypeEnum;
}

CFStringRef MakeString(const std::string& text)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

// Cuts UTF-8 text to at most n bytes without splitting a character.
std::string Cut(const char* text, size_t n)
{
  std::string s(text);
  if (s.size() <= n)
    return s;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
    --n;
  return s.substr(0, n);
}

} // namespace

OSStatus IAUBinding::GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                  AudioUnitParameterValue* outValue)
{
  if (!outValue)
    return kAudio_ParamError;
  if (scope != kAudioUnitScope_Global)
    return kAudioUnitErr_InvalidScope;
  const IParam* param = GetParam(static_cast<int>(id));
  if (!param)
    return kAudioUnitErr_InvalidParameter;
  *outValue = static_cast<AudioUnitParameterValue>(param->Value());
  return noErr;
}

OSStatus IAUBinding::SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                  AudioUnitParameterValue value, UInt32 bufferOffset)
{
  if (scope != kAudioUnitScope_Global)
    return kAudioUnitErr_InvalidScope;
  if (id >= static_cast<AudioUnitParameterID>(NParams()))
    return kAudioUnitErr_InvalidParameter;
  const int offset = static_cast<int>(std::min<UInt32>(bufferOffset, 0x7FFFFFFF));
  return SetParameterFromHost(static_cast<int>(id), value, offset)
             ? OSStatus{noErr}
             : OSStatus{kAudioUnitErr_InvalidParameter};
}

OSStatus IAUBinding::ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count)
{
  if (!events && count > 0)
    return kAudio_ParamError;
  OSStatus result = noErr;
  for (UInt32 i = 0; i < count; ++i)
  {
    const AudioUnitParameterEvent& e = events[i];
    const bool ramp = e.eventType == kParameterEvent_Ramped;
    const AudioUnitParameterValue value =
        ramp ? e.eventValues.ramp.endValue : e.eventValues.immediate.value;
    const UInt32 offset =
        ramp ? static_cast<UInt32>(std::max<SInt32>(0, e.eventValues.ramp.startBufferOffset))
             : e.eventValues.immediate.bufferOffset;
    const OSStatus err = SetParameter(e.parameter, e.scope, e.element, value, offset);
    if (err != noErr && result == noErr)
      result = err;
  }
  return result;
}

CFStringRef IAUBinding::UnitName(int paramIdx)
{
  // Owned here and handed out without a reference: the host does not release unit names.
  std::lock_guard lock(mUnitNameMutex);
  if (mUnitNames.empty())
    mUnitNames.resize(static_cast<size_t>(NParams()), nullptr);
  CFStringRef& name = mUnitNames[static_cast<size_t>(paramIdx)];
  if (!name)
    name = MakeString(GetParam(paramIdx)->GetUnitLabel());
  return name;
}

OSStatus IAUBinding::GetParameterInfo(AudioUnitScope scope, AudioUnitElement element,
                                      AudioUnitParameterInfo& info)
{
  if (scope != kAudioUnitScope_Global)
    return kAudioUnitErr_InvalidParameter;
  IParam* param = GetParam(static_cast<int>(element));
  if (!param)
    return kAudioUnitErr_InvalidParameter;
  const int idx = static_cast<int>(element);

  info = AudioUnitParameterInfo{};
  std::strncpy(info.name, param->GetName(), sizeof info.name - 1);
  info.cfNameString = MakeString(param->GetName());

  AudioUnitParameterOptions flags =
      kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
      kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease |
      kAudioUnitParameterFlag_IsHighResolution;
  if (param->NDisplayTexts() > 0)
    flags |= kAudioUnitParameterFlag_ValuesHaveStrings;
  flags |= DisplayFlag(param->GetDisplayType());
  if (param->GetFlags() & kParamFlagCannotAutomate)
    flags |= kAudioUnitParameterFlag_NonRealTime;
  if (param->GetFlags() & kParamFlagMeta)
    flags |= kAudioUnitParameterFlag_IsElementMeta;

  switch (param->Type())
  {
    case IParam::kTypeBool:
      info.unit = kAudioUnitParameterUnit_Boolean;
      break;
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
      info.unit = kAudioUnitParameterUnit_Indexed;
      break;
    default:
    {
      const int code = param->Unit();
      if (code >= 0 && code < static_cast<int>(std::size(kUnitForCode)))
        info.unit = kUnitForCode[code];
      else if (param->GetUnitLabel()[0] != '\0')
      {
        info.unit = kAudioUnitParameterUnit_CustomUnit;
        info.unitName = UnitName(idx);
      }
      else
        info.unit = kAudioUnitParameterUnit_Generic;
    }
  }

  info.minValue = static_cast<AudioUnitParameterValue>(param->GetMin());
  info.maxValue = static_cast<AudioUnitParameterValue>(param->GetMax());
  info.defaultValue = static_cast<AudioUnitParameterValue>(param->GetDefault());

  // Groups are numbered from 1 in order of first appearance.
  if (param->GetGroup()[0] != '\0')
  {
    std::vector<std::string> groups;
    for (int i = 0; i <= idx; ++i)
    {
      const char* g = GetParam(i)->GetGroup();
      if (g[0] != '\0' && std::find(groups.begin(), groups.end(), g) == groups.end())
        groups.emplace_back(g);
    }
    info.clumpID = static_cast<UInt32>(std::find(groups.begin(), groups.end(), param->GetGroup()) -
                                       groups.begin() + 1);
    flags |= kAudioUnitParameterFlag_HasClump;
  }
  info.flags = flags;
  return noErr;
}

OSStatus IAUBinding::GetParameterProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                          AudioUnitElement element, void* outData,
                                          UInt32* ioDataSize)
{
  switch (id)
  {
    case kAudioUnitProperty_ParameterList:
    {
      auto* ids = static_cast<AudioUnitParameterID*>(outData);
      const int n = scope == kAudioUnitScope_Global ? NParams() : 0;
      for (int i = 0; i < n; ++i)
        ids[i] = static_cast<AudioUnitParameterID>(i);
      *ioDataSize = static_cast<UInt32>(n * sizeof(AudioUnitParameterID));
      return noErr;
    }
    case kAudioUnitProperty_ParameterInfo:
      return GetParameterInfo(scope, element, *static_cast<AudioUnitParameterInfo*>(outData));
    case kAudioUnitProperty_ParameterValueStrings:
    {
      const IParam* param = GetParam(static_cast<int>(element));
      if (!param || !IsIndexed(*param) || param->NDisplayTexts() == 0)
        return kAudioUnitErr_InvalidProperty;
      CFMutableArrayRef texts =
          CFArrayCreateMutable(kCFAllocatorDefault, param->NDisplayTexts(), &kCFTypeArrayCallBacks);
      for (int i = 0; i < param->NDisplayTexts(); ++i)
      {
        CFRef<CFStringRef> text(MakeString(param->GetDisplayText(static_cast<double>(i))));
        CFArrayAppendValue(texts, text.Get());
      }
      *static_cast<CFArrayRef*>(outData) = texts;
      return noErr;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    {
      auto& request = *static_cast<AudioUnitParameterStringFromValue*>(outData);
      const IParam* param = GetParam(static_cast<int>(request.inParamID));
      if (!param)
        return kAudioUnitErr_InvalidParameter;
      const double value = request.inValue ? static_cast<double>(*request.inValue) : param->Value();
      std::string text;
      param->GetDisplay(value, false, text, true);
      request.outString = MakeString(text);
      return noErr;
    }
    case kAudioUnitProperty_ParameterValueFromString:
    {
      auto& request = *static_cast<AudioUnitParameterValueFromString*>(outData);
      const IParam* param = GetParam(static_cast<int>(request.inParamID));
      if (!param)
        return kAudioUnitErr_InvalidParameter;
      if (!request.inString)
        return kAudioUnitErr_InvalidPropertyValue;
      std::string text(static_cast<size_t>(CFStringGetMaximumSizeForEncoding(
                           CFStringGetLength(request.inString), kCFStringEncodingUTF8)) +
                           1,
                       '\0');
      if (!CFStringGetCString(request.inString, text.data(), static_cast<CFIndex>(text.size()),
                              kCFStringEncodingUTF8))
        return kAudioUnitErr_InvalidPropertyValue;
      request.outValue = static_cast<AudioUnitParameterValue>(param->StringToValue(text.c_str()));
      return noErr;
    }
    case kAudioUnitProperty_ParameterIDName:
    {
      auto& request = *static_cast<AudioUnitParameterIDName*>(outData);
      const IParam* param = GetParam(static_cast<int>(request.inID));
      if (!param)
        return kAudioUnitErr_InvalidParameter;
      size_t length = 31;
      if (request.inDesiredLength != kAudioUnitParameterName_Full && request.inDesiredLength >= 0)
        length = std::min<size_t>(length, static_cast<size_t>(request.inDesiredLength));
      request.outName = MakeString(Cut(param->GetName(), length));
      return noErr;
    }
    case kAudioUnitProperty_ParameterClumpName:
    {
      auto& request = *static_cast<AudioUnitParameterNameInfo*>(outData);
      if (request.inID < 1)
        return kAudioUnitErr_PropertyNotInUse;
      std::vector<std::string> groups;
      for (int i = 0; i < NParams(); ++i)
      {
        const char* g = GetParam(i)->GetGroup();
        if (g[0] != '\0' && std::find(groups.begin(), groups.end(), g) == groups.end())
          groups.emplace_back(g);
      }
      if (request.inID > groups.size())
        return kAudioUnitErr_PropertyNotInUse;
      size_t length = 31;
      if (request.inDesiredLength != kAudioUnitParameterName_Full && request.inDesiredLength >= 0)
        length = std::min<size_t>(length, static_cast<size_t>(request.inDesiredLength));
      request.outName = MakeString(Cut(groups[request.inID - 1].c_str(), length));
      return noErr;
    }
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

} // namespace plug
