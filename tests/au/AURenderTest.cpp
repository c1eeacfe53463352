// Formats, rendering, transport, bypass and sample-rate handling, seen from a host.
#include "AUHost.h"
#include "ProbePlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace au_test;

namespace
{

// True when the first `channels` channels of `out` hold exactly `source`'s input from `start` on.
bool IsInput(const Host& source, const Channels& out, Float64 start, size_t channels)
{
  for (size_t ch = 0; ch < channels; ++ch)
    for (size_t i = 0; i < out[ch].size(); ++i)
      if (out[ch][i] != source.signal(static_cast<int>(ch), start + static_cast<Float64>(i)))
        return false;
  return true;
}

TEST(AURender, FormatsFollowTheChannelLayouts)
{
  {
    Host host; // (2, 1) is in no layout, whichever side is set first
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 2), noErr);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 1), kAudioUnitErr_InvalidProperty);
    Host other;
    EXPECT_EQ(other.SetFormat(kAudioUnitScope_Output, 1), noErr);
    EXPECT_EQ(other.SetFormat(kAudioUnitScope_Input, 2), kAudioUnitErr_InvalidProperty);
  }
  Host host;
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 1), noErr);
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 2), noErr);
  EXPECT_EQ(AudioUnitInitialize(host.Unit()), noErr);
  AudioStreamBasicDescription f{};
  ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, f, kAudioUnitScope_Output), noErr);
  EXPECT_EQ(f.mChannelsPerFrame, 2u);
  EXPECT_EQ(f.mFormatFlags, 0x29u);
  EXPECT_EQ(f.mBytesPerFrame, 4u);

  // Integer, interleaved or empty formats are refused whatever the channel count.
  for (int which = 0; which < 3; ++which)
  {
    AudioStreamBasicDescription bad = f;
    if (which == 0)
    {
      bad.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
      bad.mBitsPerChannel = 16;
    }
    if (which == 1)
      bad.mFormatFlags = kAudioFormatFlagsNativeFloatPacked; // interleaved stereo
    if (which == 2)
      bad.mChannelsPerFrame = 0;
    EXPECT_EQ(host.Set(kAudioUnitProperty_StreamFormat, bad, kAudioUnitScope_Output),
              kAudioUnitErr_InvalidProperty)
        << which;
  }
  EXPECT_EQ(host.Set(kAudioUnitProperty_StreamFormat, f), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(host.Set(kAudioUnitProperty_StreamFormat, f, kAudioUnitScope_Output, 1),
            kAudioUnitErr_InvalidElement);

  AUChannelInfo infos[4] = {};
  UInt32 size = sizeof infos;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_SupportedNumChannels,
                                 kAudioUnitScope_Global, 0, infos, &size),
            noErr);
  std::vector<std::pair<int, int>> pairs;
  for (UInt32 i = 0; i < size / sizeof(AUChannelInfo); ++i)
    pairs.emplace_back(infos[i].inChannels, infos[i].outChannels);
  EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {2, 2}}));
  AudioChannelLayoutTag tags[4] = {};
  size = sizeof tags;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_SupportedChannelLayoutTags,
                                 kAudioUnitScope_Input, 0, tags, &size),
            noErr);
  EXPECT_EQ(std::vector<AudioChannelLayoutTag>(tags, tags + size / sizeof *tags),
            (std::vector<AudioChannelLayoutTag>{0x640001u, 0x650002u}));
  EXPECT_EQ(host.Get(kAudioUnitProperty_SupportedChannelLayoutTags, tags),
            kAudioUnitErr_InvalidScope);
}

TEST(AURender, RendersPulledInputIntoHostOrUnitBuffers)
{
  Host host;
  host.Prepare(2, 2, 256);
  Channels out;
  constexpr int kBlocks = 150; // 0.8 s: past the first echo of the default 500 ms delay
  double energy = 0.0;
  for (int block = 0; block < kBlocks; ++block)
  {
    ASSERT_EQ(host.Render(256, block * 256.0, out, block % 2 == 0), noErr);
    for (const auto& ch : out)
      for (float s : ch)
      {
        ASSERT_TRUE(std::isfinite(s) && s != -7.0f); // every frame written, and sound
        energy += static_cast<double>(s) * s;
      }
  }
  EXPECT_EQ(host.inputPulls, kBlocks);
  EXPECT_EQ(host.lastPulledBus, 0u);
  EXPECT_EQ(host.lastPulledFrames, 256u);
  EXPECT_GT(energy, 1.0);
  // The same sample time again is not pulled or processed twice.
  ASSERT_EQ(host.Render(256, (kBlocks - 1) * 256.0, out), noErr);
  EXPECT_EQ(host.inputPulls, kBlocks);
}

TEST(AURender, RefusesBadRenderCallsAndMaximumFrames)
{
  Host host;
  Channels out;
  EXPECT_EQ(host.Render(64, 0.0, out), kAudioUnitErr_Uninitialized);
  UInt32 frames = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_MaximumFramesPerSlice, frames), noErr);
  EXPECT_EQ(frames, 1156u); // Apple's default until the host says otherwise
  EXPECT_EQ(host.SetMaxFrames(0), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(host.SetMaxFrames(1u << 20), kAudioUnitErr_InvalidPropertyValue);

  host.Prepare(2, 2, 128);
  EXPECT_EQ(host.Object<OstraTapeDelay>()->GetBlockSize(), 128);
  EXPECT_EQ(host.Render(129, 0.0, out), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(host.SetMaxFrames(128), noErr);
  EXPECT_EQ(host.SetMaxFrames(512), kAudioUnitErr_Initialized);

  std::vector<float> l(64), r(64);
  std::vector<unsigned char> storage(sizeof(AudioBufferList) + sizeof(AudioBuffer));
  auto* list = reinterpret_cast<AudioBufferList*>(storage.data());
  list->mNumberBuffers = 2;
  list->mBuffers[0] = {1, 64 * 4, l.data()};
  list->mBuffers[1] = {1, 64 * 4, r.data()};
  AudioTimeStamp ts{}; // without a valid sample time
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 0, 64, list),
            kAudioUnitErr_InvalidPropertyValue);
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 1, 64, list), kAudioUnitErr_InvalidElement);
  list->mBuffers[1].mDataByteSize = 16; // too short for 64 frames: never overrun
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 0, 64, list), kAudio_ParamError);
  list->mNumberBuffers = 1;
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 0, 64, list), kAudio_ParamError);
  EXPECT_EQ(host.inputPulls, 0);

  ASSERT_EQ(AudioUnitUninitialize(host.Unit()), noErr);
  EXPECT_EQ(host.SetMaxFrames(512), noErr);
  EXPECT_EQ(host.Object<OstraTapeDelay>()->GetBlockSize(), 512);
}

TEST(AURender, TransportReachesTheProcessorWithFallbacks)
{
  Host host(ProbeComponent());
  host.Prepare(2, 2, 128);
  auto* plugin = host.Object<ProbeTapeDelay>();
  Channels out;
  host.transport = {.tempo = 90.0,
                    .beat = 6.5,
                    .downBeat = 6.0,
                    .samplePos = 4800.0,
                    .cycleStart = 4.0,
                    .cycleEnd = 8.0,
                    .numerator = 7.0f,
                    .denominator = 8,
                    .playing = true,
                    .cycling = true};
  ASSERT_EQ(host.Render(128, 0.0, out), noErr);
  auto time = [&]
  {
    const plug::ITimeInfo t = plugin->GetTimeInfo();
    return std::tuple(t.mTempo, t.mPPQPos, t.mPlaying, t.mLooping, t.mLoopStart, t.mLoopEnd,
                      t.mSamplePos, t.mNumerator, t.mDenominator, t.mLastBar);
  };
  EXPECT_EQ(time(), std::tuple(90.0, 6.5, true, true, 4.0, 8.0, 4800.0, 7, 8, 6.0));
  EXPECT_EQ(plugin->hostTempo(), 90.0);

  // Positions that are not positive are unknown; no tempo or signature falls back to 120, 4/4.
  host.transport = {
      .tempo = 0.0, .samplePos = -5.0, .cycleEnd = 8.0, .numerator = 0.0f, .denominator = 0};
  ASSERT_EQ(host.Render(128, 128.0, out), noErr);
  EXPECT_EQ(time(), std::tuple(120.0, -1.0, false, false, -1.0, 8.0, -1.0, 4, 4, -1.0));

  // A host whose callbacks fail is treated as one without them.
  host.transport = {.answers = false, .tempo = 90.0, .downBeat = 6.0, .playing = true};
  ASSERT_EQ(host.Render(128, 256.0, out), noErr);
  EXPECT_EQ(time(), std::tuple(120.0, -1.0, false, false, -1.0, -1.0, -1.0, 4, 4, -1.0));
}

TEST(AURender, BypassPassesAudioUntouchedWithoutProcessing)
{
  Host host(ProbeComponent());
  host.Prepare(2, 2, 256);
  auto* plugin = host.Object<ProbeTapeDelay>();
  Channels out;
  ASSERT_EQ(host.Render(256, 0.0, out), noErr);
  ASSERT_FALSE(IsInput(host, out, 0.0, 2)); // processing does change the sound

  const int resetsBefore = plugin->resets.load();
  ASSERT_EQ(host.SetBypass(true), noErr);
  EXPECT_EQ(plugin->resets.load(), resetsBefore + 1);
  UInt32 bypass = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_BypassEffect, bypass), noErr);
  EXPECT_EQ(bypass, 1u);
  EXPECT_FALSE(plugin->IsActive());

  const int blocksBefore = plugin->blocks.load();
  ASSERT_GT(blocksBefore, 0);
  for (int block = 1; block < 5; ++block)
  {
    ASSERT_EQ(host.Render(256, block * 256.0, out), noErr);
    EXPECT_TRUE(IsInput(host, out, block * 256.0, 2)) << block;
  }
  EXPECT_EQ(plugin->blocks.load(), blocksBefore);
  ASSERT_EQ(host.SetBypass(false), noErr);
  EXPECT_TRUE(plugin->IsActive());
  ASSERT_EQ(host.Render(256, 5 * 256.0, out), noErr);
  EXPECT_EQ(plugin->blocks.load(), blocksBefore + 1);

  // Mono into stereo: the left channel is copied, the right one silent.
  Host mono;
  mono.Prepare(1, 2, 64);
  ASSERT_EQ(mono.SetBypass(true), noErr);
  ASSERT_EQ(mono.Render(64, 0.0, out), noErr);
  EXPECT_TRUE(IsInput(mono, out, 0.0, 1));
  EXPECT_EQ(out[1], std::vector<float>(64, 0.0f));
}

TEST(AURender, SampleRateChangesResetOnceAndInitialiseResetsParameters)
{
  Host host(ProbeComponent());
  auto* plugin = host.Object<ProbeTapeDelay>();
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Input, 2), noErr);
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Output, 2), noErr);
  const int before = plugin->resets.load();
  ASSERT_EQ(host.SetSampleRate(44100.0), noErr);
  EXPECT_EQ(plugin->resets.load(), before + 1);
  EXPECT_EQ(plugin->GetSampleRate(), 44100.0);
  AudioStreamBasicDescription f{};
  ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, f, kAudioUnitScope_Input), noErr);
  EXPECT_EQ(f.mSampleRate, 44100.0);

  for (Float64 bad : {0.0, -48000.0, std::nan("")})
    EXPECT_EQ(host.SetSampleRate(bad), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(plugin->resets.load(), before + 1);
  EXPECT_EQ(plugin->GetSampleRate(), 44100.0);

  // A stream format at a new rate is a rate change too.
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Output, 2, 96000.0), noErr);
  EXPECT_EQ(plugin->resets.load(), before + 2);
  EXPECT_EQ(plugin->GetSampleRate(), 96000.0);

  ASSERT_EQ(AudioUnitInitialize(host.Unit()), noErr);
  EXPECT_TRUE(plugin->IsActive());
  EXPECT_EQ(plugin->lastSource, plug::kReset);
  EXPECT_EQ(plugin->lastChange, 17);
  ASSERT_EQ(AudioUnitUninitialize(host.Unit()), noErr);
  EXPECT_FALSE(plugin->IsActive());
}

TEST(AURender, PullsFromAnUpstreamUnitAndCallsRenderNotifications)
{
  Host upstream;
  upstream.Prepare(2, 2, 256);
  Host downstream;
  ASSERT_EQ(downstream.SetMaxFrames(256), noErr);
  ASSERT_EQ(downstream.Set(kAudioUnitProperty_MakeConnection,
                           AudioUnitConnection{upstream.Unit(), 0, 0}, kAudioUnitScope_Input),
            noErr);
  ASSERT_EQ(downstream.SetFormat(kAudioUnitScope_Output, 2), noErr);
  ASSERT_EQ(AudioUnitInitialize(downstream.Unit()), noErr);

  int notes[2] = {0, 0}; // pre, post
  auto notify = [](void* user, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32,
                   UInt32, AudioBufferList*) -> OSStatus
  {
    static_cast<int*>(user)[0] += (*flags & kAudioUnitRenderAction_PreRender) ? 1 : 0;
    static_cast<int*>(user)[1] += (*flags & kAudioUnitRenderAction_PostRender) ? 1 : 0;
    return noErr;
  };
  ASSERT_EQ(AudioUnitAddRenderNotify(downstream.Unit(), notify, notes), noErr);

  // Both bypassed: what the downstream unit hands out is exactly what the upstream unit was fed.
  ASSERT_EQ(upstream.SetBypass(true), noErr);
  ASSERT_EQ(downstream.SetBypass(true), noErr);
  Channels out;
  for (int block = 0; block < 8; ++block)
  {
    ASSERT_EQ(downstream.Render(256, block * 256.0, out), noErr);
    EXPECT_TRUE(IsInput(upstream, out, block * 256.0, 2)) << block;
  }
  EXPECT_EQ(upstream.inputPulls, 8);
  EXPECT_EQ(downstream.inputPulls, 0);
  EXPECT_EQ(notes[0], 8);
  EXPECT_EQ(notes[1], 8);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(downstream.Unit(), notify, notes), noErr);
  ASSERT_EQ(downstream.Render(256, 8 * 256.0, out), noErr);
  EXPECT_EQ(notes[0], 8);
}

} // namespace
