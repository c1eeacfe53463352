#include "cli/CliTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace ostratapedelay::cli
{
namespace
{

using namespace test;

/** The preset commands work in a data folder of their own, set before any plug-in exists. */
class PresetsCommand : public ::testing::Test
{
protected:
  PresetsCommand() { setenv("XDG_DATA_HOME", mHome.path().c_str(), 1); }
  ~PresetsCommand() override
  {
    mPrevious ? setenv("XDG_DATA_HOME", mPrevious->c_str(), 1) : unsetenv("XDG_DATA_HOME");
  }

  std::filesystem::path presets() const { return mHome.path() / "OstraTape-delay" / "Presets"; }
  std::string file(const std::string& name) const
  {
    return (presets() / (name + ".otdpreset")).string();
  }

  /** The value column of `presets show`'s line for one parameter. */
  static std::string line(const std::string& show, const std::string& param)
  {
    std::istringstream in(show);
    for (std::string l; std::getline(in, l);)
      if (l.rfind("  " + param + " ", 0) == 0)
        return l.substr(16);
    return "(missing)";
  }
  static std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

  /** Runs the tool expecting exit status 2 and `message` on the error stream. */
  static void expectFailure(const std::vector<std::string>& args, const std::string& message)
  {
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_TRUE(contains(run.err, message)) << run.err;
  }

  const char* mOld = std::getenv("XDG_DATA_HOME");
  std::optional<std::string> mPrevious = mOld ? std::optional<std::string>(mOld) : std::nullopt;
  TempDir mHome;
};

TEST_F(PresetsCommand, SaveListAndShowFactoryAndUserPresets)
{
  const std::string factory = "factory\tPing and pong\nfactory\tWarm and wide delay\n";
  EXPECT_EQ(runTool({"presets", "list"}).out, factory);

  const ToolRun save = runTool({"presets", "save", "  Slap ", "--set", "Feedback=12.5", "--set",
                                "Sync=off", "--set", "Time L=120"});
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.out, "saved \"Slap\" to " + file("Slap") + "\n");
  ASSERT_EQ(runTool({"presets", "save", "Alpha"}).status, 0);
  EXPECT_EQ(runTool({"presets", "list"}).out, factory + "user\tAlpha\t" + file("Alpha") + "\n" +
                                                  "user\tSlap\t" + file("Slap") + "\n");

  const ToolRun show = runTool({"presets", "show", "Slap"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(firstLine(show.out), "Slap (user preset, " + file("Slap") + ")");
  EXPECT_EQ(line(show.out, "Feedback"), "12.5 %");
  EXPECT_EQ(line(show.out, "Sync"), "off");
  EXPECT_EQ(line(show.out, "Time L"), "120.0 ms");
  EXPECT_EQ(line(show.out, "Mix"), "100 %");
  EXPECT_EQ(std::count(show.out.begin(), show.out.end(), '\n'), 19);

  const ToolRun byFile = runTool({"presets", "show", file("Slap")});
  EXPECT_TRUE(contains(byFile.out, "(preset file, "));
  EXPECT_EQ(line(byFile.out, "Feedback"), "12.5 %");
  const ToolRun builtIn = runTool({"presets", "show", "Ping and pong"});
  EXPECT_EQ(firstLine(builtIn.out), "Ping and pong (factory preset)");
  EXPECT_EQ(line(builtIn.out, "Ping Pong"), "on");

  // A save can start from another preset.
  ASSERT_EQ(
      runTool({"presets", "save", "Pong copy", "--preset", "Ping and pong", "--set", "Mix=40"})
          .status,
      0);
  const ToolRun copy = runTool({"presets", "show", "Pong copy"});
  EXPECT_EQ(line(copy.out, "Note L"), "1/16");
  EXPECT_EQ(line(copy.out, "Mix"), "40 %");
}

TEST_F(PresetsCommand, SaveReplacesOnlyWithForceAndDeleteRemovesUserPresets)
{
  ASSERT_EQ(runTool({"presets", "save", "Room", "--set", "Mix=30"}).status, 0);
  const std::string before = readText(file("Room"));
  expectFailure({"presets", "save", "Room", "--set", "Mix=60"},
                "Could not save the preset: a preset named \"Room\" already exists");
  EXPECT_EQ(readText(file("Room")), before);
  EXPECT_EQ(runTool({"presets", "save", "Room", "--set", "Mix=60", "--force"}).status, 0);
  EXPECT_EQ(line(runTool({"presets", "show", "Room"}).out, "Mix"), "60 %");
  EXPECT_FALSE(contains(runTool({"presets", "list"}).out, "Room-1"));

  // Another preset's file under the same file name is left alone: the new one goes beside it.
  ASSERT_EQ(runTool({"presets", "save", "Room?"}).status, 0);
  ASSERT_EQ(runTool({"presets", "save", "Room*"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(file("Room-")));
  EXPECT_TRUE(std::filesystem::exists(file("Room--1")));

  EXPECT_EQ(runTool({"presets", "delete", "Room"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(file("Room")));
  expectFailure({"presets", "delete", "Room"},
                "Could not delete the preset: there is no user preset named \"Room\"");
  expectFailure({"presets", "delete", "Ping and pong"}, "is a factory preset");
  expectFailure({"presets", "save", " \t "}, "Could not save the preset: the name is empty");
  // The preset folder cannot be made: a file stands where it belongs.
  std::filesystem::remove_all(presets());
  writeText(presets().string(), "not a folder");
  expectFailure({"presets", "save", "Blocked"},
                "Could not save the preset: could not write " + presets().string());
}

TEST_F(PresetsCommand, UnloadablePresetsAreReportedAndNothingIsRendered)
{
  TempDir dir;
  writeText(dir.file("bad.otdpreset"), "OstraTape-delay preset 2\n");
  writeText(dir.file("foreign.otdpreset"),
            "OstraTape-delay preset 1\nname=F\nstate=AAAAAAAAAAAA\n");
  // Cut after the header and two values.
  writeText(dir.file("cut.otdpreset"),
            "OstraTape-delay preset 1\nname=C\nstate=MVNUTwMAAAAAAAAA6AMAAMgBAAAAAAAAAAAAA"
            "BIAAAAAAAAAAAAAAAAAAAAAAABA\n");
  writeRaw(dir.file("in.wav"), impulse(1, 64), 48000);
  expectFailure({"presets", "show", "Nothing"},
                "Could not load the preset: there is no preset named \"Nothing\"");
  expectFailure({"repeats", "--preset", dir.file("bad.otdpreset")},
                "Could not load the preset: not an OstraTape-delay preset: bad.otdpreset");
  expectFailure({"presets", "show", dir.file("foreign.otdpreset")},
                "Could not load the preset: it does not hold an OstraTape-delay state.");
  expectFailure(
      {"render", "--preset", dir.file("cut.otdpreset"), dir.file("in.wav"), dir.file("out.wav")},
      "Could not load the preset: its state is damaged.");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
}

TEST_F(PresetsCommand, EverySavedNameWorksByNameAndAnyFileByPresetFile)
{
  TempDir dir;
  writeText(dir.file("notes"), "not a preset\n");
  for (const std::string& name :
       {std::string("a/b"), dir.file("notes"), std::string("dub.otdpreset")})
  {
    ASSERT_EQ(runTool({"presets", "save", name, "--set", "Mix=40"}).status, 0) << name;
    EXPECT_TRUE(contains(runTool({"presets", "list"}).out, "user\t" + name + "\t")) << name;
    const ToolRun show = runTool({"presets", "show", name});
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(firstLine(show.out).rfind(name + " (user preset, ", 0), 0u) << show.out;
    EXPECT_EQ(line(show.out, "Mix"), "40 %") << name;
    const ToolRun repeats = runTool({"repeats", "--preset", name});
    EXPECT_EQ(repeats.status, 0) << repeats.err;
  }

  // An existing .otdpreset file is a file; --preset-file takes a file whatever its name.
  const std::string saved = file("a-b");
  ASSERT_TRUE(std::filesystem::exists(saved));
  std::filesystem::copy_file(saved, dir.file("copy.txt"));
  EXPECT_TRUE(contains(runTool({"presets", "show", saved}).out, "(preset file, "));
  const ToolRun byFile = runTool({"presets", "show", "--preset-file", dir.file("copy.txt")});
  EXPECT_TRUE(contains(byFile.out, "(preset file, ")) << byFile.err;
  EXPECT_EQ(line(byFile.out, "Mix"), "40 %");
  expectFailure({"presets", "show", "--preset-file", dir.file("notes")},
                "Could not load the preset: not an OstraTape-delay preset: notes");
  expectFailure({"repeats", "--preset", dir.file("gone.otdpreset")},
                "there is no preset named \"" + dir.file("gone.otdpreset") +
                    "\" and no preset file there");
}

TEST_F(PresetsCommand, PresetOptionOnRepeatsAndRenderComesBeforeTheSets)
{
  ASSERT_EQ(runTool({"presets", "save", "Short", "--set", "Sync=off", "--set", "Time L=40", "--set",
                     "Feedback=50"})
                .status,
            0);
  const std::vector<std::string> shortSets = {"--set",     "Sync=off", "--set",
                                              "Time L=40", "--set",    "Feedback=50"};
  const auto repeats = [](std::vector<std::string> args)
  {
    args.insert(args.begin(), "repeats");
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  };
  const std::string byName = repeats({"--preset", "Short"});
  EXPECT_EQ(byName, repeats({"--preset", file("Short")}));
  EXPECT_EQ(byName, repeats(shortSets));
  EXPECT_NE(byName, repeats({}));
  EXPECT_NE(repeats({"--preset", "Ping and pong"}), repeats({}));
  EXPECT_NE(repeats({"--preset", "Short", "--set", "Feedback=60"}), byName);

  TempDir dir;
  writeRaw(dir.file("in.wav"), impulse(2, 9600), 48000);
  const auto render = [&](std::vector<std::string> args)
  {
    const std::string out = dir.file(std::to_string(dir.entries().size()) + ".wav");
    args.insert(args.begin(), "render");
    args.insert(args.end(), {"--tail", "0", dir.file("in.wav"), out});
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return readRaw(out);
  };
  const Planes byPreset = render({"--preset", "Short"});
  EXPECT_EQ(byPreset, render(shortSets));
  EXPECT_NE(byPreset, render({}));
  // --set after --preset wins.
  const Planes changed = render({"--preset", "Short", "--set", "Time L=60"});
  EXPECT_NE(changed, byPreset);
  EXPECT_EQ(changed, render({"--set", "Sync=off", "--set", "Time L=60", "--set", "Feedback=50"}));
}

} // namespace
} // namespace ostratapedelay::cli
