#include "graphics/IVectorBase.h"

#include "graphics/ICanvas.h"

#include <algorithm>

namespace plug::graphics
{

IVectorBase::IVectorBase(IControl& control, const IVectorStyle& style, const char* label)
  : mControl(control)
  , mStyle(style)
  , mLabelStr(label ? label : "")
{
}

void IVectorBase::SetStyle(const IVectorStyle& style)
{
  mStyle = style;
  mControl.OnResize();
  mControl.SetDirty(false);
}

void IVectorBase::SetColor(EVColor role, const IColor& color)
{
  mStyle.colorSpec[role] = color;
  mControl.SetDirty(false);
}

void IVectorBase::SetLabelStr(const char* label)
{
  mLabelStr = label ? label : "";
  mControl.OnResize();
  mControl.SetDirty(false);
}

void IVectorBase::SetValueStr(const char* value)
{
  mValueStr = value ? value : "";
  mControl.SetDirty(false);
}

IRECT IVectorBase::MakeRects(const IRECT& parent, bool valueInWidget)
{
  IRECT rest = parent;
  mLabelBounds = IRECT();
  mValueBounds = IRECT();
  if (mStyle.showLabel && !mLabelStr.empty())
  {
    mLabelBounds = rest.GetFromTop(mStyle.labelText.size);
    rest = rest.GetReducedFromTop(mStyle.labelText.size);
  }
  if (mStyle.showValue && !valueInWidget)
  {
    mValueBounds = rest.GetFromBottom(mStyle.valueText.size);
    rest = rest.GetReducedFromBottom(mStyle.valueText.size);
  }
  mWidgetBounds = rest.GetScaledAboutCentre(std::clamp(mStyle.widgetFrac, 0.f, 1.f));
  if (mStyle.showValue && valueInWidget)
    mValueBounds = mWidgetBounds;
  mMaxSplashRadius = 0.5f * std::max(mWidgetBounds.W(), mWidgetBounds.H());
  return mWidgetBounds;
}

void IVectorBase::DrawBackground(ICanvas& g, const IRECT& r)
{
  g.FillRect(GetColor(kBG), r, &mControl.GetBlend());
}

void IVectorBase::DrawLabel(ICanvas& g)
{
  if (mStyle.showLabel && !mLabelStr.empty() && !mLabelBounds.Empty())
    g.DrawText(mStyle.labelText, mLabelStr.c_str(), mLabelBounds, &mControl.GetBlend());
}

void IVectorBase::DrawValue(ICanvas& g, bool mouseOver)
{
  if (!mStyle.showValue || mValueBounds.Empty())
    return;
  if (mouseOver)
    g.FillRect(GetColor(kHL), mValueBounds, &mControl.GetBlend());
  if (!mValueStr.empty() && g.GetControlInTextEntry() != &mControl)
    g.DrawText(mStyle.valueText, mValueStr.c_str(), mValueBounds, &mControl.GetBlend());
}

void IVectorBase::DrawPressableEllipse(ICanvas& g, const IRECT& bounds, bool pressed,
                                       bool mouseOver, bool disabled)
{
  const IBlend* blend = &mControl.GetBlend();
  if (mStyle.drawShadows && !pressed)
    g.FillEllipse(GetColor(kSH), bounds.GetTranslated(mStyle.shadowOffset, mStyle.shadowOffset),
                  blend);
  g.FillEllipse(pressed ? GetColor(kPR) : GetColor(kFG), bounds, blend);
  if (mouseOver && !disabled)
    g.FillEllipse(GetColor(kHL), bounds, blend);
  if (mStyle.drawFrame)
    g.DrawEllipse(GetColor(kFR), bounds, blend, mStyle.frameThickness);
}

void IVectorBase::DrawSplash(ICanvas& g)
{
  if (mSplashRadius <= 0.f || !mControl.GetAnimationFunction())
    return;
  g.FillCircle(GetColor(kHL), mSplashX, mSplashY, mSplashRadius, &mControl.GetBlend());
}

void SplashAnimationFunc(IControl* control)
{
  auto* vb = dynamic_cast<IVectorBase*>(control);
  const double progress = control->GetAnimationProgress();
  if (progress > 1.0)
  {
    if (vb)
      vb->SetSplashRadius(0.f);
    control->OnEndAnimation();
    return;
  }
  if (vb)
    vb->SetSplashRadius(float(progress) * vb->GetMaxSplashRadius());
  control->SetDirty(false);
}

void SplashClickActionFunc(IControl* control)
{
  if (auto* vb = dynamic_cast<IVectorBase*>(control); vb && control->GetUI())
  {
    float x, y;
    control->GetUI()->GetMouseDownPoint(x, y);
    vb->SetSplashPoint(x, y);
  }
  control->SetAnimation(SplashAnimationFunc, kDefaultAnimationDurationMs);
}

} // namespace plug::graphics
