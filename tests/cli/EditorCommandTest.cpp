// `ostratape editor`: picture sizes per scale, colours at known points (background, body,
// the bypass pill's accent dot), accent and state options, clicks, a played input moving
// the tape meter, and errors that name the option or file.
#include "cli/CliTestSupport.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

#include <cstdlib>
#include <memory>

using namespace ostratapedelay::cli::test;

namespace
{

struct Picture
{
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;

  /** Red, green, blue at editor point (x, y) for a picture drawn at `scale`. */
  std::array<int, 3> at(float x, float y, float scale = 1.f) const
  {
    const int px = int(x * scale), py = int(y * scale);
    const size_t i = (size_t(py) * size_t(width) + size_t(px)) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
  }
};

Picture readPng(const std::string& path)
{
  Picture p;
  int channels = 0;
  std::unique_ptr<unsigned char, void (*)(void*)> data(
      stbi_load(path.c_str(), &p.width, &p.height, &channels, 4), stbi_image_free);
  if (data)
    p.rgba.assign(data.get(), data.get() + size_t(p.width) * size_t(p.height) * 4);
  return p;
}

::testing::AssertionResult near(const std::array<int, 3>& actual,
                                const std::array<int, 3>& expected, int tolerance = 3)
{
  for (size_t i = 0; i < 3; ++i)
    if (std::abs(actual[i] - expected[i]) > tolerance)
      return ::testing::AssertionFailure()
             << "(" << actual[0] << ", " << actual[1] << ", " << actual[2] << ") is not ("
             << expected[0] << ", " << expected[1] << ", " << expected[2] << ")";
  return ::testing::AssertionSuccess();
}

constexpr std::array<int, 3> kBackground{10, 10, 10};
constexpr std::array<int, 3> kBody{20, 20, 20};
constexpr std::array<int, 3> kGreen{21, 232, 121};
constexpr std::array<int, 3> kRed{233, 21, 90};
// The unlit dot: white at alpha 56 over the pill's fill.
constexpr std::array<int, 3> kUnlit{70, 70, 70};
// The middle of the bypass pill's dot, and a point of the body panel that nothing covers.
constexpr float kDotX = 877.5f, kDotY = 62.f;
constexpr float kBodyX = 500.f, kBodyY = 395.f;

class EditorCommand : public ::testing::Test
{
protected:
  TempDir dir;

  Picture draw(std::vector<std::string> args, const std::string& name = "editor.png")
  {
    args.insert(args.begin(), {"editor", dir.file(name)});
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return readPng(dir.file(name));
  }
};

TEST_F(EditorCommand, ThePictureIsTheEditorsSizeAtEachScale)
{
  for (auto [scale, w, h] :
       {std::tuple("0.75", 750, 342), std::tuple("1", 1000, 456), std::tuple("2", 2000, 912)})
  {
    const Picture p = draw({"--scale", scale});
    EXPECT_EQ(std::pair(p.width, p.height), std::pair(w, h)) << scale;
    const float s = float(std::atof(scale));
    EXPECT_TRUE(near(p.at(5, 60, s), kBackground)) << scale;
    EXPECT_TRUE(near(p.at(kBodyX, kBodyY, s), kBody)) << scale;
    EXPECT_TRUE(near(p.at(kDotX, kDotY, s), kGreen, 6)) << scale;
  }
  const ToolRun run = runTool({"editor", dir.file("default.png")});
  EXPECT_EQ(run.out, "wrote " + dir.file("default.png") + ": 1000 x 456 pixels\n");
  EXPECT_EQ(run.err, "") << "fonts and artwork were found";
}

TEST_F(EditorCommand, TheAccentAndTheStateShowInTheDot)
{
  EXPECT_TRUE(near(draw({"--accent", "Red"}).at(kDotX, kDotY), kRed));
  EXPECT_TRUE(near(draw({"--accent", "1", "--scale", "2"}).at(kDotX, kDotY, 2.f), kRed));
  EXPECT_TRUE(near(draw({"--set", "Bypass=on"}).at(kDotX, kDotY), kUnlit));
  EXPECT_TRUE(near(draw({"--accent", "daw color"}).at(kDotX, kDotY), kGreen));
}

TEST_F(EditorCommand, ClicksActInOrderBeforeThePicture)
{
  EXPECT_TRUE(near(draw({"--click", "918,62"}).at(kDotX, kDotY), kUnlit));
  EXPECT_TRUE(near(draw({"--click", "918,62", "--click", "918,62"}).at(kDotX, kDotY), kGreen));
}

TEST_F(EditorCommand, APlayedInputFillsTheTapeMeter)
{
  writeRaw(dir.file("in.wav"), noise(2, 48000, 11), 48000);
  // Near the bottom of the meter bar: the track alone without input, the level bars with it.
  const auto silent = draw({}).at(57, 344);
  const auto played = draw({"--input", dir.file("in.wav")}).at(57, 344);
  EXPECT_LT(silent[1], 60);
  EXPECT_GT(played[1], 120);
  EXPECT_GT(played[1], played[0] + 60) << "in the accent";
}

TEST_F(EditorCommand, ErrorsNameTheOptionOrFileAndExitWith2)
{
  struct Case
  {
    std::vector<std::string> args;
    std::string named;
  };
  const std::string out = dir.file("x.png");
  const Case cases[] = {
      {{"editor", out, "--accent", "Pink"}, "--accent"},
      {{"editor", out, "--accent", "6"}, "--accent"},
      {{"editor", out, "--scale", "3"}, "--scale"},
      {{"editor", out, "--click", "500"}, "--click"},
      {{"editor", out, "--click", "1200,5"}, "--click"},
      {{"editor", out, "--input-mode", "both"}, "--input-mode"},
      {{"editor", out, "--set", "Nope=1"}, "Nope"},
      {{"editor", out, "--input", dir.file("missing.wav")}, "missing.wav"},
      {{"editor", dir.file("no-folder/x.png")}, "no-folder/x.png"},
  };
  for (const Case& c : cases)
  {
    const ToolRun run = runTool(c.args);
    EXPECT_EQ(run.status, 2) << c.named;
    EXPECT_TRUE(contains(run.err, c.named)) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out)) << "nothing is written on an error";
}

} // namespace

TEST_F(EditorCommand, APresetsPictureWaitsForItsRepeatsAndDrawsThemOnBothSides)
{
  // Ping-pong echoes alternate sides: accent bars above and below the display's centre line.
  const Picture p = draw({"--preset", "Ping and pong"});
  int above = 0, below = 0;
  for (float x = 60; x < 970; x += 1)
    for (float y = 112; y < 230; y += 1)
    {
      if (!near(p.at(x, y), kGreen, 40))
        continue;
      (y < 166 ? above : below) += y < 166 || y > 174;
    }
  EXPECT_GT(above, 20);
  EXPECT_GT(below, 20);
}

TEST_F(EditorCommand, AClickOnTheMenuButtonLeavesTheSettingsMenuOpenInThePicture)
{
  const Picture closed = draw({}, "closed.png");
  const Picture open = draw({"--click", "967,16"}, "open.png");
  int changed = 0;
  for (float x = 870; x < 990; x += 2)
    for (float y = 40; y < 360; y += 2)
      changed += closed.at(x, y) != open.at(x, y);
  EXPECT_GT(changed, 3000) << "the menu covers the right edge below the bar";
}
