#include "graphics/ITextEntryControl.h"

#include "framework/IParam.h"
#include "graphics/ICanvas.h"

#include <algorithm>

namespace plug::graphics
{

namespace
{
/** Space between the field's edges and its text. */
constexpr float kInset = 2.f;

bool IsContinuation(char c)
{
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

int CountCharacters(const std::string& s)
{
  return static_cast<int>(
      std::count_if(s.begin(), s.end(), [](char c) { return !IsContinuation(c); }));
}
} // namespace

ITextEntryControl::ITextEntryControl()
  : IControl(IRECT())
{
}

std::string ITextEntryControl::AcceptedCharacters(const IParam* param)
{
  if (!param)
    return {};
  switch (param->Type())
  {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
      return "0123456789-+";
    default:
      return "0123456789.-+";
  }
}

void ITextEntryControl::Open(const IParam* param, const IText& text, const IRECT& bounds,
                             int length, const char* str)
{
  mText = text;
  mStr = str ? str : "";
  mAccepted = AcceptedCharacters(param);
  mMaxLength = length;
  mAnchor = 0;
  mCaret = static_cast<int>(mStr.size());
  mScroll = 0.f;
  mOpen = true;
  SetTargetAndDrawRECTs(bounds);
  Changed();
}

void ITextEntryControl::Close()
{
  if (!mOpen)
    return;
  mOpen = false;
  if (GetUI())
    GetUI()->SetRegionDirty(mRECT);
  SetTargetAndDrawRECTs(IRECT());
}

void ITextEntryControl::Commit()
{
  const std::string text = mStr;
  ICanvas* ui = GetUI();
  Close();
  if (ui)
    ui->SetControlValueAfterTextEdit(text.c_str());
}

// ---- Editing --------------------------------------------------------------------------------

int ITextEntryControl::Prev(int offset) const
{
  offset = std::max(offset - 1, 0);
  while (offset > 0 && IsContinuation(mStr[size_t(offset)]))
    --offset;
  return offset;
}

int ITextEntryControl::Next(int offset) const
{
  const int n = static_cast<int>(mStr.size());
  offset = std::min(offset + 1, n);
  while (offset < n && IsContinuation(mStr[size_t(offset)]))
    ++offset;
  return offset;
}

std::string ITextEntryControl::Selected() const
{
  return mStr.substr(size_t(GetSelectionStart()), size_t(GetSelectionEnd() - GetSelectionStart()));
}

void ITextEntryControl::EraseSelection()
{
  const int start = GetSelectionStart();
  mStr.erase(size_t(start), size_t(GetSelectionEnd() - start));
  mCaret = mAnchor = start;
}

bool ITextEntryControl::Type(const std::string& utf8)
{
  if (utf8.empty())
    return false;
  for (char c : utf8)
  {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F)
      return false;
    if (!mAccepted.empty() && mAccepted.find(c) == std::string::npos)
      return false;
  }
  const int kept = CountCharacters(mStr) - CountCharacters(Selected());
  if (mMaxLength > 0 && kept + CountCharacters(utf8) > mMaxLength)
    return false;
  EraseSelection();
  mStr.insert(size_t(mCaret), utf8);
  mCaret = mAnchor = mCaret + static_cast<int>(utf8.size());
  Changed();
  return true;
}

void ITextEntryControl::MoveCaret(int offset, bool select)
{
  mCaret = std::clamp(offset, 0, static_cast<int>(mStr.size()));
  if (!select)
    mAnchor = mCaret;
  Changed();
}

bool ITextEntryControl::OnKeyDown(float, float, const IKeyPress& key)
{
  if (!mOpen)
    return false;
  const bool hasSelection = mCaret != mAnchor;
  if (key.C && !key.A)
  {
    ICanvas* ui = GetUI();
    switch (key.vk)
    {
      // Letters' key codes are their upper-case characters.
      case 'A':
        mAnchor = 0;
        MoveCaret(static_cast<int>(mStr.size()), true);
        return true;
      case 'C':
        if (hasSelection && ui)
          ui->SetTextInClipboard(Selected().c_str());
        return true;
      case 'X':
        if (hasSelection && ui && ui->SetTextInClipboard(Selected().c_str()))
        {
          EraseSelection();
          Changed();
        }
        return true;
      case 'V':
      {
        std::string pasted;
        if (ui && ui->GetTextFromClipboard(pasted))
        {
          // What the field refuses is left out, up to its length.
          std::string kept;
          for (size_t i = 0; i < pasted.size();)
          {
            size_t end = i + 1;
            while (end < pasted.size() && IsContinuation(pasted[end]))
              ++end;
            const std::string ch = pasted.substr(i, end - i);
            const auto u = static_cast<unsigned char>(ch[0]);
            if (u >= 0x20 && u != 0x7F &&
                (mAccepted.empty() || mAccepted.find(ch[0]) != std::string::npos))
              kept += ch;
            i = end;
          }
          const int room = mMaxLength > 0
                               ? mMaxLength - (CountCharacters(mStr) - CountCharacters(Selected()))
                               : CountCharacters(kept);
          std::string fitted;
          for (size_t i = 0; i < kept.size() && CountCharacters(fitted) < room;)
          {
            size_t end = i + 1;
            while (end < kept.size() && IsContinuation(kept[end]))
              ++end;
            fitted += kept.substr(i, end - i);
            i = end;
          }
          if (!fitted.empty())
            Type(fitted);
        }
        return true;
      }
      default:
        return true;
    }
  }
  switch (key.vk)
  {
    case kVK_RETURN:
      Commit();
      return true;
    case kVK_ESCAPE:
      if (GetUI())
        GetUI()->CancelTextEntry();
      else
        Close();
      return true;
    case kVK_LEFT:
      MoveCaret(hasSelection && !key.S ? GetSelectionStart() : Prev(mCaret), key.S);
      return true;
    case kVK_RIGHT:
      MoveCaret(hasSelection && !key.S ? GetSelectionEnd() : Next(mCaret), key.S);
      return true;
    case kVK_HOME:
    case kVK_UP:
      MoveCaret(0, key.S);
      return true;
    case kVK_END:
    case kVK_DOWN:
      MoveCaret(static_cast<int>(mStr.size()), key.S);
      return true;
    case kVK_BACK:
      if (!hasSelection)
        mAnchor = Prev(mCaret);
      EraseSelection();
      Changed();
      return true;
    case kVK_DELETE:
      if (!hasSelection)
        mAnchor = Next(mCaret);
      EraseSelection();
      Changed();
      return true;
    default:
      // A refused key is still the field's: nothing else reacts while it is open.
      Type(key.utf8);
      return true;
  }
}

// ---- Pointer --------------------------------------------------------------------------------

int ITextEntryControl::OffsetAt(float x) const
{
  const float left = TextLeft();
  int best = 0;
  float bestDistance = std::abs(x - left);
  for (int offset = Next(0); offset > 0;)
  {
    const float d = std::abs(x - (left + Advance(offset)));
    if (d < bestDistance)
    {
      best = offset;
      bestDistance = d;
    }
    const int next = Next(offset);
    if (next == offset)
      break;
    offset = next;
  }
  return best;
}

void ITextEntryControl::OnMouseDown(float x, float, const IMouseMod& mod)
{
  MoveCaret(OffsetAt(x), mod.S);
}

void ITextEntryControl::OnMouseDrag(float x, float, float, float, const IMouseMod&)
{
  MoveCaret(OffsetAt(x), true);
}

void ITextEntryControl::OnMouseDblClick(float, float, const IMouseMod&)
{
  mAnchor = 0;
  MoveCaret(static_cast<int>(mStr.size()), true);
}

// ---- Drawing --------------------------------------------------------------------------------

float ITextEntryControl::Advance(int bytes) const
{
  if (!GetUI() || bytes <= 0)
    return 0.f;
  IRECT r;
  return GetUI()->MeasureText(mText, mStr.substr(0, size_t(bytes)).c_str(), r);
}

float ITextEntryControl::TextLeft() const
{
  const IRECT inner = mRECT.GetHPadded(-kInset);
  const float width = Advance(static_cast<int>(mStr.size()));
  if (width > inner.W())
    return inner.L - mScroll;
  switch (mText.align)
  {
    case EAlign::Near:
      return inner.L;
    case EAlign::Far:
      return inner.R - width;
    default:
      return inner.MW() - 0.5f * width;
  }
}

void ITextEntryControl::Changed()
{
  // Keep the caret in sight when the text is wider than the field.
  const IRECT inner = mRECT.GetHPadded(-kInset);
  const float width = Advance(static_cast<int>(mStr.size()));
  if (width <= inner.W())
    mScroll = 0.f;
  else
  {
    const float caret = Advance(mCaret);
    mScroll = std::clamp(mScroll, caret - inner.W(), caret);
    mScroll = std::clamp(mScroll, 0.f, width - inner.W());
  }
  SetDirty(false);
}

void ITextEntryControl::Draw(ICanvas& g)
{
  if (!mOpen)
    return;
  g.FillRect(mText.textEntryBGColor, mRECT);
  const float left = TextLeft();
  const float top = mRECT.MH() - 0.5f * mText.size;
  const float bottom = mRECT.MH() + 0.5f * mText.size;
  if (mCaret != mAnchor)
  {
    const float a = left + Advance(GetSelectionStart());
    const float b = left + Advance(GetSelectionEnd());
    IColor selection = mText.textEntryFGColor;
    selection.A = 70;
    g.FillRect(selection, IRECT(a, top, b, bottom).Intersect(mRECT));
  }
  if (!mStr.empty())
  {
    IText style = mText.WithFGColor(mText.textEntryFGColor).WithAlign(EAlign::Near);
    style.valign = EVAlign::Middle;
    style.angle = 0.f;
    g.DrawText(style, mStr.c_str(),
               IRECT(left, mRECT.T, std::max(left + Advance(int(mStr.size())), left + 1.f) + 1.f,
                     mRECT.B));
  }
  const float caret = left + Advance(mCaret);
  g.DrawLine(mText.textEntryFGColor, caret, top, caret, bottom);
}

} // namespace plug::graphics
