// The render call: pull inputs, fill the transport, process or pass through, hand out outputs.
// Everything here runs on the host's render thread and neither allocates nor locks.
#include "framework/ITimeInfo.h"
#include "framework/au/IAUBinding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace plug
{

namespace
{

double PositionOrUnknown(double position)
{
  return position > 0.0 && std::isfinite(position) ? position : -1.0;
}

} // namespace

void IAUBinding::CallRenderNotify(AudioUnitRenderActionFlags flags,
                                  AudioUnitRenderActionFlags* ioActionFlags,
                                  const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 nFrames,
                                  AudioBufferList* ioData)
{
  for (RenderNotify& slot : mRenderNotify)
  {
    const AURenderCallback proc = slot.proc.load(std::memory_order_acquire);
    if (!proc)
      continue;
    AudioUnitRenderActionFlags callFlags = *ioActionFlags | flags;
    proc(slot.userData.load(std::memory_order_relaxed), &callFlags, timeStamp, bus, nFrames,
         ioData);
  }
}

void IAUBinding::FillTimeInfo(const AudioTimeStamp&)
{
  const HostCallbackInfo cb = mHostCallbacks;
  ITimeInfo info;

  if (cb.beatAndTempoProc)
  {
    Float64 beat = -1.0;
    Float64 tempo = 0.0;
    if (cb.beatAndTempoProc(cb.hostUserData, &beat, &tempo) == noErr)
    {
      info.mTempo = tempo;
      info.mPPQPos = beat;
    }
  }
  if (cb.musicalTimeLocationProc)
  {
    UInt32 toNextBeat = 0;
    Float32 numerator = 0.0f;
    UInt32 denominator = 0;
    Float64 downBeat = -1.0;
    if (cb.musicalTimeLocationProc(cb.hostUserData, &toNextBeat, &numerator, &denominator,
                                   &downBeat) == noErr)
    {
      if (numerator >= 1.0f && numerator <= 256.0f)
        info.mNumerator = static_cast<int>(numerator);
      if (denominator >= 1 && denominator <= 256)
        info.mDenominator = static_cast<int>(denominator);
      info.mLastBar = downBeat;
    }
  }
  Boolean playing = false, changed = false, cycling = false, recording = false;
  Float64 samplePos = -1.0, cycleStart = -1.0, cycleEnd = -1.0;
  OSStatus transport = -1;
  if (cb.transportStateProc2)
    transport = cb.transportStateProc2(cb.hostUserData, &playing, &recording, &changed, &samplePos,
                                       &cycling, &cycleStart, &cycleEnd);
  else if (cb.transportStateProc)
    transport = cb.transportStateProc(cb.hostUserData, &playing, &changed, &samplePos, &cycling,
                                      &cycleStart, &cycleEnd);
  if (transport == noErr)
  {
    info.mPlaying = playing != 0;
    info.mLooping = cycling != 0;
    info.mSamplePos = samplePos;
    info.mLoopStart = cycleStart;
    info.mLoopEnd = cycleEnd;
  }

  if (!(info.mTempo > 0.0) || !std::isfinite(info.mTempo))
    info.mTempo = kDefaultTempo;
  info.mSamplePos = PositionOrUnknown(info.mSamplePos);
  info.mPPQPos = PositionOrUnknown(info.mPPQPos);
  info.mLastBar = PositionOrUnknown(info.mLastBar);
  info.mLoopStart = PositionOrUnknown(info.mLoopStart);
  info.mLoopEnd = PositionOrUnknown(info.mLoopEnd);
  SetTimeInfo(info);
}

OSStatus IAUBinding::PullInputs(AudioUnitRenderActionFlags* ioActionFlags,
                                const AudioTimeStamp* timeStamp, UInt32 nFrames)
{
  SetChannelConnections(kInput, 0, NChannels(kInput), false);
  void* storage = mInputListStorage.data();
  size_t space = mInputListStorage.size();
  auto* list = static_cast<AudioBufferList*>(
      std::align(alignof(AudioBufferList), sizeof(AudioBufferList), storage, space));
  const UInt32 bytes = nFrames * sizeof(float);

  for (int b = 0; b < NBuses(kInput); ++b)
  {
    const InputBus& bus = mInputBuses[static_cast<size_t>(b)];
    if (bus.source == InputSource::kNone)
      continue;
    const int first = FirstChannel(kInput, b);
    const int n = std::min(EffectiveChannels(kInput, b), NChannels(kInput) - first);
    if (n <= 0)
      continue;
    list->mNumberBuffers = static_cast<UInt32>(n);
    for (int i = 0; i < n; ++i)
      list->mBuffers[i] = {1, bytes, mInFloat[static_cast<size_t>(first + i)].data()};

    const OSStatus err =
        bus.source == InputSource::kCallback
            ? bus.callback.inputProc(bus.callback.inputProcRefCon, ioActionFlags, timeStamp,
                                     static_cast<UInt32>(b), nFrames, list)
            : AudioUnitRender(bus.connection.sourceAudioUnit, ioActionFlags, timeStamp,
                              bus.connection.sourceOutputNumber, nFrames, list);
    if (err != noErr)
      return err;

    // A source may answer with buffers of its own; one that is missing or short reads as ours.
    for (int i = 0; i < n; ++i)
    {
      float* own = mInFloat[static_cast<size_t>(first + i)].data();
      const AudioBuffer& buffer = list->mBuffers[i];
      const bool usable = i < static_cast<int>(list->mNumberBuffers) && buffer.mData &&
                          buffer.mDataByteSize >= bytes;
      mInPtrs[static_cast<size_t>(first + i)] = usable ? static_cast<float*>(buffer.mData) : own;
    }
    SetChannelConnections(kInput, first, n, true);
    AttachBuffers(kInput, first, n, &mInPtrs[static_cast<size_t>(first)],
                  static_cast<int>(nFrames));
  }
  return noErr;
}

OSStatus IAUBinding::Render(AudioUnitRenderActionFlags* ioActionFlags,
                            const AudioTimeStamp* timeStamp, UInt32 outputBus, UInt32 nFrames,
                            AudioBufferList* ioData)
{
  if (!IsInitialized())
    return kAudioUnitErr_Uninitialized;
  if (!timeStamp || !ioData)
    return kAudio_ParamError;
  if ((timeStamp->mFlags & kAudioTimeStampSampleTimeValid) == 0 || nFrames > mMaxFrames)
    return kAudioUnitErr_InvalidPropertyValue;
  if (static_cast<int>(outputBus) >= NBuses(kOutput))
    return kAudioUnitErr_InvalidElement;

  const int first = FirstChannel(kOutput, static_cast<int>(outputBus));
  const int n =
      std::min(EffectiveChannels(kOutput, static_cast<int>(outputBus)), NChannels(kOutput) - first);
  const UInt32 bytes = nFrames * sizeof(float);
  // Check the host's buffers before anything runs, so that a bad list cannot be overrun.
  if (ioData->mNumberBuffers != static_cast<UInt32>(std::max(n, 0)))
    return kAudio_ParamError;
  for (UInt32 i = 0; i < ioData->mNumberBuffers; ++i)
    if (ioData->mBuffers[i].mData && ioData->mBuffers[i].mDataByteSize < bytes)
      return kAudio_ParamError;

  AudioUnitRenderActionFlags localFlags = 0;
  if (!ioActionFlags)
    ioActionFlags = &localFlags;
  CallRenderNotify(kAudioUnitRenderAction_PreRender, ioActionFlags, timeStamp, outputBus, nFrames,
                   ioData);

  if (!mHasRendered || timeStamp->mSampleTime != mLastRenderSampleTime)
  {
    if (const OSStatus err = PullInputs(ioActionFlags, timeStamp, nFrames); err != noErr)
    {
      CallRenderNotify(kAudioUnitRenderAction_PostRender | kAudioUnitRenderAction_PostRenderError,
                       ioActionFlags, timeStamp, outputBus, nFrames, ioData);
      return err;
    }
    SetChannelConnections(kOutput, 0, NChannels(kOutput), false);
    SetChannelConnections(kOutput, first, n, true);
    AttachBuffers(kOutput, first, n, &mOutPtrs[static_cast<size_t>(first)],
                  static_cast<int>(nFrames));
    FillTimeInfo(*timeStamp);
    if (GetBypassed())
      PassThroughBuffers(0.0f, static_cast<int>(nFrames));
    else
      ProcessBuffers(0.0f, static_cast<int>(nFrames));
    mLastRenderSampleTime = timeStamp->mSampleTime;
    mHasRendered = true;
  }

  for (int i = 0; i < n; ++i)
  {
    AudioBuffer& buffer = ioData->mBuffers[i];
    float* rendered = mOutFloat[static_cast<size_t>(first + i)].data();
    if (!buffer.mData)
      buffer.mData = rendered; // the host asked the unit for its buffers
    else if (buffer.mData != rendered)
      std::memcpy(buffer.mData, rendered, bytes);
    buffer.mDataByteSize = bytes;
  }
  CallRenderNotify(kAudioUnitRenderAction_PostRender, ioActionFlags, timeStamp, outputBus, nFrames,
                   ioData);
  return noErr;
}

} // namespace plug
