#include "framework/IAPIBase.h"

#include <algorithm>
#include <cmath>

namespace plug
{

IAPIBase::IAPIBase(const Config& config)
  : IEditorDelegate(config)
  , mTimer(std::make_unique<Timer>([this](Timer&) { OnTimer(); }, kIdleTimerPeriodMs))
{
}

IAPIBase::~IAPIBase()
{
  mTimer->Stop();
}

// Editor -> plug-in and host -------------------------------------------------------------------

void IAPIBase::BeginInformHostOfParamChangeFromUI(int paramIdx)
{
  if (GetParam(paramIdx))
    BeginInformHostOfParamChange(paramIdx);
}

void IAPIBase::SendParameterValueFromUI(int paramIdx, double normalized)
{
  IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  SetParameterValue(paramIdx, normalized);
  param->SetNormalized(normalized);
  OnParamChangeUI(paramIdx, kUI);
}

void IAPIBase::EndInformHostOfParamChangeFromUI(int paramIdx)
{
  if (GetParam(paramIdx))
    EndInformHostOfParamChange(paramIdx);
}

void IAPIBase::SetParameterValue(int paramIdx, double normalized)
{
  IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  param->SetNormalized(normalized);
  // The host's value range is 0..1; a NaN from a control becomes what was stored.
  const double forHost =
      std::isnan(normalized) ? param->GetNormalized() : std::clamp(normalized, 0.0, 1.0);
  InformHostOfParamChange(paramIdx, forHost);
  OnParamChange(paramIdx, kUI, -1);
}

void IAPIBase::DirtyParametersFromUI()
{
  for (int i = 0; i < NParams(); ++i)
    InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

bool IAPIBase::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  if (!needsPlatformResize)
    return true;
  return EditorResize(width, height);
}

bool IAPIBase::SendMidiMsgFromUI(const IMidiMsg& msg)
{
  return mMidiFromUI.Push(msg);
}

bool IAPIBase::SendSysexMsgFromUI(const ISysExData& msg)
{
  return mSysexFromUI.Push(msg);
}

// Host -> plug-in and editor ---------------------------------------------------------------

bool IAPIBase::SetParameterFromHost(int paramIdx, double value, int sampleOffset)
{
  IParam* param = GetParam(paramIdx);
  if (!param)
    return false;
  param->Set(value);
  SendParameterValueFromAPI(paramIdx, param->Value(), false);
  OnParamChange(paramIdx, kHost, sampleOffset);
  return true;
}

void IAPIBase::SendParameterValueFromAPI(int paramIdx, double value, bool normalized)
{
  const IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  if (normalized)
    value = param->FromNormalized(value);
  // Never wait here: this may be the audio thread. A second writer just drops its entry.
  if (mParamQueueWriting.test_and_set(std::memory_order_acquire))
    return;
  mParamChanges.Push({paramIdx, value});
  mParamQueueWriting.clear(std::memory_order_release);
}

// Idle -------------------------------------------------------------------------------------------

void IAPIBase::OnTimer()
{
  ParamChange change;
  for (int n = mParamChanges.ElementsAvailable(); n > 0 && mParamChanges.Pop(change); --n)
    SendParameterValueFromDelegate(change.paramIdx, change.value, false);

  IMidiMsg msg;
  for (int n = mMidiToEditor.ElementsAvailable(); n > 0 && mMidiToEditor.Pop(msg); --n)
    SendMidiMsgFromDelegate(msg);

  ISysExData sysex;
  for (int n = mSysexToEditor.ElementsAvailable(); n > 0 && mSysexToEditor.Pop(sysex); --n)
    SendSysexMsgFromDelegate(sysex);

  OnIdle();
}

} // namespace plug
