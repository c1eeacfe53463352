// A small Audio Unit host for the tests: it registers the unit's factory as the system would
// from the bundle's description, then drives the unit only through the component calls.
#pragma once

#include "framework/au/CFRef.h"
#include "platform/apple/AudioUnitSDK.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace au_test {

constexpr OSType kSubtype = 0x4F735464;      // 'OsTd'
constexpr OSType kManufacturer = 0x4372766E; // 'Crvn'

/** The component description the bundle announces. */
AudioComponentDescription Description(OSType subtype = kSubtype);

/** The registered OstraTape-delay component (registered once per process). */
AudioComponent TapeDelayComponent();

/** What the host's transport callbacks answer; `has*` switches a callback off. */
struct Transport {
  bool hasBeatAndTempo = true;
  bool hasMusicalTime = true;
  bool hasTransport = true;
  Float64 tempo = 120.0;
  Float64 beat = 0.0;
  Float32 numerator = 4.0f;
  UInt32 denominator = 4;
  Float64 downBeat = 0.0;
  Boolean playing = false;
  Boolean cycling = false;
  Float64 samplePos = 0.0;
  Float64 cycleStart = 0.0;
  Float64 cycleEnd = 0.0;
};

/** One open unit with its input signal, transport and render bookkeeping. */
class Host {
public:
  explicit Host(AudioComponent component = TapeDelayComponent());
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  AudioUnit Unit() const { return mUnit; }

  OSStatus SetFormat(AudioUnitScope scope, UInt32 channels, Float64 rate = 48000.0, UInt32 element = 0);
  OSStatus SetMaxFrames(UInt32 frames);
  OSStatus SetSampleRate(Float64 rate);
  OSStatus SetBypass(bool bypass);
  /** Installs the host's render callback on input bus 0, serving `input`. */
  OSStatus InstallInputCallback();
  OSStatus InstallHostCallbacks();

  /** Sets formats, maximum frames and sample rate, installs callbacks and initialises. */
  void Prepare(UInt32 inChannels, UInt32 outChannels, UInt32 maxFrames = 512, Float64 rate = 48000.0);

  /** Renders `frames` at `sampleTime` into `output` (one vector per channel). When
   *  hostBuffers is false the unit is asked to provide its own buffers. */
  OSStatus Render(UInt32 frames, Float64 sampleTime, std::vector<std::vector<float>> &output,
                  bool hostBuffers = true);

  Float32 GetParam(AudioUnitParameterID id);
  OSStatus SetParam(AudioUnitParameterID id, Float32 value);
  std::vector<Float32> AllParams();

  /** The class-info dictionary (owned by the caller's CFRef). */
  plug::CFRef<CFDictionaryRef> SaveState();
  OSStatus RestoreState(CFTypeRef state);

  /** The plug-in object through the unit's private property, as its view factory gets it. */
  template <typename T> T *Object() {
    void *object = nullptr;
    UInt32 size = sizeof object;
    EXPECT_EQ(AudioUnitGetProperty(mUnit, 0xFFFFFF9Bu, kAudioUnitScope_Global, 0, &object, &size), noErr);
    return static_cast<T *>(object);
  }

  /** Input samples per channel, indexed by absolute sample time modulo the length. */
  std::function<float(int channel, Float64 sampleTime)> signal = [](int channel, Float64 t) {
    return 0.25f * static_cast<float>(std::sin(0.05 * t + channel));
  };
  Transport transport;
  int inputPulls = 0;
  UInt32 lastPulledBus = 99;
  UInt32 lastPulledFrames = 0;

private:
  static OSStatus InputProc(void *refCon, AudioUnitRenderActionFlags *, const AudioTimeStamp *timeStamp,
                            UInt32 bus, UInt32 frames, AudioBufferList *data);
  static OSStatus BeatAndTempo(void *user, Float64 *beat, Float64 *tempo);
  static OSStatus MusicalTime(void *user, UInt32 *toNextBeat, Float32 *numerator, UInt32 *denominator,
                              Float64 *downBeat);
  static OSStatus TransportState(void *user, Boolean *playing, Boolean *changed, Float64 *samplePos,
                                 Boolean *cycling, Float64 *cycleStart, Float64 *cycleEnd);

  AudioUnit mUnit = nullptr;
};

/** A class-info dictionary with chosen entries, for restores of foreign or damaged state. */
plug::CFRef<CFMutableDictionaryRef> CopyDictionary(CFDictionaryRef source);
void SetNumber(CFMutableDictionaryRef dict, const char *key, SInt64 value);
void SetData(CFMutableDictionaryRef dict, const char *key, const std::vector<UInt8> &bytes);
void RemoveKey(CFMutableDictionaryRef dict, const char *key);
std::vector<UInt8> DataBytes(CFDictionaryRef dict, const char *key);

} // namespace au_test
