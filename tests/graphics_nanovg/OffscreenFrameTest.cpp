// Whole frames drawn offscreen and read back: colours where shapes are, nothing where they
// are not, the angle convention, clipping, and the pixel size at each scale.
#include "OffscreenScene.h"

#include "graphics/ITextControl.h"
#include "graphics/offscreen/PngWriter.h"

#include <cmath>

using namespace plug::graphics;
using namespace plug::graphics::test;

namespace
{

constexpr IColor kRed(255, 200, 30, 40);
constexpr IColor kGreen(255, 20, 220, 90);

} // namespace

TEST(OffscreenFrame, FilledRectangleLandsOnItsPixelsAtEachScale)
{
  OSTRA_OFFSCREEN(canvas, 200, 100);
  canvas->AttachControl(new DrawControl(IRECT(20, 20, 60, 50),
                                        [](ICanvas& g, const IRECT& r) { g.FillRect(kRed, r); }));
  for (const float scale : {1.f, 2.f, 1.5f})
  {
    SCOPED_TRACE(scale);
    canvas->Resize(200, 100, scale);
    IOffscreenFrame frame;
    std::string error;
    ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
    EXPECT_EQ(frame.width, std::lround(200 * scale));
    EXPECT_EQ(frame.height, std::lround(100 * scale));
    ASSERT_EQ(frame.rgba.size(), std::size_t(frame.width) * frame.height * 4);
    auto px = [&](float units) { return static_cast<int>(units * scale); };
    // Inside, the exact colour; a pixel beyond each edge, the background.
    EXPECT_EQ(CountDifferent(frame, px(20), px(20), px(60), px(50), kRed, 0), 0);
    EXPECT_PIXEL(frame, px(20) - 1, px(35), kBackground);
    EXPECT_PIXEL(frame, px(60), px(35), kBackground);
    EXPECT_PIXEL(frame, px(40), px(20) - 1, kBackground);
    EXPECT_PIXEL(frame, px(40), px(50), kBackground);
    EXPECT_PIXEL(frame, 0, 0, kBackground);
    EXPECT_PIXEL(frame, frame.width - 1, frame.height - 1, kBackground);
  }
}

TEST(OffscreenFrame, ArcsStartUpAndTurnClockwise)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  // A quarter pie from 0° (up) to 90° (right).
  canvas->AttachControl(new DrawControl(IRECT(0, 0, 100, 100), [](ICanvas& g, const IRECT&)
                                        { g.FillArc(kRed, 50, 50, 40, 0, 90); }));
  IOffscreenFrame frame;
  std::string error;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  EXPECT_PIXEL(frame, 70, 30, kRed);        // upper right
  EXPECT_PIXEL(frame, 30, 30, kBackground); // upper left
  EXPECT_PIXEL(frame, 70, 70, kBackground); // lower right
  EXPECT_PIXEL(frame, 30, 70, kBackground);
  EXPECT_PIXEL(frame, 52, 15, kRed); // just right of the top
  EXPECT_PIXEL(frame, 85, 48, kRed); // just above the right
}

TEST(OffscreenFrame, StrokedArcFollowsItsRadius)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  // From -135° to 135° through the top: the bottom of the circle stays empty.
  canvas->AttachControl(new DrawControl(IRECT(0, 0, 100, 100), [](ICanvas& g, const IRECT&)
                                        { g.DrawArc(kGreen, 50, 50, 30, -135, 135, nullptr, 4); }));
  IOffscreenFrame frame;
  std::string error;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  EXPECT_PIXEL(frame, 50, 20, kGreen);      // top
  EXPECT_PIXEL(frame, 20, 50, kGreen);      // left
  EXPECT_PIXEL(frame, 80, 50, kGreen);      // right
  EXPECT_PIXEL(frame, 50, 80, kBackground); // bottom, in the gap
  EXPECT_PIXEL(frame, 50, 50, kBackground); // centre
}

TEST(OffscreenFrame, PathsWithCurvesAndHoles)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  canvas->AttachControl(new DrawControl(IRECT(0, 0, 100, 100),
                                        [](ICanvas& g, const IRECT&)
                                        {
                                          g.PathClear();
                                          g.PathMoveTo(10, 10);
                                          g.PathLineTo(90, 10);
                                          g.PathLineTo(90, 90);
                                          g.PathLineTo(10, 90);
                                          g.PathClose();
                                          g.PathMoveTo(30, 30);
                                          g.PathCubicBezierTo(30, 70, 30, 70, 70, 70);
                                          g.PathQuadraticBezierTo(70, 30, 30, 30);
                                          g.PathClose();
                                          g.PathSetWinding(false); // a hole
                                          g.PathFill(kRed);
                                        }));
  IOffscreenFrame frame;
  std::string error;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  EXPECT_PIXEL(frame, 15, 15, kRed);
  EXPECT_PIXEL(frame, 85, 50, kRed);
  EXPECT_PIXEL(frame, 50, 50, kBackground); // inside the hole
  EXPECT_PIXEL(frame, 5, 5, kBackground);
}

TEST(OffscreenFrame, NothingIsDrawnOutsideTheClip)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  // The context clips each control to its own region, whatever it draws.
  canvas->AttachControl(new DrawControl(IRECT(40, 40, 60, 60), [](ICanvas& g, const IRECT&)
                                        { g.FillRect(kRed, IRECT(0, 0, 100, 100)); }));
  // A clip set inside Draw narrows it further; an empty one draws nothing.
  canvas->AttachControl(new DrawControl(IRECT(0, 0, 30, 30),
                                        [](ICanvas& g, const IRECT&)
                                        {
                                          g.SetClipRegion(IRECT(10, 10, 20, 20));
                                          g.FillRect(kGreen, IRECT(0, 0, 30, 30));
                                          g.SetClipRegion(IRECT());
                                          g.FillRect(kRed, IRECT(0, 0, 30, 30));
                                        }));
  IOffscreenFrame frame;
  std::string error;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  EXPECT_EQ(CountDifferent(frame, 40, 40, 60, 60, kRed, 0), 0);
  // The region is the bounds grown by 0.75, snapped to whole pixels: one pixel more.
  EXPECT_EQ(CountDifferent(frame, 0, 0, 100, 39, kBackground, 0) +
                CountDifferent(frame, 0, 61, 100, 100, kBackground, 0) +
                CountDifferent(frame, 61, 39, 100, 61, kBackground, 0),
            CountDifferent(frame, 0, 0, 30, 30, kBackground, 0));
  EXPECT_EQ(CountDifferent(frame, 10, 10, 20, 20, kGreen, 0), 0);
  EXPECT_EQ(CountDifferent(frame, 0, 0, 30, 30, kBackground, 0), 100); // only the green square
}

TEST(OffscreenFrame, BlendWeightMakesColoursTranslucent)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  canvas->AttachControl(new DrawControl(IRECT(0, 0, 100, 100),
                                        [](ICanvas& g, const IRECT&)
                                        {
                                          const IBlend half(EBlend::Default, 0.5f);
                                          g.FillRect(COLOR_WHITE, IRECT(0, 0, 50, 100), &half);
                                          g.FillRect(COLOR_WHITE.WithAlpha(64),
                                                     IRECT(50, 0, 100, 100));
                                        }));
  IOffscreenFrame frame;
  std::string error;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  const IColor half = frame.GetPixel(25, 50);
  EXPECT_NEAR(half.R, 10 + (255 - 10) * 0.5, 2);
  EXPECT_EQ(half.A, 255);
  EXPECT_NEAR(frame.GetPixel(75, 50).G, 10 + (255 - 10) * 64 / 255.0, 2);
}

TEST(OffscreenFrame, TextIsDrawnWhereItsBoundsAre)
{
  OSTRA_OFFSCREEN(canvas, 300, 100);
  std::string error;
  ASSERT_TRUE(canvas->LoadFont("Roboto-Regular", kRegularFont, error)) << error;
  const IText style(24.f, COLOR_WHITE, "Roboto-Regular", EAlign::Near);
  canvas->AttachControl(new ITextControl(IRECT(20, 20, 280, 50), "OSTRATAPE", style, kBackground));
  // Text in a font never loaded draws nothing, and does not fail.
  canvas->AttachControl(new ITextControl(IRECT(20, 60, 280, 90), "MISSING",
                                         IText(24.f, COLOR_WHITE, "Nope"), kBackground));
  IOffscreenFrame frame;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  IRECT measured(20, 20, 280, 50);
  const float width = canvas->MeasureText(style, "OSTRATAPE", measured);
  EXPECT_GT(width, 80.f);
  EXPECT_LT(width, 200.f);
  // Left-aligned text starts at the left edge and is about as wide as measured.
  const int ink = CountDifferent(frame, 20, 20, 280, 50, kBackground, 30);
  EXPECT_GT(ink, 300);
  EXPECT_EQ(CountDifferent(frame, 0, 0, 19, 100, kBackground, 0), 0);
  EXPECT_EQ(CountDifferent(frame, static_cast<int>(20 + width + 2), 0, 300, 100, kBackground, 0),
            0);
  EXPECT_GT(CountDifferent(frame, 20, 20, static_cast<int>(20 + width / 4), 50, kBackground, 30),
            0);
  EXPECT_EQ(CountDifferent(frame, 0, 55, 300, 100, kBackground, 0), 0);
}

TEST(OffscreenFrame, MeasuredTextFollowsAlignmentAndLength)
{
  OSTRA_OFFSCREEN(canvas, 300, 100);
  ASSERT_TRUE(canvas->LoadFont("RobotoCondensed-Bold", kCondensedFont));
  IText style(20.f, COLOR_WHITE, "RobotoCondensed-Bold");
  IRECT shortBox(0, 0, 300, 40), longBox(0, 0, 300, 40);
  const float shortWidth = canvas->MeasureText(style, "TAPE", shortBox);
  const float longWidth = canvas->MeasureText(style, "TAPE TAPE", longBox);
  EXPECT_GT(longWidth, 2 * shortWidth);
  EXPECT_NEAR(shortBox.MW(), 150.f, 0.5f); // centred
  EXPECT_NEAR(shortBox.MH(), 20.f, 0.5f);
  EXPECT_NEAR(shortBox.W(), shortWidth, 1.f);
  EXPECT_GT(shortBox.H(), 15.f);
  style.align = EAlign::Far;
  IRECT right(0, 0, 300, 40);
  canvas->MeasureText(style, "TAPE", right);
  EXPECT_NEAR(right.R, 300.f, 0.5f);
}

TEST(OffscreenFrame, FrameIsWrittenAsPng)
{
  OSTRA_OFFSCREEN(canvas, 120, 80);
  canvas->AttachControl(new DrawControl(IRECT(10, 10, 50, 50),
                                        [](ICanvas& g, const IRECT& r) { g.FillRect(kRed, r); }));
  canvas->Resize(120, 80, 2.f);
  const std::string path = std::string(OSTRA_BUILD_DIR) + "/offscreen-frame-test.png";
  std::string error;
  ASSERT_TRUE(canvas->RenderPng(path, error)) << error;
  // Back through the image loader: the same pixels at the same places.
  IBitmap bitmap = canvas->LoadBitmap(path.c_str(), error, 2);
  ASSERT_TRUE(bitmap.IsValid()) << error;
  EXPECT_EQ(bitmap.api->GetWidth(), 240);
  EXPECT_EQ(bitmap.api->GetHeight(), 160);
  EXPECT_FLOAT_EQ(bitmap.W(), 120.f);

  auto viewer = std::make_unique<ICanvasOffscreen>(nullptr, 120, 80);
  IBitmap again = viewer->LoadBitmap(path.c_str(), error, 1);
  ASSERT_TRUE(again.IsValid()) << error;
  viewer->AttachControl(new DrawControl(IRECT(0, 0, 120, 80), [again](ICanvas& g, const IRECT&)
                                        { g.DrawBitmap(again, IRECT(0, 0, 120, 80), 0, 0); }));
  IOffscreenFrame frame;
  ASSERT_TRUE(viewer->RenderFrame(frame, error)) << error;
  EXPECT_PIXEL(frame, 30, 30, kRed); // (60, 60) of the 2x picture
  EXPECT_PIXEL(frame, 5, 5, kBackground);
  // One picture pixel to one frame pixel: the square covers pixels 20 to 99 of the picture.
  EXPECT_PIXEL(frame, 99, 30, kRed);
  EXPECT_PIXEL(frame, 100, 30, kBackground);
}

TEST(OffscreenFrame, BitmapsDrawFromTheirSourceOffset)
{
  OSTRA_OFFSCREEN(canvas, 60, 60);
  // A 4 x 4 picture: red left half, green right half.
  std::vector<unsigned char> rgba(4 * 4 * 4);
  for (int i = 0; i < 16; ++i)
  {
    const IColor c = i % 4 < 2 ? kRed : kGreen;
    rgba[4 * i] = static_cast<unsigned char>(c.R);
    rgba[4 * i + 1] = static_cast<unsigned char>(c.G);
    rgba[4 * i + 2] = static_cast<unsigned char>(c.B);
    rgba[4 * i + 3] = 255;
  }
  const std::string path = std::string(OSTRA_BUILD_DIR) + "/offscreen-bitmap-test.png";
  std::string error;
  ASSERT_TRUE(writePng(path, 4, 4, rgba.data(), error)) << error;
  const IBitmap bitmap = canvas->LoadBitmap(path.c_str(), error);
  ASSERT_TRUE(bitmap.IsValid()) << error;
  canvas->AttachControl(new DrawControl(IRECT(0, 0, 60, 60),
                                        [bitmap](ICanvas& g, const IRECT&)
                                        {
                                          g.DrawBitmap(bitmap, IRECT(10, 10, 14, 14), 0, 0);
                                          // From its third column on: only green shows.
                                          g.DrawBitmap(bitmap, IRECT(30, 10, 32, 14), 2, 0);
                                          g.DrawFittedBitmap(bitmap, IRECT(10, 30, 50, 50));
                                        }));
  IOffscreenFrame frame;
  ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
  EXPECT_PIXEL(frame, 10, 12, kRed);
  EXPECT_PIXEL(frame, 13, 12, kGreen);
  EXPECT_PIXEL(frame, 14, 12, kBackground);
  EXPECT_PIXEL(frame, 30, 12, kGreen);
  EXPECT_PIXEL(frame, 32, 12, kBackground);
  EXPECT_PIXEL(frame, 15, 40, kRed); // scaled up ten times across
  EXPECT_PIXEL(frame, 45, 40, kGreen);
}
