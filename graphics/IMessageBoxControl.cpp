#include "graphics/IMessageBoxControl.h"

#include <algorithm>

namespace plug::graphics
{

IMessageBoxControl::IMessageBoxControl(const IMessageBoxStyle& style)
  : IControl(IRECT())
  , mStyle(style)
{
}

std::vector<IMessageBoxControl::Button> IMessageBoxControl::ButtonsFor(EMsgBoxType type)
{
  switch (type)
  {
    case kMB_OK:
      return {{"OK", kOK}};
    case kMB_OKCANCEL:
      return {{"OK", kOK}, {"Cancel", kCANCEL}};
    case kMB_YESNOCANCEL:
      return {{"Yes", kYES}, {"No", kNO}, {"Cancel", kCANCEL}};
    case kMB_YESNO:
      return {{"Yes", kYES}, {"No", kNO}};
    case kMB_RETRYCANCEL:
      return {{"Retry", kRETRY}, {"Cancel", kCANCEL}};
    default:
      return {};
  }
}

int IMessageBoxControl::CautiousResult(EMsgBoxType type)
{
  const std::vector<Button> buttons = ButtonsFor(type);
  for (int wanted : {int(kCANCEL), int(kNO), int(kOK)})
    for (const Button& b : buttons)
      if (b.result == wanted)
        return wanted;
  return kCANCEL;
}

void IMessageBoxControl::Open(const char* caption, const char* message, EMsgBoxType type)
{
  mCaption = caption ? caption : "";
  mMessage = message ? message : "";
  mType = type;
  mButtons = ButtonsFor(type);
  mResult = kNoResult;
  mFocus = 0;
  mHover = mPressed = -1;
  mOpen = true;
  // It covers the whole editor: nothing else takes the pointer while it is open.
  SetTargetAndDrawRECTs(GetUI() ? GetUI()->GetBounds() : IRECT());
  Layout();
  SetDirty(false);
}

void IMessageBoxControl::Close(int result)
{
  if (!mOpen)
    return;
  mOpen = false;
  mResult = result;
  if (GetUI())
    GetUI()->SetRegionDirty(mRECT);
  SetTargetAndDrawRECTs(IRECT());
}

// ---- Layout ---------------------------------------------------------------------------------

std::vector<std::string> IMessageBoxControl::Wrap(const std::string& text, float width) const
{
  std::vector<std::string> lines;
  if (!GetUI())
    return {text};
  auto fits = [&](const std::string& s)
  {
    IRECT r;
    return GetUI()->MeasureText(mStyle.message, s.c_str(), r) <= width;
  };
  size_t start = 0;
  while (start <= text.size())
  {
    const size_t newline = text.find('\n', start);
    const std::string paragraph =
        text.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
    std::string line;
    size_t i = 0;
    while (i < paragraph.size())
    {
      size_t end = paragraph.find(' ', i);
      if (end == std::string::npos)
        end = paragraph.size();
      const std::string word = paragraph.substr(i, end - i);
      const std::string candidate = line.empty() ? word : line + " " + word;
      // A word wider than the box stays whole on a line of its own.
      if (!line.empty() && !fits(candidate))
      {
        lines.push_back(line);
        line = word;
      }
      else
        line = candidate;
      i = end + 1;
    }
    lines.push_back(line);
    if (newline == std::string::npos)
      break;
    start = newline + 1;
  }
  return lines;
}

void IMessageBoxControl::Layout()
{
  const IRECT editor = GetUI() ? GetUI()->GetBounds() : IRECT();
  const float p = mStyle.padding;
  const float w = std::min(mStyle.width, std::max(editor.W() - 20.f, 120.f));
  mLines = Wrap(mMessage, w - 2.f * p);
  const float captionH = mStyle.caption.size * 1.4f;
  const float lineH = mStyle.message.size * 1.35f;
  const float h = p + captionH + 6.f + lineH * float(mLines.size()) + p + mStyle.buttonHeight + p;
  mBox = editor.GetCentredInside(w, std::min(h, editor.H()));
}

IRECT IMessageBoxControl::GetButtonRECT(int i) const
{
  // Right-aligned along the bottom, in the order added.
  const float p = mStyle.padding;
  const float rowW =
      float(NButtons()) * mStyle.buttonWidth + float(NButtons() - 1) * mStyle.buttonGap;
  const float left = mBox.R - p - rowW + float(i) * (mStyle.buttonWidth + mStyle.buttonGap);
  const float bottom = mBox.B - p;
  return IRECT(left, bottom - mStyle.buttonHeight, left + mStyle.buttonWidth, bottom);
}

int IMessageBoxControl::ButtonAt(float x, float y) const
{
  for (int i = 0; i < NButtons(); ++i)
    if (GetButtonRECT(i).Contains(x, y))
      return i;
  return -1;
}

// ---- Input ----------------------------------------------------------------------------------

void IMessageBoxControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  mPressed = ButtonAt(x, y);
  if (mPressed >= 0)
    mFocus = mPressed;
  SetDirty(false);
}

void IMessageBoxControl::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  OnMouseDown(x, y, mod);
}

void IMessageBoxControl::OnMouseUp(float x, float y, const IMouseMod&)
{
  const int pressed = mPressed;
  mPressed = -1;
  SetDirty(false);
  // A button answers when the press began and ended on it.
  if (pressed >= 0 && pressed == ButtonAt(x, y))
    Close(mButtons[size_t(pressed)].result);
}

void IMessageBoxControl::OnMouseOver(float x, float y, const IMouseMod&)
{
  const int hover = ButtonAt(x, y);
  if (hover != mHover)
  {
    mHover = hover;
    SetDirty(false);
  }
}

bool IMessageBoxControl::OnKeyDown(float, float, const IKeyPress& key)
{
  if (!mOpen)
    return false;
  switch (key.vk)
  {
    case kVK_RETURN:
    case kVK_SPACE:
      if (mFocus >= 0 && mFocus < NButtons())
        Close(mButtons[size_t(mFocus)].result);
      break;
    case kVK_ESCAPE:
      Close(CautiousResult(mType));
      break;
    case kVK_TAB:
    case kVK_RIGHT:
    case kVK_LEFT:
    {
      const int step = (key.vk == kVK_LEFT || (key.vk == kVK_TAB && key.S)) ? -1 : 1;
      if (NButtons() > 0)
        mFocus = (mFocus + step + NButtons()) % NButtons();
      SetDirty(false);
      break;
    }
    default:
      break;
  }
  return true;
}

// ---- Drawing --------------------------------------------------------------------------------

void IMessageBoxControl::Draw(ICanvas& g)
{
  if (!mOpen)
    return;
  g.FillRect(mStyle.dim, mRECT);
  g.FillRect(mStyle.background, mBox);
  g.DrawRect(mStyle.frame, mBox);
  const float p = mStyle.padding;
  const float captionH = mStyle.caption.size * 1.4f;
  const float lineH = mStyle.message.size * 1.35f;
  const IRECT inner = mBox.GetPadded(-p);
  g.DrawText(mStyle.caption, mCaption.c_str(), inner.GetFromTop(captionH));
  float y = inner.T + captionH + 6.f;
  for (const std::string& line : mLines)
  {
    g.DrawText(mStyle.message, line.c_str(), IRECT(inner.L, y, inner.R, y + lineH));
    y += lineH;
  }
  for (int i = 0; i < NButtons(); ++i)
  {
    const IRECT r = GetButtonRECT(i);
    g.FillRoundRect(i == mHover || i == mPressed ? mStyle.buttonHover : mStyle.buttonFace, r, 3.f);
    if (i == mFocus)
      g.DrawRoundRect(mStyle.buttonFocus, r, 3.f, nullptr, 1.5f);
    g.DrawText(mStyle.button, mButtons[size_t(i)].text, r);
  }
}

} // namespace plug::graphics
