#include "presets/PresetFiles.h"
#include "TempFolder.h"
#include "presets/Base64.h"
#include "presets/Files.h"
#include "presets/ProductFormat.h"

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

// A preset folder inside a temporary XDG_DATA_HOME, as the plug-in would use it.
class PresetFolder : public ::testing::Test
{
protected:
  ostra::test::TempDataHome home;
  std::filesystem::path folder =
      userPresetDirectory(kPresetFormat, corvana::files::applicationSupportDirectory());
  std::string error;

  void write(std::string_view name, const State& state = kState)
  {
    ASSERT_TRUE(writePreset(kPresetFormat, folder, name, state, error)) << error;
  }

  // The preset in `fileName`, or one named by the read error.
  SavedPreset read(const std::string& fileName)
  {
    SavedPreset preset;
    if (!readPreset(kPresetFormat, folder / fileName, preset, error))
      preset.name = "failed: " + error;
    return preset;
  }
};

} // namespace

TEST(PresetText, ParsesLastOccurrencesAndCarriageReturnsAndWritesThreeFlatLines)
{
  SavedPreset preset;
  std::string error;
  // Without a final line feed the last line still counts.
  const std::string text =
      "OstraTape-delay preset 1\r\nname=first\r\nno equals sign\nother=ignored\nstate=" +
      toBase64(State{1}) + "\r\nname=a=b \r\r\n=orphan value\n" +
      kStateLine.substr(0, kStateLine.size() - 1);
  ASSERT_TRUE(parse(text, preset, error)) << error;
  EXPECT_EQ(preset.name, "a=b \r");
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
      {longLine + "\n" + kStateLine,
       notPreset}, // overlong lines are refused without reading them whole
      {kHeader + "name=x\n", noState},
      {kHeader.substr(0, kHeader.size() - 1), noState},
      {kHeader + "state=YWJ\n", noState},
      {kHeader + "state=YW Jj\n", noState},
      {kHeader + "state=\n", noState},
      {kHeader + "State=YWJj\n", noState},
      {kHeader + " state=YWJj\n", noState},
      {kHeader + "state=Y===\n", noState},
      {kHeader + "state=-_-_\n", noState},
      {kHeader + "state=YWJ\x80\n", noState},
      {kHeader + "state=YQ==YWJj\n", noState},
      {kHeader + std::string("state=YW\0j\n", 12), noState},
      {kHeader + "state=YWJj\nstate=YQ=A\n", noState}, // a later damaged state line wins
      {kHeader + kStateLine + "name=" + longLine, noState},
  };
  SavedPreset preset;
  std::string error;
  for (const auto& [text, expected] : cases)
  {
    EXPECT_FALSE(parse(text, preset, error)) << text.substr(0, 80);
    EXPECT_EQ(error, expected) << text.substr(0, 80);
  }
}

TEST_F(PresetFolder, WriteAndReadRoundTripEveryFieldAndCollisionsGetNumbers)
{
  State bigState(5000);
  for (std::size_t i = 0; i < bigState.size(); ++i)
    bigState[i] = static_cast<std::uint8_t>(i * 7);
  const std::string names[] = {"My Delay", "a/b:c", "Écho = wide", std::string("nul\0inside", 10),
                               "..."};
  for (const auto& name : names)
    write(name, bigState);
  EXPECT_EQ(folder, home.path() / "OstraTape-delay" / "Presets");
  EXPECT_EQ(readText(folder / "a-b-c.otdpreset"),
            kHeader + "name=a/b:c\nstate=" + toBase64(bigState) + "\n");
  const auto presets = listPresets(kPresetFormat, folder);
  ASSERT_EQ(presets.size(), std::size(names));
  for (const auto& p : presets)
  {
    EXPECT_EQ(std::count(std::begin(names), std::end(names), p.name), 1) << p.name;
    EXPECT_EQ(p.state, bigState) << p.name;
    EXPECT_EQ(p.path, presetPathForName(kPresetFormat, folder, p.name));
  }

  // The same name replaces its file; a name with a line break finds its own file again.
  for (const auto& [name, byte] : {std::pair{"My Delay", 1},
                                   {"A?", 3},
                                   {"A*", 4},
                                   {"A|", 5},
                                   {"A*", 6},
                                   {"x\ny", 7},
                                   {"x\ny", 8}})
    write(name, State{std::uint8_t(byte)});
  EXPECT_EQ(listPresets(kPresetFormat, folder).size(), std::size(names) + 4);
  EXPECT_EQ(std::vector<State>({read("My Delay.otdpreset").state, read("A-.otdpreset").state,
                                read("A--1.otdpreset").state, read("A--2.otdpreset").state,
                                read("x-y.otdpreset").state}),
            std::vector<State>({{1}, {3}, {6}, {5}, {8}}));
}

TEST_F(PresetFolder, NeverReplacesAFileItCannotReadAsThisPreset)
{
  std::filesystem::create_directories(folder);
  writeText(folder / "Mine.otdpreset", "my own notes\n");
  std::filesystem::create_directory(folder / "Mine-1.otdpreset");
  ASSERT_EQ(::mkfifo((folder / "Mine-2.otdpreset").c_str(), 0600), 0);
  // Reading a FIFO would wait for a writer forever; the child turns a hang into a failure.
  EXPECT_EQ(ostra::test::runInChild(
                [&]
                { return writePreset(kPresetFormat, folder, "Mine", State{1}, error) ? 0 : 1; }),
            0);
  EXPECT_EQ(readText(folder / "Mine.otdpreset"), "my own notes\n");
  EXPECT_EQ(read("Mine-3.otdpreset").name, "Mine");
  // An empty state could never be read back, so it is not written over a good preset.
  EXPECT_FALSE(writePreset(kPresetFormat, folder, "Mine", {}, error));
  EXPECT_EQ(read("Mine-3.otdpreset").state, State{1});

  // With every candidate taken the write fails instead of replacing another preset.
  const std::string other = presetText(kPresetFormat, "other", State{9});
  for (int k = 0; k <= kMaxPresetFileCollisions; ++k)
    writeText(folder / (k ? "Busy-" + std::to_string(k) + ".otdpreset" : "Busy.otdpreset"), other);
  EXPECT_FALSE(writePreset(kPresetFormat, folder, "Busy", kState, error));
  EXPECT_EQ(error, "could not write " + (folder / "Busy.otdpreset").string());
  EXPECT_EQ(readText(folder / "Busy.otdpreset"), other);
  EXPECT_FALSE(std::filesystem::exists(folder / "Busy-1000.otdpreset"));
  std::filesystem::remove(folder / "Busy-999.otdpreset");
  write("Busy");
  EXPECT_EQ(read("Busy-999.otdpreset").state, kState);
}

TEST_F(PresetFolder, ListsSortedByBytesSkippingDamagedFilesAndReadErrorsNameTheFile)
{
  for (const char* name : {"alpha", "Zed", "Echo 2", "Echo", "beta"})
    write(name);
  writeText(folder / "Stemmed.otdpreset", kHeader + kStateLine); // no name: the stem
  writeText(folder / "windows.otdpreset",
            "OstraTape-delay preset 1\r\nname=Crlf\r\nstate=" + toBase64(kState) + "\r\n");
  writeText(folder / "v2.otdpreset", "OstraTape-delay preset 2\nname=v2\n" + kStateLine);
  writeText(folder / "bad.otdpreset", kHeader + "name=bad\nstate=YWJjZ\n");
  writeText(folder / "upper.OTDPRESET", kHeader + "name=upper\n" + kStateLine);
  std::filesystem::create_directory(folder / "sub");
  writeText(folder / "sub" / "deep.otdpreset", kHeader + "name=deep\n" + kStateLine);
  std::filesystem::create_directory(folder / "dir.otdpreset");

  std::vector<std::string> names;
  for (const auto& p : listPresets(kPresetFormat, folder))
    names.push_back(p.name +
                    (p.state == kState && p.path.parent_path() == folder ? "" : " (damaged)"));
  EXPECT_EQ(names, (std::vector<std::string>{"Crlf", "Echo", "Echo 2", "Stemmed", "Zed", "alpha",
                                             "beta"}));
  EXPECT_TRUE(listPresets(kPresetFormat, folder / "missing").empty());
  for (const char* file : {"gone.otdpreset", "dir.otdpreset"})
    EXPECT_EQ(read(file).name, std::string("failed: not an OstraTape-delay preset: ") + file);
  EXPECT_EQ(read("bad.otdpreset").name, "failed: the preset has no readable state: bad.otdpreset");
}
