#include "AUHost.h"

#include "au/OstraTapeDelayAU.h"
#include "platform/apple/StandInEnvironment.h"
#include "plugin/Identity.h"

#include <cstring>

namespace au_test
{

AudioComponentDescription Description(OSType subtype)
{
  return {kAudioUnitType_Effect, subtype, kManufacturer, 0, 0};
}

AudioComponent TapeDelayComponent()
{
  static const AudioComponent component = []
  {
    const AudioComponentDescription desc = Description();
    // The system finds the component in its bundle, and so knows where the bundle is.
    ostra::apple::registerBundle(ostratapedelay::plugin::kBundleId.data(), kBundlePath, "1.0.0");
    return AudioComponentRegister(&desc, CFSTR("Corvana: OstraTape-delay"), 0x10000,
                                  OstraTapeDelay_Factory);
  }();
  return component;
}

Host::Host(AudioComponent component)
{
  EXPECT_EQ(AudioComponentInstanceNew(component, &mUnit), noErr);
}

Host::~Host()
{
  if (mUnit)
    AudioComponentInstanceDispose(mUnit);
}

OSStatus Host::SetFormat(AudioUnitScope scope, UInt32 channels, Float64 rate)
{
  AudioStreamBasicDescription f{};
  f.mSampleRate = rate;
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags = kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved;
  f.mBytesPerPacket = f.mBytesPerFrame = 4;
  f.mFramesPerPacket = 1;
  f.mChannelsPerFrame = channels;
  f.mBitsPerChannel = 32;
  return Set(kAudioUnitProperty_StreamFormat, f, scope);
}

constexpr OSStatus kNoTransport = kAudioUnitErr_CannotDoInCurrentContext;

// The unit may pass null for any answer it does not want.
template <typename T>
void Put(T* out, T value)
{
  if (out)
    *out = value;
}

void Host::Prepare(UInt32 inChannels, UInt32 outChannels, UInt32 maxFrames, Float64 rate)
{
  ASSERT_EQ(SetFormat(kAudioUnitScope_Input, inChannels, rate), noErr);
  ASSERT_EQ(SetFormat(kAudioUnitScope_Output, outChannels, rate), noErr);
  ASSERT_EQ(SetMaxFrames(maxFrames), noErr);
  ASSERT_EQ(SetSampleRate(rate), noErr);
  AURenderCallbackStruct input{[](void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp* ts,
                                  UInt32 bus, UInt32 frames, AudioBufferList* data) -> OSStatus
                               {
                                 auto* host = static_cast<Host*>(self);
                                 ++host->inputPulls;
                                 host->lastPulledBus = bus;
                                 host->lastPulledFrames = frames;
                                 for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
                                   for (UInt32 i = 0; i < frames; ++i)
                                     static_cast<float*>(data->mBuffers[c].mData)[i] =
                                         host->signal(static_cast<int>(c), ts->mSampleTime + i);
                                 return noErr;
                               },
                               this};
  ASSERT_EQ(Set(kAudioUnitProperty_SetRenderCallback, input, kAudioUnitScope_Input), noErr);

  HostCallbackInfo info{};
  info.hostUserData = &transport;
  info.beatAndTempoProc = [](void* user, Float64* beat, Float64* tempo) -> OSStatus
  {
    const auto& t = *static_cast<Transport*>(user);
    Put(beat, t.beat);
    Put(tempo, t.tempo);
    return t.answers ? noErr : kNoTransport;
  };
  info.musicalTimeLocationProc = [](void* user, UInt32* toNextBeat, Float32* numerator,
                                    UInt32* denominator, Float64* downBeat) -> OSStatus
  {
    const auto& t = *static_cast<Transport*>(user);
    Put(toNextBeat, UInt32{0});
    Put(numerator, t.numerator);
    Put(denominator, t.denominator);
    Put(downBeat, t.downBeat);
    return t.answers ? noErr : kNoTransport;
  };
  info.transportStateProc = [](void* user, Boolean* playing, Boolean* changed, Float64* samplePos,
                               Boolean* cycling, Float64* cycleStart, Float64* cycleEnd) -> OSStatus
  {
    const auto& t = *static_cast<Transport*>(user);
    Put(playing, t.playing);
    Put(changed, Boolean{false});
    Put(samplePos, t.samplePos);
    Put(cycling, t.cycling);
    Put(cycleStart, t.cycleStart);
    Put(cycleEnd, t.cycleEnd);
    return t.answers ? noErr : kNoTransport;
  };
  ASSERT_EQ(Set(kAudioUnitProperty_HostCallbacks, info), noErr);
  ASSERT_EQ(AudioUnitInitialize(mUnit), noErr);
}

OSStatus Host::Render(UInt32 frames, Float64 sampleTime, Channels& output, bool hostBuffers)
{
  AudioStreamBasicDescription f{};
  if (const OSStatus err = Get(kAudioUnitProperty_StreamFormat, f, kAudioUnitScope_Output);
      err != noErr)
    return err;
  const UInt32 channels = f.mChannelsPerFrame;
  output.assign(channels, std::vector<float>(frames, -7.0f));
  std::vector<unsigned char> storage(offsetof(AudioBufferList, mBuffers) +
                                     channels * sizeof(AudioBuffer));
  auto* list = reinterpret_cast<AudioBufferList*>(storage.data());
  list->mNumberBuffers = channels;
  for (UInt32 c = 0; c < channels; ++c)
    list->mBuffers[c] = {1, frames * 4, hostBuffers ? output[c].data() : nullptr};

  AudioTimeStamp ts{};
  ts.mSampleTime = sampleTime;
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  AudioUnitRenderActionFlags flags = 0;
  const OSStatus err = AudioUnitRender(mUnit, &flags, &ts, 0, frames, list);
  if (err == noErr && !hostBuffers)
    for (UInt32 c = 0; c < channels; ++c)
      std::memcpy(output[c].data(), list->mBuffers[c].mData, frames * 4);
  return err;
}

Float32 Host::GetParam(AudioUnitParameterID id)
{
  Float32 value = -12345.0f;
  EXPECT_EQ(AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value), noErr);
  return value;
}

OSStatus Host::SetParam(AudioUnitParameterID id, Float32 value)
{
  return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
}

std::vector<Float32> Host::AllParams()
{
  std::vector<Float32> values;
  for (AudioUnitParameterID id = 0; id < 18; ++id)
    values.push_back(GetParam(id));
  return values;
}

plug::CFRef<CFDictionaryRef> Host::SaveState()
{
  CFTypeRef state = nullptr;
  EXPECT_EQ(Get(kAudioUnitProperty_ClassInfo, state), noErr);
  return plug::CFRef<CFDictionaryRef>(static_cast<CFDictionaryRef>(state));
}

std::string Text(CFStringRef s, bool release)
{
  char buffer[512] = {};
  EXPECT_TRUE(s && CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8));
  if (s && release)
    CFRelease(s);
  return buffer;
}

plug::CFRef<CFStringRef> Key(const char* key)
{
  return plug::CFRef<CFStringRef>(
      CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
}

plug::CFRef<CFMutableDictionaryRef> CopyDictionary(CFDictionaryRef source)
{
  plug::CFRef<CFMutableDictionaryRef> copy(CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  for (const char* key : {"version", "type", "subtype", "manufacturer", "name", "data"})
    if (const void* value = CFDictionaryGetValue(source, Key(key).Get()))
      CFDictionarySetValue(copy.Get(), Key(key).Get(), value);
  return copy;
}

void SetNumber(CFMutableDictionaryRef dict, const char* key, SInt64 value)
{
  plug::CFRef<CFNumberRef> n(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value));
  CFDictionarySetValue(dict, Key(key).Get(), n.Get());
}

void SetData(CFMutableDictionaryRef dict, const char* key, const std::vector<UInt8>& bytes)
{
  plug::CFRef<CFDataRef> d(
      CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
  CFDictionarySetValue(dict, Key(key).Get(), d.Get());
}

std::vector<UInt8> DataBytes(CFDictionaryRef dict, const char* key)
{
  const auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, Key(key).Get()));
  if (!data || CFGetTypeID(data) != CFDataGetTypeID())
    return {};
  return std::vector<UInt8>(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
}

} // namespace au_test
