#include "controls/TypedCaptionControl.h"

#include "controls/TypedValue.h"
#include "framework/IParam.h"
#include "graphics/ICanvas.h"

#include <string>

namespace corvana::controls::typed_value
{

using namespace plug::graphics;

TypedCaptionControl::TypedCaptionControl(const IRECT& bounds, int paramIdx, const IText& text,
                                         const IColor& bgColor, bool showParamLabel,
                                         const IText& editText)
  : ICaptionControl(bounds, paramIdx, text, bgColor, showParamLabel)
  , mEditText(editText)
{
  mTextEntryLength = kMaxTypedLength;
}

void TypedCaptionControl::openField()
{
  ICanvas* ui = GetUI();
  const plug::IParam* param = GetParam();
  if (!ui || !param || ui->GetControlInTextEntry())
    return;
  std::string initial;
  param->GetDisplay(initial, true);
  const IRECT field(mRECT.L, mRECT.MH() - 9.f, mRECT.R, mRECT.MH() + 9.f);
  // Opened for no value index: the text comes back here whole (units, U+2212) instead of
  // through the parameter's own text conversion.
  ui->CreateTextEntry(*this, mEditText, field, initial.c_str(), kNoValIdx);
}

void TypedCaptionControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  if (mod.L)
    openField();
}

void TypedCaptionControl::OnMouseDblClick(float, float, const IMouseMod& mod)
{
  if (mod.L)
    openField();
}

void TypedCaptionControl::OnTextEntryCompletion(const char* str, int)
{
  sendTypedValue(*this, GetParamIdx(), str ? str : "");
  SetDirty(false);
}

void TypedCaptionControl::Draw(ICanvas& g)
{
  if (!mMouseIsOver)
  {
    ICaptionControl::Draw(g);
    return;
  }
  const IText normal = mText;
  mText = mText.WithFGColor(mEditText.textEntryFGColor);
  ICaptionControl::Draw(g);
  mText = normal;
}

} // namespace corvana::controls::typed_value
