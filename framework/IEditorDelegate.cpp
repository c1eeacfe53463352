#include "framework/IEditorDelegate.h"

#include <algorithm>
#include <cmath>

namespace plug
{

IEditorDelegate::IEditorDelegate(const Config& config)
  : IEffectBase(config)
  , mEditorSize(config.plugWidth, config.plugHeight)
{
}

void IEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  const IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  if (IEditorControls* editor = mEditor.load())
  {
    double n = normalized ? value : param->ToNormalized(value);
    n = std::isnan(n) ? param->GetNormalized() : std::clamp(n, 0.0, 1.0);
    editor->SetParameterFromDelegate(paramIdx, n);
  }
  OnParamChangeUI(paramIdx, kDelegate);
}

void IEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg& msg)
{
  if (IEditorControls* editor = mEditor.load())
    editor->SendMidiMsgFromDelegate(msg);
}

void IEditorDelegate::SendSysexMsgFromDelegate(const ISysExData& msg)
{
  if (IEditorControls* editor = mEditor.load())
    editor->SendSysexMsgFromDelegate(msg);
}

void IEditorDelegate::OnRestoreState()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->GetNormalized(), true);
}

void IEditorDelegate::OnUIOpen()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->GetNormalized(), true);
}

void IEditorDelegate::EditorOpened(IEditorControls& editor)
{
  mEditor = &editor;
  OnUIOpen();
}

void IEditorDelegate::EditorClosed()
{
  if (!mEditor)
    return;
  OnUIClose();
  mEditor = nullptr;
}

} // namespace plug
