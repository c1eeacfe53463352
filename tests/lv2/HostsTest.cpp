// Real hosts running the plug-in: lilv's benchmark tool, and jalv on a JACK server of our own
// with the dummy driver (no sound card); each bounded in time and cleaned up whatever happens.
#include "LilvHost.h"
#include "ToolRunner.h"
#include "support/Sanitizers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <thread>

using namespace ostra::lv2test;
using namespace std::chrono_literals;

// A sanitized plug-in needs the sanitizer's runtime, which only our own test programs carry.
constexpr const char* kUninstrumentedHost =
    "the sanitized plug-in cannot load into this host, which is not instrumented";

TEST(Lv2Hosts, Lv2BenchRunsEveryLayout)
{
  if (OSTRA_SANITIZED)
    GTEST_SKIP() << kUninstrumentedHost;
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
  {
    const ToolResult run = runTool({"lv2bench", "-f", "-b", "512", "-n", "48000", uri},
                                   {{"LV2_PATH", bundleParent()}}, 60s);
    ASSERT_EQ(run.exitCode, 0) << uri << run.output;
    // "512 48000 <seconds> <uri>": the plug-in ran all the frames it was given.
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(run.output, m, std::regex(std::string("512 48000 ([0-9.e+-]+) ") + uri)))
        << run.output;
    EXPECT_GT(std::stod(m[1].str()), 0.0);
  }
}

TEST(Lv2Hosts, JalvOnAJackDummyServerTakesAControlChangeFromItsConsole)
{
  if (OSTRA_SANITIZED)
    GTEST_SKIP() << kUninstrumentedHost;
  // A server of our own name, so a JACK server someone else runs is never touched.
  const std::string client = "ostratape" + std::to_string(getpid());
  const Env env = {{"JACK_DEFAULT_SERVER", "ostra-lv2-test-" + std::to_string(getpid())},
                   {"LV2_PATH", bundleParent()},
                   {"JACK_NO_AUDIO_RESERVATION", "1"}};
  BackgroundTool jackd({"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"}, env);
  ASSERT_TRUE(jackd.waitFor("JACK server starting", 10s)) << jackd.output();
  bool up = false; // the server listens shortly after it says it starts
  for (int i = 0; i < 50 && !up; ++i)
    if (!(up = runTool({"jack_lsp"}, env, 5s).output.find("system:") != std::string::npos))
      std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(up) << jackd.output();

  // Line-buffered, so its console answers arrive while it runs rather than at its exit.
  BackgroundTool jalv({"stdbuf", "-oL", "-eL", "jalv", "-x", "-n", client, kStereoUri}, env);
  ASSERT_TRUE(jalv.waitFor("mix = 100.000000", 20s)) << jalv.output();
  const ToolResult ports = runTool({"jack_lsp"}, env, 5s);
  for (const char* port : {":in_l", ":in_r", ":out_l", ":out_r"})
    EXPECT_NE(ports.output.find(client + port), std::string::npos) << ports.output;

  ASSERT_TRUE(jalv.send("set feedback 55\n"));
  ASSERT_TRUE(jalv.waitFor("feedback = 55.000000", 10s)) << jalv.output();
  ASSERT_TRUE(jalv.send("controls\n"));
  EXPECT_TRUE(jalv.waitFor("feedback = 55.000000\nping_pong", 10s)) << jalv.output();
  EXPECT_TRUE(jalv.running()) << jalv.output();

  // End of input ends jalv cleanly; then the server goes.
  jalv.closeInput();
  EXPECT_TRUE(jalv.waitExit(10s)) << jalv.output();
  EXPECT_EQ(jalv.stop(), 0) << jalv.output();
  EXPECT_EQ(jalv.output().find("rror"), std::string::npos) << jalv.output();
  jackd.stop();
  EXPECT_FALSE(jackd.running());
}
