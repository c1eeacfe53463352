// Menus, text fields and message boxes that controls ask the context for.
#include "graphics/ICanvas.h"

#include "framework/IParam.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/IControl.h"
#include "graphics/IMessageBoxControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"

#include <algorithm>
#include <set>

namespace plug::graphics
{

IPopupMenu* ICanvas::CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds,
                                     int valIdx)
{
  // A menu ends any drag.
  ReleaseMouseCapture();
  // One menu or field at a time: what is open goes unanswered.
  CloseOverlays();
  mInPrompt = &control;
  mPromptValIdx = valIdx;
  mInTextEntry = false;
  if (mMenuControl)
  {
    mMenuControl->Open(menu, bounds);
    return nullptr;
  }
  bool isAsync = false;
  IPopupMenu* chosen = CreatePlatformPopupMenu(menu, bounds, isAsync);
  if (isAsync)
    return nullptr;
  SetControlValueAfterPopupMenu(chosen);
  return chosen;
}

void ICanvas::SetControlValueAfterPopupMenu(IPopupMenu* menu)
{
  IControl* control = mInPrompt;
  if (!control || mInTextEntry)
    return;
  const int valIdx = mPromptValIdx;
  mInPrompt = nullptr;
  // Collected first: the answer may rebuild the editor and take the control with it.
  std::set<int> params;
  for (int i = 0; i < control->NVals(); ++i)
    if (control->GetParamIdx(i) >= 0)
      params.insert(control->GetParamIdx(i));
  control->OnPopupMenuSelection(menu && menu->GetChosenItemIdx() >= 0 ? menu : nullptr, valIdx);
  // Closes the gesture that the mouse down opened.
  if (mDelegate)
    for (int p : params)
      mDelegate->EndInformHostOfParamChangeFromUI(p);
}

void ICanvas::CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds,
                              const char* str, int valIdx)
{
  if (mTextEntryControl && mTextEntryControl->IsOpen())
    return;
  DismissPopupMenu();
  mInPrompt = &control;
  mPromptValIdx = valIdx;
  mInTextEntry = true;
  if (mTextEntryControl)
    mTextEntryControl->Open(control.GetParam(valIdx), text, bounds, control.GetTextEntryLength(),
                            str ? str : "");
  else
    CreatePlatformTextEntry(control.GetParamIdx(valIdx), text, bounds, control.GetTextEntryLength(),
                            str ? str : "");
  control.SetDirty(false);
}

void ICanvas::SetControlValueAfterTextEdit(const char* str)
{
  IControl* control = mInPrompt;
  if (!control || !mInTextEntry)
    return;
  const int valIdx = mPromptValIdx;
  mInPrompt = nullptr;
  mInTextEntry = false;
  if (const IParam* param = control->GetParam(valIdx))
  {
    // StringToValue constrains (step, range); ToNormalized applies the shape and 0..1.
    const double value = param->StringToValue(str ? str : "");
    control->SetValueFromUserInput(param->ToNormalized(value), valIdx);
  }
  else
    control->OnTextEntryCompletion(str ? str : "", valIdx);
  // The field no longer covers the control: draw its own text again.
  control->SetDirty(false);
}

void ICanvas::PromptUserInput(IControl& control, const IRECT& bounds, int valIdx)
{
  const IParam* param = control.GetParam(valIdx);
  if (!param)
    return;
  const bool hasTexts = param->NDisplayTexts() > 0;
  if (param->Type() == IParam::kTypeEnum || (param->Type() == IParam::kTypeBool && hasTexts))
  {
    mPromptMenu.Clear();
    mPromptMenu.SetRootTitle(param->GetName());
    std::string current;
    param->GetDisplay(current);
    const int count = int(param->GetMax() - param->GetMin()) + 1;
    for (int i = 0; i < count; ++i)
    {
      std::string text;
      param->GetDisplay(double(i), false, text);
      const int flags = text == current ? IPopupMenu::Item::kChecked : 0;
      mPromptMenu.AddItem(text.c_str(), IPopupMenu::kAppend, flags);
    }
    CreatePopupMenu(control, mPromptMenu, bounds, valIdx);
    return;
  }
  std::string initial;
  param->GetDisplay(initial, false);
  if (control.GetShowsParamLabel())
  {
    const char* label = param->GetLabel();
    if (label && *label)
      initial = initial + " " + label;
  }
  CreateTextEntry(control, control.GetText(), bounds, initial.c_str(), valIdx);
}

int ICanvas::ShowMessageBox(const char* message, const char* caption, EMsgBoxType type,
                            std::function<void(int)> completion)
{
  ReleaseMouseCapture();
  int result = kNoResult;
  bool shown = false;
  if (mMessageBoxControl && !mMessageBoxControl->IsOpen() &&
      !IMessageBoxControl::ButtonsFor(type).empty())
  {
    CloseOverlays();
    IMessageBoxControl& box = *mMessageBoxControl;
    box.Open(caption, message, type);
    shown = RunModalLoop([&box] { return !box.IsOpen(); });
    // A view that went away meanwhile gets the cautious answer.
    if (box.IsOpen())
      box.Close(IMessageBoxControl::CautiousResult(type));
    result = box.GetResult();
  }
  if (!shown)
    result = ShowPlatformMessageBox(message ? message : "", caption ? caption : "", type);
  if (completion)
    completion(result);
  return result;
}

int ICanvas::ShowPlatformMessageBox(const char*, const char*, EMsgBoxType type)
{
  switch (type)
  {
    case kMB_OK:
      return kOK;
    case kMB_YESNO:
      return kNO;
    default:
      return kCANCEL;
  }
}

} // namespace plug::graphics
