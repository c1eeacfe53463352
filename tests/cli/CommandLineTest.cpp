#include "cli/CliTestSupport.h"
#include "cli/CommandLine.h"
#include "cli/DemoCommand.h"
#include "cli/MiniJson.h"

#include <gtest/gtest.h>

#include <cmath>
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
  ToolRun run{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  return run;
}

TEST(CommandLine, UsageErrorsExitWithStatusTwo)
{
  EXPECT_EQ(runTool({}).status, 2);
  EXPECT_EQ(runTool({"frobnicate"}).status, 2);
  EXPECT_EQ(runTool({"render", "only-one-file.wav"}).status, 2);
  EXPECT_EQ(runTool({"repeats", "--tempo", "fast"}).status, 2);
  EXPECT_EQ(runTool({"repeats", "--tempo", "0"}).status, 2);
  EXPECT_EQ(runTool({"updates", "sideways"}).status, 2);
  EXPECT_EQ(runTool({"--help"}).status, 0);
}

TEST(CommandLine, FileAndParameterErrorsNameTheCulprit)
{
  TempDir dir;
  const ToolRun missing = runTool({"render", dir.file("missing.wav"), dir.file("out.wav")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find(dir.file("missing.wav")), std::string::npos);

  const ToolRun unknown = runTool({"repeats", "--set", "Speed=2"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown parameter 'Speed'"), std::string::npos);
  EXPECT_NE(unknown.err.find("Ping Pong"), std::string::npos);

  const ToolRun badValue = runTool({"repeats", "--set", "Note L=1/7"});
  EXPECT_EQ(badValue.status, 2);
  EXPECT_NE(badValue.err.find("Note L"), std::string::npos);

  const ToolRun constrained = runTool({"repeats", "--set", "Feedback=120"});
  EXPECT_EQ(constrained.status, 0);
  EXPECT_NE(constrained.err.find("note: Feedback"), std::string::npos);
}

TEST(CommandLine, RepeatedSetsDoNotSwallowTheFileArguments)
{
  TempDir dir;
  const std::string in = dir.file("in.wav");
  std::vector<std::vector<double>> mono(1, std::vector<double>(4800, 0.0));
  mono[0][0] = 0.5;
  test::writeRaw(in, mono, 48000);
  const ToolRun run = runTool({"render", "--set", "Mix=50", "--set", "sync=OFF", "--set", "Time L=50", in,
                           dir.file("out.wav"), "--tail", "0", "--channels", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("out.wav"), std::string::npos);
  const auto out = test::readRaw(dir.file("out.wav"));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0][0], 0.5);        // dry at unity with Mix 50 %
  EXPECT_GT(std::fabs(out[0][2400]), 0.05); // echo after 50 ms
}

TEST(CommandLine, ParamsListsAllEighteenWithUnitsAndTexts)
{
  const ToolRun run = runTool({"params"});
  ASSERT_EQ(run.status, 0);
  std::istringstream lines(run.out);
  std::string line;
  std::vector<std::string> rows;
  while (std::getline(lines, line))
    rows.push_back(line);
  ASSERT_EQ(rows.size(), 19u);
  EXPECT_EQ(rows[2].rfind("1  Time L", 0), 0u);
  EXPECT_NE(rows[2].find("1.0 .. 2000.0"), std::string::npos);
  EXPECT_NE(rows[2].find("ms"), std::string::npos);
  EXPECT_NE(rows[2].find("power 3"), std::string::npos);
  EXPECT_NE(rows[4].find("1/4"), std::string::npos);
  EXPECT_NE(rows[4].find("12 1/8D"), std::string::npos);
  EXPECT_NE(rows[11].find("Hz"), std::string::npos);    // Low Cut, whose default shows "Off"
  EXPECT_NE(rows[11].find("20 Off"), std::string::npos);
  EXPECT_EQ(rows[18].rfind("17 Mix", 0), 0u);
}

TEST(CommandLine, RepeatsJsonIsValidJson)
{
  const ToolRun run = runTool({"repeats", "--json", "--tempo", "140", "--set", "Ping Pong=on"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto doc = test::JsonReader::parse(run.out);
  EXPECT_EQ(doc["tempo"].number(), 140.0);
  EXPECT_TRUE(doc["settings"]["pingPong"].boolean());
  EXPECT_FALSE(doc["repeats"].array().empty());
}

TEST(CommandLine, DemoWritesAPhraseAndItsRender)
{
  TempDir dir;
  const ToolRun run = runTool({"demo", dir.file("demo")});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dry = test::readRaw(dir.file("demo/phrase.wav"));
  const auto wet = test::readRaw(dir.file("demo/phrase-ostratape.wav"));
  EXPECT_NE(run.out.find("phrase-ostratape.wav"), std::string::npos);
  ASSERT_EQ(dry.size(), 2u);
  ASSERT_EQ(wet.size(), 2u);
  EXPECT_GT(wet[0].size(), dry[0].size()); // the echoes ring on
  double dryTail = 0.0, wetTail = 0.0, peakWet = 0.0;
  // After the phrase has died away only the echoes remain.
  for (size_t i = dry[0].size() - 12000; i < dry[0].size(); ++i)
    dryTail = std::max(dryTail, std::fabs(dry[0][i]));
  for (size_t i = dry[0].size() - 12000; i < dry[0].size(); ++i)
    wetTail = std::max(wetTail, std::fabs(wet[0][i]));
  for (const auto& ch : wet)
    for (double x : ch)
      peakWet = std::max(peakWet, std::fabs(x));
  EXPECT_LT(dryTail, 1e-3);
  EXPECT_GT(wetTail, 10.0 * dryTail + 1e-3);
  EXPECT_LT(peakWet, 1.0);

  // Deterministic: a second run writes the same samples.
  ASSERT_EQ(runTool({"demo", dir.file("again")}).status, 0);
  EXPECT_EQ(test::readRaw(dir.file("again/phrase.wav")), dry);
  EXPECT_EQ(test::readRaw(dir.file("again/phrase-ostratape.wav")), wet);
}

} // namespace
} // namespace ostratapedelay::cli
