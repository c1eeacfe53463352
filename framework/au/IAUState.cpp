// The class-info dictionary: how hosts save and restore the plug-in's state.
#include "framework/au/CFRef.h"
#include "framework/au/IAUBinding.h"

namespace plug
{

namespace
{

CFStringRef Key(const char* key)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
}

void SetNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
  CFRef<CFStringRef> k(Key(key));
  CFRef<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value));
  CFDictionarySetValue(dict, k.Get(), number.Get());
}

// The entry under key when it has the wanted type, else null (Get rule).
CFTypeRef Entry(CFDictionaryRef dict, const char* key, CFTypeID type)
{
  CFRef<CFStringRef> k(Key(key));
  CFTypeRef value = CFDictionaryGetValue(dict, k.Get());
  return value && CFGetTypeID(value) == type ? value : nullptr;
}

// A four-character code stored as a number; numbers above 2^31 may come back negative.
bool NumberEquals(CFTypeRef number, std::uint32_t expected)
{
  SInt64 value = 0;
  if (!number || !CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberSInt64Type, &value))
    return false;
  return static_cast<std::uint32_t>(value) == expected;
}

} // namespace

CFDictionaryRef IAUBinding::CopyClassInfo() const
{
  const Config& config = GetConfig();
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  SetNumber(dict, kAUPresetVersionKey, config.vendorVersion);
  SetNumber(dict, kAUPresetTypeKey, static_cast<SInt32>(GetAUPluginType()));
  SetNumber(dict, kAUPresetSubtypeKey, static_cast<SInt32>(config.uniqueID));
  SetNumber(dict, kAUPresetManufacturerKey, static_cast<SInt32>(config.mfrID));
  {
    CFRef<CFStringRef> k(Key(kAUPresetNameKey));
    CFRef<CFStringRef> name(CFStringCreateWithCString(
        kCFAllocatorDefault, mCurrentPresetName.c_str(), kCFStringEncodingUTF8));
    CFDictionarySetValue(dict, k.Get(), name.Get());
  }
  IByteChunk chunk;
  if (SerializeState(chunk) && chunk.ByteCount() > 0)
  {
    CFRef<CFStringRef> k(Key(kAUPresetDataKey));
    CFRef<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, chunk.Bytes(), chunk.ByteCount()));
    CFDictionarySetValue(dict, k.Get(), data.Get());
  }
  return dict;
}

OSStatus IAUBinding::RestoreClassInfo(CFTypeRef classInfo)
{
  if (!classInfo || CFGetTypeID(classInfo) != CFDictionaryGetTypeID())
    return kAudioUnitErr_InvalidPropertyValue;
  const auto dict = static_cast<CFDictionaryRef>(classInfo);
  const Config& config = GetConfig();

  // Everything is checked before anything changes: a foreign dictionary leaves the unit as it was.
  const CFTypeID numberType = CFNumberGetTypeID();
  if (!Entry(dict, kAUPresetVersionKey, numberType) ||
      !NumberEquals(Entry(dict, kAUPresetTypeKey, numberType), GetAUPluginType()) ||
      !NumberEquals(Entry(dict, kAUPresetSubtypeKey, numberType), config.uniqueID) ||
      !NumberEquals(Entry(dict, kAUPresetManufacturerKey, numberType), config.mfrID) ||
      !Entry(dict, kAUPresetNameKey, CFStringGetTypeID()))
    return kAudioUnitErr_InvalidPropertyValue;
  // This framework keeps no preset slots after opening, so no named preset can be selected.
  const auto data = static_cast<CFDataRef>(Entry(dict, kAUPresetDataKey, CFDataGetTypeID()));
  if (!data)
    return kAudioUnitErr_InvalidPropertyValue;

  IByteChunk chunk;
  const CFIndex size = CFDataGetLength(data);
  if (size > 0x7FFFFFFF ||
      (size > 0 && chunk.AppendBytes(CFDataGetBytePtr(data), static_cast<int>(size)) != size))
    return kAudioUnitErr_InvalidPropertyValue;
  if (UnserializeState(chunk, 0) < 0)
    return kAudioUnitErr_InvalidPropertyValue;
  OnRestoreState();
  return noErr;
}

} // namespace plug
