// What goes wrong is reported, never crashes: fonts that are no fonts, frames too big for GL,
// and a machine where OpenGL cannot start at all.
#include "OffscreenScene.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

using namespace plug::graphics;
using namespace plug::graphics::test;

TEST(OffscreenFailure, FontsThatDoNotLoadSayWhy)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  std::string error;
  EXPECT_FALSE(canvas->LoadFont("Missing", "/nonexistent/Missing.ttf", error));
  EXPECT_NE(error.find("not found"), std::string::npos) << error;

  const auto notAFont = std::filesystem::temp_directory_path() / "ostra-not-a-font.ttf";
  std::ofstream(notAFont) << "this is a text file that claims to be a font, and is not one";
  error.clear();
  EXPECT_FALSE(canvas->LoadFont("Fake", notAFont.c_str(), error));
  EXPECT_NE(error.find("not a TrueType"), std::string::npos) << error;
  EXPECT_FALSE(canvas->HasFont("Fake"));
  std::filesystem::remove(notAFont);

  // The real one loads, once; asking again changes nothing.
  EXPECT_TRUE(canvas->LoadFont("Roboto-Regular", kRegularFont, error)) << error;
  EXPECT_TRUE(canvas->LoadFont("Roboto-Regular", kRegularFont, error)) << error;
  IRECT bounds(0, 0, 100, 20);
  EXPECT_GT(canvas->MeasureText(IText(12.f), "abc", bounds), 0.f);
  IRECT unknown(0, 0, 100, 20);
  EXPECT_EQ(canvas->MeasureText(IText(12.f, COLOR_BLACK, "Fake"), "abc", unknown), 0.f);
}

TEST(OffscreenFailure, ImagesThatDoNotDecodeSayWhy)
{
  OSTRA_OFFSCREEN(canvas, 100, 100);
  const auto notAnImage = std::filesystem::temp_directory_path() / "ostra-not-an-image.png";
  std::ofstream(notAnImage) << "\x89PNG but then nothing of the sort";
  std::string error;
  EXPECT_FALSE(canvas->LoadBitmap(notAnImage.c_str(), error).IsValid());
  EXPECT_NE(error.find("not an image"), std::string::npos) << error;
  std::filesystem::remove(notAnImage);
}

TEST(OffscreenFailure, FramesBeyondWhatGLAllowsAreRefused)
{
  auto canvas = std::make_unique<ICanvasOffscreen>(nullptr, 9000, 10, 4.f);
  if (!canvas->IsReady())
    GTEST_SKIP() << canvas->GetError();
  IOffscreenFrame frame;
  std::string error;
  EXPECT_FALSE(canvas->RenderFrame(frame, error));
  EXPECT_EQ(error.rfind("cannot render: a frame of 36000 x 40 pixels", 0), 0u) << error;
  // The same context draws again once the frame fits.
  canvas->Resize(9000, 10, 1.f);
  EXPECT_TRUE(canvas->RenderFrame(frame, error)) << error;
  EXPECT_EQ(frame.width, 9000);
}

TEST(OffscreenFailure, WithoutAnOpenGLDriverFramesFailWithTheReason)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // In a fresh process that finds no EGL driver, as on a machine without Mesa.
  EXPECT_EXIT(
      {
        setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/egl-vendor.json", 1);
        setenv("__EGL_VENDOR_LIBRARY_DIRS", "/nonexistent", 1);
        ICanvasOffscreen canvas(nullptr, 100, 100);
        canvas.AttachPanelBackground(kBackground);
        IOffscreenFrame frame;
        std::string error;
        const bool drawn = canvas.RenderFrame(frame, error);
        std::cerr << error << std::endl;
        std::exit(!drawn && !canvas.IsReady() && frame.rgba.empty() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "cannot render: .+");
}

TEST(OffscreenFailure, PngsThatCannotBeWrittenSayWhy)
{
  const unsigned char pixel[4] = {1, 2, 3, 4};
  std::string error;
  EXPECT_FALSE(writePng("/nonexistent/folder/frame.png", 1, 1, pixel, error));
  EXPECT_NE(error.find("/nonexistent/folder/frame.png"), std::string::npos);
  EXPECT_FALSE(writePng("/tmp/ostra-empty.png", 0, 5, pixel, error));
  EXPECT_NE(error.find("0 x 5"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("/tmp/ostra-empty.png"));
}
