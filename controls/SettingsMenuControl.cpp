#include "controls/SettingsMenuControl.h"

#include "graphics/ICanvas.h"

#include <cmath>
#include <iterator>

using namespace plug::graphics;

namespace ostratapedelay::controls
{

namespace
{
constexpr int kInputCount = static_cast<int>(std::size(SettingsMenuControl::kInputModes));
constexpr int kAccentCount = static_cast<int>(std::size(SettingsMenuControl::kAccentNames));
constexpr int kSizeCount = static_cast<int>(std::size(SettingsMenuControl::kSizes));
// Fixed item positions: the inputs, a separator, the accents, a separator, the sizes.
constexpr int kAccentFirst = kInputCount + 1;
constexpr int kSizeFirst = kAccentFirst + kAccentCount + 1;
} // namespace

SettingsMenuControl::SettingsMenuControl(Actions actions, std::string version)
  : IControl(IRECT())
  , mActions(std::move(actions))
  , mVersion(std::move(version))
{
  SetIgnoreMouse(true);
  Hide(true);
}

void SettingsMenuControl::OpenAt(const IRECT& r)
{
  mMenu.Clear();
  const int input = mActions.inputMode ? mActions.inputMode() : 0;
  for (int i = 0; i < kInputCount; ++i)
    mMenu.AddItem(kInputModes[i], IPopupMenu::kAppend,
                  i == input ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
  mMenu.AddSeparator();
  const int accent = mActions.accent ? mActions.accent() : 0;
  for (int i = 0; i < kAccentCount; ++i)
    mMenu.AddItem(kAccentNames[i], IPopupMenu::kAppend,
                  i == accent ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
  mMenu.AddSeparator();
  const float scale = mActions.scale ? mActions.scale() : 1.f;
  for (const Size& size : kSizes)
    mMenu.AddItem(size.label, IPopupMenu::kAppend,
                  std::fabs(scale - size.scale) < kScaleTolerance ? IPopupMenu::Item::kChecked
                                                                  : IPopupMenu::Item::kNoFlags);
  mMenu.AddSeparator();
  mUpdateFirst = mMenu.NItems();
  if (mActions.addUpdateItems)
    mActions.addUpdateItems(mMenu);
  mUpdateEnd = mMenu.NItems();
  const std::string caption = "OstraTape-delay " + mVersion;
  mMenu.AddItem(caption.c_str(), IPopupMenu::kAppend, IPopupMenu::Item::kDisabled);
  if (ICanvas* ui = GetUI())
    ui->CreatePopupMenu(*this, mMenu, r);
}

void SettingsMenuControl::OnPopupMenuSelection(IPopupMenu* menu, int /*valIdx*/)
{
  if (!menu)
    return;
  const int i = menu->GetChosenItemIdx();
  if (const IPopupMenu::Item* item = menu->GetItem(i); !item || item->GetIsSeparator())
    return;
  if (i >= 0 && i < kInputCount)
  {
    if (mActions.setInputMode)
      mActions.setInputMode(i);
  }
  else if (i >= kAccentFirst && i < kAccentFirst + kAccentCount)
  {
    if (mActions.setAccent)
      mActions.setAccent(i - kAccentFirst);
  }
  else if (i >= kSizeFirst && i < kSizeFirst + kSizeCount)
  {
    if (mActions.setScale)
      mActions.setScale(kSizes[i - kSizeFirst].scale);
  }
  else if (i >= mUpdateFirst && i < mUpdateEnd)
  {
    if (mActions.updateItemChosen)
      mActions.updateItemChosen(i - mUpdateFirst);
  }
}

} // namespace ostratapedelay::controls
