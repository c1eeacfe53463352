// Frames: dirty regions, the drawing order, the hidden-background rule, animation, scaling.
#include "GraphicsTestSupport.h"

#include "graphics/IPanelControl.h"
#include "graphics/IVectorBase.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

using Ed = Editor<TestPlugin>;

/** The clip regions of the last frame, by control. */
std::vector<IRECT> regionsOf(const RecordingCanvas& canvas, const IControl* control)
{
  std::vector<IRECT> out;
  for (const auto& c : canvas.Calls("SetClipRegion"))
    if (c.control == control)
      out.push_back(c.rect);
  return out;
}

struct SnapCase
{
  float drawScale;
  float screenScale;
  IRECT expected; // in backing pixels
};

class DirtyRegionSnap : public ::testing::TestWithParam<SnapCase>
{
};

TEST_P(DirtyRegionSnap, RegionIsBoundsGrownAndSnappedOutwardToBackingPixels)
{
  const SnapCase& sc = GetParam();
  Ed ed(400, 200, sc.drawScale);
  ed.canvas->SetScreenScale(sc.screenScale);
  auto* c = ed.canvas->AttachControl(new ProbeControl(IRECT(10.3f, 20.2f, 30.6f, 40.1f)));
  ed.canvas->Tick();

  const std::vector<IRECT> regions = regionsOf(*ed.canvas, c);
  ASSERT_EQ(regions.size(), 1u);
  const float k = sc.drawScale * sc.screenScale;
  const IRECT px = regions[0].GetScaled(k);
  EXPECT_NEAR(px.L, sc.expected.L, 1e-3);
  EXPECT_NEAR(px.T, sc.expected.T, 1e-3);
  EXPECT_NEAR(px.R, sc.expected.R, 1e-3);
  EXPECT_NEAR(px.B, sc.expected.B, 1e-3);
  // Whole pixels, and never less than the grown bounds.
  EXPECT_FLOAT_EQ(px.L, std::round(px.L));
  EXPECT_FLOAT_EQ(px.B, std::round(px.B));
  EXPECT_TRUE(regions[0].Contains(c->GetRECT().GetPadded(0.74f)));
}

// Bounds grown by 0.75: (9.55, 19.45, 31.35, 40.85) units.
INSTANTIATE_TEST_SUITE_P(Scales, DirtyRegionSnap,
                         ::testing::Values(SnapCase{1.f, 1.f, IRECT(9, 19, 32, 41)},
                                           SnapCase{1.5f, 1.f, IRECT(14, 29, 48, 62)},
                                           SnapCase{1.f, 2.f, IRECT(19, 38, 63, 82)},
                                           SnapCase{1.f, 1.5f, IRECT(14, 29, 48, 62)}));

TEST(Frame, OnlyDirtyRegionsAreDrawnInListOrder)
{
  Ed ed;
  IControl* bg = ed.canvas->AttachPanelBackground(COLOR_BLACK);
  auto* a = ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 50, 50)));
  auto* b = ed.canvas->AttachControl(new ProbeControl(IRECT(30, 30, 70, 70)));
  auto* far = ed.canvas->AttachControl(new ProbeControl(IRECT(300, 100, 350, 150)));
  EXPECT_TRUE(ed.canvas->Tick());  // everything is dirty after attaching
  EXPECT_FALSE(ed.canvas->Tick()); // and clean after a frame
  ed.canvas->ClearCalls();

  a->SetDirty(false);
  EXPECT_TRUE(ed.canvas->Tick());
  // The background and the overlapping control redraw in a's region, the far one does not.
  EXPECT_EQ(ed.canvas->DrawnControls(), (std::vector<const IControl*>{bg, a, b}));
  EXPECT_EQ(regionsOf(*ed.canvas, b)[0], IRECT(29, 29, 51, 51));
  EXPECT_EQ(ed.canvas->Calls()[0].name, "BeginFrame");
  EXPECT_EQ(ed.canvas->Calls().back().name, "EndFrame");
  (void)far;
}

TEST(Frame, AHiddenBackgroundIsStillDrawnOtherHiddenControlsAreNot)
{
  Ed ed;
  IControl* bg = ed.canvas->AttachPanelBackground(COLOR_BLACK);
  auto* hidden = ed.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 50, 50)));
  auto* shown = ed.canvas->AttachControl(new ProbeControl(IRECT(20, 20, 40, 40)));
  bg->Hide(true);
  hidden->Hide(true);
  ed.canvas->Tick();
  EXPECT_EQ(ed.canvas->DrawnControls(), (std::vector<const IControl*>{bg, shown}));
  EXPECT_EQ(ed.canvas->Calls("FillRect")[0].color, COLOR_BLACK);
}

TEST(Frame, ChildrenAreClippedToTheirContainer)
{
  Ed ed;
  auto* panel = new IPanelControl(IRECT(100, 100, 200, 150), COLOR_GRAY);
  auto* child = new ProbeControl(IRECT(180, 120, 260, 140));
  panel->AddChildControl(child);
  ed.canvas->AttachControl(panel);
  ed.canvas->Tick();
  EXPECT_EQ(regionsOf(*ed.canvas, child), (std::vector<IRECT>{IRECT(179, 119, 201, 141)}));
}

TEST(Frame, ScreenScaleRescalesAndRedrawsEverything)
{
  Ed ed(400, 200);
  auto* probe =
      static_cast<ProbeControl*>(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10))));
  ed.canvas->Tick();
  probe->takeLifecycle();
  ed.canvas->SetScreenScale(2.f);
  EXPECT_EQ(probe->takeLifecycle(), "OnRescale");
  EXPECT_TRUE(probe->IsDirty());
  EXPECT_FLOAT_EQ(ed.canvas->GetBackingPixelScale(), 2.f);
  // The plug-in learns the editor's size in backing pixels.
  EXPECT_EQ(ed.plugin->GetEditorWidth(), 800);
  EXPECT_EQ(ed.plugin->GetEditorHeight(), 400);
}

TEST(Frame, ResizeIsConstrainedClampedAndSkippedWhenNothingChanges)
{
  Ed ed(400, 200);
  ed.delegate.SetConstrainFunc(
      [](int& w, int& h)
      {
        const bool ok = w >= 300;
        w = std::max(w, 300);
        h = std::max(h, 150);
        return ok;
      });
  auto* probe =
      static_cast<ProbeControl*>(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10))));
  probe->takeLifecycle();

  ed.canvas->Resize(400, 200, 1.f);
  EXPECT_EQ(probe->takeLifecycle(), "");

  ed.canvas->Resize(100, 100, 9.f);
  EXPECT_EQ(ed.canvas->Width(), 300);
  EXPECT_EQ(ed.canvas->Height(), 150);
  EXPECT_FLOAT_EQ(ed.canvas->GetDrawScale(), 4.f);
  EXPECT_EQ(probe->takeLifecycle(), "OnResize OnRescale");
  EXPECT_EQ(ed.plugin->GetEditorWidth(), 1200);

  ed.canvas->SetScaleConstraints(2.f, 0.75f);
  EXPECT_FLOAT_EQ(ed.canvas->GetMinScale(), 0.75f);
  EXPECT_FLOAT_EQ(ed.canvas->GetMaxScale(), 2.f);
  ed.canvas->Resize(300, 150, 0.1f);
  EXPECT_FLOAT_EQ(ed.canvas->GetDrawScale(), 0.75f);
}

TEST(Frame, ResizeDropsCapturesAndCanRunTheLayoutAgain)
{
  Ed ed(400, 200);
  int layouts = 0;
  ed.delegate.SetLayoutFunc(
      [&](ICanvas* g)
      {
        ++layouts;
        g->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50), TestPlugin::kLinear));
      });
  ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50)));
  ed.input->Down(10, 10);
  ASSERT_TRUE(ed.canvas->HasCapture());
  ed.canvas->SetLayoutOnResize(true);
  ed.canvas->Resize(400, 200, 2.f);
  EXPECT_FALSE(ed.canvas->HasCapture());
  EXPECT_EQ(layouts, 1);
  ASSERT_EQ(ed.canvas->NControls(), 1);
  // The rebuilt control shows the plug-in's value at once.
  EXPECT_DOUBLE_EQ(ed.canvas->GetControl(0)->GetValue(), 0.5);
}

// ---- Animation ------------------------------------------------------------------------------

TEST(Animation, TheClickAnimationEndsAfterItsDuration)
{
  Ed ed;
  auto* c = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10)));
  int ended = 0;
  c->SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  ed.canvas->Tick();

  DefaultClickActionFunc(c);
  ed.nowMs += 50.0;
  EXPECT_DOUBLE_EQ(c->GetAnimationProgress(), 0.5);
  EXPECT_TRUE(ed.canvas->Tick()); // animating: drawn every frame
  EXPECT_TRUE(ed.canvas->Tick());
  ed.nowMs += 51.0;
  EXPECT_TRUE(ed.canvas->Tick()); // the frame that ends it redraws once more
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(c->GetAnimationFunction());
  EXPECT_FALSE(ed.canvas->Tick());
}

class SplashProbe : public ProbeControl, public IVectorBase
{
public:
  explicit SplashProbe(const IRECT& r)
    : ProbeControl(r)
    , IVectorBase(static_cast<IControl&>(*this), kDefaultStyle)
  {
    MakeRects(r);
  }
  void DrawWidget(ICanvas&) override {}
};

TEST(Animation, TheSplashGrowsFromTheClickAndEnds)
{
  Ed ed;
  auto* c =
      static_cast<SplashProbe*>(ed.canvas->AttachControl(new SplashProbe(IRECT(0, 0, 100, 40))));
  ed.input->Click(30, 20);
  SplashClickActionFunc(c);
  ed.nowMs += 25.0;
  ed.canvas->Tick();
  EXPECT_FLOAT_EQ(c->GetSplashRadius(), 0.25f * c->GetMaxSplashRadius());
  EXPECT_FLOAT_EQ(c->GetMaxSplashRadius(), 50.f);
  ed.nowMs += 100.0;
  ed.canvas->Tick();
  EXPECT_FLOAT_EQ(c->GetSplashRadius(), 0.f);
  EXPECT_FALSE(c->GetAnimationFunction());
}

} // namespace
} // namespace ostra::test

namespace ostra::test
{
namespace
{

/** Starts a corner drag-resize on mouse down, as a resizer control does. */
class CornerProbe : public ProbeControl
{
public:
  CornerProbe(const IRECT& r, EUIResizerMode mode)
    : ProbeControl(r)
    , mMode(mode)
  {
  }
  void OnMouseDown(float, float, const IMouseMod&) override { GetUI()->StartDragResize(mMode); }

private:
  EUIResizerMode mMode;
};

TEST(DragResize, ByScaleFollowsThePointerAgainstTheUnscaledSize)
{
  Editor<TestPlugin> ed(400, 200);
  ed.canvas->AttachControl(new CornerProbe(IRECT(390, 190, 400, 200), EUIResizerMode::Scale));
  ed.input->Down(395, 195);
  ed.input->DragTo(600, 250);
  EXPECT_FLOAT_EQ(ed.canvas->GetDrawScale(), 1.5f);
  EXPECT_TRUE(ed.canvas->IsInDragResize());
  ed.input->Up();
  EXPECT_FALSE(ed.canvas->IsInDragResize());
  EXPECT_EQ(ed.canvas->Width(), 400);
}

TEST(DragResize, BySizeTakesThePointerAsTheNewSize)
{
  Editor<TestPlugin> ed(400, 200);
  ed.canvas->AttachControl(new CornerProbe(IRECT(390, 190, 400, 200), EUIResizerMode::Size));
  ed.input->Down(395, 195);
  ed.input->DragTo(500, 260);
  EXPECT_EQ(ed.canvas->Width(), 500);
  EXPECT_EQ(ed.canvas->Height(), 260);
  EXPECT_FLOAT_EQ(ed.canvas->GetDrawScale(), 1.f);
}

class KeyProbe : public ProbeControl
{
public:
  using ProbeControl::ProbeControl;
  bool OnKeyDown(float, float, const IKeyPress& key) override { return key.utf8[0] == 'a'; }
};

TEST(Keys, TheControlUnderThePointerFirstThenTheKeyHandler)
{
  Editor<TestPlugin> ed;
  ed.canvas->AttachControl(new KeyProbe(IRECT(0, 0, 50, 50)));
  int handled = 0;
  ed.canvas->SetKeyHandlerFunc(
      [&](const IKeyPress&, bool down)
      {
        handled += down ? 1 : 0;
        return true;
      });
  EXPECT_TRUE(ed.input->Key(10, 10, 0, "a"));
  EXPECT_EQ(handled, 0);
  EXPECT_TRUE(ed.input->Key(10, 10, 0, "b"));
  EXPECT_TRUE(ed.input->Key(300, 10, 0, "a"));
  EXPECT_EQ(handled, 2);
}

} // namespace
} // namespace ostra::test
