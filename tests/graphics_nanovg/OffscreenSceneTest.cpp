// The editor-like scene drawn offscreen: written as PNG at scales 1 and 2, and read back at
// places whose colours are known from the scene.
#include "OffscreenScene.h"
#include "TestScene.h"

#include <filesystem>
#include <fstream>

using namespace plug::graphics;
using namespace plug::graphics::test;

namespace
{

constexpr IColor kArtRed(255, 200, 30, 40);
constexpr IColor kArtGreen(255, 20, 220, 90);

std::unique_ptr<ICanvasOffscreen> makeScene(std::string& skip)
{
  auto canvas = std::make_unique<ICanvasOffscreen>(nullptr, kSceneWidth, kSceneHeight);
  if (!canvas->IsReady())
  {
    skip = canvas->GetError();
    return nullptr;
  }
  std::string error;
  EXPECT_TRUE(canvas->LoadFont("Roboto-Regular", kRegularFont, error)) << error;
  EXPECT_TRUE(canvas->LoadFont("RobotoCondensed-Bold", kCondensedFont, error)) << error;
  BuildTestScene(*canvas);
  return canvas;
}

/** The pixel at editor point (x, y). */
IColor at(const IOffscreenFrame& frame, float scale, float x, float y)
{
  return frame.GetPixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
}

} // namespace

TEST(OffscreenScene, WrittenAsPngAtScalesOneAndTwo)
{
  std::string skip;
  auto canvas = makeScene(skip);
  if (!canvas)
    GTEST_SKIP() << skip;
  for (const float scale : {1.f, 2.f})
  {
    SCOPED_TRACE(scale);
    canvas->Resize(kSceneWidth, kSceneHeight, scale);
    const std::string path =
        std::string(OSTRA_BUILD_DIR) + "/offscreen-scene-" + std::to_string(int(scale)) + ".png";
    std::filesystem::remove(path);
    std::string error;
    ASSERT_TRUE(canvas->RenderPng(path, error)) << error;
    // The PNG header holds the frame's size: twice the pixels a side at scale 2.
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(header) + 1, 3), "PNG");
    const int width = header[16] << 24 | header[17] << 16 | header[18] << 8 | header[19];
    const int height = header[20] << 24 | header[21] << 16 | header[22] << 8 | header[23];
    EXPECT_EQ(width, int(kSceneWidth * scale));
    EXPECT_EQ(height, int(kSceneHeight * scale));
  }
}

TEST(OffscreenScene, PixelsShowEachPartOfTheScene)
{
  std::string skip;
  auto canvas = makeScene(skip);
  if (!canvas)
    GTEST_SKIP() << skip;
  for (const float scale : {1.f, 2.f})
  {
    SCOPED_TRACE(scale);
    canvas->Resize(kSceneWidth, kSceneHeight, scale);
    IOffscreenFrame frame;
    std::string error;
    ASSERT_TRUE(canvas->RenderFrame(frame, error)) << error;
    const int s = static_cast<int>(scale);

    // The filled block, the panel around it and the background outside the panel.
    EXPECT_EQ(Describe(at(frame, scale, 340, 40)), Describe(kSceneAccent));
    EXPECT_EQ(Describe(at(frame, scale, 340, 65)), Describe(kScenePanel));
    EXPECT_EQ(Describe(at(frame, scale, 5, 5)), Describe(IColor(255, 10, 10, 10)));

    // The title: light ink inside its rectangle, left-aligned.
    EXPECT_GT(CountDifferent(frame, 20 * s, 20 * s, 60 * s, 50 * s, kScenePanel, 40), 20 * s * s);
    EXPECT_EQ(CountDifferent(frame, 282 * s, 20 * s, 298 * s, 50 * s, kScenePanel, 0), 0);

    // Knobs: the value arc in the accent colour starts at -135° (lower left) for each.
    for (int i = 0; i < 4; ++i)
    {
      const float cx = 40.f + 70.f * static_cast<float>(i);
      const int l = int((cx - 26) * scale), r = int((cx + 26) * scale);
      EXPECT_GT(CountDifferent(frame, l, 70 * s, r, 122 * s, kScenePanel, 10), 0) << i;
    }

    // The artwork, 2:1 in a 100 x 40 box: 80 x 40 centred, so from x 30 to 110.
    const IRECT art = kSceneArt;
    EXPECT_EQ(Describe(at(frame, scale, art.L + 5, art.MH())), Describe(IColor(255, 10, 10, 10)));
    EXPECT_EQ(Describe(at(frame, scale, 40, 160)), Describe(kArtRed));
    // The ring: centre (30 + 60, 170), outer radius 16, hole 8.
    EXPECT_EQ(Describe(at(frame, scale, 90, 158)), Describe(kArtGreen));
    EXPECT_EQ(Describe(at(frame, scale, 90, 170)), Describe(IColor(255, 10, 10, 10)));
    // The same picture kept in a layer, 120 units to the right, draws the same.
    for (const auto& [x, y] :
         {std::pair(40.f, 160.f), std::pair(90.f, 158.f), std::pair(90.f, 170.f),
          std::pair(60.f, 155.f), std::pair(112.f, 170.f)})
    {
      const int px = int((x + 120) * scale), py = int(y * scale);
      EXPECT_EQ(CountDifferent(frame, px, py, px + 1, py + 1, at(frame, scale, x, y), 3), 0)
          << x << ", " << y;
    }
  }
}
