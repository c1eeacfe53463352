#include "framework/IEffectBase.h"

namespace plug
{

IEffectBase::IEffectBase(const Config& config)
  : mConfig(config)
{
  const int n = config.nParams > 0 ? config.nParams : 0;
  mParams.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    mParams.push_back(std::make_unique<IParam>());
}

IEffectBase::~IEffectBase() = default;

IParam* IEffectBase::GetParam(int idx) noexcept
{
  return idx >= 0 && idx < NParams() ? mParams[static_cast<std::size_t>(idx)].get() : nullptr;
}

const IParam* IEffectBase::GetParam(int idx) const noexcept
{
  return idx >= 0 && idx < NParams() ? mParams[static_cast<std::size_t>(idx)].get() : nullptr;
}

bool IEffectBase::SerializeParams(IByteChunk& chunk) const
{
  for (const auto& param : mParams)
  {
    const int before = chunk.ByteCount();
    // A size that did not grow is a failed append, even into a non-empty chunk.
    if (chunk.AppendValue(param->Value()) <= before)
      return false;
  }
  return true;
}

int IEffectBase::UnserializeParams(const IByteChunk& chunk, int startPos)
{
  int pos = startPos;
  if (startPos >= 0)
  {
    for (auto& param : mParams)
    {
      double value = 0.0;
      const int next = chunk.ReadValue(value, pos);
      if (next < 0)
      {
        pos = -1;
        break;
      }
      param->Set(value);
      pos = next;
    }
  }
  OnParamReset(kPresetRecall);
  return pos;
}

void IEffectBase::OnParamReset(EParamSource source)
{
  for (int i = 0; i < NParams(); ++i)
  {
    OnParamChange(i, source, -1);
    OnParamChangeUI(i, source);
  }
}

} // namespace plug
