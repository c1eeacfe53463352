#include "graphics/ITextControl.h"

#include "graphics/ICanvas.h"

#include <cstdarg>
#include <vector>

namespace plug::graphics
{

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text,
                           const IColor& bgColor, bool setBoundsBasedOnStr)
  : IControl(bounds)
  , mStr(str ? str : "")
  , mBGColor(bgColor)
  , mSetBoundsBasedOnStr(setBoundsBasedOnStr)
{
  mIgnoreMouse = true;
  mText = text;
}

void ITextControl::OnInit()
{
  if (mSetBoundsBasedOnStr)
    SetBoundsBasedOnStr();
}

void ITextControl::Draw(ICanvas& g)
{
  DrawTextAndBackground(g);
}

void ITextControl::DrawTextAndBackground(ICanvas& g)
{
  g.FillRect(mBGColor, mRECT, &mBlend);
  if (!mStr.empty() && g.GetControlInTextEntry() != this)
    g.DrawText(mText, mStr.c_str(), mRECT, &mBlend);
}

void ITextControl::SetStr(const char* str)
{
  const char* s = str ? str : "";
  if (mStr == s)
    return;
  mStr = s;
  if (mSetBoundsBasedOnStr)
    SetBoundsBasedOnStr();
  SetDirty(false);
}

void ITextControl::SetStrFmt(int maxLength, const char* format, ...)
{
  if (maxLength <= 0 || !format)
  {
    SetStr("");
    return;
  }
  std::vector<char> buffer(size_t(maxLength) + 1, '\0');
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  SetStr(buffer.data());
}

void ITextControl::SetBGColor(const IColor& color)
{
  mBGColor = color;
  SetDirty(false);
}

void ITextControl::SetBoundsBasedOnStr()
{
  ICanvas* ui = GetUI();
  if (!ui)
    return;
  IRECT measured = mRECT;
  ui->MeasureText(mText, mStr.c_str(), measured);
  const IRECT fitted = mRECT.GetCentredInside(measured.W(), measured.H());
  SetTargetAndDrawRECTs(fitted);
}

} // namespace plug::graphics
