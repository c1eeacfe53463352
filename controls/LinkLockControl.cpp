#include "controls/LinkLockControl.h"

#include "controls/ToggleValue.h"
#include "graphics/ICanvas.h"
#include "graphics/ICanvasEditorDelegate.h"

namespace corvana::controls
{

using namespace plug::graphics;

LinkLockControl::LinkLockControl(const IRECT& bounds, int paramIdx, const IColor& accent,
                                 Action action)
  : IControl(bounds, paramIdx)
  , mOnColor(accent.WithAlpha(255))
  , mAction(std::move(action))
{
  SetTooltip("Link TIME R to TIME L");
}

void LinkLockControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  if (!mod.L)
    return;
  if (mAction)
    mAction();
  toggleValue(*this);
}

void LinkLockControl::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  ICanvasEditorDelegate* delegate = GetDelegate();
  const int param = GetParamIdx();
  if (delegate && param >= 0)
    delegate->BeginInformHostOfParamChangeFromUI(param);
  OnMouseDown(x, y, mod);
  if (delegate && param >= 0)
    delegate->EndInformHostOfParamChangeFromUI(param);
}

void LinkLockControl::Draw(ICanvas& g)
{
  const IRECT& r = mRECT;
  const bool on = GetValue() > 0.5;
  const IColor color = on ? mOnColor : mOffColor;
  const float cx = r.MW(), cy = r.MH();

  if (on)
  {
    const IColor line = mOnColor.WithAlpha(153);
    const float y = cy + 3.5f;
    g.DrawLine(line, r.L, y, cx - 9.f, y, &mBlend, 1.f);
    g.DrawLine(line, cx + 9.f, y, r.R, y, &mBlend, 1.f);
  }

  const IRECT body(cx - 6.f, cy - 1.f, cx + 6.f, cy + 8.f);
  if (on)
    g.FillRoundRect(color, body, 1.5f, &mBlend);
  g.DrawRoundRect(color, body, 1.5f, &mBlend, 1.2f);

  // The shackle: closed over the body, or lifted and swung to the right with one leg.
  g.PathClear();
  if (on)
  {
    g.PathMoveTo(cx - 4.f, cy - 1.f);
    g.PathLineTo(cx - 4.f, cy - 4.f);
    g.PathArc(cx, cy - 4.f, 4.f, -90.f, 90.f);
    g.PathLineTo(cx + 4.f, cy - 1.f);
  }
  else
  {
    g.PathMoveTo(cx, cy - 7.f);
    g.PathArc(cx + 4.f, cy - 7.f, 4.f, -90.f, 90.f);
    g.PathLineTo(cx + 8.f, cy - 1.f);
  }
  g.PathStroke(color, 1.6f, {}, &mBlend);
}

} // namespace corvana::controls
