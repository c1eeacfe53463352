// Pointer and key dispatch of the context.
#include "graphics/ICanvas.h"

#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/IControl.h"
#include "graphics/ITextEntryControl.h"

#include <algorithm>
#include <set>

namespace plug::graphics
{

namespace
{
std::set<int> BoundParams(const IControl& control)
{
  std::set<int> params;
  for (int i = 0; i < control.NVals(); ++i)
    if (control.GetParamIdx(i) >= 0)
      params.insert(control.GetParamIdx(i));
  return params;
}
} // namespace

IControl* ICanvas::GetMouseControl(float x, float y, bool mouseOver) const
{
  for (int i = NControls() - 1; i >= 0; --i)
  {
    IControl* c = mControls[size_t(i)].get();
    // The background takes clicks that nothing else takes, but never the mouse-over.
    if (mouseOver && i == 0)
      break;
    if (c->IsHidden() || c->GetIgnoreMouse())
      continue;
    if (c->IsDisabled() && !(mouseOver ? c->GetMOWhenGrayed() : c->GetMEWhenGrayed()))
      continue;
    if (c->IsHit(x, y))
      return c;
  }
  return nullptr;
}

void ICanvas::BeginGestures(IControl& control)
{
  if (mDelegate)
    for (int p : BoundParams(control))
      mDelegate->BeginInformHostOfParamChangeFromUI(p);
}

void ICanvas::EndGestures(IControl& control)
{
  if (mDelegate)
    for (int p : BoundParams(control))
      mDelegate->EndInformHostOfParamChangeFromUI(p);
}

bool ICanvas::OverlayMouseDown(float x, float y, const IMouseMod& mod, bool doubleClick)
{
  IControl* overlay = GetOpenOverlay();
  if (!overlay)
    return false;
  mMouseDownX = x;
  mMouseDownY = y;
  // A press outside an open field ends it, and does nothing else.
  if (overlay == mTextEntryControl.get() && !overlay->IsHit(x, y))
  {
    CancelTextEntry();
    return true;
  }
  if (doubleClick)
    overlay->OnMouseDblClick(x, y, mod);
  else
    overlay->OnMouseDown(x, y, mod);
  return true;
}

void ICanvas::OnMouseDown(const IMouseInfos& points)
{
  // While a menu, field or box is open, it takes the pointer; only the first one counts.
  if (!points.empty() && OverlayMouseDown(points[0].x, points[0].y, points[0].ms, false))
    return;
  for (const IMouseInfo& p : points)
  {
    mMouseDownX = p.x;
    mMouseDownY = p.y;
    IControl* target = GetMouseControl(p.x, p.y, false);
    if (!target)
      continue;
    mCaptures[p.ms.touchID] = target;
    // The gesture is open before the control can change its value.
    BeginGestures(*target);
    target->OnMouseDown(p.x, p.y, p.ms);
  }
}

void ICanvas::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  OnMouseDown(IMouseInfos{IMouseInfo{x, y, 0.f, 0.f, mod}});
}

void ICanvas::OnMouseDrag(const IMouseInfos& points)
{
  if (mDragResizing && points.size() == 1)
  {
    DragResize(points[0].x, points[0].y);
    return;
  }
  for (const IMouseInfo& p : points)
  {
    if (IControl* c = GetCapturedControl(p.ms.touchID))
    {
      mDispatchingDrag = true;
      c->OnMouseDrag(p.x, p.y, p.dX, p.dY, p.ms);
      mDispatchingDrag = false;
    }
    else if (IControl* overlay = GetOpenOverlay())
      overlay->OnMouseDrag(p.x, p.y, p.dX, p.dY, p.ms);
  }
}

void ICanvas::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod)
{
  OnMouseDrag(IMouseInfos{IMouseInfo{x, y, dX, dY, mod}});
}

void ICanvas::OnMouseUp(const IMouseInfos& points)
{
  for (const IMouseInfo& p : points)
  {
    IControl* c = GetCapturedControl(p.ms.touchID);
    if (!c)
    {
      // The press went to an overlay (or opened one and let go of its control).
      if (IControl* overlay = GetOpenOverlay())
        overlay->OnMouseUp(p.x, p.y, p.ms);
      continue;
    }
    c->OnMouseUp(p.x, p.y, p.ms);
    // The control may have been removed by its own mouse up.
    if (GetControlIdx(c) >= 0)
      EndGestures(*c);
    mCaptures.erase(p.ms.touchID);
  }
  mDragResizing = false;
  if (points.size() == 1 && points[0].ms.touchID == 0)
    UpdateMouseOver(points[0].x, points[0].y, points[0].ms);
}

void ICanvas::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  OnMouseUp(IMouseInfos{IMouseInfo{x, y, 0.f, 0.f, mod}});
}

bool ICanvas::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  if (OverlayMouseDown(x, y, mod, true))
    return true;
  IControl* target = GetMouseControl(x, y, false);
  if (target && target->GetMouseDblAsSingleClick())
  {
    OnMouseDown(x, y, mod);
    return true;
  }
  // Whatever the first click still holds is let go; its gesture must not stay open.
  for (auto& [id, c] : mCaptures)
    EndGestures(*c);
  ReleaseMouseCapture();
  if (!target)
    return false;
  target->OnMouseDblClick(x, y, mod);
  return true;
}

void ICanvas::UpdateMouseOver(float x, float y, const IMouseMod& mod)
{
  if (IControl* overlay = GetOpenOverlay())
  {
    // Controls under an open overlay show no hover.
    if (mMouseOver)
      mMouseOver->OnMouseOut();
    mMouseOver = nullptr;
    overlay->OnMouseOver(x, y, mod);
    return;
  }
  if (!mMouseOverEnabled)
    return;
  IControl* target = GetMouseControl(x, y, true);
  if (target != mMouseOver && mMouseOver)
    mMouseOver->OnMouseOut();
  mMouseOver = target;
  if (target)
    target->OnMouseOver(x, y, mod);
}

bool ICanvas::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  UpdateMouseOver(x, y, mod);
  return mMouseOver != nullptr || GetOpenOverlay() != nullptr;
}

void ICanvas::OnMouseOut()
{
  if (IControl* overlay = GetOpenOverlay())
    overlay->OnMouseOut();
  if (mMouseOver)
    mMouseOver->OnMouseOut();
  mMouseOver = nullptr;
}

void ICanvas::OnMouseWheel(float x, float y, const IMouseMod& mod, float delta)
{
  if (IControl* overlay = GetOpenOverlay())
  {
    overlay->OnMouseWheel(x, y, mod, delta);
    return;
  }
  if (IControl* c = GetMouseControl(x, y, false))
    c->OnMouseWheel(x, y, mod, delta);
}

bool ICanvas::OnKeyDown(float x, float y, const IKeyPress& key)
{
  // An open overlay has the keyboard.
  if (IControl* overlay = GetOpenOverlay())
  {
    overlay->OnKeyDown(x, y, key);
    return true;
  }
  if (IControl* c = GetMouseControl(x, y, false); c && c->OnKeyDown(x, y, key))
    return true;
  return mKeyHandler && mKeyHandler(key, true);
}

bool ICanvas::OnKeyUp(float x, float y, const IKeyPress& key)
{
  if (GetOpenOverlay())
    return true;
  if (IControl* c = GetMouseControl(x, y, false); c && c->OnKeyUp(x, y, key))
    return true;
  return mKeyHandler && mKeyHandler(key, false);
}

void ICanvas::ReleaseMouseCapture()
{
  mCaptures.clear();
  mDragResizing = false;
}

void ICanvas::EnableMouseOver(bool enable)
{
  mMouseOverEnabled = enable;
  if (!enable)
    OnMouseOut();
}

void ICanvas::EnableTooltips(bool enable)
{
  mTooltipsEnabled = enable;
  if (enable)
    mMouseOverEnabled = true; // a tooltip needs to know what the mouse is over
  UpdateTooltips();
}

void ICanvas::StartDragResize(EUIResizerMode mode)
{
  mDragResizing = true;
  mResizerMode = mode;
}

void ICanvas::DragResize(float x, float y)
{
  if (mResizerMode == EUIResizerMode::Scale)
  {
    // The pointer is in editor units; where it sits against the unscaled size says how far
    // the window should grow.
    const float kx = mWidth > 0 ? x / float(mWidth) : 1.f;
    const float ky = mHeight > 0 ? y / float(mHeight) : 1.f;
    const float scale = std::max(kx, ky) * mDrawScale;
    Resize(mWidth, mHeight, scale);
  }
  else
    Resize(std::max(1, int(x)), std::max(1, int(y)), mDrawScale);
  mDragResizing = true; // Resize drops captures; the drag goes on
}

} // namespace plug::graphics
