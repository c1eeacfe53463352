// The in-editor popup menu: what it shows, where, and the answers it gives through the
// context, driven by injected pointer and key events.
#include "GraphicsTestSupport.h"

#include "graphics/ICaptionControl.h"
#include "graphics/IPopupMenuControl.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

constexpr int kSync = 5;
constexpr int kNoteL = 3;

template <class P>
IPopupMenuControl* withMenus(Editor<P>& ed)
{
  ed.canvas->AttachTextEntryControl();
  return ed.canvas->AttachPopupMenuControl();
}

std::vector<std::string> drawnTexts(const RecordingCanvas& canvas, const IControl* control)
{
  std::vector<std::string> out;
  for (const DrawCall& call : canvas.CallsOf(control))
    if (call.name == "DrawText")
      out.push_back(call.text);
  return out;
}

void clickItem(EventInjector& input, const IPopupMenuControl& menu, int level, int index)
{
  const IRECT r = menu.GetItemRECT(level, index);
  ASSERT_FALSE(r.Empty()) << "item " << index << " is not shown";
  input.MoveTo(r.MW(), r.MH());
  input.Click(r.MW(), r.MH());
}

TEST(MenuControl, ShowsPrefixedItemsInOrderBelowTheAnchorOverEveryControl)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* asker = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30))));
  auto* under = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 30, 200, 200)));
  IPopupMenu menu("", 2);
  for (const char* text : {"b", "A", "c"})
    menu.AddItem(text, IPopupMenu::kAlphabetical);

  EXPECT_EQ(ed.canvas->CreatePopupMenu(*asker, menu, asker->GetRECT()), nullptr); // answered later
  ASSERT_TRUE(menuControl->IsOpen());
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(drawnTexts(*ed.canvas, menuControl),
            (std::vector<std::string>{"01: A", "02: b", "03: c"}));
  // Drawn after the control it covers.
  const auto& drawn = ed.canvas->DrawnControls();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back(), menuControl);
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), under), drawn.end());
  const IRECT panel = menuControl->GetPanelRECT(0);
  EXPECT_EQ(panel.T, asker->GetRECT().B);
  EXPECT_EQ(panel.L, asker->GetRECT().L);
  EXPECT_GE(panel.W(), asker->GetRECT().W());
  EXPECT_EQ(asker->take(), "");
}

TEST(MenuControl, DismissingAnswersNothingAndStillEndsTheGesture)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* probe = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30), TestPlugin::kChoice)));
  auto* other = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(300, 150, 390, 190))));

  // A click outside the menu.
  ed.input->Click(50, 20, EventInjector::Right());
  ASSERT_TRUE(menuControl->IsOpen());
  EXPECT_EQ(ed.plugin->kinds(), "B");
  ed.input->Click(350, 170);
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_EQ(probe->take(), "down menu none");
  EXPECT_EQ(ed.plugin->kinds(), "BE");
  EXPECT_EQ(other->take(), ""); // the dismissing click goes nowhere else

  // Escape.
  ed.input->Click(50, 20, EventInjector::Right());
  ASSERT_TRUE(menuControl->IsOpen());
  ed.input->Key(50, 20, kVK_ESCAPE);
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_EQ(probe->take(), "down menu none");
  EXPECT_EQ(ed.plugin->kinds(), "BEBE");
  EXPECT_EQ(ed.canvas->GetControlInPrompt(), nullptr);
}

TEST(MenuControl, RightClickOnSyncOffersOffAndOnAndChoosingOnSetsOne)
{
  Editor<RealPlugin> ed;
  auto* menuControl = withMenus(ed);
  ed.plugin->GetParam(kSync)->Set(0.0);
  ed.canvas->AttachControl(new ProbeControl(IRECT(20, 20, 80, 80), kSync));

  ed.input->Click(50, 50, EventInjector::Right());
  ASSERT_TRUE(menuControl->IsOpen());
  const IPopupMenu* menu = menuControl->GetPanelMenu(0);
  ASSERT_EQ(menu->NItems(), 2);
  EXPECT_STREQ(menu->GetItemText(0), "off");
  EXPECT_STREQ(menu->GetItemText(1), "on");
  EXPECT_TRUE(menu->IsItemChecked(0));
  EXPECT_FALSE(menu->IsItemChecked(1));
  EXPECT_STREQ(menu->GetRootTitle(), "Sync");

  clickItem(*ed.input, *menuControl, 0, 1);
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_EQ(ed.plugin->GetParam(kSync)->Value(), 1.0);
  EXPECT_EQ(ed.plugin->events,
            (std::vector<HostEvent>{{'B', kSync, 0.0}, {'V', kSync, 1.0}, {'E', kSync, 0.0}}));
}

TEST(MenuControl, ReleasingThePressThatOpenedItChoosesNothing)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* probe = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30), TestPlugin::kChoice)));
  ed.input->Down(50, 20, EventInjector::Right());
  ed.input->Up(50, 20, EventInjector::Right());
  EXPECT_TRUE(menuControl->IsOpen());
  // Pressed, dragged onto an item and released there: that item.
  ed.canvas->DismissPopupMenu();
  probe->take();
  ed.input->Down(50, 20, EventInjector::Right());
  const IRECT item = menuControl->GetItemRECT(0, 2);
  ed.input->DragTo(item.MW(), item.MH(), 3, EventInjector::Right());
  ed.input->Up(item.MW(), item.MH(), EventInjector::Right());
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_EQ(probe->take(), "down menu 2");
  EXPECT_EQ(probe->GetValue(), 1.0);
}

TEST(MenuControl, TheNineteenNotesStayInsideASmallEditorAndScroll)
{
  Editor<RealPlugin> ed(400, 200);
  auto* menuControl = withMenus(ed);
  auto* caption = ed.canvas->AttachControl(
      new ICaptionControl(IRECT(300, 170, 380, 190), kNoteL, IText(12.f), COLOR_BLACK, false));
  ed.input->Click(340, 180);
  ASSERT_TRUE(menuControl->IsOpen());
  const IRECT panel = menuControl->GetPanelRECT(0);
  EXPECT_GE(panel.L, 0.f);
  EXPECT_GE(panel.T, 0.f);
  EXPECT_LE(panel.R, 400.f);
  EXPECT_LE(panel.B, 200.f);
  EXPECT_GT(panel.H(), 150.f); // it shrank to the editor rather than to a few items
  EXPECT_TRUE(menuControl->PanelScrolls(0));
  EXPECT_EQ(menuControl->GetPanelMenu(0)->NItems(), 19);
  // The checked "1/4" is in sight.
  EXPECT_TRUE(menuControl->GetPanelMenu(0)->IsItemChecked(13));
  EXPECT_FALSE(menuControl->GetItemRECT(0, 13).Empty());
  EXPECT_GT(menuControl->GetFirstShownItem(0), 0);

  ed.input->Key(340, 180, kVK_HOME);
  EXPECT_EQ(menuControl->GetHighlightedItem(0), 0);
  EXPECT_EQ(menuControl->GetFirstShownItem(0), 0);
  for (int i = 0; i < 18; ++i)
    ed.input->Key(340, 180, kVK_DOWN);
  EXPECT_EQ(menuControl->GetHighlightedItem(0), 18);
  const IRECT last = menuControl->GetItemRECT(0, 18);
  ASSERT_FALSE(last.Empty());
  EXPECT_LE(last.B, panel.B);
  // Every shown item lies inside the panel.
  for (int i = 0; i < 19; ++i)
  {
    if (const IRECT r = menuControl->GetItemRECT(0, i); !r.Empty())
    {
      EXPECT_TRUE(panel.Contains(r)) << i;
    }
  }

  const int first = menuControl->GetFirstShownItem(0);
  ed.input->Wheel(panel.MW(), panel.MH(), 1.f);
  EXPECT_EQ(menuControl->GetFirstShownItem(0), first - 1);
  ed.input->Wheel(panel.MW(), panel.MH(), -1.f);
  ed.input->Key(340, 180, kVK_DOWN); // wraps round to the first
  EXPECT_EQ(menuControl->GetHighlightedItem(0), 0);
  EXPECT_EQ(menuControl->GetFirstShownItem(0), 0);
  ed.input->Key(340, 180, kVK_UP);
  ed.input->Key(340, 180, kVK_RETURN);
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_DOUBLE_EQ(ed.plugin->GetParam(kNoteL)->Value(), 18.0);
  EXPECT_DOUBLE_EQ(caption->GetValue(), 1.0);
}

TEST(MenuControl, SubmenusOpenBesideTheirItemAndAnswerWithTheSubmenu)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* probe = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(330, 10, 390, 30))));
  IPopupMenu menu;
  menu.AddItem("One");
  auto* sub = new IPopupMenu("", 0, false, {"x", "y"});
  IPopupMenu* completed = nullptr;
  sub->SetFunction([&](IPopupMenu* m) { completed = m; });
  menu.AddItem("More", sub);

  ed.canvas->CreatePopupMenu(*probe, menu, probe->GetRECT());
  const IRECT root = menuControl->GetPanelRECT(0);
  EXPECT_LE(root.R, 400.f);
  const IRECT more = menuControl->GetItemRECT(0, 1);
  ed.input->MoveTo(more.MW(), more.MH());
  ASSERT_EQ(menuControl->NPanels(), 2);
  // No room on the right: the submenu opens on the left, beside its item.
  const IRECT subPanel = menuControl->GetPanelRECT(1);
  EXPECT_LE(subPanel.R, root.L + 1.f);
  EXPECT_NEAR(menuControl->GetItemRECT(1, 0).T, more.T, 0.5f);
  // Back on "One": the submenu closes.
  const IRECT one = menuControl->GetItemRECT(0, 0);
  ed.input->MoveTo(one.MW(), one.MH());
  EXPECT_EQ(menuControl->NPanels(), 1);

  // By keys: down to "More", right opens it with its first item lit, left closes it.
  ed.input->Key(0, 0, kVK_DOWN);
  ed.input->Key(0, 0, kVK_RIGHT);
  ASSERT_EQ(menuControl->NPanels(), 2);
  EXPECT_EQ(menuControl->GetHighlightedItem(1), 0);
  ed.input->Key(0, 0, kVK_LEFT);
  EXPECT_EQ(menuControl->NPanels(), 1);
  EXPECT_TRUE(menuControl->IsOpen());

  ed.input->MoveTo(more.MW(), more.MH());
  clickItem(*ed.input, *menuControl, 1, 1);
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_EQ(completed, sub);
  EXPECT_EQ(sub->GetChosenItemIdx(), 1);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(probe->take(), "menu 1");
}

TEST(MenuControl, SeparatorsAndDisabledItemsAreSkippedAndTitlesIndented)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* probe = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30))));
  IPopupMenu menu;
  menu.AddItem("a");
  menu.AddSeparator();
  menu.AddItem("b", -1, IPopupMenu::Item::kDisabled);
  menu.AddItem("title", -1, IPopupMenu::Item::kTitle);
  ed.canvas->CreatePopupMenu(*probe, menu, probe->GetRECT());

  // A click on the disabled item or the separator chooses nothing.
  clickItem(*ed.input, *menuControl, 0, 2);
  clickItem(*ed.input, *menuControl, 0, 1);
  EXPECT_TRUE(menuControl->IsOpen());
  EXPECT_EQ(menuControl->GetHighlightedItem(0), -1);

  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  std::vector<DrawCall> texts;
  for (const DrawCall& call : ed.canvas->CallsOf(menuControl))
    if (call.name == "DrawText")
      texts.push_back(call);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_FLOAT_EQ(texts[2].rect.L - texts[0].rect.L, menuControl->GetStyle().titleIndent);
  EXPECT_EQ(texts[1].style.fgColor, menuControl->GetStyle().disabledText);

  ed.input->Key(0, 0, kVK_DOWN);
  EXPECT_EQ(menuControl->GetHighlightedItem(0), 0);
  ed.input->Key(0, 0, kVK_DOWN);
  EXPECT_EQ(menuControl->GetHighlightedItem(0), 3);
  ed.input->Key(0, 0, kVK_RETURN);
  EXPECT_EQ(probe->take(), "menu 3");
}

TEST(MenuControl, WhatTheClosedMenuCoveredIsDrawnAgain)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* probe = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30))));
  auto* under = ed.canvas->AttachControl(new ProbeControl(IRECT(20, 40, 60, 60)));
  auto* elsewhere = ed.canvas->AttachControl(new ProbeControl(IRECT(300, 150, 390, 190)));
  IPopupMenu menu("", 0, false, {"one", "two", "three"});
  ed.canvas->CreatePopupMenu(*probe, menu, probe->GetRECT());
  ed.canvas->Tick();
  EXPECT_FALSE(ed.canvas->Tick()); // nothing changed, nothing drawn
  ed.canvas->DismissPopupMenu();
  ed.canvas->ClearCalls();
  ASSERT_TRUE(ed.canvas->Tick());
  const auto& drawn = ed.canvas->DrawnControls();
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), under), drawn.end());
  EXPECT_EQ(std::find(drawn.begin(), drawn.end(), elsewhere), drawn.end());
  EXPECT_EQ(std::find(drawn.begin(), drawn.end(), menuControl), drawn.end());
}

TEST(MenuControl, AMenuForARemovedControlClosesWithoutAnswer)
{
  Editor<TestPlugin> ed;
  auto* menuControl = withMenus(ed);
  auto* probe = ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30)));
  IPopupMenu menu("", 0, false, {"one"});
  ed.canvas->CreatePopupMenu(*probe, menu, probe->GetRECT());
  ed.canvas->RemoveControl(probe);
  EXPECT_FALSE(menuControl->IsOpen());
  EXPECT_EQ(ed.canvas->GetControlInPrompt(), nullptr);
  ed.input->Click(50, 50); // reaches nothing that is gone
}

} // namespace
} // namespace ostra::test
