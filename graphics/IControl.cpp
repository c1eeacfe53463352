#include "graphics/IControl.h"

#include "framework/IParam.h"
#include "graphics/ICanvas.h"
#include "graphics/ICanvasEditorDelegate.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace plug::graphics
{

namespace
{
double SteadyNowMs()
{
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

IControl::IControl(const IRECT& bounds, int paramIdx, ActionFunc actionFunc)
  : mRECT(bounds)
  , mTargetRECT(bounds)
  , mVals{Val{paramIdx, 0.0}}
  , mActionFunc(std::move(actionFunc))
{
}

IControl::IControl(const IRECT& bounds, std::initializer_list<int> params, ActionFunc actionFunc)
  : mRECT(bounds)
  , mTargetRECT(bounds)
  , mActionFunc(std::move(actionFunc))
{
  for (int p : params)
    mVals.push_back(Val{p, 0.0});
  if (mVals.empty())
    mVals.push_back(Val{});
}

IControl::IControl(const IRECT& bounds, ActionFunc actionFunc)
  : IControl(bounds, kNoParameter, std::move(actionFunc))
{
}

IControl::~IControl() = default;

void IControl::Attach(ICanvasEditorDelegate* delegate, ICanvas* graphics, int tag)
{
  mDelegate = delegate;
  mGraphics = graphics;
  mTag = tag;
}

// ---- Input --------------------------------------------------------------------------------

void IControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (mod.R)
    PromptUserInput(GetValIdxForPos(x, y));
}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&)
{
  SetValueToDefault(GetValIdxForPos(x, y));
}

void IControl::OnMouseOver(float, float, const IMouseMod&)
{
  const bool was = mMouseIsOver;
  mMouseIsOver = true;
  if (!was)
    SetDirty(false);
}

void IControl::OnMouseOut()
{
  const bool was = mMouseIsOver;
  mMouseIsOver = false;
  if (was)
    SetDirty(false);
}

void IControl::OnPopupMenuSelection(IPopupMenu* menu, int valIdx)
{
  if (!menu || menu->GetChosenItemIdx() < 0 || mDisablePrompt)
    return;
  const IParam* param = GetParam(valIdx);
  if (!param)
    return;
  // ToNormalized constrains first: step rounding and the range, then the shape and 0..1.
  SetValueFromUserInput(param->ToNormalized(double(menu->GetChosenItemIdx())), valIdx);
}

// ---- Drawing --------------------------------------------------------------------------------

void IControl::DrawPTHighlight(ICanvas& g)
{
  if (mPTisHighlighted)
    g.FillCircle(mPTHighlightColor, mRECT.R - 5.f, mRECT.T + 5.f, 2.f);
}

void IControl::SetPTParameterHighlight(bool active, const IColor& color)
{
  mPTisHighlighted = active;
  mPTHighlightColor = color;
  SetDirty(false);
}

// ---- Values and binding ---------------------------------------------------------------------

void IControl::SetParamIdx(int paramIdx, int valIdx)
{
  if (valIdx >= 0 && valIdx < NVals())
    mVals[size_t(valIdx)].paramIdx = paramIdx;
}

int IControl::GetValIdxForPos(float, float) const
{
  return NVals() == 1 ? 0 : kNoValIdx;
}

void IControl::SetValueFromDelegate(double value, int valIdx)
{
  // The user's drag owns the value until the pointer lets go.
  if (mGraphics && mGraphics->IsCaptured(this))
    return;
  if (GetValue(valIdx) != value)
  {
    SetValue(value, valIdx);
    SetDirty(false);
  }
}

void IControl::SetValueFromUserInput(double value, int valIdx)
{
  if (GetValue(valIdx) != value)
  {
    SetValue(value, valIdx);
    SetDirty(true, valIdx);
  }
}

void IControl::SetValueToDefault(int valIdx)
{
  const int first = valIdx < 0 ? 0 : valIdx;
  const int last = valIdx < 0 ? NVals() - 1 : std::min(valIdx, NVals() - 1);
  for (int i = first; i <= last; ++i)
  {
    const IParam* param = GetParam(i);
    if (!param)
      continue;
    // ToNormalized constrains (step, then range) before the shape.
    SetValue(std::clamp(param->ToNormalized(param->GetDefault()), 0.0, 1.0), i);
  }
  SetDirty(true, valIdx);
}

void IControl::SetValue(double value, int valIdx)
{
  if (valIdx >= 0 && valIdx < NVals())
    mVals[size_t(valIdx)].value = value;
}

void IControl::SetPosition(float x, float y)
{
  const float dx = x - mRECT.L, dy = y - mRECT.T;
  mTargetRECT = mTargetRECT.GetTranslated(dx, dy);
  SetRECT(mRECT.GetTranslated(dx, dy));
}

void IControl::SetSize(float w, float h)
{
  const float dw = w - mRECT.W(), dh = h - mRECT.H();
  mTargetRECT = IRECT(mTargetRECT.L, mTargetRECT.T, mTargetRECT.R + dw, mTargetRECT.B + dh);
  SetRECT(IRECT(mRECT.L, mRECT.T, mRECT.L + w, mRECT.T + h));
}

void IControl::Hide(bool hide)
{
  mHide = hide;
  SetDirty(false);
}

void IControl::SetDisabled(bool disable)
{
  mDisabled = disable;
  SetDirty(false);
}

void IControl::SetDirty(bool triggerAction, int valIdx)
{
  if (NVals() == 1)
    valIdx = 0;
  const int first = valIdx < 0 ? 0 : valIdx;
  const int last = valIdx < 0 ? NVals() - 1 : std::min(valIdx, NVals() - 1);
  for (int i = first; i <= last; ++i)
  {
    double& v = mVals[size_t(i)].value;
    v = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
  }
  mDirty = true;
  if (!triggerAction)
    return;
  for (int i = first; i <= last; ++i)
  {
    const int paramIdx = GetParamIdx(i);
    if (paramIdx < 0)
      continue;
    const double value = GetValue(i);
    if (mDelegate)
      mDelegate->SendParameterValueFromUI(paramIdx, value);
    // Other controls of the same parameter follow at once (UpdatePeers).
    if (mGraphics)
      mGraphics->ForControlWithParam(paramIdx,
                                     [&](IControl& peer)
                                     {
                                       if (&peer == this)
                                         return;
                                       const int peerIdx = peer.LinkedToParam(paramIdx);
                                       peer.SetValueFromDelegate(value, peerIdx);
                                     });
  }
  if (mActionFunc)
    mActionFunc(this);
}

bool IControl::IsDirty()
{
  return mDirty || static_cast<bool>(mAnimationFunc);
}

void IControl::SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds, int valIdx,
                           double minClip, double maxClip)
{
  const IRECT b = bounds;
  double v;
  if (direction == EDirection::Vertical)
    v = b.H() > 0.f ? 1.0 - double(std::clamp(y, b.T, b.B) - b.T) / double(b.H()) : 0.0;
  else
    v = b.W() > 0.f ? double(std::clamp(x, b.L, b.R) - b.L) / double(b.W()) : 0.0;
  v = std::clamp(v, minClip, maxClip);
  if (valIdx < 0)
  {
    for (int i = 0; i < NVals(); ++i)
      SetValue(v, i);
    SetDirty(true, kNoValIdx);
  }
  else
  {
    SetValue(v, valIdx);
    SetDirty(true, valIdx);
  }
}

void IControl::OnEndAnimation()
{
  mAnimationFunc = nullptr;
  SetDirty(false);
  if (mAnimationEndFunc)
    mAnimationEndFunc(this);
}

// ---- Rectangles -----------------------------------------------------------------------------

void IControl::SetRECT(const IRECT& bounds)
{
  mRECT = bounds;
  mMouseIsOver = false;
  OnResize();
}

void IControl::SetTargetAndDrawRECTs(const IRECT& bounds)
{
  mTargetRECT = bounds;
  SetRECT(bounds);
}

// ---- Values ---------------------------------------------------------------------------------

double IControl::GetValue(int valIdx) const
{
  return (valIdx >= 0 && valIdx < NVals()) ? mVals[size_t(valIdx)].value : 0.0;
}

int IControl::GetParamIdx(int valIdx) const
{
  return (valIdx >= 0 && valIdx < NVals()) ? mVals[size_t(valIdx)].paramIdx : kNoParameter;
}

const IParam* IControl::GetParam(int valIdx) const
{
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx < 0 || !mDelegate)
    return nullptr;
  return mDelegate->GetParam(paramIdx);
}

int IControl::LinkedToParam(int paramIdx) const
{
  if (paramIdx < 0)
    return -1;
  for (int i = 0; i < NVals(); ++i)
    if (mVals[size_t(i)].paramIdx == paramIdx)
      return i;
  return -1;
}

void IControl::PromptUserInput(int valIdx)
{
  PromptUserInput(mRECT.GetCentredInside(40.f, 16.f), valIdx);
}

void IControl::PromptUserInput(const IRECT& bounds, int valIdx)
{
  if (valIdx < 0 || GetParamIdx(valIdx) < 0 || mDisablePrompt || !mGraphics)
    return;
  const IParam* param = GetParam(valIdx);
  // A menu of display texts sits over the whole control; a field in the given bounds.
  const bool menu = param && (param->Type() == IParam::kTypeEnum ||
                              (param->Type() == IParam::kTypeBool && param->NDisplayTexts() > 0));
  mGraphics->PromptUserInput(*this, menu ? mRECT : bounds, valIdx);
  SetDirty(false);
}

// ---- Animation ------------------------------------------------------------------------------

void IControl::SetAnimation(AnimationFunc func, double durationMs)
{
  mAnimationFunc = std::move(func);
  StartAnimation(durationMs);
}

void IControl::StartAnimation(double durationMs)
{
  mAnimationStartMs = NowMs();
  mAnimationDurationMs = durationMs;
}

double IControl::GetAnimationProgress() const
{
  if (mAnimationStartMs == 0.0 && mAnimationDurationMs == 0.0)
    return 0.0;
  const double elapsed = NowMs() - mAnimationStartMs;
  return elapsed / std::max(mAnimationDurationMs, 1e-9);
}

void IControl::Animate()
{
  if (mAnimationFunc)
  {
    // Copied: the function may end the animation and clear itself while running.
    AnimationFunc func = mAnimationFunc;
    func(this);
  }
}

double IControl::NowMs() const
{
  return mGraphics ? mGraphics->GetTimeMs() : SteadyNowMs();
}

void DefaultAnimationFunc(IControl* control)
{
  if (control->GetAnimationProgress() > 1.0)
    control->OnEndAnimation();
}

void DefaultClickActionFunc(IControl* control)
{
  control->SetAnimation(DefaultAnimationFunc, kDefaultAnimationDurationMs);
}

} // namespace plug::graphics
