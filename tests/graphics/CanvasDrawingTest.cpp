// The context's own shape primitives (built on path operations), the path transform, text
// measuring, resources and layers.
#include "GraphicsTestSupport.h"

#include "graphics/ISVGControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace ostra::test
{
namespace
{

namespace fs = std::filesystem;

/** A recording canvas whose shapes go through the context's path versions. */
struct PathCanvas : RecordingCanvas
{
  PathCanvas()
    : RecordingCanvas(nullptr, 200, 100)
  {
    SetRecordPrimitives(false);
  }
};

std::vector<std::string> names(const std::vector<DrawCall>& calls)
{
  std::vector<std::string> out;
  for (const auto& c : calls)
    out.push_back(c.name);
  return out;
}

TEST(CanvasPaths, StrokesAndFillsBuildOnePathEach)
{
  PathCanvas g;
  const IBlend half(EBlend::Default, 0.5f);
  g.DrawArc(COLOR_RED, 50, 40, 10, -90, 90, &half, 2.f);
  EXPECT_EQ(names(g.Calls()), (std::vector<std::string>{"PathClear", "PathArc", "PathStroke"}));
  EXPECT_EQ(g.Calls()[1].nums, (std::vector<float>{50, 40, 10, -90, 90, 1}));
  EXPECT_EQ(g.Calls()[2].color, COLOR_RED);
  EXPECT_FLOAT_EQ(g.Calls()[2].nums[0], 2.f);
  EXPECT_FLOAT_EQ(g.Calls()[2].blendWeight, 0.5f);

  g.ClearCalls();
  g.FillArc(COLOR_BLUE, 50, 40, 10, 0, 45);
  EXPECT_EQ(names(g.Calls()), (std::vector<std::string>{"PathClear", "PathMoveTo", "PathArc",
                                                        "PathClose", "PathFill"}));
  EXPECT_EQ(g.Calls()[1].nums, (std::vector<float>{50, 40}));
}

TEST(CanvasPaths, RoundedCornersAreClockwiseQuarterArcs)
{
  PathCanvas g;
  g.FillRoundRect(COLOR_RED, IRECT(0, 0, 100, 40), 2.f, 4.f, 6.f, 8.f);
  const auto arcs = g.Calls("PathArc");
  ASSERT_EQ(arcs.size(), 4u);
  // Top-right, bottom-right, bottom-left, top-left; 0° up, clockwise.
  EXPECT_EQ(arcs[0].nums, (std::vector<float>{96, 4, 4, 0, 90, 1}));
  EXPECT_EQ(arcs[1].nums, (std::vector<float>{94, 34, 6, 90, 180, 1}));
  EXPECT_EQ(arcs[2].nums, (std::vector<float>{8, 32, 8, 180, 270, 1}));
  EXPECT_EQ(arcs[3].nums, (std::vector<float>{2, 2, 2, 270, 360, 1}));
  EXPECT_EQ(g.Calls("PathMoveTo")[0].nums, (std::vector<float>{2, 0}));

  // Radii beyond half the short side are limited; no radius at all is a plain rectangle.
  g.ClearCalls();
  g.DrawRoundRect(COLOR_RED, IRECT(0, 0, 100, 40), 50.f);
  EXPECT_FLOAT_EQ(g.Calls("PathArc")[0].nums[2], 20.f);
  g.ClearCalls();
  g.FillRoundRect(COLOR_RED, IRECT(0, 0, 100, 40), 0.f);
  EXPECT_EQ(g.Count("PathArc"), 0);
  EXPECT_EQ(g.Count("PathLineTo"), 3);
}

TEST(CanvasPaths, EllipsesPassThroughTheirAxisEnds)
{
  PathCanvas g;
  g.DrawEllipse(COLOR_RED, 50, 40, 20, 10, 90.f);
  // Turned a quarter clockwise: the first axis now points down.
  const auto start = g.Calls("PathMoveTo")[0].nums;
  EXPECT_NEAR(start[0], 50, 1e-4);
  EXPECT_NEAR(start[1], 60, 1e-4);
  const auto curves = g.Calls("PathCubicBezierTo");
  ASSERT_EQ(curves.size(), 4u);
  const float ends[4][2] = {{40, 40}, {50, 20}, {60, 40}, {50, 60}};
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_NEAR(curves[size_t(i)].nums[4], ends[i][0], 1e-4) << i;
    EXPECT_NEAR(curves[size_t(i)].nums[5], ends[i][1], 1e-4) << i;
  }
  // A circle's quarter curve stays within 0.03 % of the radius at its middle.
  g.ClearCalls();
  g.FillCircle(COLOR_RED, 0, 0, 100);
  const auto q = g.Calls("PathCubicBezierTo")[0].nums;
  const float mx = 0.125f * 100 + 0.375f * q[0] + 0.375f * q[2] + 0.125f * q[4];
  const float my = 0.125f * 0 + 0.375f * q[1] + 0.375f * q[3] + 0.125f * q[5];
  EXPECT_NEAR(std::sqrt(mx * mx + my * my), 100.f, 0.03f);
}

TEST(CanvasPaths, DottedLinesAreDashesOfTheirLength)
{
  PathCanvas g;
  g.DrawDottedLine(COLOR_RED, 0, 0, 10, 0, nullptr, 1.f, 2.f);
  const auto moves = g.Calls("PathMoveTo");
  const auto lines = g.Calls("PathLineTo");
  ASSERT_EQ(moves.size(), 3u); // dashes at 0, 4 and 8
  EXPECT_FLOAT_EQ(moves[2].nums[0], 8.f);
  EXPECT_FLOAT_EQ(lines[2].nums[0], 10.f);
  EXPECT_EQ(g.Count("PathStroke"), 1);
}

TEST(CanvasPaths, TransformsComposeAndRestore)
{
  PathCanvas g;
  g.PathTransformTranslate(10, 20);
  g.PathTransformSave();
  g.PathTransformScale(2);
  g.PathTransformRotate(90);
  double x = 1, y = 0;
  g.GetTransform().TransformPoint(x, y);
  EXPECT_NEAR(x, 10, 1e-9); // (1, 0) turned clockwise to (0, 1), doubled, moved
  EXPECT_NEAR(y, 22, 1e-9);
  g.PathTransformRestore();
  EXPECT_EQ(g.GetTransform(), IMatrix().Translate(10, 20));
  g.PathTransformRestore(); // more restores than saves change nothing
  EXPECT_EQ(g.GetTransform(), IMatrix().Translate(10, 20));
}

TEST(CanvasText, MeasureAlignsInTheBoundsAndEmptyTextDrawsNothing)
{
  RecordingCanvas g(nullptr, 200, 100);
  IRECT r(0, 0, 100, 20);
  const IText near(10.f, COLOR_BLACK, "f", EAlign::Near, EVAlign::Top);
  EXPECT_FLOAT_EQ(g.MeasureText(near, "abc", r), 18.f);
  EXPECT_EQ(r, IRECT(0, 0, 18, 10));
  r = IRECT(0, 0, 100, 20);
  g.MeasureText(IText(10.f, COLOR_BLACK, "f", EAlign::Far, EVAlign::Bottom), "abc", r);
  EXPECT_EQ(r, IRECT(82, 10, 100, 20));
  g.DrawText(near, "", IRECT(0, 0, 10, 10));
  g.DrawText(near, nullptr, IRECT(0, 0, 10, 10));
  EXPECT_EQ(g.Count("DrawText"), 0);
}

struct Resources : ::testing::Test
{
  fs::path dir;

  void SetUp() override
  {
    dir = fs::temp_directory_path() /
          ("ostra-graphics-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  void write(const char* name, const std::string& bytes)
  {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
};

TEST_F(Resources, FontsLoadOnceAndFailuresSayWhy)
{
  RecordingCanvas g(nullptr, 200, 100);
  g.AddResourcePath(dir.string());
  write("good.ttf", std::string("\0\1\0\0rest", 8));
  write("bad.ttf", "<html>not a font</html>");
  write("empty.ttf", "");

  std::string error;
  EXPECT_TRUE(g.LoadFont("Good", "good.ttf", error));
  EXPECT_TRUE(g.HasFont("Good"));
  EXPECT_TRUE(g.LoadFont("Good", "missing.ttf", error)); // known already: nothing to do

  EXPECT_FALSE(g.LoadFont("Missing", "missing.ttf", error));
  EXPECT_NE(error.find("missing.ttf"), std::string::npos);
  EXPECT_FALSE(g.LoadFont("Bad", "bad.ttf", error));
  EXPECT_NE(error.find("not a TrueType"), std::string::npos);
  EXPECT_FALSE(g.HasFont("Bad"));
  EXPECT_FALSE(g.LoadFont("Empty", "empty.ttf", error));
  EXPECT_NE(error.find("empty"), std::string::npos);
  EXPECT_FALSE(g.LoadFont("", "good.ttf", error));
}

TEST_F(Resources, SvgLoadsWithItsSizeOrFailsWithAReason)
{
  RecordingCanvas g(nullptr, 200, 100);
  g.AddResourcePath(dir.string());
  write("logo.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"120\" height=\"30\">"
                    "<rect x=\"0\" y=\"0\" width=\"120\" height=\"30\" fill=\"#ff0000\"/></svg>");
  write("broken.svg", "<svg width=\"10\" height=\"10\"><rect");

  std::string error;
  const ISVG svg = g.LoadSVG("logo.svg", error);
  ASSERT_TRUE(svg.IsValid()) << error;
  EXPECT_FLOAT_EQ(svg.W, 120.f);
  EXPECT_FLOAT_EQ(svg.H, 30.f);
  EXPECT_FLOAT_EQ(g.LoadSVG("logo.svg", "px", 144.f).W, 240.f);

  EXPECT_FALSE(g.LoadSVG("broken.svg", error).IsValid());
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(g.LoadSVG("absent.svg", error).IsValid());
  EXPECT_NE(error.find("absent.svg"), std::string::npos);
  EXPECT_FALSE(g.LoadSVG("logo.svg", error, "mm").IsValid());

  // Drawn fitted into the bounds through the path operations.
  g.DrawSVG(svg, IRECT(0, 0, 60, 15));
  EXPECT_EQ(g.Count("DrawSVG"), 1);
  EXPECT_GE(g.Count("PathFill"), 1);
  EXPECT_EQ(g.Calls("PathFill")[0].color, COLOR_RED);
}

TEST_F(Resources, BitmapsLoadThroughTheBackend)
{
  RecordingCanvas g(nullptr, 200, 100);
  g.AddResourcePath(dir.string());
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x40\0\0\0\x20", 24);
  write("knob@2x.png", png);
  write("fake.png", "GIF89a and more bytes to be long enough");
  std::string error;
  const IBitmap bmp = g.LoadBitmap("knob@2x.png", error, 2);
  ASSERT_TRUE(bmp.IsValid()) << error;
  EXPECT_FLOAT_EQ(bmp.W(), 32.f);
  EXPECT_FLOAT_EQ(bmp.H(), 16.f);
  EXPECT_FALSE(g.LoadBitmap("fake.png", error).IsValid());
  EXPECT_FALSE(g.LoadBitmap("none.png", error).IsValid());
}

TEST_F(Resources, SvgControlKeepsItsLayerUntilTheScaleChanges)
{
  RecordingCanvas g(nullptr, 200, 100);
  g.AddResourcePath(dir.string());
  write("logo.svg", "<svg width=\"40\" height=\"10\"><rect width=\"40\" height=\"10\"/></svg>");
  const ISVG svg = g.LoadSVG("logo.svg");
  ASSERT_TRUE(svg.IsValid());
  auto* layered = g.AttachControl(new ISVGControl(IRECT(10, 10, 50, 20), svg, true));
  g.AttachControl(new ISVGControl(IRECT(10, 30, 50, 40), ISVG()));
  g.Tick();
  // Drawn into a layer of the bounds' size in pixels, then the layer onto the frame.
  ASSERT_EQ(g.Count("CreateLayerBitmap"), 1);
  EXPECT_EQ(g.Calls("CreateLayerBitmap")[0].nums, (std::vector<float>{40, 10, 1}));
  EXPECT_EQ(g.Count("DrawSVG"), 1);
  EXPECT_EQ(g.Calls("DrawBitmap")[0].rect, IRECT(10, 10, 50, 20));
  EXPECT_EQ(g.LayerDepth(), 0);

  g.ClearCalls();
  layered->SetDirty(false);
  g.Tick();
  EXPECT_EQ(g.Count("DrawSVG"), 0); // the layer is reused
  EXPECT_EQ(g.Count("DrawBitmap"), 1);

  g.ClearCalls();
  g.SetScreenScale(2.f);
  g.Tick();
  EXPECT_EQ(g.Count("DrawSVG"), 1);
  EXPECT_EQ(g.Calls("CreateLayerBitmap")[0].nums, (std::vector<float>{80, 20, 2}));
}

} // namespace
} // namespace ostra::test
