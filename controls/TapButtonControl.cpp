#include "controls/TapButtonControl.h"

#include "graphics/ICanvas.h"
#include "graphics/ICanvasEditorDelegate.h"

namespace corvana::controls
{

using namespace plug::graphics;

TapButtonControl::TapButtonControl(const IRECT& bounds, int paramIdx, const char* label,
                                   const IText& text, const IColor& accent)
  : IControl(bounds, paramIdx)
  , mLabel(label ? label : "")
  , mAccent(accent.WithAlpha(255))
{
  mText = text;
}

void TapButtonControl::tap()
{
  if (isDisabled())
    return;
  // A whole gesture per press: the host sees every tap as its own edit.
  if (ICanvasEditorDelegate* delegate = GetDelegate(); delegate && GetParamIdx() >= 0)
  {
    const int param = GetParamIdx();
    delegate->BeginInformHostOfParamChangeFromUI(param);
    delegate->SendParameterValueFromUI(param, 1.0);
    delegate->EndInformHostOfParamChangeFromUI(param);
  }
  startFlash();
}

void TapButtonControl::startFlash()
{
  mFlashUntilMs = NowMs() + kFlashMs;
  mFlashPending = true;
  SetDirty(false);
}

void TapButtonControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  if (mod.L)
    tap();
}

void TapButtonControl::OnMouseDblClick(float, float, const IMouseMod& mod)
{
  if (mod.L)
    tap();
}

void TapButtonControl::SetValueFromDelegate(double value, int valIdx)
{
  if (value > 0.5 && GetValue(valIdx) <= 0.5)
    startFlash();
  IControl::SetValueFromDelegate(value, valIdx);
}

bool TapButtonControl::IsDirty()
{
  if (isFlashing())
    return true;
  if (mFlashPending)
  {
    mFlashPending = false;
    SetDirty(false);
    return true;
  }
  return IControl::IsDirty();
}

void TapButtonControl::Draw(ICanvas& g)
{
  IBlend blend = mBlend;
  if (isDisabled())
    blend.weight *= 0.4f;
  const IRECT& r = mRECT;
  const float radius = 0.5f * r.H();
  IColor fill = mFill, border = mBorder;
  if (isFlashing())
  {
    fill = mAccent.WithAlpha(77);
    border = mAccent;
  }
  else if (mFlashPending)
  {
    mFlashPending = false;
    SetDirty(false);
  }
  g.FillRoundRect(fill, r, radius, &blend);
  g.DrawRoundRect(border, r, radius, &blend, 1.f);
  g.DrawText(mText, mLabel.c_str(), r, &blend);
}

} // namespace corvana::controls
