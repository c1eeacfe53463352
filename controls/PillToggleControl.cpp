#include "controls/PillToggleControl.h"

#include "controls/ToggleValue.h"
#include "graphics/ICanvas.h"

namespace corvana::controls
{

using namespace plug::graphics;

PillToggleControl::PillToggleControl(const IRECT& bounds, int paramIdx, const char* offLabel,
                                     const char* onLabel, const IText& text, float dotScale,
                                     const IColor& accent, bool invert)
  : IControl(bounds, paramIdx)
  , mOffLabel(offLabel ? offLabel : "")
  , mOnLabel(onLabel ? onLabel : "")
  , mDotScale(dotScale)
  , mInvert(invert)
  , mDotLit(accent.WithAlpha(255))
{
  mText = text;
}

void PillToggleControl::OnMouseDown(float, float, const IMouseMod&)
{
  toggleValue(*this);
}

void PillToggleControl::Draw(ICanvas& g)
{
  const IRECT& r = mRECT;
  const bool lit = isLit();
  const float radius = 0.5f * r.H();
  g.FillRoundRect(mFill, r, radius, &mBlend);
  g.DrawRoundRect(lit ? mBorderLit : mBorderUnlit, r, radius, &mBlend, 1.f);

  const float d = 5.f * mDotScale;
  const float inset = 0.6f * radius;
  const IRECT dot(r.L + inset, r.MH() - 0.5f * d, r.L + inset + d, r.MH() + 0.5f * d);
  g.FillEllipse(lit ? mDotLit : mDotUnlit, dot, &mBlend);
  g.DrawText(mText, label().c_str(), IRECT(r.L + inset + d, r.T, r.R - inset, r.B), &mBlend);
}

} // namespace corvana::controls
