// A small Audio Unit host for the tests: it registers the unit's factory as the system would
// from the bundle's description, then drives the unit only through the component calls.
#pragma once

#include "framework/au/CFRef.h"
#include "platform/apple/AudioUnitSDK.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace au_test
{

constexpr OSType kSubtype = 0x4F735464;      // 'OsTd'
constexpr OSType kManufacturer = 0x4372766E; // 'Crvn'

/** Where the system found the unit's bundle. */
constexpr const char* kBundlePath = "/Library/Audio/Plug-Ins/Components/OstraTape-delay.component";

AudioComponentDescription Description(OSType subtype = kSubtype);
/** The registered OstraTape-delay component (registered once per process). */
AudioComponent TapeDelayComponent();

/** What the host's transport callbacks answer; with `answers` false they all fail. */
struct Transport
{
  bool answers = true;
  Float64 tempo = 120.0, beat = 0.0, downBeat = 0.0, samplePos = 0.0, cycleStart = 0.0,
          cycleEnd = 0.0;
  Float32 numerator = 4.0f;
  UInt32 denominator = 4;
  Boolean playing = false, cycling = false;
};

using Channels = std::vector<std::vector<float>>;

/** One open unit with its input signal, transport and render bookkeeping. */
class Host
{
public:
  explicit Host(AudioComponent component = TapeDelayComponent());
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  AudioUnit Unit() const { return mUnit; }

  template <typename T>
  OSStatus Get(AudioUnitPropertyID id, T& value, AudioUnitScope scope = kAudioUnitScope_Global,
               AudioUnitElement element = 0)
  {
    UInt32 size = sizeof value;
    return AudioUnitGetProperty(mUnit, id, scope, element, &value, &size);
  }
  template <typename T>
  OSStatus Set(AudioUnitPropertyID id, const T& value,
               AudioUnitScope scope = kAudioUnitScope_Global, AudioUnitElement element = 0)
  {
    return AudioUnitSetProperty(mUnit, id, scope, element, &value, sizeof value);
  }

  OSStatus SetFormat(AudioUnitScope scope, UInt32 channels, Float64 rate = 48000.0);
  OSStatus SetMaxFrames(UInt32 frames)
  {
    return Set(kAudioUnitProperty_MaximumFramesPerSlice, frames);
  }
  OSStatus SetSampleRate(Float64 rate) { return Set(kAudioUnitProperty_SampleRate, rate); }
  OSStatus SetBypass(bool bypass) { return Set(kAudioUnitProperty_BypassEffect, UInt32{bypass}); }

  /** Sets formats, maximum frames and sample rate, installs the input and transport
   *  callbacks and initialises. */
  void Prepare(UInt32 inChannels, UInt32 outChannels, UInt32 maxFrames = 512,
               Float64 rate = 48000.0);

  /** Renders `frames` at `sampleTime` into `output` (one vector per channel, pre-filled with
   *  -7). When hostBuffers is false the unit is asked to provide its own buffers. */
  OSStatus Render(UInt32 frames, Float64 sampleTime, Channels& output, bool hostBuffers = true);

  Float32 GetParam(AudioUnitParameterID id);
  OSStatus SetParam(AudioUnitParameterID id, Float32 value);
  std::vector<Float32> AllParams();

  plug::CFRef<CFDictionaryRef> SaveState();
  OSStatus RestoreState(CFTypeRef state) { return Set(kAudioUnitProperty_ClassInfo, state); }

  /** The plug-in object through the unit's private property, as its view factory gets it. */
  template <typename T>
  T* Object()
  {
    void* object = nullptr;
    EXPECT_EQ(Get(0xFFFFFF9Bu, object), noErr);
    return static_cast<T*>(object);
  }

  /** Input samples per channel at an absolute sample time. */
  std::function<float(int channel, Float64 sampleTime)> signal = [](int channel, Float64 t)
  { return 0.25f * static_cast<float>(std::sin(0.05 * t + channel)); };
  Transport transport;
  int inputPulls = 0;
  UInt32 lastPulledBus = 99;
  UInt32 lastPulledFrames = 0;

private:
  AudioUnit mUnit = nullptr;
};

/** The UTF-8 text of `s`; releases it when `release` is set (strings the host owns). */
std::string Text(CFStringRef s, bool release = false);
plug::CFRef<CFStringRef> Key(const char* key);

/** Class-info dictionaries with chosen entries, for restores of foreign or damaged state. */
plug::CFRef<CFMutableDictionaryRef> CopyDictionary(CFDictionaryRef source);
void SetNumber(CFMutableDictionaryRef dict, const char* key, SInt64 value);
void SetData(CFMutableDictionaryRef dict, const char* key, const std::vector<UInt8>& bytes);
std::vector<UInt8> DataBytes(CFDictionaryRef dict, const char* key);

} // namespace au_test
