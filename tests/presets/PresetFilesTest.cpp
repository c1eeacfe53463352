#include "presets/Base64.h"
#include "presets/Files.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using namespace corvana::presets;
using ostra::test::readText;
using ostra::test::writeText;
using ostratapedelay::offline::kPresetFormat;
using State = std::vector<std::uint8_t>;

namespace
{

const State kState{'1', 'S', 'T', 'O', 3, 0, 0, 0, 0xff, 0x00, 0x80};
const std::string kHeader = "OstraTape-delay preset 1\n";
const std::string kStateLine = "state=" + toBase64(kState) + "\n";

bool parse(const std::string& text, SavedPreset& preset, std::string& error)
{
  std::istringstream stream(text);
  return parsePreset(kPresetFormat, stream, preset, error, "x.otdpreset");
}

/** A preset folder inside a temporary XDG_DATA_HOME, as the plug-in would use it. */
class PresetFolder : public ::testing::Test
{
protected:
  ostra::test::TempDataHome home;
  std::filesystem::path folder = userPresetDirectory(kPresetFormat, corvana::files::applicationSupportDirectory());

  void write(std::string_view name, const State& state = kState)
  {
    std::string error;
    ASSERT_TRUE(writePreset(kPresetFormat, folder, name, state, error)) << error;
  }

  SavedPreset read(const char* fileName)
  {
    SavedPreset preset;
    std::string error;
    EXPECT_TRUE(readPreset(kPresetFormat, folder / fileName, preset, error)) << error;
    return preset;
  }
};

} // namespace

TEST(PresetText, ParsesLastOccurrencesAndCarriageReturnsAndWritesThreeFlatLines)
{
  SavedPreset preset;
  preset.path = "/old";
  std::string error;
  const std::string text = "OstraTape-delay preset 1\r\nname=first\r\nno equals sign\nother=ignored\nstate=" +
                           toBase64(State{1}) + "\r\nname=a=b \r\r\n=orphan value\n" + kStateLine;
  ASSERT_TRUE(parse(text, preset, error)) << error;
  EXPECT_EQ(preset.name, "a=b \r");
  EXPECT_EQ(preset.state, kState);
  EXPECT_TRUE(preset.path.empty());
  // Without a final line feed the last line still counts; a line right at the limit is fine.
  const std::string longName(kMaxPresetLineBytes - 5, 'n');
  ASSERT_TRUE(parse(kHeader + "name=" + longName + "\n" + kStateLine.substr(0, kStateLine.size() - 1), preset, error));
  EXPECT_EQ(preset.name, longName);
  EXPECT_EQ(preset.state, kState);

  const auto written = presetText(kPresetFormat, "two\nlines\r!", kState);
  EXPECT_EQ(written, kHeader + "name=two lines !\n" + kStateLine);
  ASSERT_TRUE(parse(written, preset, error));
  EXPECT_EQ(preset.name, "two lines !");
}

TEST(PresetText, DamagedTextsGiveTheirErrors)
{
  const std::string notPreset = "not an OstraTape-delay preset: x.otdpreset";
  const std::string noState = "the preset has no readable state: x.otdpreset";
  const std::string longLine(kMaxPresetLineBytes + 1, 'A');
  const std::pair<std::string, std::string> cases[] = {
    {"", notPreset},
    {"OstraTape-delay preset 2\n" + kStateLine, notPreset},
    {"OstraTape-delay preset 1 \n" + kStateLine, notPreset},
    {"ostraTape-delay preset 1\n" + kStateLine, notPreset},
    {"\n" + kHeader + kStateLine, notPreset},
    {longLine + "\n" + kStateLine, notPreset}, // overlong lines are refused without reading them whole
    {kHeader + "name=x\n", noState},
    {kHeader.substr(0, kHeader.size() - 1), noState},
    {kHeader + "state=YWJ\n", noState},
    {kHeader + "state=YW Jj\n", noState},
    {kHeader + "state=\n", noState},
    {kHeader + "State=YWJj\n", noState},
    {kHeader + " state=YWJj\n", noState},
    {kHeader + "state=YWJj\nstate=YQ=A\n", noState}, // a later damaged state line wins
    {kHeader + kStateLine + "name=" + longLine, noState},
  };
  for (const auto& [text, expected] : cases)
  {
    SavedPreset preset;
    std::string error;
    EXPECT_FALSE(parse(text, preset, error)) << text.substr(0, 80);
    EXPECT_EQ(error, expected) << text.substr(0, 80);
  }
}

TEST_F(PresetFolder, WriteAndReadRoundTripEveryField)
{
  State bigState(5000);
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
  EXPECT_EQ(read("Preset.otdpreset").name, "...");
  EXPECT_EQ(readText(folder / "a-b-c.otdpreset"), kHeader + "name=a/b:c\nstate=" + toBase64(bigState) + "\n");
}

TEST_F(PresetFolder, SameNameReplacesInPlaceCollisionsGetNumbers)
{
  write("My Delay", {1});
  write("My Delay", {2});
  write("A?", {3});
  write("A*", {4});
  write("A|", {5});
  write("A*", {6});
  // A name with a line break finds its own file again instead of piling up copies.
  write("x\ny", {7});
  write("x\ny", {8});
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"A--1.otdpreset", "A--2.otdpreset", "A-.otdpreset",
                                             "My Delay.otdpreset", "x-y.otdpreset"}));
  EXPECT_EQ(read("My Delay.otdpreset").state, State{2});
  EXPECT_EQ(read("A--1.otdpreset").name, "A*");
  EXPECT_EQ(read("A--1.otdpreset").state, State{6});
  EXPECT_EQ(read("x-y.otdpreset").state, State{8});
}

TEST_F(PresetFolder, NeverReplacesAFileItCannotReadAsThisPreset)
{
  std::filesystem::create_directories(folder);
  writeText(folder / "Mine.otdpreset", "my own notes\n");
  std::filesystem::create_directory(folder / "Mine-1.otdpreset");
  ASSERT_EQ(::mkfifo((folder / "Mine-2.otdpreset").c_str(), 0600), 0);
  // Reading a FIFO would wait for a writer forever; the child turns a hang into a failure.
  EXPECT_EQ(ostra::test::runInChild([&] {
              std::string error;
              return writePreset(kPresetFormat, folder, "Mine", State{1}, error) ? 0 : 1;
            }),
            0);
  EXPECT_EQ(readText(folder / "Mine.otdpreset"), "my own notes\n");
  EXPECT_EQ(std::filesystem::status(folder / "Mine-2.otdpreset").type(), std::filesystem::file_type::fifo);
  EXPECT_EQ(read("Mine-3.otdpreset").name, "Mine");

  // With every candidate taken the write fails instead of replacing another preset.
  const std::string other = presetText(kPresetFormat, "other", State{9});
  for (int k = 0; k <= kMaxPresetFileCollisions; ++k)
    writeText(folder / (k ? "Busy-" + std::to_string(k) + ".otdpreset" : "Busy.otdpreset"), other);
  EXPECT_TRUE(presetPathForName(kPresetFormat, folder, "Busy").empty());
  std::string error;
  EXPECT_FALSE(writePreset(kPresetFormat, folder, "Busy", kState, error));
  EXPECT_EQ(error, "could not write " + (folder / "Busy.otdpreset").string());
  EXPECT_EQ(readText(folder / "Busy.otdpreset"), other);
  EXPECT_FALSE(std::filesystem::exists(folder / "Busy-1000.otdpreset"));
  std::filesystem::remove(folder / "Busy-999.otdpreset");
  EXPECT_TRUE(writePreset(kPresetFormat, folder, "Busy", kState, error)) << error;
  EXPECT_EQ(read("Busy-999.otdpreset").state, kState);
  EXPECT_EQ(readText(folder / "Busy.otdpreset"), other);

  // An empty state could never be read back, so it is not written over a good preset.
  EXPECT_FALSE(writePreset(kPresetFormat, folder, "Mine", {}, error));
  EXPECT_EQ(error, "could not write " + (folder / "Mine-3.otdpreset").string());
  EXPECT_EQ(read("Mine-3.otdpreset").state, State{1});
}

TEST_F(PresetFolder, ListsSortedByBytesSkippingDamagedFilesAndReadErrorsNameTheFile)
{
  for (const char* name : {"alpha", "Zed", "Echo 2", "Echo", "beta"})
    write(name);
  writeText(folder / "Stemmed.otdpreset", kHeader + kStateLine); // no name: the stem
  writeText(folder / "windows.otdpreset", "OstraTape-delay preset 1\r\nname=Crlf\r\nstate=" + toBase64(kState) + "\r\n");
  writeText(folder / "v2.otdpreset", "OstraTape-delay preset 2\nname=v2\n" + kStateLine);
  writeText(folder / "bad.otdpreset", kHeader + "name=bad\nstate=YWJjZ\n");
  writeText(folder / "upper.OTDPRESET", kHeader + "name=upper\n" + kStateLine);
  std::filesystem::create_directory(folder / "sub");
  writeText(folder / "sub" / "deep.otdpreset", kHeader + "name=deep\n" + kStateLine);
  std::filesystem::create_directory(folder / "dir.otdpreset");

  std::vector<std::string> names;
  for (const auto& p : listPresets(kPresetFormat, folder))
  {
    names.push_back(p.name);
    EXPECT_EQ(p.state, kState) << p.name;
    EXPECT_EQ(p.path.parent_path(), folder);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Crlf", "Echo", "Echo 2", "Stemmed", "Zed", "alpha", "beta"}));
  EXPECT_TRUE(listPresets(kPresetFormat, folder / "missing").empty());

  const std::pair<const char*, const char*> errors[] = {
    {"v2.otdpreset", "not an OstraTape-delay preset: v2.otdpreset"},
    {"bad.otdpreset", "the preset has no readable state: bad.otdpreset"},
    {"gone.otdpreset", "not an OstraTape-delay preset: gone.otdpreset"},
    {"dir.otdpreset", "not an OstraTape-delay preset: dir.otdpreset"},
  };
  for (const auto& [file, expected] : errors)
  {
    SavedPreset preset;
    std::string error;
    EXPECT_FALSE(readPreset(kPresetFormat, folder / file, preset, error));
    EXPECT_EQ(error, expected);
  }
}
