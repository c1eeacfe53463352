#include "AUHost.h"

#include "plugin/OstraTapeDelayAU.h"

#include <cstring>
#include <vector>

namespace au_test {

AudioComponentDescription Description(OSType subtype) {
  return {kAudioUnitType_Effect, subtype, kManufacturer, 0, 0};
}

AudioComponent TapeDelayComponent() {
  static const AudioComponent component = [] {
    const AudioComponentDescription desc = Description();
    return AudioComponentRegister(&desc, CFSTR("Corvana: OstraTape-delay"), 0x10000, OstraTapeDelay_Factory);
  }();
  return component;
}

Host::Host(AudioComponent component) {
  EXPECT_EQ(AudioComponentInstanceNew(component, &mUnit), noErr);
}

Host::~Host() {
  if (mUnit)
    AudioComponentInstanceDispose(mUnit);
}

OSStatus Host::SetFormat(AudioUnitScope scope, UInt32 channels, Float64 rate, UInt32 element) {
  AudioStreamBasicDescription f{};
  f.mSampleRate = rate;
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags = kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved;
  f.mBytesPerPacket = 4;
  f.mFramesPerPacket = 1;
  f.mBytesPerFrame = 4;
  f.mChannelsPerFrame = channels;
  f.mBitsPerChannel = 32;
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, scope, element, &f, sizeof f);
}

OSStatus Host::SetMaxFrames(UInt32 frames) {
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                              &frames, sizeof frames);
}

OSStatus Host::SetSampleRate(Float64 rate) {
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate,
                              sizeof rate);
}

OSStatus Host::SetBypass(bool bypass) {
  const UInt32 value = bypass ? 1 : 0;
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &value,
                              sizeof value);
}

OSStatus Host::InstallInputCallback() {
  AURenderCallbackStruct callback{InputProc, this};
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                              &callback, sizeof callback);
}

OSStatus Host::InstallHostCallbacks() {
  HostCallbackInfo info{};
  info.hostUserData = this;
  info.beatAndTempoProc = BeatAndTempo;
  info.musicalTimeLocationProc = MusicalTime;
  info.transportStateProc = TransportState;
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &info,
                              sizeof info);
}

void Host::Prepare(UInt32 inChannels, UInt32 outChannels, UInt32 maxFrames, Float64 rate) {
  ASSERT_EQ(SetFormat(kAudioUnitScope_Input, inChannels, rate), noErr);
  ASSERT_EQ(SetFormat(kAudioUnitScope_Output, outChannels, rate), noErr);
  ASSERT_EQ(SetMaxFrames(maxFrames), noErr);
  ASSERT_EQ(SetSampleRate(rate), noErr);
  ASSERT_EQ(InstallInputCallback(), noErr);
  ASSERT_EQ(InstallHostCallbacks(), noErr);
  ASSERT_EQ(AudioUnitInitialize(mUnit), noErr);
}

OSStatus Host::Render(UInt32 frames, Float64 sampleTime, std::vector<std::vector<float>> &output,
                      bool hostBuffers) {
  AudioStreamBasicDescription f{};
  UInt32 size = sizeof f;
  if (const OSStatus err =
          AudioUnitGetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &f, &size);
      err != noErr)
    return err;
  const UInt32 channels = f.mChannelsPerFrame;
  output.assign(channels, std::vector<float>(frames, -7.0f));
  std::vector<unsigned char> storage(offsetof(AudioBufferList, mBuffers) + channels * sizeof(AudioBuffer) +
                                     16);
  auto *list = reinterpret_cast<AudioBufferList *>(storage.data());
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

Float32 Host::GetParam(AudioUnitParameterID id) {
  Float32 value = -12345.0f;
  EXPECT_EQ(AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value), noErr);
  return value;
}

OSStatus Host::SetParam(AudioUnitParameterID id, Float32 value) {
  return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
}

std::vector<Float32> Host::AllParams() {
  std::vector<Float32> values;
  for (AudioUnitParameterID id = 0; id < 18; ++id)
    values.push_back(GetParam(id));
  return values;
}

plug::CFRef<CFDictionaryRef> Host::SaveState() {
  CFTypeRef state = nullptr;
  UInt32 size = sizeof state;
  EXPECT_EQ(
      AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size),
      noErr);
  return plug::CFRef<CFDictionaryRef>(static_cast<CFDictionaryRef>(state));
}

OSStatus Host::RestoreState(CFTypeRef state) {
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                              sizeof state);
}

OSStatus Host::InputProc(void *refCon, AudioUnitRenderActionFlags *, const AudioTimeStamp *timeStamp,
                         UInt32 bus, UInt32 frames, AudioBufferList *data) {
  auto *host = static_cast<Host *>(refCon);
  ++host->inputPulls;
  host->lastPulledBus = bus;
  host->lastPulledFrames = frames;
  for (UInt32 c = 0; c < data->mNumberBuffers; ++c) {
    auto *samples = static_cast<float *>(data->mBuffers[c].mData);
    for (UInt32 i = 0; i < frames; ++i)
      samples[i] = host->signal(static_cast<int>(c), timeStamp->mSampleTime + i);
  }
  return noErr;
}

OSStatus Host::BeatAndTempo(void *user, Float64 *beat, Float64 *tempo) {
  const Transport &t = static_cast<Host *>(user)->transport;
  if (!t.hasBeatAndTempo)
    return kAudioUnitErr_CannotDoInCurrentContext;
  if (beat)
    *beat = t.beat;
  if (tempo)
    *tempo = t.tempo;
  return noErr;
}

OSStatus Host::MusicalTime(void *user, UInt32 *toNextBeat, Float32 *numerator, UInt32 *denominator,
                           Float64 *downBeat) {
  const Transport &t = static_cast<Host *>(user)->transport;
  if (!t.hasMusicalTime)
    return kAudioUnitErr_CannotDoInCurrentContext;
  if (toNextBeat)
    *toNextBeat = 0;
  if (numerator)
    *numerator = t.numerator;
  if (denominator)
    *denominator = t.denominator;
  if (downBeat)
    *downBeat = t.downBeat;
  return noErr;
}

OSStatus Host::TransportState(void *user, Boolean *playing, Boolean *changed, Float64 *samplePos,
                              Boolean *cycling, Float64 *cycleStart, Float64 *cycleEnd) {
  const Transport &t = static_cast<Host *>(user)->transport;
  if (!t.hasTransport)
    return kAudioUnitErr_CannotDoInCurrentContext;
  if (playing)
    *playing = t.playing;
  if (changed)
    *changed = false;
  if (samplePos)
    *samplePos = t.samplePos;
  if (cycling)
    *cycling = t.cycling;
  if (cycleStart)
    *cycleStart = t.cycleStart;
  if (cycleEnd)
    *cycleEnd = t.cycleEnd;
  return noErr;
}

plug::CFRef<CFMutableDictionaryRef> CopyDictionary(CFDictionaryRef source) {
  plug::CFRef<CFMutableDictionaryRef> copy(CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  for (const char *key : {"version", "type", "subtype", "manufacturer", "name", "data"}) {
    plug::CFRef<CFStringRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
    if (const void *value = CFDictionaryGetValue(source, k.Get()))
      CFDictionarySetValue(copy.Get(), k.Get(), value);
  }
  return copy;
}

void SetNumber(CFMutableDictionaryRef dict, const char *key, SInt64 value) {
  plug::CFRef<CFStringRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
  plug::CFRef<CFNumberRef> n(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value));
  CFDictionarySetValue(dict, k.Get(), n.Get());
}

void SetData(CFMutableDictionaryRef dict, const char *key, const std::vector<UInt8> &bytes) {
  plug::CFRef<CFStringRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
  plug::CFRef<CFDataRef> d(
      CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
  CFDictionarySetValue(dict, k.Get(), d.Get());
}

void RemoveKey(CFMutableDictionaryRef dict, const char *key) {
  plug::CFRef<CFStringRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
  CFDictionaryRemoveValue(dict, k.Get());
}

std::vector<UInt8> DataBytes(CFDictionaryRef dict, const char *key) {
  plug::CFRef<CFStringRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
  const auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, k.Get()));
  if (!data || CFGetTypeID(data) != CFDataGetTypeID())
    return {};
  const UInt8 *bytes = CFDataGetBytePtr(data);
  return std::vector<UInt8>(bytes, bytes + CFDataGetLength(data));
}

} // namespace au_test
