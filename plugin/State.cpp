#include "plugin/OstraTapeDelay.h"

#include "plugin/Parameters.h"

#include <cmath>
#include <cstring>

using namespace ostratapedelay::plugin;

namespace
{
// The four-character code 'OTS1'; stored little-endian it reads "1STO".
constexpr std::uint32_t kStateMagic = ('O' << 24) | ('T' << 16) | ('S' << 8) | '1';
constexpr std::int32_t kStateVersion = 3;
// Single-precision 1000 / 456: the editor's only proportion.
constexpr double kAspect = static_cast<double>(1000.0f / 456.0f);
constexpr unsigned kAccentCount = 6;

int roundHalfAway(double v)
{
  return static_cast<int>(std::lround(v));
}
} // namespace

void OstraTapeDelay::setAccentIndex(unsigned index) noexcept
{
  if (index >= kAccentCount)
    index = 0;
  if (mAccent.exchange(index) != index)
    mAccentChanged.store(true);
}

bool OstraTapeDelay::SerializeState(plug::IByteChunk& chunk) const
{
  chunk.AppendValue(kStateMagic);
  chunk.AppendValue(kStateVersion);
  chunk.AppendValue(static_cast<std::uint32_t>(mAccent.load()));

  // Window size in points; the framework holds it in pixels of the host window.
  const double scale = mPlatformScale > 0.0f ? mPlatformScale : 1.0;
  chunk.AppendValue(static_cast<std::int32_t>(roundHalfAway(GetEditorWidth() / scale)));
  chunk.AppendValue(static_cast<std::int32_t>(roundHalfAway(GetEditorHeight() / scale)));

  std::string name = presetName();
  name.resize(std::strlen(name.c_str())); // up to the first zero byte
  chunk.AppendValue(static_cast<std::int32_t>(name.size()));
  chunk.AppendBytes(name.data(), static_cast<int>(name.size()));
  chunk.AppendValue(static_cast<std::uint32_t>(presetModified() ? 1 : 0));

  chunk.AppendValue(static_cast<std::int32_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i)
    chunk.AppendValue(GetParam(i)->Value());
  if (chunk.ByteCount() == 0)
    return false;

  const std::uint32_t bypass = GetBypassed() ? 1 : 0;
  chunk.AppendValue(bypass);
  chunk.AppendValue(static_cast<std::int32_t>(mInputMode.load()));
  chunk.AppendValue(bypass);
  chunk.AppendValue(static_cast<std::uint32_t>(presetIsFactory() ? 1 : 0));
  chunk.AppendValue(bypass);
  return true;
}

void OstraTapeDelay::restoreEditorSize(int width, int height)
{
  if (width > 0 && height > 0 && std::abs(static_cast<double>(width) / height - kAspect) > 0.01)
  {
    width = 1000;
    height = 456;
  }
  if (!mFactoryLoad)
  {
    mStoredEditorWidth = width;
    mStoredEditorHeight = height;
  }
  if (IsEditorOpen() || width <= 0 || height <= 0)
    return;
  const double s = mPlatformScale;
  const int sw = roundHalfAway(width * s);
  const int sh = roundHalfAway(height * s);
  const int maxW = s > 1.0 ? roundHalfAway(2000 * s) : 2000;
  const int maxH = s > 1.0 ? roundHalfAway(912 * s) : 912;
  const int cw = sw < 750 ? 750 : std::min(sw, maxW);
  const int ch = sh < 342 ? 342 : std::min(sh, maxH);
  if (static_cast<double>(cw) / ch > kAspect)
    SetEditorSize(roundHalfAway(ch * kAspect), ch);
  else
    SetEditorSize(cw, roundHalfAway(cw / kAspect));
}

int OstraTapeDelay::UnserializeState(const plug::IByteChunk& chunk, int startPos)
{
  const int size = chunk.ByteCount();
  std::uint32_t magic = 0;
  if (startPos < 0 || startPos > size - 4 || chunk.ReadValue(magic, startPos) < 0 || magic != kStateMagic)
    return UnserializeParams(chunk, startPos);

  std::int32_t version = 0;
  std::uint32_t accent = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t nameLength = 0;
  int pos = startPos + 4;
  if ((pos = chunk.ReadValue(version, pos)) < 0 || (pos = chunk.ReadValue(accent, pos)) < 0 ||
      (pos = chunk.ReadValue(width, pos)) < 0 || (pos = chunk.ReadValue(height, pos)) < 0 ||
      (pos = chunk.ReadValue(nameLength, pos)) < 0)
    return UnserializeParams(chunk, startPos);

  std::string name;
  if (nameLength > 0)
  {
    if (nameLength > size - pos)
      return UnserializeParams(chunk, startPos); // the name runs past the end
    name.assign(reinterpret_cast<const char*>(chunk.Bytes()) + pos, static_cast<size_t>(nameLength));
    name.resize(std::strlen(name.c_str()));
    pos += nameLength;
  }

  std::uint32_t modifiedWord = 0;
  std::int32_t count = 0;
  if ((pos = chunk.ReadValue(modifiedWord, pos)) < 0 || (pos = chunk.ReadValue(count, pos)) < 0 || count < 0)
    return UnserializeParams(chunk, startPos);

  if (!mFactoryLoad)
    setAccentIndex(accent);
  restoreEditorSize(width, height);

  for (int i = 0; i < kNumParams; ++i)
    GetParam(i)->SetToDefault();
  for (std::int32_t i = 0; i < count; ++i)
  {
    double value = 0.0;
    if ((pos = chunk.ReadValue(value, pos)) < 0)
      return -1;
    if (i < kNumParams)
      GetParam(i)->Set(value);
  }

  // Tail: T is where the parameter values end.
  const int tail = pos;
  int result = tail;
  bool factory = false;
  if (version >= 2 && tail <= size - 8)
  {
    result = tail + 8;
    if (version != 2 && tail <= size - 16)
    {
      std::uint32_t factoryWord = 0;
      chunk.ReadValue(factoryWord, tail + 12);
      factory = factoryWord != 0;
      result = tail + 16;
    }
    if (!mPresetLoad)
    {
      std::int32_t mode = 0;
      chunk.ReadValue(mode, tail + 4);
      const int previous = mInputMode.load();
      mInputMode.store(std::clamp<std::int32_t>(mode, kInputAuto, kInputLeftOnly));
      if (mode <= 0 && previous != kInputAuto)
        mRedetectInput.store(true);
    }
  }

  {
    std::lock_guard lock(mPresetLock);
    mPresetName = name;
    mPresetFactory = factory;
  }
  retakePresetSnapshot(modifiedWord != 0);

  for (int i = 0; i < kNumParams; ++i)
  {
    OnParamChange(i, plug::kPresetRecall, -1);
    OnParamChangeUI(i, plug::kPresetRecall);
  }
  return result;
}
