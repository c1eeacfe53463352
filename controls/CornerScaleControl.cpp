#include "controls/CornerScaleControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>

namespace corvana::controls
{

using namespace plug::graphics;

CornerScaleControl::CornerScaleControl(const IRECT& bounds, float baseWidth, float minScale,
                                       float maxScale, const IColor& color,
                                       const IColor& hoverColor)
  : IControl(bounds)
  , mBaseWidth(baseWidth > 0.f ? baseWidth : 1.f)
  , mMinScale(std::min(minScale, maxScale))
  , mMaxScale(std::max(minScale, maxScale))
  , mColor(color)
  , mHoverColor(hoverColor)
{
}

void CornerScaleControl::OnMouseDown(float, float, const IMouseMod&)
{
  if (ICanvas* ui = GetUI())
    mDragStartWidth = float(int(float(ui->Width()) * ui->GetDrawScale()));
  mDragAccum = 0.f;
}

void CornerScaleControl::OnMouseDrag(float, float, float dX, float dY, const IMouseMod&)
{
  ICanvas* ui = GetUI();
  if (!ui)
    return;
  // Pointer deltas come in editor units; the grip follows the pointer in window pixels.
  mDragAccum += std::max(dX, dY) * ui->GetDrawScale();
  const float scale = std::clamp((mDragStartWidth + mDragAccum) / mBaseWidth, mMinScale, mMaxScale);
  if (scale != ui->GetDrawScale())
    resizeTo(scale);
}

void CornerScaleControl::OnMouseDblClick(float, float, const IMouseMod&)
{
  resizeTo(1.f);
}

void CornerScaleControl::resizeTo(float scale)
{
  if (ICanvas* ui = GetUI())
    ui->Resize(ui->Width(), ui->Height(), scale, true);
}

void CornerScaleControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  if (!mCursorSet)
    if (ICanvas* ui = GetUI())
    {
      mSavedCursor = ui->SetMouseCursor(ECursor::SizeNWSE);
      mCursorSet = true;
    }
  IControl::OnMouseOver(x, y, mod);
}

void CornerScaleControl::OnMouseOut()
{
  if (mCursorSet)
  {
    if (ICanvas* ui = GetUI())
      ui->SetMouseCursor(mSavedCursor);
    mCursorSet = false;
  }
  IControl::OnMouseOut();
}

void CornerScaleControl::Draw(ICanvas& g)
{
  const IRECT& r = mRECT;
  g.FillTriangle(mMouseIsOver ? mHoverColor : mColor, r.L, r.B, r.R, r.T, r.R, r.B);
}

} // namespace corvana::controls
