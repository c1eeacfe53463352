#include "graphics/IPopupMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using plug::graphics::IPopupMenu;

std::vector<std::string> texts(const IPopupMenu& menu)
{
  std::vector<std::string> out;
  for (int i = 0; i < menu.NItems(); ++i)
    out.push_back(menu.GetItemText(i));
  return out;
}

TEST(PopupMenu, AddItemPlacesByIndexRule)
{
  IPopupMenu menu;
  menu.AddItem("a"); // -1 appends
  menu.AddItem("b");
  menu.AddItem("front", -5); // any other negative index: the front
  menu.AddItem("second", 1); // a position
  menu.AddItem("last", 99);  // past the count: the end
  menu.AddItem("zero", 0);
  EXPECT_EQ(texts(menu), (std::vector<std::string>{"zero", "front", "second", "a", "b", "last"}));
  EXPECT_EQ(menu.GetItem(0)->GetTag(), -1);
}

TEST(PopupMenu, AlphabeticalInsertIgnoresCase)
{
  IPopupMenu menu;
  for (const char* t : {"b", "A", "c"})
    menu.AddItem(t, IPopupMenu::kAlphabetical);
  EXPECT_EQ(texts(menu), (std::vector<std::string>{"A", "b", "c"}));

  // An empty text sorts as the empty string: first. A text equal but for case goes after
  // the one already there.
  menu.AddItem("", IPopupMenu::kAlphabetical);
  menu.AddItem("B", IPopupMenu::kAlphabetical);
  menu.AddItem("Zed", IPopupMenu::kAlphabetical);
  EXPECT_EQ(texts(menu), (std::vector<std::string>{"", "A", "b", "B", "c", "Zed"}));
}

TEST(PopupMenu, PrefixNumbersItemsFromOne)
{
  IPopupMenu two("Presets", 2, false, {"one", "two", "three"});
  EXPECT_EQ(two.GetDisplayText(2), "03: three");
  EXPECT_STREQ(two.GetItemText(2), "three"); // the item itself keeps its text

  IPopupMenu one("", 1, false, {"x"});
  EXPECT_EQ(one.GetDisplayText(0), "1: x");
  IPopupMenu three("", 3, false, {"x"});
  EXPECT_EQ(three.GetDisplayText(0), "001: x");
  IPopupMenu none("", 0, false, {"x"});
  EXPECT_EQ(none.GetDisplayText(0), "x");
  IPopupMenu bad("", 7, false, {"x"});
  EXPECT_EQ(bad.GetDisplayText(0), "x");
  EXPECT_EQ(bad.GetDisplayText(5), "");
}

TEST(PopupMenu, ChecksAreSingleUnlessMultipleAllowed)
{
  IPopupMenu single("", 0, false, {"a", "b", "c"});
  single.CheckItem(0);
  single.CheckItem(2);
  EXPECT_FALSE(single.IsItemChecked(0));
  EXPECT_TRUE(single.IsItemChecked(2));

  IPopupMenu multi("", 0, true, {"a", "b", "c"});
  multi.CheckItem(0);
  multi.CheckItem(2);
  EXPECT_TRUE(multi.IsItemChecked(0));
  EXPECT_TRUE(multi.IsItemChecked(2));
  multi.CheckItemAlone(1);
  EXPECT_FALSE(multi.IsItemChecked(0));
  EXPECT_TRUE(multi.IsItemChecked(1));
}

TEST(PopupMenu, FlagsSubmenusAndCompletion)
{
  IPopupMenu menu("Root");
  auto* sub = new IPopupMenu("Sub", 0, false, {"inner"});
  menu.AddItem("disabled", -1, IPopupMenu::Item::kDisabled | IPopupMenu::Item::kTitle);
  menu.AddSeparator();
  menu.AddItem("more", sub);
  menu.AddItem("empty", new IPopupMenu());

  EXPECT_FALSE(menu.GetItem(0)->GetEnabled());
  EXPECT_TRUE(menu.GetItem(0)->GetIsTitle());
  EXPECT_TRUE(menu.GetItem(1)->GetIsSeparator());
  EXPECT_EQ(menu.GetItem(2)->GetSubmenu(), sub);
  EXPECT_EQ(menu.GetIndexOfItem("more"), 2);
  EXPECT_EQ(menu.GetIndexOfItem("absent"), -1);

  menu.RemoveEmptySubmenus();
  EXPECT_EQ(menu.GetItem(3)->GetSubmenu(), nullptr);
  EXPECT_NE(menu.GetItem(2)->GetSubmenu(), nullptr);

  int calls = 0;
  IPopupMenu* seen = nullptr;
  sub->SetFunction(
      [&](IPopupMenu* m)
      {
        ++calls;
        seen = m;
      });
  sub->SetChosenItemIdx(0);
  sub->ExecFunction();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, sub);

  menu.SetChosenItemIdx(2);
  menu.Clear();
  EXPECT_EQ(menu.NItems(), 0);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_STREQ(menu.GetRootTitle(), "");
}

} // namespace
