#include "cli/CliTestSupport.h"
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

namespace ostratapedelay::cli
{
namespace
{

using test::TempDir;

struct ToolRun
{
  int status;
  std::string out;
  std::string err;
};

ToolRun runTool(std::vector<std::string> args)
{
  args.insert(args.begin(), "ostratape");
  std::vector<const char*> argv;
  for (const auto& a : args)
    argv.push_back(a.c_str());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = runCommandLine(static_cast<int>(argv.size()), argv.data());
  return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

/** The preset commands work in a data folder of their own, set before any plug-in exists. */
class PresetsCommand : public ::testing::Test
{
protected:
  PresetsCommand()
  {
    if (const char* old = std::getenv("XDG_DATA_HOME"))
      mPrevious = old;
    setenv("XDG_DATA_HOME", mHome.path().c_str(), 1);
  }
  ~PresetsCommand() override
  {
    if (mPrevious)
      setenv("XDG_DATA_HOME", mPrevious->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
  }

  std::filesystem::path presets() const { return mHome.path() / "OstraTape-delay" / "Presets"; }

  /** The "Name: value" line of `presets show` for one parameter. */
  static std::string line(const std::string& show, const std::string& param)
  {
    std::istringstream in(show);
    std::string l;
    while (std::getline(in, l))
      if (l.rfind("  " + param + " ", 0) == 0)
        return l.substr(16);
    return "(missing)";
  }

  TempDir mHome;
  std::optional<std::string> mPrevious;
};

TEST_F(PresetsCommand, ListShowsFactoryPresetsFirstThenUserPresetsWithFiles)
{
  ToolRun list = runTool({"presets", "list"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "factory\tPing and pong\nfactory\tWarm and wide delay\n");

  ASSERT_EQ(runTool({"presets", "save", "Zed", "--set", "Mix=50"}).status, 0);
  ASSERT_EQ(runTool({"presets", "save", "Alpha"}).status, 0);
  list = runTool({"presets", "list"});
  EXPECT_EQ(list.out, "factory\tPing and pong\nfactory\tWarm and wide delay\n"
                      "user\tAlpha\t" + (presets() / "Alpha.otdpreset").string() + "\n" +
                      "user\tZed\t" + (presets() / "Zed.otdpreset").string() + "\n");
}

TEST_F(PresetsCommand, SaveAppliesTheSetsAndShowPrintsThemWithUnits)
{
  const ToolRun save = runTool({"presets", "save", "  Slap ", "--set", "Feedback=12.5", "--set", "Sync=off",
                                "--set", "Time L=120"});
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.out, "saved \"Slap\" to " + (presets() / "Slap.otdpreset").string() + "\n");

  const ToolRun show = runTool({"presets", "show", "Slap"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(show.out.substr(0, show.out.find('\n')),
            "Slap (user preset, " + (presets() / "Slap.otdpreset").string() + ")");
  EXPECT_EQ(line(show.out, "Feedback"), "12.5 %");
  EXPECT_EQ(line(show.out, "Sync"), "off");
  EXPECT_EQ(line(show.out, "Time L"), "120.0 ms");
  EXPECT_EQ(line(show.out, "Mix"), "100 %");
  EXPECT_EQ(std::count(show.out.begin(), show.out.end(), '\n'), 19);

  // Factory presets and preset files by path show the same way.
  const ToolRun factory = runTool({"presets", "show", "Ping and pong"});
  ASSERT_EQ(factory.status, 0) << factory.err;
  EXPECT_EQ(factory.out.substr(0, factory.out.find('\n')), "Ping and pong (factory preset)");
  EXPECT_EQ(line(factory.out, "Note L"), "1/16");
  EXPECT_EQ(line(factory.out, "Ping Pong"), "on");
  const ToolRun file = runTool({"presets", "show", (presets() / "Slap.otdpreset").string()});
  ASSERT_EQ(file.status, 0) << file.err;
  EXPECT_NE(file.out.find("(preset file, "), std::string::npos);
  EXPECT_EQ(line(file.out, "Feedback"), "12.5 %");

  // A save can start from another preset.
  ASSERT_EQ(runTool({"presets", "save", "Pong copy", "--preset", "Ping and pong", "--set", "Mix=40"}).status, 0);
  const ToolRun copy = runTool({"presets", "show", "Pong copy"});
  EXPECT_EQ(line(copy.out, "Note L"), "1/16");
  EXPECT_EQ(line(copy.out, "Mix"), "40 %");
}

TEST_F(PresetsCommand, SaveReplacesAnExistingPresetOnlyWithForce)
{
  ASSERT_EQ(runTool({"presets", "save", "Room", "--set", "Mix=30"}).status, 0);
  const std::string before = test::readText((presets() / "Room.otdpreset").string());

  const ToolRun again = runTool({"presets", "save", "Room", "--set", "Mix=60"});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("Could not save the preset: a preset named \"Room\" already exists"), std::string::npos)
    << again.err;
  EXPECT_EQ(test::readText((presets() / "Room.otdpreset").string()), before);

  const ToolRun forced = runTool({"presets", "save", "Room", "--set", "Mix=60", "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(line(runTool({"presets", "show", "Room"}).out, "Mix"), "60 %");
  EXPECT_EQ(runTool({"presets", "list"}).out.find("Room-1"), std::string::npos);

  // A file of another preset under the same file name is left alone: the new one goes beside it.
  ASSERT_EQ(runTool({"presets", "save", "Room?"}).status, 0);
  ASSERT_EQ(runTool({"presets", "save", "Room*"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(presets() / "Room-.otdpreset"));
  EXPECT_TRUE(std::filesystem::exists(presets() / "Room--1.otdpreset"));
}

TEST_F(PresetsCommand, SaveAndDeleteFailuresUseThePresetMessages)
{
  ToolRun empty = runTool({"presets", "save", " \t "});
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("Could not save the preset: the name is empty"), std::string::npos) << empty.err;

  // The preset folder cannot be made: a file stands where it belongs.
  std::filesystem::create_directories(presets().parent_path());
  test::writeText(presets().string(), "not a folder");
  const ToolRun blocked = runTool({"presets", "save", "Blocked"});
  EXPECT_EQ(blocked.status, 2);
  EXPECT_NE(blocked.err.find("Could not save the preset: could not write " + presets().string()), std::string::npos)
    << blocked.err;
  std::filesystem::remove(presets());

  ASSERT_EQ(runTool({"presets", "save", "Doomed"}).status, 0);
  const ToolRun deleted = runTool({"presets", "delete", "Doomed"});
  EXPECT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_FALSE(std::filesystem::exists(presets() / "Doomed.otdpreset"));

  const ToolRun missing = runTool({"presets", "delete", "Doomed"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("Could not delete the preset: there is no user preset named \"Doomed\""),
            std::string::npos);
  const ToolRun factory = runTool({"presets", "delete", "Ping and pong"});
  EXPECT_EQ(factory.status, 2);
  EXPECT_NE(factory.err.find("is a factory preset"), std::string::npos);
}

TEST_F(PresetsCommand, ShowAndPresetOptionReportUnloadablePresets)
{
  const ToolRun unknown = runTool({"presets", "show", "Nothing"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("Could not load the preset: there is no preset named \"Nothing\""), std::string::npos);

  TempDir dir;
  test::writeText(dir.file("bad.otdpreset"), "OstraTape-delay preset 2\n");
  const ToolRun bad = runTool({"repeats", "--preset", dir.file("bad.otdpreset")});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("Could not load the preset: not an OstraTape-delay preset: bad.otdpreset"),
            std::string::npos)
    << bad.err;

  test::writeText(dir.file("foreign.otdpreset"), "OstraTape-delay preset 1\nname=F\nstate=AAAAAAAAAAAA\n");
  const ToolRun foreign = runTool({"presets", "show", dir.file("foreign.otdpreset")});
  EXPECT_EQ(foreign.status, 2);
  EXPECT_NE(foreign.err.find("Could not load the preset: it does not hold an OstraTape-delay state."),
            std::string::npos);

  // Cut after the header and two values: damaged.
  test::writeText(dir.file("cut.otdpreset"),
                  "OstraTape-delay preset 1\nname=C\nstate=MVNUTwMAAAAAAAAA6AMAAMgBAAAAAAAAAAAAABIAAAAAAAAAAAAAAAAAAAAAAABA\n");
  test::writeRaw(dir.file("in.wav"), test::Planes(1, std::vector<double>(64, 0.0)), 48000);
  const ToolRun cut = runTool({"render", "--preset", dir.file("cut.otdpreset"), dir.file("in.wav"), dir.file("out.wav")});
  EXPECT_EQ(cut.status, 2);
  EXPECT_NE(cut.err.find("Could not load the preset: its state is damaged."), std::string::npos) << cut.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
}

TEST_F(PresetsCommand, PresetOptionComesBeforeTheSets)
{
  // Repeats of the factory preset's settings, then with one value changed by --set.
  const ToolRun base = runTool({"repeats", "--preset", "Ping and pong"});
  ASSERT_EQ(base.status, 0) << base.err;
  const ToolRun plain = runTool({"repeats"});
  EXPECT_NE(base.out, plain.out);
  const ToolRun withSet = runTool({"repeats", "--preset", "Ping and pong", "--set", "Feedback=60"});
  ASSERT_EQ(withSet.status, 0);
  EXPECT_NE(withSet.out, base.out);
  // A user preset by name, and the same preset by its file.
  ASSERT_EQ(runTool({"presets", "save", "Long", "--set", "Sync=off", "--set", "Time L=900"}).status, 0);
  const ToolRun byName = runTool({"repeats", "--preset", "Long"});
  const ToolRun byFile = runTool({"repeats", "--preset", (presets() / "Long.otdpreset").string()});
  ASSERT_EQ(byName.status, 0) << byName.err;
  EXPECT_EQ(byName.out, byFile.out);
  EXPECT_EQ(byName.out, runTool({"repeats", "--set", "Sync=off", "--set", "Time L=900"}).out);
}

TEST_F(PresetsCommand, RenderTakesAPreset)
{
  TempDir dir;
  test::Planes in(2, std::vector<double>(9600, 0.0));
  in[0][0] = in[1][0] = 0.5;
  test::writeRaw(dir.file("in.wav"), in, 48000);
  ASSERT_EQ(runTool({"presets", "save", "Short", "--set", "Sync=off", "--set", "Time L=40", "--set", "Feedback=50"})
              .status,
            0);
  auto render = [&](std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), "render");
    args.push_back("--tail");
    args.push_back("0");
    args.push_back(dir.file("in.wav"));
    args.push_back(dir.file(out));
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return test::readRaw(dir.file(out));
  };
  const auto byPreset = render({"--preset", "Short"}, "preset.wav");
  const auto bySets = render({"--set", "Sync=off", "--set", "Time L=40", "--set", "Feedback=50"}, "sets.wav");
  const auto plain = render({}, "plain.wav");
  EXPECT_EQ(byPreset, bySets);
  EXPECT_NE(byPreset, plain);
  // --set after --preset wins.
  const auto changed = render({"--preset", "Short", "--set", "Time L=60"}, "changed.wav");
  EXPECT_NE(changed, byPreset);
  EXPECT_EQ(changed, render({"--set", "Sync=off", "--set", "Time L=60", "--set", "Feedback=50"}, "sets60.wav"));
}

} // namespace
} // namespace ostratapedelay::cli
