#include "graphics/IVectorKnobControl.h"

#include "framework/IParam.h"
#include "graphics/ICanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace plug::graphics
{

IVectorKnobControl::IVectorKnobControl(const IRECT& bounds, int paramIdx, const char* label,
                                       const IVectorStyle& style, bool valueIsEditable,
                                       bool valueInWidget, float aMin, float aMax, float aAnchor,
                                       EDirection direction, double gearing, float trackSize)
  : IControl(bounds, paramIdx)
  , IVectorBase(static_cast<IControl&>(*this), style, label)
  , mAngleMin(aMin)
  , mAngleMax(aMax)
  , mAnchorAngle(aAnchor)
  , mDirection(direction)
  , mGearing(gearing > 0.0 ? gearing : 1.0)
  , mTrackSize(trackSize)
  , mValueIsEditable(valueIsEditable)
  , mValueInWidget(valueInWidget)
{
}

void IVectorKnobControl::OnResize()
{
  MakeRects(mRECT, mValueInWidget);
  SetDirty(false);
}

void IVectorKnobControl::SetStyle(const IVectorStyle& style)
{
  IVectorBase::SetStyle(style);
}

void IVectorKnobControl::UpdateValueStr()
{
  if (const IParam* param = GetParam())
  {
    std::string s;
    param->GetDisplayWithLabel(s);
    mValueStr = s;
  }
}

void IVectorKnobControl::Draw(ICanvas& g)
{
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  if (mStyle.showValue)
  {
    UpdateValueStr();
    DrawValue(g, false);
  }
  DrawSplash(g);
}

void IVectorKnobControl::DrawWidget(ICanvas& g)
{
  const IRECT& w = mWidgetBounds;
  const float radius = 0.5f * std::min(w.W(), w.H()) - 0.5f * mTrackSize;
  const float cx = w.MW(), cy = w.MH();
  const float angle = ValueToAngle(GetValue());
  DrawIndicatorTrack(g, angle, cx, cy, radius);
  const float side = std::max(1.f, 2.f * (radius - 4.f));
  const IRECT handle = w.GetCentredInside(side, side);
  DrawPressableShape(g, handle, mMouseDown, mMouseIsOver, IsDisabled());
  DrawPointer(g, angle, cx, cy, 0.5f * side);
}

void IVectorKnobControl::DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy,
                                            float radius)
{
  if (mTrackSize <= 0.f)
    return;
  g.DrawArc(GetColor(kX1), cx, cy, radius, std::min(mAnchorAngle, angle),
            std::max(mAnchorAngle, angle), &mBlend, mTrackSize);
}

void IVectorKnobControl::DrawPointer(ICanvas& g, float angle, float cx, float cy, float radius)
{
  // 0° points up and angles grow clockwise.
  const float a = angle * std::numbers::pi_v<float> / 180.f;
  const float sx = std::sin(a), sy = -std::cos(a);
  const float r1 = mInnerPointerFrac * radius, r2 = mOuterPointerFrac * radius;
  g.DrawLine(GetColor(kFR), cx + r1 * sx, cy + r1 * sy, cx + r2 * sx, cy + r2 * sy, &mBlend,
             mPointerThickness);
}

void IVectorKnobControl::DrawPressableShape(ICanvas& g, const IRECT& bounds, bool pressed,
                                            bool mouseOver, bool disabled)
{
  DrawPressableEllipse(g, bounds, pressed, mouseOver, disabled);
}

double IVectorKnobControl::SnapToStep(double value) const
{
  value = std::clamp(value, 0.0, 1.0);
  const IParam* param = GetParam();
  if (!param || !param->GetStepped())
    return value;
  // FromNormalized rounds to the step; back through the shape to normalised.
  return param->ToNormalized(param->FromNormalized(value));
}

void IVectorKnobControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (mod.R)
  {
    IControl::OnMouseDown(x, y, mod);
    return;
  }
  if (mValueIsEditable && mStyle.showValue && mValueBounds.Contains(x, y))
  {
    PromptUserInput(mValueBounds);
    return;
  }
  mMouseDown = true;
  mDragValue = GetValue();
  if (mStyle.hideCursor && GetUI())
    GetUI()->HideMouseCursor(true, true);
  SetDirty(false);
}

void IVectorKnobControl::OnMouseUp(float, float, const IMouseMod&)
{
  if (mMouseDown && mStyle.hideCursor && GetUI())
    GetUI()->HideMouseCursor(false);
  mMouseDown = false;
  SetDirty(false);
}

void IVectorKnobControl::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod)
{
  const IRECT& drag = GetDragBounds();
  const double extent = mDirection == EDirection::Vertical ? drag.H() : drag.W();
  if (extent <= 0.0)
    return;
  // Up and right raise the value.
  const double travel = mDirection == EDirection::Vertical ? -dY : dX;
  double gearing = mGearing;
  if (mod.S || mod.C)
    gearing *= 10.0;
  mDragValue = std::clamp(mDragValue + travel / extent / gearing, 0.0, 1.0);
  SetValueFromUserInput(SnapToStep(mDragValue));
}

void IVectorKnobControl::OnMouseWheel(float, float, const IMouseMod& mod, float d)
{
  const double step = (mod.S || mod.C) ? 0.001 : 0.01;
  SetValueFromUserInput(SnapToStep(GetValue() + step * double(d)));
}

} // namespace plug::graphics
