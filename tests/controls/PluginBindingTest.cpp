// The preset bar, settings menu and repeats display bound to the plug-in.
#include "graphics/GraphicsTestSupport.h"
#include "plugin/StateTestSupport.h"

#include "controls/PresetBarControl.h"
#include "controls/SettingsMenuControl.h"
#include "controls/UpdatePillControl.h"
#include "graphics/ITextControl.h"
#include "plugin/EditorPresetAndRepeats.h"
#include "plugin/Parameters.h"
#include "presets/FactoryPresets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace ostra::test
{
namespace
{

using corvana::controls::PresetBarControl;
using ostratapedelay::controls::RepeatsDisplayControl;
using ostratapedelay::controls::SettingsMenuControl;
namespace P = ostratapedelay::plugin;
using namespace std::chrono_literals;

/** Points the update check's shared folder at the data home's while it lives. */
struct UpdatesFolder
{
  explicit UpdatesFolder(const std::filesystem::path& root)
    : folder(root / "Corvana-updates")
  {
    std::filesystem::create_directories(folder);
    setenv("CORVANA_UPDATES_FOLDER", folder.c_str(), 1);
  }
  ~UpdatesFolder() { unsetenv("CORVANA_UPDATES_FOLDER"); }
  std::filesystem::path folder;
};

struct BoundEditor
{
  BoundEditor()
    : ed(1000, 456, 1.f,
         [this](ICanvas* g)
         {
           g->AttachControl(new ITextControl(IRECT(28, 48, 836, 82), "OSTRATAPE-DELAY"),
                            P::editor::kTitleTag);
           P::attachRepeatsDisplay(*ed.plugin, *g, IColor(255, 21, 232, 121));
           P::attachSettingsNoticeAndPresetBar(
               *ed.plugin, *g, {[this] { return scale; }, [this](float s) { scale = s; }});
         })
  {
    for (int i = 0; i < ed.canvas->NControls(); ++i)
    {
      IControl* c = ed.canvas->GetControl(i);
      if (auto* b = dynamic_cast<PresetBarControl*>(c))
        bar = b;
      if (auto* s = dynamic_cast<SettingsMenuControl*>(c))
        settings = s;
    }
    display = ed.get<RepeatsDisplayControl>(P::editor::kRepeatsTag);
  }

  void click(int region)
  {
    const IRECT& r = bar->elementRect(region);
    ed.input->Click(r.MW(), r.MH());
  }

  TempDataHome home; // before the plug-in, so no worker sees the variable change
  UpdatesFolder updates{home.root};
  float scale = 1.f;
  Editor<ScriptedPlugin> ed;
  PresetBarControl* bar = nullptr;
  SettingsMenuControl* settings = nullptr;
  RepeatsDisplayControl* display = nullptr;
};

TEST(PluginBinding, ControlsAreAttachedInOrderWithTheDisplayTagged)
{
  BoundEditor b;
  ASSERT_NE(b.bar, nullptr);
  ASSERT_NE(b.settings, nullptr);
  ASSERT_NE(b.display, nullptr);
  EXPECT_EQ(b.display->GetRECT(), IRECT(28, 108, 972, 232));
  EXPECT_EQ(b.bar->GetRECT(), IRECT(0, 0, 1000, 32));
  // The bar comes last, so it and its menu are drawn over everything.
  EXPECT_EQ(b.ed.canvas->GetControl(b.ed.canvas->NControls() - 1), b.bar);
}

TEST(PluginBinding, PresetBarStepsSavesAndDeletesThroughTheBookkeeping)
{
  BoundEditor b;
  auto& plugin = *b.ed.plugin;
  const auto& factory = ostratapedelay::offline::factoryPresets();
  ASSERT_GE(factory.size(), 2u);
  b.click(PresetBarControl::kNext);
  EXPECT_EQ(plugin.presetName(), factory[0].name);
  EXPECT_TRUE(plugin.presetIsFactory());
  b.click(PresetBarControl::kPrevious); // wraps to the last entry, the other factory preset
  EXPECT_EQ(plugin.presetName(), factory.back().name);

  // "Save as" with a padded name writes a user preset and selects it.
  b.click(PresetBarControl::kSaveAs);
  ASSERT_EQ(b.ed.canvas->TextEntries().size(), 1u);
  EXPECT_EQ(b.ed.canvas->TextEntries()[0].text, factory.back().name);
  b.bar->OnTextEntryCompletion("  Mine\t", 0);
  EXPECT_EQ(plugin.presetName(), "Mine");
  EXPECT_FALSE(plugin.presetIsFactory());
  ASSERT_EQ(plugin.savedPresets().size(), 1u);
  EXPECT_EQ(b.bar->entries().back().name, "Mine");

  // Saving under the name of another existing preset asks first, on the next idle tick.
  b.bar->OnTextEntryCompletion("Other", 0);
  EXPECT_EQ(plugin.presetName(), "Other");
  b.bar->OnTextEntryCompletion("Mine", 0);
  EXPECT_TRUE(plugin.hasPendingSave());
  plugin.answer = true;
  plugin.OnIdle();
  ASSERT_EQ(plugin.asked.size(), 1u);
  EXPECT_EQ(plugin.asked[0].title, "Save preset");
  EXPECT_EQ(plugin.presetName(), "Mine");

  // Two clicks on Delete remove the file; the bar lists what is left.
  b.click(PresetBarControl::kDelete);
  EXPECT_EQ(plugin.savedPresets().size(), 2u);
  b.click(PresetBarControl::kDelete);
  ASSERT_EQ(plugin.savedPresets().size(), 1u);
  EXPECT_EQ(plugin.savedPresets()[0].name, "Other");
  EXPECT_EQ(b.bar->entries().size(), factory.size() + 1);
}

TEST(PluginBinding, MissingNamesAndAnUnreadableFolderDoNothing)
{
  BoundEditor b;
  auto& plugin = *b.ed.plugin;
  const auto hooks = P::presetHooks(plugin);
  hooks.load("Nowhere");
  hooks.remove("Nowhere");
  EXPECT_TRUE(plugin.presetName().empty());
  EXPECT_TRUE(plugin.told.empty());
  // A file where the folder should be: nothing is listed.
  std::filesystem::create_directories(b.home.presets().parent_path());
  std::ofstream(b.home.presets()) << "not a folder";
  EXPECT_TRUE(hooks.userNames().empty());
  EXPECT_EQ(hooks.factoryNames().size(), ostratapedelay::offline::factoryPresets().size());
}

TEST(PluginBinding, SettingsMenuSetsInputModeAccentAndScale)
{
  BoundEditor b;
  auto& plugin = *b.ed.plugin;
  plugin.setInputMode(OstraTapeDelay::kInputStereo);
  b.ed.canvas->AnswerNextMenu(0); // "Input: auto"
  b.click(PresetBarControl::kMenu);
  EXPECT_EQ(plugin.inputMode(), OstraTapeDelay::kInputAuto);
  b.ed.canvas->AnswerNextMenu(5); // "Red"
  b.click(PresetBarControl::kMenu);
  EXPECT_EQ(plugin.accentIndex(), 1u);
  EXPECT_TRUE(plugin.takeAccentChanged());
  b.scale = 1.01f;
  b.ed.canvas->AnswerNextMenu(13); // "Window 1.5x"
  b.click(PresetBarControl::kMenu);
  EXPECT_FLOAT_EQ(b.scale, 1.5f);
  const ShownMenu& shown = b.ed.canvas->Menus().back();
  EXPECT_TRUE(shown.flags[12] & IPopupMenu::Item::kChecked); // 1.01 counts as "Window 1x"
  EXPECT_EQ(shown.texts[16], "Check for updates");
  EXPECT_EQ(shown.texts.back(), "OstraTape-delay 1.0.0");
}

TEST(PluginBinding, TheUpdateNoticeMovesTheTitleAsideAndBack)
{
  BoundEditor b;
  corvana::updates::UpdateCheck& check = *b.ed.plugin->updateCheck();
  ASSERT_EQ(check.folder(), b.updates.folder);
  corvana::controls::UpdatePillControl* pill = nullptr;
  for (int i = 0; i < b.ed.canvas->NControls(); ++i)
    if (auto* p = dynamic_cast<corvana::controls::UpdatePillControl*>(b.ed.canvas->GetControl(i)))
      pill = p;
  ASSERT_NE(pill, nullptr);
  IControl* title = b.ed.canvas->GetControlWithTag(P::editor::kTitleTag);
  ASSERT_NE(title, nullptr);

  std::ofstream(b.updates.folder / "updates.json")
      << R"({"version":1,"checked_at":1,"feed":"{\"ostratape-delay\":{\"version\":\"1.1.0\",)"
      << R"(\"page\":\"/ostratape-delay\"}}"})"
      << "\n";
  check.reload();
  b.ed.canvas->Tick(); // the pill sees the new generation and places itself
  ASSERT_GT(pill->pill().W(), 0.f);
  EXPECT_EQ(title->GetRECT(), IRECT(28, 48, pill->pill().L - 10, 82));
  EXPECT_EQ(title->GetTargetRECT(), title->GetRECT());

  // Switched off from the settings menu: the notice goes and the title runs to 836 again.
  b.ed.canvas->AnswerNextMenu(16); // "Check for updates"
  b.click(PresetBarControl::kMenu);
  EXPECT_FALSE(check.enabled());
  b.ed.canvas->Tick();
  EXPECT_EQ(pill->pill(), IRECT());
  EXPECT_EQ(title->GetRECT(), IRECT(28, 48, 836, 82));
  check.setEnabled(true); // leave no marker behind
}

TEST(PluginBinding, TheDisplayFollowsTheParametersAndGetsTheWorkersResults)
{
  BoundEditor b;
  auto& plugin = *b.ed.plugin;
  plugin.SetParameterFromHost(P::kSync, 0.0, 0);
  plugin.SetParameterFromHost(P::kTimeL, 250.0, 0);
  plugin.SetParameterFromHost(P::kMix, 30.0, 0);
  plugin.SetParameterFromHost(P::kWobble, 150.0, 0);
  plugin.SetParameterFromHost(P::kBypass, 1.0, 0);
  const auto now = P::repeatsNow(plugin);
  EXPECT_FALSE(now.active);
  EXPECT_FALSE(now.sync);
  EXPECT_DOUBLE_EQ(now.mix, 30.0);
  EXPECT_DOUBLE_EQ(now.wobble, 1.5);
  EXPECT_DOUBLE_EQ(now.bpm, 120.0);
  EXPECT_NEAR(now.timeLMs, 250.0, 1e-9);

  // Ping-pong: the idle step hands the worker's echoes to the display, both sides.
  plugin.loadFactoryPreset("Ping and pong");
  EXPECT_FALSE(b.display->hasRepeats());
  const auto start = std::chrono::steady_clock::now();
  while (!b.display->hasRepeats() && std::chrono::steady_clock::now() - start < 5s)
  {
    P::idleRepeatsDisplay(plugin, b.ed.canvas);
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(b.display->hasRepeats());
  b.ed.canvas->ClearCalls();
  b.display->Draw(*b.ed.canvas);
  int above = 0, below = 0;
  for (const auto& c : b.ed.canvas->Calls("FillRoundRect"))
    if (c.color.R == 21 && c.color.G == 232 && c.color.B == 121)
      (c.rect.B <= 108 + 58 ? above : below) += 1;
  EXPECT_GT(above, 0);
  EXPECT_GT(below, 0);
  P::idleRepeatsDisplay(plugin, nullptr); // no editor: nothing, and no crash
}

} // namespace
} // namespace ostra::test
