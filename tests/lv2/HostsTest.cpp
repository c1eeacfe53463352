// Real hosts running the plug-in: lilv's benchmark tool and jalv on a JACK server with the
// dummy driver (no sound card), each bounded in time and cleaned up whatever happens.
#include "LilvHost.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

using namespace ostra::lv2test;
using namespace std::chrono_literals;

TEST(Lv2Hosts, Lv2BenchRunsEveryLayout)
{
  ASSERT_TRUE(haveTool("lv2bench"));
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
  {
    const ToolResult run = runTool({"lv2bench", "-f", "-b", "512", "-n", "48000", uri}, {{"LV2_PATH", bundleParent()}}, 60s);
    ASSERT_FALSE(run.timedOut) << uri;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // "512 48000 <seconds> <uri>": the plug-in ran all the frames it was given.
    const std::regex line(std::string("512 48000 ([0-9.e+-]+) ") + uri);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.output, m, line)) << run.output;
    const double seconds = std::stod(m[1].str());
    EXPECT_GT(seconds, 0.0);
    EXPECT_LT(seconds, 30.0);
  }
}

TEST(Lv2Hosts, JalvOnAJackDummyServerTakesControlChangesAndPresets)
{
  if (!haveTool("jalv") || !haveTool("jackd"))
    GTEST_SKIP() << "jalv or jackd is not installed";
  // A server of our own, so a JACK server someone else runs is never touched.
  const std::string server = "ostra-lv2-test-" + std::to_string(getpid());
  const std::string client = "ostratape" + std::to_string(getpid());
  std::map<std::string, std::string> env = {{"JACK_DEFAULT_SERVER", server}, {"LV2_PATH", bundleParent()},
                                            {"JACK_NO_AUDIO_RESERVATION", "1"}};

  BackgroundTool jackd({"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"}, env);
  ASSERT_TRUE(jackd.started());
  ASSERT_TRUE(jackd.waitFor("JACK server starting", 10s)) << jackd.output();
  // The server listens shortly after it says it starts.
  bool up = false;
  for (int i = 0; i < 50 && !up; ++i)
  {
    up = runTool({"jack_lsp"}, env, 5s).output.find("system:") != std::string::npos;
    if (!up)
      usleep(100000);
  }
  ASSERT_TRUE(up) << jackd.output();

  // Line-buffered, so its console answers arrive while it runs rather than at its exit.
  BackgroundTool jalv({"stdbuf", "-oL", "-eL", "jalv", "-x", "-n", client, kStereoUri}, env);
  ASSERT_TRUE(jalv.started());
  ASSERT_TRUE(jalv.waitFor("mix = 100.000000", 20s)) << jalv.output();

  // The plug-in's ports are in the JACK graph while it runs.
  const ToolResult ports = runTool({"jack_lsp"}, env, 5s);
  for (const char* port : {":in_l", ":in_r", ":out_l", ":out_r"})
    EXPECT_NE(ports.output.find(client + port), std::string::npos) << ports.output;

  ASSERT_TRUE(jalv.send("set feedback 55\n"));
  ASSERT_TRUE(jalv.waitFor("feedback = 55.000000", 10s)) << jalv.output();
  ASSERT_TRUE(jalv.send("controls\n"));
  EXPECT_TRUE(jalv.waitFor("feedback = 55.000000\nping_pong", 10s)) << jalv.output();

  // The factory presets as the host lists them, and one applied by the host.
  ASSERT_TRUE(jalv.send("presets\n"));
  EXPECT_TRUE(jalv.waitFor("urn:corvana:ostratape-delay#preset-ping-and-pong (Ping and pong)", 10s)) << jalv.output();
  EXPECT_TRUE(jalv.waitFor("urn:corvana:ostratape-delay#preset-warm-and-wide-delay (Warm and wide delay)", 10s))
    << jalv.output();
  ASSERT_TRUE(jalv.send("preset urn:corvana:ostratape-delay#preset-warm-and-wide-delay\ncontrols\n"));
  EXPECT_TRUE(jalv.waitFor("drive = 12.001983", 10s)) << jalv.output();
  EXPECT_TRUE(jalv.running()) << jalv.output();

  // End of input ends jalv cleanly; then the server goes.
  jalv.closeInput();
  EXPECT_TRUE(jalv.waitExit(10s)) << jalv.output();
  const int jalvExit = jalv.stop();
  EXPECT_EQ(jalvExit, 0) << jalv.output();
  EXPECT_EQ(jalv.output().find("rror"), std::string::npos) << jalv.output();
  jackd.stop();
  EXPECT_FALSE(jackd.running());
}
