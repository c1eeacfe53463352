#include "presets/Base64.h"
#include "presets/Files.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"
#include "ChildProcess.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using namespace corvana::presets;
using ostra::test::readText;
using ostra::test::writeText;
using ostratapedelay::offline::kPresetFormat;

namespace
{

const std::vector<std::uint8_t> kState{'1', 'S', 'T', 'O', 3, 0, 0, 0, 0xff, 0x00, 0x80};

bool parse(const std::string& text, SavedPreset& preset, std::string& error)
{
  std::istringstream stream(text);
  return parsePreset(kPresetFormat, stream, preset, error, "x.otdpreset");
}

std::string stateLine(const std::vector<std::uint8_t>& state = kState)
{
  return "state=" + toBase64(state) + "\n";
}

/** A preset folder inside a temporary XDG_DATA_HOME, as the plug-in would use it. */
class PresetFolder : public ::testing::Test
{
protected:
  ostra::test::TempDataHome home;
  std::filesystem::path folder =
    userPresetDirectory(kPresetFormat, corvana::files::applicationSupportDirectory());

  std::vector<std::string> fileNames() const
  {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  void write(std::string_view name, const std::vector<std::uint8_t>& state = kState)
  {
    std::string error;
    ASSERT_TRUE(writePreset(kPresetFormat, folder, name, state, error)) << error;
  }
};

} // namespace

TEST(PresetText, ParsesKeysLastOccurrenceAndCarriageReturns)
{
  SavedPreset preset;
  preset.path = "/old";
  std::string error;
  const std::string text = "OstraTape-delay preset 1\r\n"
                           "name=first\r\n"
                           "no equals sign\n"
                           "other=ignored\n"
                           "state=" + toBase64(std::vector<std::uint8_t>{1}) + "\r\n"
                           "name=a=b \r\r\n"
                           "=orphan value\n"
                           + stateLine();
  ASSERT_TRUE(parse(text, preset, error)) << error;
  EXPECT_EQ(preset.name, "a=b \r");
  EXPECT_EQ(preset.state, kState);
  EXPECT_TRUE(preset.path.empty());

  // Without a final line feed the last line still counts.
  std::string unterminated = "OstraTape-delay preset 1\nname=n\n" + stateLine();
  unterminated.pop_back();
  ASSERT_TRUE(parse(unterminated, preset, error));
  EXPECT_EQ(preset.state, kState);
}

TEST(PresetText, DamagedTextsGiveTheirErrors)
{
  const std::string notPreset = "not an OstraTape-delay preset: x.otdpreset";
  const std::string noState = "the preset has no readable state: x.otdpreset";
  const std::pair<std::string, std::string> cases[] = {
    {"", notPreset},
    {"OstraTape-delay preset 2\n" + stateLine(), notPreset},
    {"OstraTape-delay preset 1 \n" + stateLine(), notPreset},
    {"ostraTape-delay preset 1\n" + stateLine(), notPreset},
    {"\nOstraTape-delay preset 1\n" + stateLine(), notPreset},
    {"OstraTape-delay preset 1\nname=x\n", noState},
    {"OstraTape-delay preset 1", noState},
    {"OstraTape-delay preset 1\nstate=YWJ\n", noState},
    {"OstraTape-delay preset 1\nstate=YW Jj\n", noState},
    {"OstraTape-delay preset 1\nstate=\n", noState},
    {"OstraTape-delay preset 1\nState=YWJj\n", noState},
    {"OstraTape-delay preset 1\n state=YWJj\n", noState},
    // A later damaged state line replaces the good verdict of an earlier one.
    {"OstraTape-delay preset 1\nstate=YWJj\nstate=YQ=A\n", noState},
  };
  for (const auto& [text, expected] : cases)
  {
    SavedPreset preset;
    std::string error;
    EXPECT_FALSE(parse(text, preset, error)) << text;
    EXPECT_EQ(error, expected) << text;
  }
}

TEST(PresetText, RefusesOverlongLinesWithoutReadingThemWhole)
{
  SavedPreset preset;
  std::string error;
  const std::string longLine(kMaxPresetLineBytes + 1, 'A');
  EXPECT_FALSE(parse(longLine + "\n" + stateLine(), preset, error));
  EXPECT_EQ(error, "not an OstraTape-delay preset: x.otdpreset");
  EXPECT_FALSE(parse("OstraTape-delay preset 1\n" + stateLine() + "name=" + longLine, preset, error));
  EXPECT_EQ(error, "the preset has no readable state: x.otdpreset");
  // A line right at the limit is fine.
  const std::string name(kMaxPresetLineBytes - 5, 'n');
  ASSERT_TRUE(parse("OstraTape-delay preset 1\nname=" + name + "\n" + stateLine(), preset, error));
  EXPECT_EQ(preset.name, name);
}

TEST(PresetText, WrittenTextIsThreeLinesWithLineBreaksFlattened)
{
  const auto text = presetText(kPresetFormat, "two\nlines\r!", kState);
  EXPECT_EQ(text, "OstraTape-delay preset 1\nname=two lines !\nstate=" + toBase64(kState) + "\n");
  SavedPreset preset;
  std::string error;
  ASSERT_TRUE(parse(text, preset, error));
  EXPECT_EQ(preset.name, "two lines !");
  EXPECT_EQ(preset.state, kState);
}

TEST_F(PresetFolder, WriteAndReadRoundTripEveryField)
{
  std::vector<std::uint8_t> bigState(5000);
  for (std::size_t i = 0; i < bigState.size(); ++i)
    bigState[i] = static_cast<std::uint8_t>(i * 7);
  const std::string names[] = {"My Delay", "a/b:c", "Écho = wide", std::string("nul\0inside", 10), "..."};
  for (const auto& name : names)
    write(name, bigState);

  const auto presets = listPresets(kPresetFormat, folder);
  ASSERT_EQ(presets.size(), std::size(names));
  for (const auto& name : names)
  {
    const auto it = std::find_if(presets.begin(), presets.end(), [&](const auto& p) { return p.name == name; });
    ASSERT_NE(it, presets.end()) << name;
    EXPECT_EQ(it->state, bigState);
    EXPECT_EQ(it->path, presetPathForName(kPresetFormat, folder, name));
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "My Delay.otdpreset"));
  EXPECT_TRUE(std::filesystem::exists(folder / "a-b-c.otdpreset"));
  EXPECT_TRUE(std::filesystem::exists(folder / "Preset.otdpreset"));
  EXPECT_EQ(readText(folder / "a-b-c.otdpreset"),
            "OstraTape-delay preset 1\nname=a/b:c\nstate=" + toBase64(bigState) + "\n");
}

TEST_F(PresetFolder, SameNameReplacesInPlaceCollisionsGetNumbers)
{
  write("My Delay", {1});
  write("My Delay", {2});
  write("A?", {3});
  write("A*", {4});
  write("A|", {5});
  write("A*", {6});
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"A--1.otdpreset", "A--2.otdpreset", "A-.otdpreset",
                                                   "My Delay.otdpreset"}));
  SavedPreset preset;
  std::string error;
  ASSERT_TRUE(readPreset(kPresetFormat, folder / "My Delay.otdpreset", preset, error));
  EXPECT_EQ(preset.state, std::vector<std::uint8_t>{2});
  ASSERT_TRUE(readPreset(kPresetFormat, folder / "A--1.otdpreset", preset, error));
  EXPECT_EQ(preset.name, "A*");
  EXPECT_EQ(preset.state, std::vector<std::uint8_t>{6});

  // A name with a line break finds its own file again instead of piling up copies.
  write("x\ny", {7});
  write("x\ny", {8});
  ASSERT_TRUE(readPreset(kPresetFormat, folder / "x-y.otdpreset", preset, error));
  EXPECT_EQ(preset.state, std::vector<std::uint8_t>{8});
  EXPECT_FALSE(std::filesystem::exists(folder / "x-y-1.otdpreset"));
}

TEST_F(PresetFolder, NeverReplacesAFileItCannotReadAsThisPreset)
{
  std::filesystem::create_directories(folder);
  writeText(folder / "Mine.otdpreset", "my own notes, not a preset\n");
  std::filesystem::create_directory(folder / "Mine-1.otdpreset");
  ASSERT_EQ(::mkfifo((folder / "Mine-2.otdpreset").c_str(), 0600), 0);
  // Reading a FIFO would wait for a writer forever; the child turns a hang into a failure.
  EXPECT_EQ(ostra::test::runInChild([&] {
              std::string error;
              return writePreset(kPresetFormat, folder, "Mine", std::vector<std::uint8_t>{1}, error) ? 0 : 1;
            }),
            0);
  EXPECT_EQ(readText(folder / "Mine.otdpreset"), "my own notes, not a preset\n");
  EXPECT_EQ(std::filesystem::status(folder / "Mine-2.otdpreset").type(), std::filesystem::file_type::fifo);
  SavedPreset preset;
  std::string error;
  ASSERT_TRUE(readPreset(kPresetFormat, folder / "Mine-3.otdpreset", preset, error));
  EXPECT_EQ(preset.name, "Mine");
  EXPECT_EQ(listPresets(kPresetFormat, folder).size(), 1u);
}

TEST_F(PresetFolder, AllCandidatesTakenFailsTheWriteInsteadOfOverwriting)
{
  std::filesystem::create_directories(folder);
  const std::string other = presetText(kPresetFormat, "other", std::vector<std::uint8_t>{9});
  writeText(folder / "Busy.otdpreset", other);
  for (int k = 1; k <= kMaxPresetFileCollisions; ++k)
    writeText(folder / ("Busy-" + std::to_string(k) + ".otdpreset"), other);

  EXPECT_TRUE(presetPathForName(kPresetFormat, folder, "Busy").empty());
  std::string error;
  EXPECT_FALSE(writePreset(kPresetFormat, folder, "Busy", kState, error));
  EXPECT_EQ(error, "could not write " + (folder / "Busy.otdpreset").string());
  EXPECT_EQ(readText(folder / "Busy.otdpreset"), other);
  EXPECT_FALSE(std::filesystem::exists(folder / "Busy-1000.otdpreset"));

  // Freeing the last candidate makes room again.
  std::filesystem::remove(folder / "Busy-999.otdpreset");
  EXPECT_TRUE(writePreset(kPresetFormat, folder, "Busy", kState, error)) << error;
  EXPECT_EQ(readText(folder / "Busy.otdpreset"), other);
}

TEST_F(PresetFolder, EmptyStateIsNotWrittenOverAGoodPreset)
{
  write("Keep", kState);
  std::string error;
  EXPECT_FALSE(writePreset(kPresetFormat, folder, "Keep", {}, error));
  EXPECT_EQ(error, "could not write " + (folder / "Keep.otdpreset").string());
  SavedPreset preset;
  ASSERT_TRUE(readPreset(kPresetFormat, folder / "Keep.otdpreset", preset, error));
  EXPECT_EQ(preset.state, kState);
}

TEST_F(PresetFolder, ListsSortedByBytesAndSkipsDamagedFiles)
{
  for (const char* name : {"alpha", "Zed", "Echo 2", "Echo", "beta"})
    write(name);
  // Stem fallback, CRLF endings and damaged neighbours.
  writeText(folder / "Stemmed.otdpreset", "OstraTape-delay preset 1\n" + stateLine());
  writeText(folder / "windows.otdpreset", "OstraTape-delay preset 1\r\nname=Crlf\r\n" + stateLine().insert(
                                            stateLine().size() - 1, "\r"));
  writeText(folder / "v2.otdpreset", "OstraTape-delay preset 2\nname=v2\n" + stateLine());
  writeText(folder / "nostate.otdpreset", "OstraTape-delay preset 1\nname=nostate\n");
  writeText(folder / "upper.OTDPRESET", "OstraTape-delay preset 1\nname=upper\n" + stateLine());
  std::filesystem::create_directory(folder / "sub");
  writeText(folder / "sub" / "deep.otdpreset", "OstraTape-delay preset 1\nname=deep\n" + stateLine());

  const auto presets = listPresets(kPresetFormat, folder);
  std::vector<std::string> names;
  for (const auto& p : presets)
  {
    names.push_back(p.name);
    EXPECT_EQ(p.state, kState) << p.name;
    EXPECT_EQ(p.path.parent_path(), folder);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Crlf", "Echo", "Echo 2", "Stemmed", "Zed", "alpha", "beta"}));
  EXPECT_TRUE(listPresets(kPresetFormat, folder / "missing").empty());
}

TEST_F(PresetFolder, ReadErrorsNameTheFile)
{
  std::filesystem::create_directories(folder);
  writeText(folder / "v2.otdpreset", "OstraTape-delay preset 2\nname=v\n" + stateLine());
  writeText(folder / "bad.otdpreset", "OstraTape-delay preset 1\nname=v\nstate=YWJjZ\n");
  std::filesystem::create_directory(folder / "dir.otdpreset");
  SavedPreset preset;
  std::string error;
  EXPECT_FALSE(readPreset(kPresetFormat, folder / "v2.otdpreset", preset, error));
  EXPECT_EQ(error, "not an OstraTape-delay preset: v2.otdpreset");
  EXPECT_FALSE(readPreset(kPresetFormat, folder / "bad.otdpreset", preset, error));
  EXPECT_EQ(error, "the preset has no readable state: bad.otdpreset");
  EXPECT_FALSE(readPreset(kPresetFormat, folder / "gone.otdpreset", preset, error));
  EXPECT_EQ(error, "not an OstraTape-delay preset: gone.otdpreset");
  EXPECT_FALSE(readPreset(kPresetFormat, folder / "dir.otdpreset", preset, error));
  EXPECT_EQ(error, "not an OstraTape-delay preset: dir.otdpreset");
}
