#include "presets/Files.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace corvana::files;
using ostra::test::writeText;
using ostratapedelay::offline::kPresetFormat;

TEST(FileNames, NamesBecomeSafePortableFileNames)
{
  std::string twoByte, threeByte;
  for (int i = 0; i < 50; ++i)
    twoByte += "é";
  for (int i = 0; i < 30; ++i)
    threeByte += "€";
  const std::pair<std::string, std::string> cases[] = {
    // Characters other systems refuse become "-"; everything else stays.
    {"My Delay", "My Delay"}, {"\"*/:<>?\\|x", "---------x"}, {std::string("a\tb\nc\x01") + '\0' + "d", "a-b-c--d"},
    {"Écho ~ ü'\x7f", "Écho ~ ü'\x7f"},
    // Leading and trailing dots and spaces go, with a fallback when nothing is left.
    {"...", "Preset"}, {"   ", "Preset"}, {"", "Preset"}, {" . a.b . ", "a.b"}, {"..hidden", "hidden"},
    // Reserved device names, before the first dot and in any case, get a "-".
    {"con", "con-"}, {"COM1.x", "COM1.x-"}, {"lpt9", "lpt9-"}, {"Aux.mid.tail", "Aux.mid.tail-"}, {"nul ", "nul-"},
    {"COM0", "COM0"}, {"PRNx", "PRNx"}, {"COM10", "COM10"}, {"CONSOLE", "CONSOLE"},
    // Cut at 80 bytes on a character boundary (78 for three-byte characters), then trimmed.
    {twoByte, twoByte.substr(0, 80)}, {threeByte, threeByte.substr(0, 78)}, {std::string(81, 'x'), std::string(80, 'x')},
    {std::string(79, 'x') + "  yz", std::string(79, 'x')}, {std::string(100, '\x80'), "Preset"},
  };
  for (const auto& [name, stem] : cases)
    EXPECT_EQ(pathForName("/presets", name, ".otdpreset", "Preset"), "/presets/" + stem + ".otdpreset") << name;
}

TEST(FileNames, ApplicationSupportFolderFollowsXdgDataHome)
{
  ostra::test::TempDataHome home;
  EXPECT_EQ(corvana::presets::userPresetDirectory(kPresetFormat, applicationSupportDirectory()),
            home.path() / "OstraTape-delay" / "Presets");
  EXPECT_TRUE(corvana::presets::userPresetDirectory(kPresetFormat, {}).empty());

  // A relative value is not valid for the variable and falls back to the home folder.
  ::setenv("XDG_DATA_HOME", "relative/data", 1);
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(applicationSupportDirectory(), std::filesystem::path("/home/someone/.local/share"));
  oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST(FileNames, ListsOnlyRegularFilesWithTheExactExtensionAndDeletesOnlyFiles)
{
  ostra::test::TempFolder folder;
  const auto& dir = folder.path();
  for (const char* name : {"a.otdpreset", "b.OTDPRESET", "c.otdpreset.partial", "d.txt"})
    writeText(dir / name, "x");
  std::filesystem::create_directory(dir / "sub.otdpreset");
  std::filesystem::create_directory(dir / "nested");
  writeText(dir / "nested" / "e.otdpreset", "x");
  std::filesystem::create_symlink(dir / "a.otdpreset", dir / "link.otdpreset");
  std::filesystem::create_symlink(dir / "missing", dir / "dangling.otdpreset");
  auto files = filesWithExtension(dir, ".otdpreset");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::filesystem::path>{dir / "a.otdpreset", dir / "link.otdpreset"}));
  EXPECT_TRUE(filesWithExtension(dir / "nowhere", ".otdpreset").empty());
  EXPECT_TRUE(filesWithExtension(dir / "a.otdpreset", ".otdpreset").empty());

  std::string error;
  EXPECT_TRUE(deleteNamedFile(dir / "a.otdpreset", error));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.otdpreset"));
  EXPECT_FALSE(deleteNamedFile(dir / "a.otdpreset", error));
  EXPECT_EQ(error, "could not delete a.otdpreset");
  // An empty folder that carries the name is not a preset and stays.
  EXPECT_FALSE(deleteNamedFile(dir / "sub.otdpreset", error));
  EXPECT_EQ(error, "could not delete sub.otdpreset");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub.otdpreset"));
}
