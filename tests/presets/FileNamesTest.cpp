#include "presets/Files.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using corvana::files::pathForName;
using ostratapedelay::offline::kPresetFormat;

namespace
{

std::string fileNameFor(std::string_view name)
{
  return pathForName("/presets", name, ".otdpreset", "Preset").filename().string();
}

} // namespace

TEST(FileNames, ReplacesCharactersOtherSystemsRefuse)
{
  EXPECT_EQ(fileNameFor("My Delay"), "My Delay.otdpreset");
  EXPECT_EQ(fileNameFor("a/b:c"), "a-b-c.otdpreset");
  EXPECT_EQ(fileNameFor("\"*/:<>?\\|x"), "---------x.otdpreset");
  EXPECT_EQ(fileNameFor(std::string("a\tb\nc\x01") + '\0' + "d"), "a-b-c--d.otdpreset");
  // Everything else stays, multi-byte characters and DEL included.
  EXPECT_EQ(fileNameFor("Écho ~ ü'\x7f"), "Écho ~ ü'\x7f.otdpreset");
  EXPECT_EQ(pathForName("/a/b", "x", ".ext", "F"), std::filesystem::path("/a/b/x.ext"));
}

TEST(FileNames, TrimsDotsAndSpacesAndFallsBack)
{
  EXPECT_EQ(fileNameFor("..."), "Preset.otdpreset");
  EXPECT_EQ(fileNameFor("   "), "Preset.otdpreset");
  EXPECT_EQ(fileNameFor(""), "Preset.otdpreset");
  EXPECT_EQ(fileNameFor(" . a.b . "), "a.b.otdpreset");
  EXPECT_EQ(fileNameFor("..hidden"), "hidden.otdpreset");
}

TEST(FileNames, AvoidsReservedDeviceNames)
{
  EXPECT_EQ(fileNameFor("con"), "con-.otdpreset");
  EXPECT_EQ(fileNameFor("COM1.x"), "COM1.x-.otdpreset");
  EXPECT_EQ(fileNameFor("COM0"), "COM0.otdpreset");
  EXPECT_EQ(fileNameFor("lpt9"), "lpt9-.otdpreset");
  EXPECT_EQ(fileNameFor("Aux.mid.tail"), "Aux.mid.tail-.otdpreset");
  EXPECT_EQ(fileNameFor("nul "), "nul-.otdpreset");
  EXPECT_EQ(fileNameFor("PRNx"), "PRNx.otdpreset");
  EXPECT_EQ(fileNameFor("COM10"), "COM10.otdpreset");
  EXPECT_EQ(fileNameFor("CONSOLE"), "CONSOLE.otdpreset");
}

TEST(FileNames, CutsLongNamesOnCharacterBoundaries)
{
  std::string twoByte;
  for (int i = 0; i < 50; ++i)
    twoByte += "é";
  EXPECT_EQ(fileNameFor(twoByte), twoByte.substr(0, 80) + ".otdpreset");

  // With three-byte characters byte 80 is inside one: the cut moves back to 78.
  std::string threeByte;
  for (int i = 0; i < 30; ++i)
    threeByte += "€";
  EXPECT_EQ(fileNameFor(threeByte), threeByte.substr(0, 78) + ".otdpreset");

  EXPECT_EQ(fileNameFor(std::string(80, 'x')), std::string(80, 'x') + ".otdpreset");
  EXPECT_EQ(fileNameFor(std::string(81, 'x')), std::string(80, 'x') + ".otdpreset");
  // A cut that leaves a trailing space drops it too.
  EXPECT_EQ(fileNameFor(std::string(79, 'x') + "  yz"), std::string(79, 'x') + ".otdpreset");
  // Nothing but stray continuation bytes: nothing is left, so the fallback is used.
  EXPECT_EQ(fileNameFor(std::string(100, '\x80')), "Preset.otdpreset");
}

TEST(FileNames, ApplicationSupportFolderFollowsXdgDataHome)
{
  ostra::test::TempDataHome home;
  EXPECT_EQ(corvana::files::applicationSupportDirectory(), home.path());
  EXPECT_EQ(corvana::presets::userPresetDirectory(kPresetFormat, corvana::files::applicationSupportDirectory()),
            home.path() / "OstraTape-delay" / "Presets");

  // A relative value is not valid for the variable and falls back to the home folder.
  ::setenv("XDG_DATA_HOME", "relative/data", 1);
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(corvana::files::applicationSupportDirectory(), std::filesystem::path("/home/someone/.local/share"));
  if (oldHome)
    ::setenv("HOME", savedHome.c_str(), 1);
  else
    ::unsetenv("HOME");
  EXPECT_TRUE(corvana::presets::userPresetDirectory(kPresetFormat, {}).empty());
}

TEST(FileNames, ListsOnlyRegularFilesWithTheExactExtension)
{
  ostra::test::TempFolder folder;
  const auto& dir = folder.path();
  ostra::test::writeText(dir / "a.otdpreset", "x");
  ostra::test::writeText(dir / "b.OTDPRESET", "x");
  ostra::test::writeText(dir / "c.otdpreset.partial", "x");
  ostra::test::writeText(dir / "d.txt", "x");
  std::filesystem::create_directory(dir / "sub.otdpreset");
  std::filesystem::create_directory(dir / "nested");
  ostra::test::writeText(dir / "nested" / "e.otdpreset", "x");
  std::filesystem::create_symlink(dir / "a.otdpreset", dir / "link.otdpreset");
  std::filesystem::create_symlink(dir / "missing", dir / "dangling.otdpreset");

  auto files = corvana::files::filesWithExtension(dir, ".otdpreset");
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].filename(), "a.otdpreset");
  EXPECT_EQ(files[1].filename(), "link.otdpreset");

  EXPECT_TRUE(corvana::files::filesWithExtension(dir / "nowhere", ".otdpreset").empty());
  EXPECT_TRUE(corvana::files::filesWithExtension(dir / "a.otdpreset", ".otdpreset").empty());
}

TEST(FileNames, DeleteRemovesFilesOnly)
{
  ostra::test::TempFolder folder;
  const auto file = folder.path() / "x.otdpreset";
  ostra::test::writeText(file, "x");
  std::string error;
  EXPECT_TRUE(corvana::files::deleteNamedFile(file, error));
  EXPECT_FALSE(std::filesystem::exists(file));

  EXPECT_FALSE(corvana::files::deleteNamedFile(file, error));
  EXPECT_EQ(error, "could not delete x.otdpreset");

  // An empty folder that carries the name is not a preset and stays.
  const auto dir = folder.path() / "d.otdpreset";
  std::filesystem::create_directory(dir);
  error.clear();
  EXPECT_FALSE(corvana::files::deleteNamedFile(dir, error));
  EXPECT_EQ(error, "could not delete d.otdpreset");
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}
