// The editor window's scale: the size corrections, the host's resize hooks, the user's
// scale, the scale an editor opens at, and a preset's saved size.
#include "plugin/EditorSize.h"
#include "plugin/EditorTestSupport.h"
#include "plugin/StateTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace ostra::test;
using ostratapedelay::plugin::correctEditorSize;

namespace
{

std::pair<int, int> corrected(int w, int h, float p)
{
  correctEditorSize(w, h, p);
  return {w, h};
}

TEST(EditorSize, RequestsAreClampedToTheLimitsAndToTheProportion)
{
  EXPECT_EQ(corrected(1000, 456, 1.f), std::pair(1000, 456));
  EXPECT_EQ(corrected(1000, 400, 1.f), std::pair(877, 400));
  EXPECT_EQ(corrected(1000, 500, 1.f), std::pair(1000, 456));
  EXPECT_EQ(corrected(300, 100, 1.f), std::pair(750, 342));
  EXPECT_EQ(corrected(5000, 5000, 1.f), std::pair(2000, 912));
  EXPECT_EQ(corrected(5000, 5000, 2.f), std::pair(4000, 1824));
  EXPECT_EQ(corrected(4000, 1824, 2.f), std::pair(4000, 1824));
  EXPECT_EQ(corrected(4000, 1824, 1.5f), std::pair(3000, 1368));
  EXPECT_EQ(corrected(5000, 5000, 0.5f), std::pair(2000, 912)) << "limits never shrink";
}

TEST(EditorSize, TheHostsResizeRequestIsTrueOnlyWhenNothingNeededChanging)
{
  OstraTapeDelay plugin;
  int w = 1000, h = 456;
  EXPECT_TRUE(plugin.ConstrainEditorResize(w, h));
  w = 1000, h = 400;
  EXPECT_FALSE(plugin.ConstrainEditorResize(w, h));
  EXPECT_EQ(std::pair(w, h), std::pair(877, 400));
  w = 3000, h = 1368;
  EXPECT_FALSE(plugin.ConstrainEditorResize(w, h)) << "beyond the limits at platform scale 1";
}

TEST(EditorScale, TheUsersScaleResizesAnOpenEditorWithinItsLimits)
{
  PluginEditor<> e;
  e.plugin->applyEditorScale(1.5f); // closed: nothing
  EXPECT_FLOAT_EQ(e.plugin->editorScale(), 1.f);
  e.open();
  e.plugin->applyEditorScale(1.5f);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.5f);
  EXPECT_FLOAT_EQ(e.plugin->editorScale(), 1.5f);
  EXPECT_EQ(std::pair(e.plugin->GetEditorWidth(), e.plugin->GetEditorHeight()),
            std::pair(1500, 684));
  e.plugin->applyEditorScale(3.f);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 2.f);
  e.plugin->applyEditorScale(0.5f);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 0.75f);
  EXPECT_EQ(e.canvas->Width(), 1000);
}

TEST(EditorScale, AnEditorOpensAtTheStoredSizeOverThePlatformScale)
{
  PluginEditor<> e;
  e.plugin->SetEditorSize(1500, 684);
  EXPECT_FLOAT_EQ(e.plugin->editorScale(), 1.5f);
  e.open();
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.5f);
  e.close();
  e.plugin->SetEditorSize(0, 0);
  EXPECT_FLOAT_EQ(e.plugin->editorScale(), 1.f);
  e.open();
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.f) << "no usable size opens at 1";
}

TEST(EditorScale, AHostResizeOfTheWindowRescalesTheDrawingAndIsStored)
{
  PluginEditor<> e;
  e.open();
  e.plugin->OnParentWindowResize(1500, 700);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.5f);
  EXPECT_EQ(std::pair(e.plugin->GetEditorWidth(), e.plugin->GetEditorHeight()),
            std::pair(1500, 684));
  e.plugin->OnParentWindowResize(100, 100);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 0.75f);
  EXPECT_EQ(e.plugin->GetEditorWidth(), 750);
}

TEST(EditorScale, TheCornerGripScalesTheEditorAndThePlugInKeepsTheSize)
{
  PluginEditor<> e;
  e.open();
  e.input->Down(992, 448);
  e.input->DragBy(250, 100);
  e.input->Up();
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.25f);
  EXPECT_EQ(e.plugin->GetEditorWidth(), 1250);
  EXPECT_FLOAT_EQ(e.plugin->editorScale(), 1.25f);
}

TEST(EditorScale, AUserPresetSavedLargerResizesTheOpenEditorAndAFactoryPresetDoesNot)
{
  TempDataHome home;
  PluginEditor<> e;
  e.open();
  e.plugin->applyEditorScale(1.5f);
  e.plugin->savePreset("Big", false);
  e.plugin->applyEditorScale(1.f);
  ASSERT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.f);
  const auto presets = e.plugin->savedPresets();
  ASSERT_EQ(presets.size(), 1u);
  e.plugin->loadPreset(presets[0]);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.5f);
  e.plugin->loadFactoryPreset("Ping and pong");
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.5f);
  EXPECT_TRUE(e.canvas->MessageBoxes().empty());
}

} // namespace
