// The in-editor menu, field and box drawn by the NanoVG backend: they cover the controls
// under them, and the editor shows again where they were.
#include "OffscreenScene.h"

#include "graphics/IMessageBoxControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"
#include "graphics/testing/EventInjector.h"

using namespace plug::graphics;
using namespace plug::graphics::test;

namespace
{

constexpr IColor kBlock(255, 200, 30, 40);

IOffscreenFrame render(ICanvasOffscreen& canvas)
{
  IOffscreenFrame frame;
  std::string error;
  EXPECT_TRUE(canvas.RenderFrame(frame, error)) << error;
  return frame;
}

TEST(OverlayPixels, AMenuCoversTheControlsAndItsHoveredItemIsLit)
{
  OSTRA_OFFSCREEN(canvas, 200, 150);
  canvas->LoadFont("Roboto-Regular", kRegularFont);
  auto* menuControl = canvas->AttachPopupMenuControl();
  auto* block = canvas->AttachControl(new DrawControl(
      IRECT(0, 0, 200, 150), [](ICanvas& g, const IRECT& r) { g.FillRect(kBlock, r); }));
  IPopupMenu menu("", 0, false, {"one", "two", "three"});
  canvas->CreatePopupMenu(*block, menu, IRECT(20, 10, 120, 30));
  ASSERT_TRUE(menuControl->IsOpen());
  plug::graphics::testing::EventInjector input(*canvas);
  const IRECT two = menuControl->GetItemRECT(0, 1);
  input.MoveTo(two.MW(), two.MH());
  const IPopupMenuStyle& style = menuControl->GetStyle();
  IOffscreenFrame frame = render(*canvas);
  EXPECT_PIXEL(frame, int(two.R) - 4, int(two.MH()), style.highlight);
  const IRECT one = menuControl->GetItemRECT(0, 0);
  EXPECT_PIXEL(frame, int(one.R) - 4, int(one.MH()), style.background);
  EXPECT_PIXEL(frame, 190, 140, kBlock);
  // Some of the item's text is drawn in the highlighted text colour.
  EXPECT_LT(CountDifferent(frame, int(two.L) + 18, int(two.T) + 2, int(two.L) + 60, int(two.B) - 2,
                           style.highlight, 40),
            (42 * int(two.H() - 4)));
  input.Key(0, 0, kVK_ESCAPE);
  frame = render(*canvas);
  EXPECT_PIXEL(frame, int(two.R) - 4, int(two.MH()), kBlock);
}

TEST(OverlayPixels, AFieldAndABoxDrawInTheirColours)
{
  OSTRA_OFFSCREEN(canvas, 400, 200);
  canvas->LoadFont("Roboto-Regular", kRegularFont);
  auto* field = canvas->AttachTextEntryControl();
  auto* box = canvas->AttachMessageBoxControl();
  auto* block = canvas->AttachControl(new DrawControl(
      IRECT(0, 0, 400, 200), [](ICanvas& g, const IRECT& r) { g.FillRect(kBlock, r); }));
  IText style(14.f);
  style.textEntryBGColor = IColor(255, 250, 250, 250);
  canvas->CreateTextEntry(*block, style, IRECT(100, 100, 200, 120), "");
  ASSERT_TRUE(field->IsOpen());
  IOffscreenFrame frame = render(*canvas);
  EXPECT_PIXEL(frame, 190, 110, style.textEntryBGColor);
  EXPECT_PIXEL(frame, 210, 110, kBlock);

  // A box opened by hand (no modal loop here): the editor dims, the box sits in the middle.
  box->Open("Save preset", "Replace it?", kMB_YESNO);
  frame = render(*canvas);
  const IRECT r = box->GetBoxRECT();
  EXPECT_PIXEL(frame, int(r.L) + 4, int(r.B) - 4, box->GetStyle().background);
  const IColor dimmed = frame.GetPixel(5, 5);
  EXPECT_LT(dimmed.R, kBlock.R / 2);
  box->Close(kNO);
  frame = render(*canvas);
  EXPECT_PIXEL(frame, 5, 5, kBlock);
}

} // namespace
