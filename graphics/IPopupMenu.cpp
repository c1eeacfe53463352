#include "graphics/IPopupMenu.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>

namespace plug::graphics
{

IPopupMenu::Item::Item(const char* text, int flags, int tag)
  : mText(text ? text : "")
  , mFlags(flags)
  , mTag(tag)
{
}

IPopupMenu::Item::Item(const char* text, IPopupMenu* submenu)
  : mText(text ? text : "")
  , mSubmenu(submenu)
{
}

IPopupMenu::IPopupMenu(const char* rootTitle, int prefix, bool multipleCheck,
                       std::initializer_list<const char*> items)
  : mCanMultiCheck(multipleCheck)
  , mRootTitle(rootTitle ? rootTitle : "")
{
  SetPrefix(prefix);
  for (const char* text : items)
    AddItem(text);
}

IPopupMenu::Item* IPopupMenu::AddItem(Item* item, int index)
{
  std::unique_ptr<Item> owned(item);
  if (!owned)
    return nullptr;
  const int n = NItems();
  int at = n;
  if (index == kAppend)
    at = n;
  else if (index == kAlphabetical)
  {
    // Binary search for the first text that sorts after the new one, ignoring case, so that
    // equal texts keep the order they were added in.
    int lo = 0, hi = n;
    while (lo < hi)
    {
      const int mid = (lo + hi) / 2;
      if (strcasecmp(mItems[size_t(mid)]->GetText().c_str(), owned->GetText().c_str()) <= 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    at = lo;
  }
  else if (index < 0)
    at = 0;
  else
    at = std::min(index, n);
  mItems.insert(mItems.begin() + at, std::move(owned));
  return mItems[size_t(at)].get();
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, int flags)
{
  return AddItem(new Item(text, flags), index);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu, int index)
{
  return AddItem(new Item(text, submenu), index);
}

IPopupMenu::Item* IPopupMenu::AddSeparator(int index)
{
  return AddItem(new Item("", Item::kSeparator), index);
}

void IPopupMenu::RemoveItem(int index)
{
  if (index >= 0 && index < NItems())
    mItems.erase(mItems.begin() + index);
}

void IPopupMenu::RemoveEmptySubmenus()
{
  for (auto& item : mItems)
  {
    if (IPopupMenu* sub = item->GetSubmenu())
    {
      sub->RemoveEmptySubmenus();
      if (sub->NItems() == 0)
        item->SetSubmenu(nullptr);
    }
  }
}

void IPopupMenu::Clear(bool resetEverything)
{
  if (resetEverything)
  {
    mChosenItemIdx = -1;
    mPrefix = 0;
    mCanMultiCheck = false;
    mCompletionFunc = nullptr;
    mRootTitle.clear();
  }
  mItems.clear();
}

IPopupMenu::Item* IPopupMenu::GetItem(int index)
{
  return (index >= 0 && index < NItems()) ? mItems[size_t(index)].get() : nullptr;
}

const IPopupMenu::Item* IPopupMenu::GetItem(int index) const
{
  return (index >= 0 && index < NItems()) ? mItems[size_t(index)].get() : nullptr;
}

int IPopupMenu::GetIndexOfItem(const char* text) const
{
  if (!text)
    return -1;
  for (int i = 0; i < NItems(); ++i)
    if (mItems[size_t(i)]->GetText() == text)
      return i;
  return -1;
}

const char* IPopupMenu::GetItemText(int index) const
{
  const Item* item = GetItem(index);
  return item ? item->GetText().c_str() : "";
}

std::string IPopupMenu::GetDisplayText(int index) const
{
  const Item* item = GetItem(index);
  if (!item)
    return {};
  static constexpr const char* kFormats[] = {"", "%1d: ", "%02d: ", "%03d: "};
  std::string out;
  if (mPrefix > 0)
  {
    char number[16];
    std::snprintf(number, sizeof number, kFormats[mPrefix], index + 1);
    out = number;
  }
  return out + item->GetText();
}

void IPopupMenu::CheckItem(int index, bool state)
{
  Item* item = GetItem(index);
  if (!item)
    return;
  if (state && !mCanMultiCheck)
    for (auto& other : mItems)
      other->SetChecked(false);
  item->SetChecked(state);
}

void IPopupMenu::CheckItemAlone(int index)
{
  for (int i = 0; i < NItems(); ++i)
    mItems[size_t(i)]->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const
{
  const Item* item = GetItem(index);
  return item && item->GetChecked();
}

void IPopupMenu::ExecFunction()
{
  if (mCompletionFunc)
    mCompletionFunc(this);
}

} // namespace plug::graphics
