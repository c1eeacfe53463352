// The preset bar's mouse handling, stepping, list and name prompt.
#include "controls/PresetBarControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>

using namespace plug::graphics;

namespace corvana::controls
{

void PresetBarControl::loadEntry(const Entry& entry)
{
  if (entry.factory)
  {
    if (mHooks.loadFactory)
      mHooks.loadFactory(entry.name);
  }
  else if (mHooks.load)
    mHooks.load(entry.name);
}

void PresetBarControl::step(int direction)
{
  refreshNames();
  if (mEntries.empty())
    return;
  const std::string name = currentName();
  const bool factory = currentIsFactory();
  const auto n = static_cast<int>(mEntries.size());
  int target = direction < 0 ? n - 1 : 0;
  for (int i = 0; i < n; ++i)
    if (mEntries[i].name == name && mEntries[i].factory == factory)
    {
      target = ((i + direction) % n + n) % n;
      break;
    }
  loadEntry(mEntries[target]);
  SetDirty(false);
}

void PresetBarControl::openList()
{
  refreshNames();
  mListed = mEntries;
  if (mListed.empty())
    return;
  mMenu.Clear();
  const std::string name = currentName();
  const bool factory = currentIsFactory();
  auto addEntry = [&](IPopupMenu& menu, int index)
  {
    const Entry& e = mListed[index];
    const bool current = e.name == name && e.factory == factory;
    menu.AddItem(
        new IPopupMenu::Item(e.name.c_str(), current ? IPopupMenu::Item::kChecked : 0, index));
  };
  const auto n = static_cast<int>(mListed.size());
  int i = 0;
  if (mListed[0].factory)
  {
    auto* factoryMenu = new IPopupMenu("Factory presets");
    for (; i < n && mListed[i].factory; ++i)
      addEntry(*factoryMenu, i);
    mMenu.AddItem("Factory presets", factoryMenu);
    if (i < n)
      mMenu.AddSeparator();
  }
  for (; i < n; ++i)
    addEntry(mMenu, i);
  if (ICanvas* ui = GetUI())
    ui->CreatePopupMenu(*this, mMenu, mRects[kName]);
}

void PresetBarControl::OnPopupMenuSelection(IPopupMenu* menu, int /*valIdx*/)
{
  if (menu)
    if (const IPopupMenu::Item* item = menu->GetChosenItem())
    {
      const int tag = item->GetTag();
      if (tag >= 0 && tag < static_cast<int>(mListed.size()))
        loadEntry(mListed[tag]);
    }
  SetDirty(false);
}

void PresetBarControl::promptForName()
{
  ICanvas* ui = GetUI();
  if (!ui)
    return;
  const IRECT& field = mRects[kName];
  const float width = std::max(220.f * mStyle.scale, field.W());
  const IRECT bounds(field.MW() - 0.5f * width, field.T, field.MW() + 0.5f * width, field.B);
  ui->CreateTextEntry(*this, mStyle.font, bounds, currentName().c_str());
}

void PresetBarControl::OnTextEntryCompletion(const char* str, int /*valIdx*/)
{
  if (!str || !mHooks.save)
    return;
  const std::string text = str;
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return;
  const auto last = text.find_last_not_of(" \t");
  mHooks.save(text.substr(first, last - first + 1));
  refreshNames();
  SetDirty(false);
}

void PresetBarControl::OnMouseDown(float x, float y, const IMouseMod& /*mod*/)
{
  const int region = regionAt(x, y);
  const std::string name = currentName();
  const bool userSelected = userPresetSelected(name);
  if (region == kDelete)
  {
    if (!userSelected)
      return;
    if (mArmed == name)
    {
      mArmed.clear();
      if (mHooks.remove)
        mHooks.remove(name);
      refreshNames();
    }
    else
      mArmed = name;
    SetDirty(false);
    return;
  }
  mArmed.clear();
  switch (region)
  {
    case kPrevious:
      step(-1);
      break;
    case kName:
      openList();
      break;
    case kNext:
      step(+1);
      break;
    case kSave:
      if (userSelected && mHooks.save)
        mHooks.save(name);
      break;
    case kSaveAs:
      promptForName();
      break;
    case kMenu:
      if (mMenuHook)
        mMenuHook(mRects[kMenu]);
      break;
    default:
      break;
  }
  SetDirty(false);
}

void PresetBarControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  IControl::OnMouseOver(x, y, mod);
  const int region = regionAt(x, y);
  if (region == mHover)
    return;
  if (mHover == kNone)
    refreshNames();
  if (mHover == kDelete)
    mArmed.clear();
  mHover = region;
  SetDirty(false);
}

void PresetBarControl::OnMouseOut()
{
  IControl::OnMouseOut();
  if (mHover != kNone || !mArmed.empty())
  {
    mHover = kNone;
    mArmed.clear();
    SetDirty(false);
  }
}

} // namespace corvana::controls
