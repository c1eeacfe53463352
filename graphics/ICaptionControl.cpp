#include "graphics/ICaptionControl.h"

#include "framework/IParam.h"
#include "graphics/ICanvas.h"

namespace plug::graphics
{

ICaptionControl::ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text,
                                 const IColor& bgColor, bool showParamLabel)
  : ITextControl(bounds, "", text, bgColor)
  , mShowParamLabel(showParamLabel)
{
  SetParamIdx(paramIdx);
  mIgnoreMouse = false;
  mDblAsSingleClick = true;
  SetDirty(false);
}

std::string ICaptionControl::MakeCaption() const
{
  const IParam* param = GetParam();
  if (!param)
    return mStr;
  std::string caption;
  param->GetDisplay(GetValue(), true, caption, true);
  if (mShowParamLabel)
  {
    // A value shown by a display text ("Off") carries no unit.
    const double value = param->FromNormalized(GetValue());
    const char* label = param->GetDisplayText(value)[0] ? "" : param->GetUnitLabel();
    if (label && *label)
      caption = caption + " " + label;
  }
  return caption;
}

void ICaptionControl::Draw(ICanvas& g)
{
  // Built from the value at each draw; storing it must not make the control dirty again.
  mStr = MakeCaption();
  DrawTextAndBackground(g);
  if (!mTriangleRECT.Empty())
  {
    const IRECT& t = mTriangleRECT;
    g.FillTriangle(mMouseIsOver ? mTriangleMouseOverColor : mTriangleColor, t.L, t.T, t.R, t.T,
                   t.MW(), t.B, &mBlend);
  }
}

void ICaptionControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  if ((mod.L || mod.R) && GetParamIdx() >= 0 && !mDisablePrompt)
    PromptUserInput(mRECT, 0);
}

void ICaptionControl::OnResize()
{
  mTriangleRECT = IRECT();
  const IParam* param = GetParam();
  if (!param || param->Type() != IParam::kTypeEnum)
    return;
  const float s = mText.size;
  const IRECT square = mText.align == EAlign::Far ? IRECT(mRECT.L, mRECT.T, mRECT.L + s, mRECT.B)
                                                  : IRECT(mRECT.R - s, mRECT.T, mRECT.R, mRECT.B);
  mTriangleRECT = square.GetCentredInside(0.5f * s, 0.33f * s);
}

} // namespace plug::graphics
