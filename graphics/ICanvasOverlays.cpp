// The in-editor menu, text field and message box that the context hosts over its controls.
#include "graphics/ICanvas.h"

#include "graphics/IControl.h"
#include "graphics/IMessageBoxControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"

namespace plug::graphics
{

template <class C>
C* ICanvas::AttachOverlay(std::unique_ptr<C>& slot, C* control)
{
  if (slot && slot->IsOpen())
    CloseOverlays();
  slot.reset(control ? control : new C());
  slot->Attach(mDelegate, this, kNoTag);
  slot->OnInit();
  slot->OnResize();
  slot->OnRescale();
  return slot.get();
}

IPopupMenuControl* ICanvas::AttachPopupMenuControl(IPopupMenuControl* control)
{
  return AttachOverlay(mMenuControl, control);
}

ITextEntryControl* ICanvas::AttachTextEntryControl(ITextEntryControl* control)
{
  return AttachOverlay(mTextEntryControl, control);
}

IMessageBoxControl* ICanvas::AttachMessageBoxControl(IMessageBoxControl* control)
{
  return AttachOverlay(mMessageBoxControl, control);
}

std::vector<IControl*> ICanvas::OpenOverlays() const
{
  // Drawn in this order, so the box lies over a menu, and a menu over a field.
  std::vector<IControl*> open;
  if (mTextEntryControl && mTextEntryControl->IsOpen())
    open.push_back(mTextEntryControl.get());
  if (mMenuControl && mMenuControl->IsOpen())
    open.push_back(mMenuControl.get());
  if (mMessageBoxControl && mMessageBoxControl->IsOpen())
    open.push_back(mMessageBoxControl.get());
  return open;
}

IControl* ICanvas::GetOpenOverlay() const
{
  const std::vector<IControl*> open = OpenOverlays();
  return open.empty() ? nullptr : open.back();
}

void ICanvas::CancelTextEntry()
{
  if (mTextEntryControl && mTextEntryControl->IsOpen())
    mTextEntryControl->Close();
  if (mInPrompt && mInTextEntry)
  {
    IControl* control = mInPrompt;
    mInPrompt = nullptr;
    mInTextEntry = false;
    // Its own text shows again.
    control->SetDirty(false);
  }
}

void ICanvas::DismissPopupMenu()
{
  if (!mMenuControl || !mMenuControl->IsOpen())
    return;
  mMenuControl->Close();
  if (mInPrompt && !mInTextEntry)
    SetControlValueAfterPopupMenu(nullptr);
}

void ICanvas::CloseOverlays()
{
  DismissPopupMenu();
  CancelTextEntry();
}

void ICanvas::SetRegionDirty(const IRECT& r)
{
  if (!r.Empty())
    mPendingRegions.Add(r.GetPadded(0.75f).GetPixelSnapped(GetBackingPixelScale()));
}

} // namespace plug::graphics
