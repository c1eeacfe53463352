// Formats, rendering, transport, bypass and sample-rate handling, seen from a host.
#include "AUHost.h"
#include "ProbePlugin.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace au_test;

namespace {

bool AllFinite(const std::vector<std::vector<float>> &out) {
  for (const auto &ch : out)
    for (float s : ch)
      if (!std::isfinite(s))
        return false;
  return true;
}

double Energy(const std::vector<float> &ch) {
  double e = 0.0;
  for (float s : ch)
    e += static_cast<double>(s) * s;
  return e;
}

TEST(AURender, FormatsFollowTheChannelLayouts) {
  {
    Host host;
    // Two in with the output still open is fine; one output then makes (2, 1), which no layout has.
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 2), noErr);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 1), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 2), noErr);
  }
  {
    Host host;
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 1), noErr);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 2), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 1), noErr);
  }
  Host host;
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 1), noErr);
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 2), noErr);
  EXPECT_EQ(AudioUnitInitialize(host.Unit()), noErr);

  AudioStreamBasicDescription f{};
  UInt32 size = sizeof f;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &f,
                                 &size),
            noErr);
  EXPECT_EQ(f.mChannelsPerFrame, 2u);
  EXPECT_EQ(f.mFormatFlags, 0x29u);
  EXPECT_EQ(f.mBytesPerFrame, 4u);
  EXPECT_EQ(f.mFormatID, kAudioFormatLinearPCM);

  // Integer, interleaved or empty formats are refused whatever the channel count.
  AudioStreamBasicDescription bad = f;
  bad.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
  bad.mBitsPerChannel = 16;
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                 &bad, sizeof bad),
            kAudioUnitErr_InvalidProperty);
  bad = f;
  bad.mFormatFlags = kAudioFormatFlagsNativeFloatPacked; // interleaved stereo
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                 &bad, sizeof bad),
            kAudioUnitErr_InvalidProperty);
  bad = f;
  bad.mChannelsPerFrame = 0;
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                 &bad, sizeof bad),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Global, 0, &f,
                                 sizeof f),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, &f,
                                 sizeof f),
            kAudioUnitErr_InvalidElement);

  AUChannelInfo infos[4] = {};
  size = sizeof infos;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global,
                                 0, infos, &size),
            noErr);
  ASSERT_EQ(size, 3 * sizeof(AUChannelInfo));
  EXPECT_EQ(infos[0].inChannels, 1);
  EXPECT_EQ(infos[0].outChannels, 1);
  EXPECT_EQ(infos[1].outChannels, 2);
  EXPECT_EQ(infos[2].inChannels, 2);

  AudioChannelLayoutTag tags[4] = {};
  size = sizeof tags;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_SupportedChannelLayoutTags,
                                 kAudioUnitScope_Input, 0, tags, &size),
            noErr);
  ASSERT_EQ(size, 2 * sizeof(AudioChannelLayoutTag));
  EXPECT_EQ(tags[0], 0x640001u);
  EXPECT_EQ(tags[1], 0x650002u);
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_SupportedChannelLayoutTags,
                                 kAudioUnitScope_Global, 0, tags, &size),
            kAudioUnitErr_InvalidScope);
}

TEST(AURender, RendersPulledInputIntoHostOrUnitBuffers) {
  Host host;
  host.Prepare(2, 2, 256);
  std::vector<std::vector<float>> out;
  // 0.8 s: past the first echo of the default 500 ms delay, whatever the mix.
  constexpr int kBlocks = 150;
  double energy = 0.0;
  for (int block = 0; block < kBlocks; ++block) {
    ASSERT_EQ(host.Render(256, block * 256.0, out, block % 2 == 0), noErr);
    ASSERT_TRUE(AllFinite(out));
    for (const auto &ch : out)
      for (float s : ch)
        ASSERT_NE(s, -7.0f); // every frame was written
    energy += Energy(out[0]) + Energy(out[1]);
  }
  EXPECT_EQ(host.inputPulls, kBlocks);
  EXPECT_EQ(host.lastPulledBus, 0u);
  EXPECT_EQ(host.lastPulledFrames, 256u);
  EXPECT_GT(energy, 1.0);

  // The same sample time again is not pulled or processed twice.
  ASSERT_EQ(host.Render(256, (kBlocks - 1) * 256.0, out), noErr);
  EXPECT_EQ(host.inputPulls, kBlocks);
}

TEST(AURender, RefusesBadRenderCalls) {
  Host host;
  std::vector<std::vector<float>> out;
  EXPECT_EQ(host.Render(64, 0.0, out), kAudioUnitErr_Uninitialized);
  host.Prepare(2, 2, 128);
  EXPECT_EQ(host.Render(129, 0.0, out), kAudioUnitErr_InvalidPropertyValue);

  // Without a valid sample time.
  std::vector<float> l(64), r(64);
  std::vector<unsigned char> storage(sizeof(AudioBufferList) + sizeof(AudioBuffer));
  auto *list = reinterpret_cast<AudioBufferList *>(storage.data());
  list->mNumberBuffers = 2;
  list->mBuffers[0] = {1, 64 * 4, l.data()};
  list->mBuffers[1] = {1, 64 * 4, r.data()};
  AudioTimeStamp ts{};
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 0, 64, list), kAudioUnitErr_InvalidPropertyValue);
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 1, 64, list), kAudioUnitErr_InvalidElement);
  list->mBuffers[1].mDataByteSize = 16; // too short for 64 frames: never overrun
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 0, 64, list), kAudio_ParamError);
  list->mNumberBuffers = 1;
  EXPECT_EQ(AudioUnitRender(host.Unit(), &flags, &ts, 0, 64, list), kAudio_ParamError);
  EXPECT_EQ(host.inputPulls, 0);
}

TEST(AURender, MaximumFramesSizeTheProcessorAndAreFixedWhileInitialised) {
  Host host;
  UInt32 frames = 0;
  UInt32 size = sizeof frames;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_MaximumFramesPerSlice,
                                 kAudioUnitScope_Global, 0, &frames, &size),
            noErr);
  EXPECT_EQ(frames, 1156u); // Apple's default until the host says otherwise
  EXPECT_EQ(host.SetMaxFrames(0), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(host.SetMaxFrames(1u << 20), kAudioUnitErr_InvalidPropertyValue);
  host.Prepare(2, 2, 300);
  EXPECT_EQ(host.Object<ProbeTapeDelay>()->GetBlockSize(), 300);
  EXPECT_EQ(host.SetMaxFrames(300), noErr);
  EXPECT_EQ(host.SetMaxFrames(512), kAudioUnitErr_Initialized);
  ASSERT_EQ(AudioUnitUninitialize(host.Unit()), noErr);
  EXPECT_EQ(host.SetMaxFrames(512), noErr);
  EXPECT_EQ(host.Object<ProbeTapeDelay>()->GetBlockSize(), 512);
}

TEST(AURender, TransportReachesTheProcessorWithFallbacks) {
  Host host(ProbeComponent());
  host.Prepare(2, 2, 128);
  auto *plugin = host.Object<ProbeTapeDelay>();
  std::vector<std::vector<float>> out;

  host.transport.tempo = 90.0;
  host.transport.beat = 6.5;
  host.transport.playing = true;
  host.transport.cycling = true;
  host.transport.cycleStart = 4.0;
  host.transport.cycleEnd = 8.0;
  host.transport.samplePos = 4800.0;
  host.transport.numerator = 7.0f;
  host.transport.denominator = 8;
  host.transport.downBeat = 6.0;
  ASSERT_EQ(host.Render(128, 0.0, out), noErr);
  plug::ITimeInfo t = plugin->GetTimeInfo();
  EXPECT_EQ(t.mTempo, 90.0);
  EXPECT_EQ(t.mPPQPos, 6.5);
  EXPECT_TRUE(t.mPlaying);
  EXPECT_TRUE(t.mLooping);
  EXPECT_EQ(t.mLoopStart, 4.0);
  EXPECT_EQ(t.mLoopEnd, 8.0);
  EXPECT_EQ(t.mSamplePos, 4800.0);
  EXPECT_EQ(t.mNumerator, 7);
  EXPECT_EQ(t.mDenominator, 8);
  EXPECT_EQ(t.mLastBar, 6.0);
  EXPECT_EQ(plugin->hostTempo(), 90.0);

  // Positions that are not positive are unknown; a tempo of 0 falls back to 120.
  host.transport.tempo = 0.0;
  host.transport.beat = 0.0;
  host.transport.samplePos = -5.0;
  host.transport.cycleStart = 0.0;
  host.transport.numerator = 0.0f;
  host.transport.denominator = 0;
  ASSERT_EQ(host.Render(128, 128.0, out), noErr);
  t = plugin->GetTimeInfo();
  EXPECT_EQ(t.mTempo, 120.0);
  EXPECT_EQ(t.mPPQPos, -1.0);
  EXPECT_EQ(t.mSamplePos, -1.0);
  EXPECT_EQ(t.mLoopStart, -1.0);
  EXPECT_EQ(t.mNumerator, 4);
  EXPECT_EQ(t.mDenominator, 4);

  // A host without callbacks.
  host.transport.hasBeatAndTempo = host.transport.hasMusicalTime = host.transport.hasTransport = false;
  ASSERT_EQ(host.Render(128, 256.0, out), noErr);
  t = plugin->GetTimeInfo();
  EXPECT_EQ(t.mTempo, 120.0);
  EXPECT_FALSE(t.mPlaying);
  EXPECT_EQ(t.mLastBar, -1.0);
}

TEST(AURender, BypassPassesAudioUntouchedWithoutProcessing) {
  Host host(ProbeComponent());
  host.Prepare(2, 2, 256);
  auto *plugin = host.Object<ProbeTapeDelay>();
  std::vector<std::vector<float>> out;
  ASSERT_EQ(host.Render(256, 0.0, out), noErr);
  ASSERT_GT(plugin->blocks.load(), 0);

  const int resetsBefore = plugin->resets.load();
  ASSERT_EQ(host.SetBypass(true), noErr);
  EXPECT_EQ(plugin->resets.load(), resetsBefore + 1);
  UInt32 bypass = 0;
  UInt32 size = sizeof bypass;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                                 &bypass, &size),
            noErr);
  EXPECT_EQ(bypass, 1u);
  EXPECT_FALSE(plugin->IsActive());

  const int blocksBefore = plugin->blocks.load();
  for (int block = 1; block < 5; ++block) {
    const Float64 start = block * 256.0;
    ASSERT_EQ(host.Render(256, start, out), noErr);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(out[ch][i], host.signal(ch, start + i)) << "channel " << ch << " frame " << i;
  }
  EXPECT_EQ(plugin->blocks.load(), blocksBefore);

  ASSERT_EQ(host.SetBypass(false), noErr);
  EXPECT_TRUE(plugin->IsActive());
  ASSERT_EQ(host.Render(256, 5 * 256.0, out), noErr);
  EXPECT_EQ(plugin->blocks.load(), blocksBefore + 1);
}

TEST(AURender, BypassedMonoIntoStereoCopiesLeftAndSilencesRight) {
  Host host;
  host.Prepare(1, 2, 64);
  ASSERT_EQ(host.SetBypass(true), noErr);
  std::vector<std::vector<float>> out;
  ASSERT_EQ(host.Render(64, 0.0, out), noErr);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(out[0][i], host.signal(0, i));
    EXPECT_EQ(out[1][i], 0.0f);
  }
}

TEST(AURender, SampleRateChangesResetOnce) {
  Host host(ProbeComponent());
  auto *plugin = host.Object<ProbeTapeDelay>();
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Input, 2, 48000.0), noErr);
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Output, 2, 48000.0), noErr);
  const int before = plugin->resets.load();
  ASSERT_EQ(host.SetSampleRate(44100.0), noErr);
  EXPECT_EQ(plugin->resets.load(), before + 1);
  EXPECT_EQ(plugin->GetSampleRate(), 44100.0);

  Float64 rate = 0.0;
  UInt32 size = sizeof rate;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate,
                                 &size),
            noErr);
  EXPECT_EQ(rate, 44100.0);
  AudioStreamBasicDescription f{};
  size = sizeof f;
  ASSERT_EQ(
      AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &f, &size),
      noErr);
  EXPECT_EQ(f.mSampleRate, 44100.0);

  for (Float64 bad : {0.0, -48000.0, std::nan("")})
    EXPECT_EQ(host.SetSampleRate(bad), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(plugin->resets.load(), before + 1);
  EXPECT_EQ(plugin->GetSampleRate(), 44100.0);

  // A stream format at a new rate is a rate change too.
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Output, 2, 96000.0), noErr);
  EXPECT_EQ(plugin->resets.load(), before + 2);
  EXPECT_EQ(plugin->GetSampleRate(), 96000.0);
}

TEST(AURender, InitialiseResetsParametersAndProcessing) {
  Host host(ProbeComponent());
  auto *plugin = host.Object<ProbeTapeDelay>();
  const int before = plugin->resets.load();
  host.Prepare(2, 2, 128);
  EXPECT_TRUE(plugin->IsActive());
  EXPECT_GE(plugin->resets.load(), before + 2); // the sample rate, then initialising
  EXPECT_EQ(plugin->lastSource, plug::kReset);
  EXPECT_EQ(plugin->lastChange, 17);
  ASSERT_EQ(AudioUnitUninitialize(host.Unit()), noErr);
  EXPECT_FALSE(plugin->IsActive());
}

TEST(AURender, PullsFromAnUpstreamUnitAndCallsRenderNotifications) {
  Host upstream;
  upstream.Prepare(2, 2, 256);
  Host downstream;
  ASSERT_EQ(downstream.SetMaxFrames(256), noErr);
  AudioUnitConnection connection{upstream.Unit(), 0, 0};
  ASSERT_EQ(AudioUnitSetProperty(downstream.Unit(), kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input,
                                 0, &connection, sizeof connection),
            noErr);
  ASSERT_EQ(downstream.SetFormat(kAudioUnitScope_Output, 2), noErr);
  ASSERT_EQ(AudioUnitInitialize(downstream.Unit()), noErr);

  struct Notes {
    int pre = 0;
    int post = 0;
  } notes;
  auto notify = [](void *user, AudioUnitRenderActionFlags *flags, const AudioTimeStamp *, UInt32, UInt32,
                   AudioBufferList *) -> OSStatus {
    auto *n = static_cast<Notes *>(user);
    if (*flags & kAudioUnitRenderAction_PreRender)
      ++n->pre;
    if (*flags & kAudioUnitRenderAction_PostRender)
      ++n->post;
    return noErr;
  };
  ASSERT_EQ(AudioUnitAddRenderNotify(downstream.Unit(), notify, &notes), noErr);

  // Both bypassed: what the downstream unit hands out is exactly what the upstream unit was fed.
  ASSERT_EQ(upstream.SetBypass(true), noErr);
  ASSERT_EQ(downstream.SetBypass(true), noErr);
  std::vector<std::vector<float>> out;
  for (int block = 0; block < 8; ++block) {
    const Float64 start = block * 256.0;
    ASSERT_EQ(downstream.Render(256, start, out), noErr);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(out[ch][i], upstream.signal(ch, start + i));
  }
  EXPECT_EQ(upstream.inputPulls, 8);
  EXPECT_EQ(downstream.inputPulls, 0);
  EXPECT_EQ(notes.pre, 8);
  EXPECT_EQ(notes.post, 8);

  ASSERT_EQ(AudioUnitRemoveRenderNotify(downstream.Unit(), notify, &notes), noErr);
  ASSERT_EQ(downstream.Render(256, 8 * 256.0, out), noErr);
  EXPECT_EQ(notes.pre, 8);
}

} // namespace
