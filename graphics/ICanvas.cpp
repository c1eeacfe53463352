#include "graphics/ICanvas.h"

#include "framework/IParam.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/IContainerBase.h"
#include "graphics/IControl.h"
#include "graphics/IMessageBoxControl.h"
#include "graphics/IPanelControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace plug::graphics
{

namespace
{
/** Drawing regions reach this far past a control's bounds, for antialiased edges. */
constexpr float kRegionPadding = 0.75f;
} // namespace

// ---- IRECTList ------------------------------------------------------------------------------

void IRECTList::Add(const IRECT& r)
{
  if (r.Empty())
    return;
  IRECT merged = r;
  // A merge can grow the region into others, so repeat until nothing overlaps it.
  bool grew = true;
  while (grew)
  {
    grew = false;
    for (auto it = mRects.begin(); it != mRects.end();)
    {
      if (it->Intersects(merged))
      {
        merged = merged.Union(*it);
        it = mRects.erase(it);
        grew = true;
      }
      else
        ++it;
    }
  }
  mRects.push_back(merged);
}

IRECT IRECTList::Bounds() const
{
  IRECT u;
  for (const IRECT& r : mRects)
    u = u.Union(r);
  return u;
}

// ---- Construction ---------------------------------------------------------------------------

ICanvas::ICanvas(ICanvasEditorDelegate* delegate, int width, int height, int fps, float scale)
  : mDelegate(delegate)
  , mWidth(width)
  , mHeight(height)
  , mFPS(fps)
  , mDrawScale(scale > 0.f ? scale : 1.f)
{
}

ICanvas::~ICanvas()
{
  // Controls may look at the context while they go; keep it whole until they are gone.
  mCaptures.clear();
  mMouseOver = nullptr;
  mInPrompt = nullptr;
  mMenuControl.reset();
  mTextEntryControl.reset();
  mMessageBoxControl.reset();
  mLayers.clear();
  while (!mControls.empty())
    mControls.pop_back();
}

// ---- Attaching and finding ------------------------------------------------------------------

IControl* ICanvas::AttachControl(IControl* control, int tag, const char* group)
{
  if (!control)
    return nullptr;
  if (tag >= 0 && mTags.count(tag))
  {
    delete control;
    return nullptr;
  }
  control->Attach(mDelegate, this, tag);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
  if (group && *group)
    control->SetGroup(group);
  mControls.emplace_back(control);
  if (tag >= 0)
    mTags[tag] = control;
  control->OnAttached();
  return control;
}

IControl* ICanvas::AttachPanelBackground(const IPattern& pattern)
{
  if (mBackground)
  {
    IControl* old = mBackground;
    mBackground = nullptr;
    RemoveControl(old);
  }
  auto* panel = new IPanelControl(GetBounds(), pattern);
  panel->Attach(mDelegate, this, kNoTag);
  panel->OnInit();
  panel->OnResize();
  panel->OnRescale();
  mControls.emplace(mControls.begin(), panel);
  mBackground = panel;
  return panel;
}

IControl* ICanvas::GetControl(int idx) const
{
  return (idx >= 0 && idx < NControls()) ? mControls[size_t(idx)].get() : nullptr;
}

int ICanvas::GetControlIdx(const IControl* control) const
{
  for (int i = 0; i < NControls(); ++i)
    if (mControls[size_t(i)].get() == control)
      return i;
  return -1;
}

IControl* ICanvas::GetControlWithTag(int tag) const
{
  auto it = mTags.find(tag);
  return it == mTags.end() ? nullptr : it->second;
}

IControl* ICanvas::GetControlWithParamIdx(int paramIdx) const
{
  for (const auto& c : mControls)
    if (c->LinkedToParam(paramIdx) >= 0)
      return c.get();
  return nullptr;
}

void ICanvas::ForControlWithParam(int paramIdx, const std::function<void(IControl&)>& func)
{
  if (paramIdx < 0)
    return;
  // By index: the function may attach controls.
  for (size_t i = 0; i < mControls.size(); ++i)
    if (mControls[i]->LinkedToParam(paramIdx) >= 0)
      func(*mControls[i]);
}

void ICanvas::ForAllControls(const std::function<void(IControl&)>& func)
{
  for (size_t i = 0; i < mControls.size(); ++i)
    func(*mControls[i]);
}

void ICanvas::ForControlInGroup(const char* group, const std::function<void(IControl&)>& func)
{
  const std::string g = group ? group : "";
  for (size_t i = 0; i < mControls.size(); ++i)
    if (mControls[i]->GetGroup() == g)
      func(*mControls[i]);
}

void ICanvas::HideControlsInGroup(const char* group, bool hide)
{
  ForControlInGroup(group, [hide](IControl& c) { c.Hide(hide); });
}

bool ICanvas::IsCaptured(const IControl* control) const
{
  for (const auto& [id, c] : mCaptures)
    if (c == control)
      return true;
  return false;
}

IControl* ICanvas::GetCapturedControl(ITouchID touchID) const
{
  auto it = mCaptures.find(touchID);
  return it == mCaptures.end() ? nullptr : it->second;
}

// ---- Removing -------------------------------------------------------------------------------

void ICanvas::ForgetControl(IControl* control)
{
  for (auto it = mCaptures.begin(); it != mCaptures.end();)
    it = it->second == control ? mCaptures.erase(it) : std::next(it);
  if (mMouseOver == control)
    mMouseOver = nullptr;
  if (mInPrompt == control)
  {
    mInPrompt = nullptr;
    mInTextEntry = false;
    // What was open for it has no one to answer.
    if (mMenuControl)
      mMenuControl->Close();
    if (mTextEntryControl)
      mTextEntryControl->Close();
  }
  if (mBackground == control)
    mBackground = nullptr;
  if (control->GetTag() >= 0)
    mTags.erase(control->GetTag());
  if (IContainerBase* parent = control->GetParent())
    parent->RemoveChild(control);
  for (auto& c : mControls)
    if (c->GetParent() == control)
      c->SetParent(nullptr);
  for (ILayerPtr& layer : mLayers)
    if (layer && layer->GetControl() == control)
      layer.reset();
}

void ICanvas::DeleteControl(IControl* control)
{
  ForgetControl(control);
  auto it = std::find_if(mControls.begin(), mControls.end(),
                         [control](const auto& c) { return c.get() == control; });
  if (it != mControls.end())
  {
    // Out of the list before it is destroyed, so nothing finds it half gone.
    std::unique_ptr<IControl> owned = std::move(*it);
    mControls.erase(it);
  }
}

void ICanvas::RemoveControl(IControl* control)
{
  if (!control || GetControlIdx(control) < 0)
    return;
  // A container's children go with it.
  std::vector<IControl*> children;
  for (auto& c : mControls)
    if (c->GetParent() == control)
      children.push_back(c.get());
  for (IControl* child : children)
    RemoveControl(child);
  DeleteControl(control);
  SetAllControlsDirty();
}

void ICanvas::RemoveControlWithTag(int tag)
{
  RemoveControl(GetControlWithTag(tag));
}

void ICanvas::RemoveControls(int fromIdx)
{
  fromIdx = std::max(fromIdx, 0);
  while (NControls() > fromIdx)
    DeleteControl(mControls.back().get());
  SetAllControlsDirty();
}

void ICanvas::RemoveAllControls()
{
  RemoveControls(0);
}

// ---- Frame ----------------------------------------------------------------------------------

double ICanvas::GetTimeMs() const
{
  if (mClock)
    return mClock();
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void ICanvas::AnimateAll()
{
  for (size_t i = 0; i < mControls.size(); ++i)
    mControls[i]->Animate();
}

IRECT ICanvas::GetDrawRegion(const IControl& control) const
{
  const float scale = GetBackingPixelScale();
  IRECT region = control.GetRECT().GetPadded(kRegionPadding).GetPixelSnapped(scale);
  for (const IContainerBase* parent = control.GetParent(); parent && !region.Empty();
       parent = parent->GetParent())
    region = region.Intersect(parent->GetRECT().GetPadded(kRegionPadding).GetPixelSnapped(scale));
  return region;
}

bool ICanvas::IsDirty(IRECTList& rects)
{
  AnimateAll();
  bool dirty = false;
  for (const auto& c : mControls)
  {
    if (c->IsDirty())
    {
      rects.Add(GetDrawRegion(*c));
      dirty = true;
    }
  }
  for (IControl* overlay : OpenOverlays())
  {
    if (overlay->IsDirty())
    {
      rects.Add(GetDrawRegion(*overlay));
      dirty = true;
    }
  }
  for (const IRECT& r : mPendingRegions)
  {
    rects.Add(r);
    dirty = true;
  }
  return dirty;
}

void ICanvas::DrawControl(IControl& control, const IRECT& region, float)
{
  PathTransformReset(true);
  mClipRegion = region;
  mDrawingControl = &control;
  SetClipRegion(region);
  control.Draw(*this);
  if (control.GetPTHighlightActive())
    control.DrawPTHighlight(*this);
  mDrawingControl = nullptr;
}

void ICanvas::Draw(const IRECTList& rects)
{
  const float scale = GetBackingPixelScale();
  for (const IRECT& dirty : rects)
  {
    for (size_t i = 0; i < mControls.size(); ++i)
    {
      IControl& c = *mControls[i];
      // Hidden controls are skipped, except the first of the list, the editor's background:
      // something must cover every pixel of a region being redrawn.
      if (c.IsHidden() && i != 0)
        continue;
      const IRECT region = GetDrawRegion(c).Intersect(dirty);
      if (region.Empty())
        continue;
      DrawControl(c, region, scale);
    }
    for (IControl* overlay : OpenOverlays())
    {
      const IRECT region = GetDrawRegion(*overlay).Intersect(dirty);
      if (!region.Empty())
        DrawControl(*overlay, region, scale);
    }
  }
  PathTransformReset(true);
  mClipRegion = GetBounds();
  SetClipRegion(mClipRegion);
}

bool ICanvas::DrawFrameIfDirty()
{
  IRECTList rects;
  if (!IsDirty(rects))
    return false;
  SetAllControlsClean();
  BeginFrame();
  Draw(rects);
  EndFrame();
  return true;
}

void ICanvas::DrawAll()
{
  AnimateAll();
  IRECTList rects;
  rects.Add(GetBounds().GetPixelSnapped(GetBackingPixelScale()));
  SetAllControlsClean();
  BeginFrame();
  Draw(rects);
  EndFrame();
}

void ICanvas::SetAllControlsDirty()
{
  for (auto& c : mControls)
    c->SetDirty(false);
  for (IControl* overlay : OpenOverlays())
    overlay->SetDirty(false);
}

void ICanvas::SetAllControlsClean()
{
  for (auto& c : mControls)
    c->SetClean();
  for (IControl* overlay : OpenOverlays())
    overlay->SetClean();
  mPendingRegions.Clear();
}

// ---- Size and scale ---------------------------------------------------------------------------

void ICanvas::SetScreenScale(float scale)
{
  if (!(scale > 0.f))
    return;
  mScreenScale = scale;
  if (mDelegate)
    mDelegate->EditorResizeFromUI(PixelWidth(), PixelHeight(), false);
  for (size_t i = 0; i < mControls.size(); ++i)
    mControls[i]->OnRescale();
  SetAllControlsDirty();
}

void ICanvas::Resize(int width, int height, float scale, bool needsPlatformResize)
{
  if (mDelegate)
    mDelegate->ConstrainEditorResize(width, height);
  scale = std::clamp(scale, mMinScale, mMaxScale);
  if (width == mWidth && height == mHeight && scale == mDrawScale)
    return;
  // A control that resizes the editor from its own drag (the corner grip) must keep the
  // pointer, or its drag would end at the first step.
  if (!mDispatchingDrag)
    ReleaseMouseCapture();
  // Menus and fields were placed for the old size.
  CloseOverlays();
  mWidth = width;
  mHeight = height;
  mDrawScale = scale;
  if (mBackground)
    mBackground->SetTargetAndDrawRECTs(GetBounds());
  if (mDelegate)
    mDelegate->EditorResizeFromUI(PixelWidth(), PixelHeight(), needsPlatformResize);
  PlatformResize(!needsPlatformResize);
  if (mLayoutOnResize)
    RunLayout();
  else
    for (size_t i = 0; i < mControls.size(); ++i)
    {
      mControls[i]->OnResize();
      mControls[i]->OnRescale();
    }
  SetAllControlsDirty();
}

void ICanvas::RunLayout()
{
  if (!mDelegate)
    return;
  RemoveAllControls();
  mDelegate->LayoutUI(this);
  // The new controls show the plug-in's values at once.
  for (int i = 0; i < mDelegate->NParams(); ++i)
    if (const IParam* p = mDelegate->GetParam(i))
      mDelegate->SetParameterFromDelegate(i, p->GetNormalized());
}

void ICanvas::SetScaleConstraints(float lo, float hi)
{
  mMinScale = std::min(lo, hi);
  mMaxScale = std::max(lo, hi);
}

ECursor ICanvas::SetMouseCursor(ECursor cursor)
{
  const ECursor previous = mCursor;
  mCursor = cursor;
  return previous;
}

} // namespace plug::graphics
