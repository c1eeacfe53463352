#include "lv2/Lv2Instance.h"

#include "framework/IByteChunk.h"
#include "framework/ITimeInfo.h"
#include "lv2/Features.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace ostratapedelay::lv2
{

namespace
{
// A host chunk larger than this is not ours: the real one is a few hundred bytes.
constexpr std::size_t kMaxStateBytes = 1u << 20;

} // namespace

std::unique_ptr<Lv2Instance> Lv2Instance::create(const Variant& variant, double sampleRate,
                                                 const LV2_Feature* const* features)
{
  if (!std::isfinite(sampleRate) || sampleRate <= 0.0)
    return nullptr;
  std::unique_ptr<Lv2Instance> instance(new Lv2Instance(variant, sampleRate));

  // Without URIDs (a bare host such as a file renderer) the effect still runs: it just
  // cannot read time positions or options, nor save its state.
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(findFeature(features, LV2_URID__map)));
  if (map && map->map)
    instance->mapUrids(map);
  else
    return instance;
  instance->mSchedule = static_cast<LV2_Worker_Schedule*>(
      const_cast<void*>(findFeature(features, LV2_WORKER__schedule)));

  // The host's block lengths size the scratch buffers; without them a default does, and
  // ProcessBuffers slices longer runs.
  int maxBlock = 0;
  int nominalBlock = 0;
  if (const auto* options =
          static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options)))
  {
    for (const LV2_Options_Option* o = options; o->key != 0; ++o)
    {
      if (o->type != instance->mUrid.atomInt || o->size != sizeof(int32_t) || !o->value)
        continue;
      const int value = *static_cast<const int32_t*>(o->value);
      if (o->key == instance->mUrid.maxBlockLength)
        maxBlock = value;
      else if (o->key == instance->mUrid.nominalBlockLength)
        nominalBlock = value;
    }
  }
  instance->applyBlockLength(maxBlock > 0 ? maxBlock : nominalBlock);
  return instance;
}

Lv2Instance::Lv2Instance(const Variant& variant, double sampleRate)
  : mVariant(variant)
  , mEffect(std::make_unique<Lv2Effect>())
{
  Lv2Effect& fx = *mEffect;
  fx.SetChannelConnections(plug::kInput, 0, fx.NChannels(plug::kInput), false);
  fx.SetChannelConnections(plug::kOutput, 0, fx.NChannels(plug::kOutput), false);
  fx.SetChannelConnections(plug::kInput, 0, variant.nInputs, true);
  fx.SetChannelConnections(plug::kOutput, 0, variant.nOutputs, true);
  fx.SetSampleRate(sampleRate);
  fx.SetRenderingOffline(false);
  fx.OnParamReset(plug::kReset);
  fx.OnReset();
  mIdleFrames = std::max(1.0, sampleRate * kIdlePeriodSeconds);
  mLastControls.fill(0.0f);
}

void Lv2Instance::mapUrids(LV2_URID_Map* map)
{
  mHasUrids = true;
  auto m = [map](const char* uri) { return map->map(map->handle, uri); };
  mUrid.atomChunk = m(LV2_ATOM__Chunk);
  mUrid.atomObject = m(LV2_ATOM__Object);
  mUrid.atomBlank = m(LV2_ATOM__Blank);
  mUrid.atomFloat = m(LV2_ATOM__Float);
  mUrid.atomDouble = m(LV2_ATOM__Double);
  mUrid.atomInt = m(LV2_ATOM__Int);
  mUrid.atomLong = m(LV2_ATOM__Long);
  mUrid.stateChunk = m(kStateChunkUri);
  mUrid.timePosition = m(LV2_TIME__Position);
  mUrid.timeBpm = m(LV2_TIME__beatsPerMinute);
  mUrid.timeSpeed = m(LV2_TIME__speed);
  mUrid.timeFrame = m(LV2_TIME__frame);
  mUrid.timeBar = m(LV2_TIME__bar);
  mUrid.timeBarBeat = m(LV2_TIME__barBeat);
  mUrid.timeBeatsPerBar = m(LV2_TIME__beatsPerBar);
  mUrid.timeBeatUnit = m(LV2_TIME__beatUnit);
  mUrid.maxBlockLength = m(LV2_BUF_SIZE__maxBlockLength);
  mUrid.nominalBlockLength = m(LV2_BUF_SIZE__nominalBlockLength);
  mUrid.sampleRate = m(LV2_PARAMETERS__sampleRate);
}

void Lv2Instance::applyBlockLength(int frames)
{
  mEffect->SetBlockSize(frames > 0 ? std::min(frames, kMaxBlockFrames) : kDefaultBlockFrames);
}

void Lv2Instance::connectPort(std::uint32_t port, void* data) noexcept
{
  if (port < plugin::kNumParams)
  {
    mControls[port] = static_cast<const float*>(data);
    return;
  }
  if (port == kPortEnabled)
    mEnabled = static_cast<const float*>(data);
  else if (port == kPortFreeWheel)
    mFreeWheel = static_cast<const float*>(data);
  else if (port == kPortControl)
    mControlIn = static_cast<const LV2_Atom_Sequence*>(data);
  else if (port >= kPortAudio && port < numPorts(mVariant))
  {
    const int channel = static_cast<int>(port - kPortAudio);
    if (channel < mVariant.nInputs)
      mAudioIn[static_cast<size_t>(channel)] = static_cast<const float*>(data);
    else
      mAudioOut[static_cast<size_t>(channel - mVariant.nInputs)] = static_cast<float*>(data);
  }
}

void Lv2Instance::activate()
{
  mEffect->OnReset();
  mEffect->SetActive(mEnabledNow);
  mFramesSinceIdle = 0.0;
}

// Audio thread ------------------------------------------------------------------------------

void Lv2Instance::run(std::uint32_t nFrames) noexcept
{
  applySwitches();
  applyControls();

  bool connected = true;
  for (int c = 0; c < mVariant.nInputs; ++c)
    connected = connected && mAudioIn[static_cast<size_t>(c)];
  for (int c = 0; c < mVariant.nOutputs; ++c)
    connected = connected && mAudioOut[static_cast<size_t>(c)];
  if (!connected || nFrames > static_cast<std::uint32_t>(INT_MAX))
  {
    for (int c = 0; c < mVariant.nOutputs; ++c)
      if (float* out = mAudioOut[static_cast<size_t>(c)];
          out && nFrames <= static_cast<std::uint32_t>(INT_MAX))
        std::fill(out, out + nFrames, 0.0f);
    return;
  }

  // Each time position takes effect at its own frame: the run is cut at every event.
  std::uint32_t pos = 0;
  if (mHasUrids && mControlIn && mControlIn->atom.size >= sizeof(LV2_Atom_Sequence_Body))
  {
    LV2_ATOM_SEQUENCE_FOREACH(mControlIn, ev)
    {
      const std::int64_t at = std::clamp<std::int64_t>(ev->time.frames, pos, nFrames);
      const auto frame = static_cast<std::uint32_t>(at);
      if (frame > pos)
      {
        processSegment(pos, frame - pos);
        pos = frame;
      }
      if (ev->body.type == mUrid.atomObject || ev->body.type == mUrid.atomBlank)
      {
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
        if (object->body.otype == mUrid.timePosition)
          readPosition(object);
      }
    }
  }
  if (pos < nFrames)
    processSegment(pos, nFrames - pos);
  idle(nFrames);
}

void Lv2Instance::applySwitches() noexcept
{
  const bool freeWheel = mFreeWheel && *mFreeWheel >= 0.5f;
  if (freeWheel != mFreeWheelNow)
  {
    mFreeWheelNow = freeWheel;
    mEffect->SetRenderingOffline(freeWheel);
  }
  // A missing or non-numeric switch leaves the effect on.
  const bool enabled = !(mEnabled && *mEnabled < 0.5f);
  if (enabled != mEnabledNow)
  {
    mEnabledNow = enabled;
    mEffect->SetBypassed(!enabled);
    mEffect->SetActive(enabled);
    mEffect->OnReset();
  }
}

void Lv2Instance::applyControls() noexcept
{
  for (int i = 0; i < plugin::kNumParams; ++i)
  {
    const float* port = mControls[static_cast<size_t>(i)];
    if (!port)
      continue;
    const float value = *port;
    float& last = mLastControls[static_cast<size_t>(i)];
    const bool same = value == last || (std::isnan(value) && std::isnan(last));
    if (mControlsSeen && same)
      continue;
    last = value;
    // A restored state already holds this value in full precision; setting it again from
    // the float port would only round it. Tap is an edge, so it always goes through.
    if (i != plugin::kTap && static_cast<float>(mEffect->GetParam(i)->Value()) == value)
      continue;
    mEffect->SetParameterFromHost(i, static_cast<double>(value), 0);
  }
  mControlsSeen = true;
}

bool Lv2Instance::numberOf(const LV2_Atom* atom, double& out) const noexcept
{
  if (!atom)
    return false;
  if (atom->type == mUrid.atomFloat && atom->size >= sizeof(float))
    out = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  else if (atom->type == mUrid.atomDouble && atom->size >= sizeof(double))
    out = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  else if (atom->type == mUrid.atomInt && atom->size >= sizeof(int32_t))
    out = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
  else if (atom->type == mUrid.atomLong && atom->size >= sizeof(int64_t))
    out = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  else
    return false;
  return std::isfinite(out);
}

void Lv2Instance::readPosition(const LV2_Atom_Object* object) noexcept
{
  const LV2_Atom* bpm = nullptr;
  const LV2_Atom* speed = nullptr;
  const LV2_Atom* frame = nullptr;
  const LV2_Atom* bar = nullptr;
  const LV2_Atom* barBeat = nullptr;
  const LV2_Atom* beatsPerBar = nullptr;
  const LV2_Atom* beatUnit = nullptr;
  lv2_atom_object_get(object, mUrid.timeBpm, &bpm, mUrid.timeSpeed, &speed, mUrid.timeFrame, &frame,
                      mUrid.timeBar, &bar, mUrid.timeBarBeat, &barBeat, mUrid.timeBeatsPerBar,
                      &beatsPerBar, mUrid.timeBeatUnit, &beatUnit, 0);
  double v = 0.0;
  // A position without a tempo keeps the last one; a tempo that is not positive means none.
  if (numberOf(bpm, v))
    mTime.mTempo = v > 0.0 ? v : plug::kDefaultTempo;
  if (numberOf(speed, v))
    mTime.mPlaying = v != 0.0;
  if (numberOf(frame, v))
    mTime.mSamplePos = v >= 0.0 ? v : -1.0;
  if (numberOf(beatsPerBar, v) && v >= 1.0 && v <= 64.0)
    mTime.mNumerator = static_cast<int>(v);
  if (numberOf(beatUnit, v) && v >= 1.0 && v <= 64.0)
    mTime.mDenominator = static_cast<int>(v);
  double barIndex = 0.0;
  double beatInBar = 0.0;
  if (numberOf(bar, barIndex) && numberOf(barBeat, beatInBar) && barIndex >= 0.0 &&
      beatInBar >= 0.0)
  {
    // Quarter notes, whatever the beat unit.
    const double quarter = 4.0 / mTime.mDenominator;
    mTime.mLastBar = barIndex * mTime.mNumerator * quarter;
    mTime.mPPQPos = mTime.mLastBar + beatInBar * quarter;
  }
}

void Lv2Instance::processSegment(std::uint32_t offset, std::uint32_t nFrames) noexcept
{
  float* ins[2] = {nullptr, nullptr};
  float* outs[2] = {nullptr, nullptr};
  for (int c = 0; c < mVariant.nInputs; ++c)
    ins[c] = const_cast<float*>(mAudioIn[static_cast<size_t>(c)]) + offset;
  for (int c = 0; c < mVariant.nOutputs; ++c)
    outs[c] = mAudioOut[static_cast<size_t>(c)] + offset;

  const int n = static_cast<int>(nFrames);
  Lv2Effect& fx = *mEffect;
  fx.AttachBuffers(plug::kInput, 0, mVariant.nInputs, ins, n);
  fx.AttachBuffers(plug::kOutput, 0, mVariant.nOutputs, outs, n);
  fx.SetTimeInfo(mTime);
  if (mEnabledNow)
  {
    fx.ProcessBuffers(0.0f, n);
  }
  else
  {
    fx.PassThroughBuffers(0.0f, n);
    // Bypassed from mono to stereo, both sides carry the input, as the effect's own bypass does.
    if (mVariant.nInputs == 1 && mVariant.nOutputs == 2)
      std::copy(outs[0], outs[0] + n, outs[1]);
  }
  advanceTime(nFrames);
}

void Lv2Instance::advanceTime(std::uint32_t nFrames) noexcept
{
  if (!mTime.mPlaying)
    return;
  if (mTime.mSamplePos >= 0.0)
    mTime.mSamplePos += nFrames;
  const double samplesPerBeat = mEffect->GetSamplesPerBeat();
  if (mTime.mPPQPos >= 0.0 && samplesPerBeat > 0.0)
    mTime.mPPQPos += nFrames / samplesPerBeat;
}

void Lv2Instance::idle(std::uint32_t nFrames) noexcept
{
  mFramesSinceIdle += nFrames;
  if (mFramesSinceIdle < mIdleFrames)
    return;
  mFramesSinceIdle = 0.0;
  if (mSchedule && mSchedule->schedule_work)
  {
    // One tick at a time: a slow worker skips ticks instead of piling them up.
    if (!mWorkPending.exchange(true))
    {
      const std::uint32_t token = 0;
      if (mSchedule->schedule_work(mSchedule->handle, sizeof token, &token) != LV2_WORKER_SUCCESS)
        mWorkPending.store(false);
    }
  }
  else if (mFreeWheelNow)
  {
    // No worker: only an offline render may spend run() on the idle tick.
    tickUnlessEditorRuns();
  }
}

void Lv2Instance::tickUnlessEditorRuns() noexcept
{
  if (mEditorOpen.load())
    return;
  std::unique_lock<std::mutex> lock(mEditorLock, std::try_to_lock);
  if (!lock.owns_lock() || mEditorOpen.load())
    return;
  try
  {
    mEffect->GetTimer().Tick();
  }
  catch (...)
  {
    // The idle work's failures are silent; the next tick tries again.
  }
}

// Worker ----------------------------------------------------------------------------------

LV2_Worker_Status Lv2Instance::work() noexcept
{
  tickUnlessEditorRuns();
  mWorkPending.store(false);
  return LV2_WORKER_SUCCESS;
}

// State -------------------------------------------------------------------------------------

LV2_State_Status Lv2Instance::save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  if (!mHasUrids)
    return LV2_STATE_ERR_NO_FEATURE;
  if (!store)
    return LV2_STATE_ERR_UNKNOWN;
  plug::IByteChunk chunk;
  if (!mEffect->SerializeState(chunk) || chunk.ByteCount() <= 0)
    return LV2_STATE_ERR_UNKNOWN;
  return store(handle, mUrid.stateChunk, chunk.Bytes(), static_cast<size_t>(chunk.ByteCount()),
               mUrid.atomChunk, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Instance::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
  if (!mHasUrids)
    return LV2_STATE_ERR_NO_FEATURE;
  if (!retrieve)
    return LV2_STATE_ERR_UNKNOWN;
  size_t size = 0;
  std::uint32_t type = 0;
  std::uint32_t flags = 0;
  const void* data = retrieve(handle, mUrid.stateChunk, &size, &type, &flags);
  // A state made of port values only (a preset) has no chunk: the ports carry it all.
  if (!data)
    return LV2_STATE_SUCCESS;
  if (type != mUrid.atomChunk)
    return LV2_STATE_ERR_BAD_TYPE;
  if (size == 0 || size > kMaxStateBytes)
    return LV2_STATE_ERR_UNKNOWN;

  plug::IByteChunk chunk;
  if (chunk.AppendBytes(data, static_cast<int>(size)) != static_cast<int>(size))
    return LV2_STATE_ERR_UNKNOWN;
  // The reader applies what it can before it finds a chunk cut short; keep the current
  // state to go back to, so a refused chunk changes nothing.
  plug::IByteChunk previous;
  const bool havePrevious = mEffect->SerializeState(previous);
  const bool restored = mEffect->UnserializeState(chunk, 0) >= 0;
  if (!restored && havePrevious)
    mEffect->UnserializeState(previous, 0);
  {
    // The open editor's controls are the UI thread's: they hear of the values under its
    // lock. (A host restores between the UI's calls, never inside one, so this never waits
    // on itself.)
    std::lock_guard<std::mutex> lock(mEditorLock);
    mEffect->OnRestoreState();
  }
  return restored ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

// Options -------------------------------------------------------------------------------------

std::uint32_t Lv2Instance::setOptions(const LV2_Options_Option* options)
{
  std::uint32_t status = LV2_OPTIONS_SUCCESS;
  if (!mHasUrids)
    return LV2_OPTIONS_ERR_UNKNOWN;
  for (const LV2_Options_Option* o = options; o && o->key != 0; ++o)
  {
    if (o->key == mUrid.maxBlockLength || o->key == mUrid.nominalBlockLength)
    {
      if (o->type != mUrid.atomInt || o->size != sizeof(int32_t) || !o->value)
      {
        status |= LV2_OPTIONS_ERR_BAD_VALUE;
        continue;
      }
      const int frames = *static_cast<const int32_t*>(o->value);
      // The largest block wins; a nominal length never shrinks what the maximum sized.
      if (o->key == mUrid.maxBlockLength || frames > mEffect->GetBlockSize())
        applyBlockLength(frames);
    }
    else if (o->key == mUrid.sampleRate)
    {
      double rate = 0.0;
      const auto* atomLike = o->value;
      if (o->type == mUrid.atomFloat && o->size == sizeof(float) && atomLike)
        rate = *static_cast<const float*>(atomLike);
      else if (o->type == mUrid.atomDouble && o->size == sizeof(double) && atomLike)
        rate = *static_cast<const double*>(atomLike);
      if (!std::isfinite(rate) || rate <= 0.0)
      {
        status |= LV2_OPTIONS_ERR_BAD_VALUE;
        continue;
      }
      if (rate != mEffect->GetSampleRate())
      {
        mEffect->SetSampleRate(rate);
        mEffect->OnReset();
        mIdleFrames = std::max(1.0, rate * kIdlePeriodSeconds);
      }
    }
    else
    {
      status |= LV2_OPTIONS_ERR_BAD_KEY;
    }
  }
  return status;
}

} // namespace ostratapedelay::lv2
