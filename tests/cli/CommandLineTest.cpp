#include "cli/CliTestSupport.h"

#include <gtest/gtest.h>

namespace ostratapedelay::cli
{
namespace
{

using namespace test;

TEST(CommandLine, UsageFileAndParameterErrorsExitWithStatusTwoNamingTheCulprit)
{
  TempDir dir;
  writeRaw(dir.file("three.wav"), impulse(3, 100), 48000);
  const struct
  {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> messages;
  } cases[] = {
      {{}, 2, {}},
      {{"--help"}, 0, {}},
      {{"frobnicate"}, 2, {}},
      {{"render", "only-one-file.wav"}, 2, {}},
      {{"repeats", "--tempo", "fast"}, 2, {}},
      {{"repeats", "--tempo", "0"}, 2, {}},
      {{"updates", "sideways"}, 2, {}},
      {{"render", dir.file("missing.wav"), dir.file("out.wav")}, 2, {dir.file("missing.wav")}},
      {{"render", dir.file("three.wav"), dir.file("out.wav")},
       2,
       {dir.file("three.wav"), "3 channels"}},
      {{"repeats", "--set", "Speed=2"}, 2, {"unknown parameter 'Speed'", "Ping Pong"}},
      {{"repeats", "--set", "Note L=1/7"}, 2, {"Note L"}},
      {{"repeats", "--set", "Feedback=120"}, 0, {"note: Feedback"}},
  };
  for (const auto& c : cases)
  {
    const ToolRun run = runTool(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    EXPECT_EQ(run.status, c.status) << run.err;
    for (const auto& m : c.messages)
      EXPECT_TRUE(contains(run.err, m)) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
}

TEST(CommandLine, RepeatedSetsDoNotSwallowTheFileArguments)
{
  TempDir dir;
  writeRaw(dir.file("in.wav"), impulse(1, 4800), 48000);
  const ToolRun run =
      runTool({"render", "--set", "Mix=50", "--set", "sync=OFF", "--set", "Time L=50",
               dir.file("in.wav"), dir.file("out.wav"), "--tail", "0", "--channels", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "out.wav"));
  const Planes out = readRaw(dir.file("out.wav"));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0][0], 0.5);                // dry at unity with Mix 50 %
  EXPECT_GT(std::fabs(out[0][2400]), 0.05); // echo after 50 ms
}

TEST(CommandLine, ParamsListsAllEighteenWithRangesUnitsAndTexts)
{
  const ToolRun run = runTool({"params"});
  ASSERT_EQ(run.status, 0);
  std::istringstream lines(run.out);
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);)
    rows.push_back(line);
  ASSERT_EQ(rows.size(), 19u);
  EXPECT_EQ(rows[2].rfind("1  Time L", 0), 0u);
  EXPECT_EQ(rows[18].rfind("17 Mix", 0), 0u);
  for (const auto& [row, part] : std::vector<std::pair<size_t, std::string>>{{2, "1.0 .. 2000.0"},
                                                                             {2, "ms"},
                                                                             {2, "power 3"},
                                                                             {4, "1/4"},
                                                                             {4, "12 1/8D"},
                                                                             {11, "Hz"},
                                                                             {11, "20 Off"}})
    EXPECT_TRUE(contains(rows[row], part)) << rows[row] << " lacks " << part;
}

TEST(CommandLine, DemoWritesAPhraseAndItsRenderDeterministically)
{
  TempDir dir;
  const ToolRun run = runTool({"demo", dir.file("demo")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "phrase-ostratape.wav"));
  const Planes dry = readRaw(dir.file("demo/phrase.wav"));
  const Planes wet = readRaw(dir.file("demo/phrase-ostratape.wav"));
  ASSERT_EQ(dry.size(), 2u);
  ASSERT_EQ(wet.size(), 2u);
  ASSERT_GT(wet[0].size(), dry[0].size()); // the echoes ring on
  // After the phrase has died away only the echoes remain.
  const size_t end = dry[0].size();
  const double dryTail = peak(dry[0], end - 12000, end);
  EXPECT_LT(dryTail, 1e-3);
  EXPECT_GT(peak(wet[0], end - 12000, end), 10.0 * dryTail + 1e-3);
  EXPECT_LT(std::max(peak(wet[0]), peak(wet[1])), 1.0);

  ASSERT_EQ(runTool({"demo", dir.file("again")}).status, 0);
  EXPECT_EQ(readRaw(dir.file("again/phrase.wav")), dry);
  EXPECT_EQ(readRaw(dir.file("again/phrase-ostratape.wav")), wet);
}

} // namespace
} // namespace ostratapedelay::cli
