#include "controls/UpdatePillControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>

using namespace plug::graphics;

namespace corvana::controls
{

UpdatePillControl::UpdatePillControl(const IRECT& bounds, const IText& text, const IColor& fill,
                                     const IColor& hoverFill, const IColor& textColour,
                                     std::shared_ptr<corvana::updates::UpdateCheck> check,
                                     PositionHook positionHook)
  : IControl(bounds)
  , mFill(fill)
  , mHoverFill(hoverFill)
  , mTextColour(textColour)
  , mCheck(std::move(check))
  , mPositionHook(std::move(positionHook))
{
  mText = text;
  mText.fgColor = textColour;
  if (mCheck)
    mGeneration = mCheck->generation();
}

void UpdatePillControl::relayout()
{
  const auto notice = mCheck ? mCheck->notice() : std::nullopt;
  mShownText.clear();
  mUrl.clear();
  IRECT pill;
  if (notice && GetUI())
  {
    mShownText = notice->version + " AVAILABLE";
    mUrl = notice->url;
    IRECT measured;
    const float textW = GetUI()->MeasureText(mText, mShownText.c_str(), measured);
    const float width = std::min(textW + 2.f / 3.f * mRECT.H(), mRECT.W());
    pill = IRECT(mRECT.R - width, mRECT.T, mRECT.R, mRECT.B);
  }
  if (!(pill == mPill))
  {
    mPill = pill;
    if (mPositionHook)
      mPositionHook(mPill);
  }
}

bool UpdatePillControl::IsDirty()
{
  if (mCheck)
  {
    const unsigned generation = mCheck->generation();
    if (generation != mGeneration)
    {
      mGeneration = generation;
      relayout();
      return true;
    }
  }
  return IControl::IsDirty();
}

void UpdatePillControl::Draw(ICanvas& g)
{
  if (mPill.W() <= 0.f)
    relayout();
  if (mPill.W() <= 0.f)
    return;
  const float inset = 0.1f * mPill.H();
  const IRECT shrunk(mPill.L, mPill.T + inset, mPill.R, mPill.B - inset);
  g.FillRoundRect(mHovering ? mHoverFill : mFill, shrunk, shrunk.H() / 6.f);
  g.DrawText(mText, mShownText.c_str(), shrunk);
}

bool UpdatePillControl::IsHit(float x, float y) const
{
  return mPill.W() > 0.f && x >= mPill.L && x < mPill.R && y >= mPill.T && y < mPill.B;
}

void UpdatePillControl::OnMouseDown(float, float, const IMouseMod&)
{
  if (!mUrl.empty() && GetUI())
    GetUI()->OpenURL(mUrl.c_str());
}

void UpdatePillControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  IControl::OnMouseOver(x, y, mod);
  if (IsHit(x, y) && !mHovering)
  {
    mHovering = true;
    if (GetUI())
      GetUI()->SetMouseCursor(ECursor::Hand);
    SetDirty(false);
  }
}

void UpdatePillControl::OnMouseOut()
{
  IControl::OnMouseOut();
  if (mHovering && GetUI())
    GetUI()->SetMouseCursor(ECursor::Arrow);
  mHovering = false;
  SetDirty(false);
}

void UpdatePillControl::OnResize()
{
  mPill = IRECT();
  relayout();
}

void UpdatePillControl::SetText(const IText& text)
{
  IControl::SetText(text);
  mPill = IRECT();
  relayout();
}

void UpdatePillControl::addMenuItems(IPopupMenu& menu) const
{
  const bool enabled = !mCheck || mCheck->enabled();
  menu.AddItem("Check for updates", IPopupMenu::kAppend,
               enabled ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
  menu.AddSeparator();
}

void UpdatePillControl::menuItemChosen(int position)
{
  if (position != 0 || !mCheck)
    return;
  mCheck->setEnabled(!mCheck->enabled());
  SetDirty(false);
}

} // namespace corvana::controls
