#include "plugin/OstraTapeDelay.h"

#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"
#include "plugin/StateChunk.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

using namespace ostratapedelay::plugin;

namespace
{
constexpr unsigned kAccentCount = 6;
// Version-3 chunk without the name: header, modified word, count, values, five tail words.
constexpr int kFixedChunkBytes = 52 + 8 * kNumParams;

// Nearest integer, halves away from zero; sizes from a damaged chunk may be anything, so
// the result is kept inside the int range instead of wrapping.
int roundHalfAway(double v)
{
  if (!(v > double(INT_MIN)))
    return INT_MIN;
  if (!(v < double(INT_MAX)))
    return INT_MAX;
  return static_cast<int>(std::lround(v));
}
} // namespace

unsigned OstraTapeDelay::setAccentIndex(unsigned index) noexcept
{
  if (index >= kAccentCount)
    index = 0;
  if (mAccent.exchange(index) != index)
    mAccentChanged.store(true);
  return index;
}

bool OstraTapeDelay::SerializeState(plug::IByteChunk& chunk) const
{
  const int start = chunk.ByteCount();
  chunk.AppendValue(kStateMagic);
  chunk.AppendValue(kStateVersion);
  chunk.AppendValue(static_cast<std::uint32_t>(mAccent.load()));

  // Window size in points; the framework holds it in pixels of the host window.
  const float platformScale = mPlatformScale.load();
  const double scale = platformScale > 0.0f ? platformScale : 1.0;
  const plug::IAtomicSize::Size editor = GetEditorSize();
  chunk.AppendValue(static_cast<std::int32_t>(roundHalfAway(editor.width / scale)));
  chunk.AppendValue(static_cast<std::int32_t>(roundHalfAway(editor.height / scale)));

  std::string name = presetName();
  name.resize(std::strlen(name.c_str())); // up to the first zero byte
  chunk.AppendValue(static_cast<std::int32_t>(name.size()));
  chunk.AppendBytes(name.data(), static_cast<int>(name.size()));
  chunk.AppendValue(static_cast<std::uint32_t>(presetModified() ? 1 : 0));

  chunk.AppendValue(static_cast<std::int32_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i)
    chunk.AppendValue(GetParam(i)->Value());
  // An append that found no memory leaves a hole; such a chunk must never pass for a state.
  const int valuesEnd = start + kFixedChunkBytes - 20 + static_cast<int>(name.size());
  if (chunk.ByteCount() != valuesEnd)
    return false;

  const std::uint32_t bypass = GetBypassed() ? 1 : 0;
  chunk.AppendValue(bypass);
  chunk.AppendValue(static_cast<std::int32_t>(inputMode()));
  chunk.AppendValue(bypass);
  chunk.AppendValue(static_cast<std::uint32_t>(presetIsFactory() ? 1 : 0));
  chunk.AppendValue(bypass);
  return chunk.ByteCount() == valuesEnd + 20;
}

void OstraTapeDelay::restoreEditorSize(int width, int height, StateSource source)
{
  if (width > 0 && height > 0 &&
      std::abs(static_cast<double>(width) / height - kEditorAspect) > 0.01)
  {
    width = kEditorWidth;
    height = kEditorHeight;
  }
  // A factory preset carries a size only because the chunk has a place for one; it must
  // not change the window the user chose, open or closed.
  if (source == StateSource::kFactoryPreset)
    return;
  mStoredEditorSize.Store(width, height);
  if (IsEditorOpen() || width <= 0 || height <= 0)
    return;
  const double s = mPlatformScale.load();
  const int sw = roundHalfAway(width * s);
  const int sh = roundHalfAway(height * s);
  const int maxW = s > 1.0 ? roundHalfAway(kEditorMaxWidth * s) : kEditorMaxWidth;
  const int maxH = s > 1.0 ? roundHalfAway(kEditorMaxHeight * s) : kEditorMaxHeight;
  const int cw = sw < kEditorMinWidth ? kEditorMinWidth : std::min(sw, maxW);
  const int ch = sh < kEditorMinHeight ? kEditorMinHeight : std::min(sh, maxH);
  if (static_cast<double>(cw) / ch > kEditorAspect)
    SetEditorSize(roundHalfAway(ch * kEditorAspect), ch);
  else
    SetEditorSize(cw, roundHalfAway(cw / kEditorAspect));
}

int OstraTapeDelay::UnserializeState(const plug::IByteChunk& chunk, int startPos)
{
  return readState(chunk, startPos, StateSource::kHost);
}

int OstraTapeDelay::readState(const plug::IByteChunk& chunk, int startPos, StateSource source)
{
  // Without the magic, or with a header that is cut short, the chunk can only be the
  // framework's own form: a bare list of parameter values. Nothing has changed yet.
  StateHeader header;
  if (!readStateHeader(chunk, startPos, header))
    return UnserializeParams(chunk, startPos);

  if (source != StateSource::kFactoryPreset)
    setAccentIndex(header.accent);
  restoreEditorSize(header.width, header.height, source);

  for (int i = 0; i < kNumParams; ++i)
    GetParam(i)->SetToDefault();
  int pos = header.valuesPos;
  for (std::int32_t i = 0; i < header.count; ++i)
  {
    double value = 0.0;
    if ((pos = chunk.ReadValue(value, pos)) < 0)
      return -1;
    if (i < kNumParams)
      GetParam(i)->Set(value);
  }

  // Tail: `tail` is where the parameter values end.
  const int size = chunk.ByteCount();
  const int tail = pos;
  int result = tail;
  bool factory = false;
  if (header.version >= 2 && tail <= size - 8)
  {
    result = tail + 8;
    if (header.version != 2 && tail <= size - 16)
    {
      std::uint32_t factoryWord = 0;
      chunk.ReadValue(factoryWord, tail + 12);
      factory = factoryWord != 0;
      result = tail + 16;
    }
    if (source == StateSource::kHost)
    {
      std::int32_t mode = 0;
      chunk.ReadValue(mode, tail + 4);
      const InputMode previous = mInputMode.load();
      mInputMode.store(static_cast<InputMode>(std::clamp<std::int32_t>(
          mode, static_cast<std::int32_t>(kInputAuto), static_cast<std::int32_t>(kInputLeftOnly))));
      if (mode <= 0 && previous != kInputAuto)
        mRedetectInput.store(true);
    }
  }

  {
    std::lock_guard lock(mPresetLock);
    mPresetName = header.name;
    mPresetFactory = factory;
  }
  retakePresetSnapshot(header.modifiedWord != 0);

  for (int i = 0; i < kNumParams; ++i)
  {
    OnParamChange(i, plug::kPresetRecall, -1);
    OnParamChangeUI(i, plug::kPresetRecall);
  }
  return result;
}
