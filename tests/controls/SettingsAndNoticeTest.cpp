// The settings menu's order and answers, and the update notice pill with its menu items.
#include "graphics/GraphicsTestSupport.h"

#include "controls/SettingsMenuControl.h"
#include "controls/UpdatePillControl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ostra::test
{
namespace
{

using corvana::controls::UpdatePillControl;
using ostratapedelay::controls::SettingsMenuControl;
namespace fs = std::filesystem;

struct SettingsLog
{
  int input = 1;
  float scale = 1.01f; // as a corner drag leaves it
  int accent = 3;
  std::vector<std::string> calls;

  SettingsMenuControl::Actions actions()
  {
    SettingsMenuControl::Actions a;
    a.inputMode = [this] { return input; };
    a.setInputMode = [this](int m) { calls.push_back("input " + std::to_string(m)); };
    a.scale = [this] { return scale; };
    a.setScale = [this](float s) { calls.push_back("scale " + std::to_string(s)); };
    a.accent = [this] { return accent; };
    a.setAccent = [this](int i) { calls.push_back("accent " + std::to_string(i)); };
    a.addUpdateItems = [](IPopupMenu& m)
    {
      m.AddItem("Check for updates", IPopupMenu::kAppend, IPopupMenu::Item::kChecked);
      m.AddSeparator();
    };
    a.updateItemChosen = [this](int i) { calls.push_back("update " + std::to_string(i)); };
    return a;
  }
};

TEST(SettingsMenu, ItemsInOrderWithTheCurrentChoicesChecked)
{
  Editor<TestPlugin> ed(1000, 456);
  SettingsLog log;
  auto* menu = new SettingsMenuControl(log.actions(), "1.0.0");
  ed.canvas->AttachControl(menu);
  EXPECT_TRUE(menu->IsHidden());
  EXPECT_TRUE(menu->GetIgnoreMouse());
  EXPECT_EQ(menu->GetRECT(), IRECT());
  const IRECT at(957, 5.76f, 977.5f, 26.24f);
  menu->OpenAt(at);
  ASSERT_EQ(ed.canvas->Menus().size(), 1u);
  const ShownMenu& m = ed.canvas->Menus()[0];
  const std::vector<std::string> texts{"Input: auto",
                                       "Input: stereo",
                                       "Input: left channel only",
                                       "",
                                       "Green",
                                       "Red",
                                       "Orange",
                                       "Blue",
                                       "Purple",
                                       "DAW color",
                                       "",
                                       "Window 0.75x",
                                       "Window 1x",
                                       "Window 1.5x",
                                       "Window 2x",
                                       "",
                                       "Check for updates",
                                       "",
                                       "OstraTape-delay 1.0.0"};
  ASSERT_EQ(m.texts.size(), texts.size());
  std::vector<int> checked;
  for (size_t i = 0; i < texts.size(); ++i)
  {
    if (texts[i].empty())
      EXPECT_TRUE(m.flags[i] & IPopupMenu::Item::kSeparator) << i;
    else
      EXPECT_EQ(m.texts[i], texts[i]);
    if (m.flags[i] & IPopupMenu::Item::kChecked)
      checked.push_back(static_cast<int>(i));
  }
  // Stereo input, Blue, "Window 1x" for a scale of 1.01, and the update item.
  EXPECT_EQ(checked, (std::vector<int>{1, 7, 12, 16}));
  EXPECT_TRUE(m.flags.back() & IPopupMenu::Item::kDisabled);
  EXPECT_EQ(ed.canvas->Calls("ShowMenu").back().rect, at);
}

TEST(SettingsMenu, WithoutActionsTheFirstChoicesAreCheckedAndTheScaleIsOne)
{
  Editor<TestPlugin> ed(1000, 456);
  auto* menu = new SettingsMenuControl({}, "");
  ed.canvas->AttachControl(menu);
  menu->OpenAt(IRECT(0, 0, 10, 10));
  const ShownMenu& m = ed.canvas->Menus()[0];
  ASSERT_EQ(m.texts.size(), 17u); // no update items
  EXPECT_TRUE(m.flags[0] & IPopupMenu::Item::kChecked);
  EXPECT_TRUE(m.flags[4] & IPopupMenu::Item::kChecked);
  EXPECT_TRUE(m.flags[12] & IPopupMenu::Item::kChecked);
  EXPECT_FALSE(m.flags[13] & IPopupMenu::Item::kChecked);
  EXPECT_EQ(m.texts[16], "OstraTape-delay ");
  // A choice without its action does nothing (and does not crash).
  ed.canvas->AnswerNextMenu(2);
  menu->OpenAt(IRECT(0, 0, 10, 10));
}

TEST(SettingsMenu, EachChoiceCallsItsActionAndSeparatorsAndTheCaptionDoNothing)
{
  Editor<TestPlugin> ed(1000, 456);
  SettingsLog log;
  log.scale = 1.5f;
  auto* menu = new SettingsMenuControl(log.actions(), "1.0.0");
  ed.canvas->AttachControl(menu);
  for (int item : {0, 2, 3, 4, 9, 10, 11, 14, 15, 16, 17, 18})
  {
    ed.canvas->AnswerNextMenu(item);
    menu->OpenAt(IRECT(0, 0, 10, 10));
  }
  EXPECT_EQ(log.calls, (std::vector<std::string>{"input 0", "input 2", "accent 0", "accent 5",
                                                 "scale 0.750000", "scale 2.000000", "update 0"}));
  // 1.5 is checked and 1x is not: 1.5 is far from 1.
  const ShownMenu& m = ed.canvas->Menus().back();
  EXPECT_TRUE(m.flags[13] & IPopupMenu::Item::kChecked);
  EXPECT_FALSE(m.flags[12] & IPopupMenu::Item::kChecked);
}

/** An update check in a folder of its own, with a record naming version 1.2.0. */
struct NoticeFixture
{
  NoticeFixture()
  {
    char pattern[] = "/tmp/ostra-notice-XXXXXX";
    root = mkdtemp(pattern) ? pattern : "/tmp/ostra-notice-fallback";
    auto config = corvana::updates::defaultConfig("ostratape-delay", "1.0.0");
    config.folder = root;
    config.fetch = [](const std::string&) { return corvana::updates::HttpResult{}; };
    config.networkAllowed = [] { return false; };
    check = std::make_shared<corvana::updates::UpdateCheck>(config);
  }
  ~NoticeFixture()
  {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void writeRecord(const std::string& version)
  {
    const std::string feed = R"({"ostratape-delay":{"version":")" + version +
                             R"(","page":"/ostratape-delay#download"}})";
    std::string escaped;
    for (char c : feed)
      escaped += c == '"' ? std::string("\\\"") : std::string(1, c);
    std::ofstream(root / "updates.json")
        << R"({"version":1,"checked_at":1,"feed":")" << escaped << "\"}\n";
  }

  fs::path root;
  std::shared_ptr<corvana::updates::UpdateCheck> check;
};

const IText kPillText(11.5f, COLOR_WHITE, "Roboto-Regular");
const IColor kFill(255, 252, 120, 92), kHoverFill(255, 253, 146, 124), kInk(255, 10, 10, 10);

TEST(UpdatePill, ShowsTheNoticeRightAlignedAndMovesTheTitle)
{
  NoticeFixture f;
  Editor<TestPlugin> ed(1000, 456);
  std::vector<IRECT> moves;
  auto* pill = new UpdatePillControl(IRECT(696, 47, 856, 77), kPillText, kFill, kHoverFill, kInk,
                                     f.check, [&](const IRECT& r) { moves.push_back(r); });
  ed.canvas->AttachControl(pill);
  ed.canvas->ClearCalls();
  pill->Draw(*ed.canvas);
  EXPECT_TRUE(ed.canvas->Calls().empty()); // no notice: nothing drawn
  EXPECT_FALSE(pill->IsHit(850, 60));

  f.writeRecord("1.2.0");
  f.check->reload();
  EXPECT_TRUE(pill->IsDirty()); // the generation moved
  EXPECT_EQ(pill->text(), "1.2.0 AVAILABLE");
  EXPECT_EQ(pill->url(), "https://corvana.example/ostratape-delay#download");
  // 15 characters at 0.6 x 11.5, plus 2/3 of the height 30.
  const float width = 15 * 0.6f * 11.5f + 20.f;
  EXPECT_NEAR(pill->pill().L, 856 - width, 1e-3);
  EXPECT_EQ(pill->pill().R, 856);
  EXPECT_EQ(pill->pill().T, 47);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back(), pill->pill());
  const size_t movesBefore = moves.size();
  pill->relayout(); // unchanged: the hook stays quiet
  EXPECT_EQ(moves.size(), movesBefore);

  ed.canvas->ClearCalls();
  pill->Draw(*ed.canvas);
  const auto fills = ed.canvas->Calls("FillRoundRect");
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].color, kFill);
  EXPECT_FLOAT_EQ(fills[0].rect.T, 50.f); // 10 % of 30 off the top and bottom
  EXPECT_FLOAT_EQ(fills[0].rect.B, 74.f);
  const auto texts = ed.canvas->Calls("DrawText");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "1.2.0 AVAILABLE");
  EXPECT_EQ(texts[0].style.fgColor, kInk);

  // Hover: the hand cursor and the lighter fill; leaving restores the arrow.
  EXPECT_TRUE(pill->IsHit(855, 47));
  EXPECT_FALSE(pill->IsHit(700, 60));
  pill->OnMouseOver(850, 60, IMouseMod());
  ed.canvas->ClearCalls();
  pill->Draw(*ed.canvas);
  EXPECT_EQ(ed.canvas->Calls("FillRoundRect")[0].color, kHoverFill);
  pill->OnMouseOut();
  ASSERT_GE(ed.canvas->Cursors().size(), 2u);
  EXPECT_EQ(ed.canvas->Cursors()[ed.canvas->Cursors().size() - 2], ECursor::Hand);
  EXPECT_EQ(ed.canvas->Cursors().back(), ECursor::Arrow);

  // Switching the check off hides the pill and gives the title its room back.
  f.check->setEnabled(false);
  EXPECT_TRUE(pill->IsDirty());
  EXPECT_EQ(pill->pill(), IRECT());
  EXPECT_EQ(moves.back(), IRECT());
  EXPECT_TRUE(pill->url().empty());
}

TEST(UpdatePill, MenuItemsToggleTheCheckAndTheCheckOutlivesTheEditor)
{
  NoticeFixture f;
  f.writeRecord("1.0.1");
  std::weak_ptr<corvana::updates::UpdateCheck> weak = f.check;
  {
    Editor<TestPlugin> ed(1000, 456);
    auto* pill = new UpdatePillControl(IRECT(696, 47, 856, 77), kPillText, kFill, kHoverFill, kInk,
                                       f.check, nullptr);
    ed.canvas->AttachControl(pill);
    IPopupMenu menu;
    pill->addMenuItems(menu);
    ASSERT_EQ(menu.NItems(), 2);
    EXPECT_STREQ(menu.GetItemText(0), "Check for updates");
    EXPECT_TRUE(menu.GetItem(0)->GetChecked());
    EXPECT_TRUE(menu.GetItem(1)->GetIsSeparator());

    pill->menuItemChosen(1); // the separator
    EXPECT_TRUE(f.check->enabled());
    pill->menuItemChosen(0);
    EXPECT_FALSE(f.check->enabled());
    EXPECT_TRUE(fs::exists(f.root / "updates-off"));
    IPopupMenu again;
    pill->addMenuItems(again);
    EXPECT_FALSE(again.GetItem(0)->GetChecked());
    pill->menuItemChosen(0);
    EXPECT_TRUE(f.check->enabled());
    EXPECT_FALSE(fs::exists(f.root / "updates-off"));
    // The notice is back from the stored record, without a fetch.
    pill->IsDirty();
    EXPECT_EQ(pill->text(), "1.0.1 AVAILABLE");
    f.check.reset(); // the plug-in's reference gone first: the pill still holds it
    EXPECT_FALSE(weak.expired());
  }
  EXPECT_TRUE(weak.expired());
}

/** Remembers the pages it was asked to open instead of starting a browser. */
class BrowserCanvas : public RecordingCanvas
{
public:
  using RecordingCanvas::RecordingCanvas;
  bool OpenURL(const char* url) override
  {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

TEST(UpdatePill, AClickOpensTheNoticesPageAndOnlyOverThePill)
{
  NoticeFixture f;
  TestPlugin plugin;
  ICanvasEditorDelegate delegate(plugin);
  auto made = std::make_unique<BrowserCanvas>(&delegate, 1000, 456);
  BrowserCanvas* canvas = made.get();
  delegate.OpenEditor(std::move(made));
  auto* pill = new UpdatePillControl(IRECT(696, 47, 856, 77), kPillText, kFill, kHoverFill, kInk,
                                     f.check, nullptr);
  canvas->AttachControl(pill);
  EventInjector input(*canvas);
  input.Click(850, 60); // no notice yet: no pill to click
  EXPECT_TRUE(canvas->opened.empty());
  f.writeRecord("1.0.2");
  f.check->reload();
  pill->IsDirty();
  input.Click(700, 60); // inside the control, left of the pill
  EXPECT_TRUE(canvas->opened.empty());
  input.Click(850, 60);
  EXPECT_EQ(canvas->opened,
            (std::vector<std::string>{"https://corvana.example/ostratape-delay#download"}));
}

} // namespace
} // namespace ostra::test
