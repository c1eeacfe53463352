#include "plugin/OstraTapeDelay.h"

#include "plugin/Parameters.h"

#include <algorithm>

using namespace ostratapedelay::plugin;

void OstraTapeDelay::OnParamChange(int paramIdx, plug::EParamSource source, int sampleOffset)
{
  if (paramIdx != kTap)
    return;
  const bool down = param(kTap) >= 0.5;
  const bool wasDown = mTapDown.exchange(down);
  // Only a press from the host or the editor taps; a restore or reset never does.
  if ((source == plug::kHost || source == plug::kUI) && down && !wasDown)
  {
    mTapOffset.store(sampleOffset);
    mTapPending.store(true);
  }
}

void OstraTapeDelay::sendValueFromEditor(int paramIdx, double value)
{
  const plug::IParam* p = GetParam(paramIdx);
  const double normalized = std::clamp(p->ToNormalized(p->Constrain(value)), 0.0, 1.0);
  SendParameterValueFromUI(paramIdx, normalized);
  SendParameterValueFromDelegate(paramIdx, normalized, true);
}

void OstraTapeDelay::applyTapInterval()
{
  const double interval = mTap.takeInterval();
  if (interval <= 0.0 || param(kSync) >= 0.5)
    return;
  const plug::IParam* timeL = GetParam(kTimeL);
  const double currentLeft = param(kTimeL);
  const double left = std::clamp(interval * 1000.0, timeL->GetMin(), timeL->GetMax());
  sendValueFromEditor(kTimeL, left);
  if (param(kLink) < 0.5)
  {
    // The right time keeps its ratio to the left one.
    const double right = param(kTimeR) * left / currentLeft;
    sendValueFromEditor(kTimeR, std::clamp(right, timeL->GetMin(), timeL->GetMax()));
  }
}

void OstraTapeDelay::OnIdle()
{
  if (GetBypassed())
    mClearRequested.store(true);
  applyTapInterval();
  if (param(kTap) >= 0.5)
    sendValueFromEditor(kTap, 0.0); // the tap button is momentary
  if (mPendingSaveName)
  {
    const std::string name = *mPendingSaveName;
    mPendingSaveName.reset();
    savePreset(name, true);
  }
  checkPresetModified();
}
