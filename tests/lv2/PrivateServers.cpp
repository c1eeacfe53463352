#include "PrivateServers.h"

#include <unistd.h>

#include <regex>
#include <thread>

namespace ostra::lv2test
{

using namespace std::chrono_literals;

JackDummyServer::JackDummyServer()
  : mEnv{{"JACK_DEFAULT_SERVER", "ostra-lv2-test-" + std::to_string(getpid())},
         {"JACK_NO_AUDIO_RESERVATION", "1"}}
{
  mJackd = std::make_unique<BackgroundTool>(
      std::vector<std::string>{"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"},
      mEnv);
  if (!mJackd->waitFor("JACK server starting", 10s))
  {
    mError = "jackd with the dummy driver did not start: " + mJackd->output();
    return;
  }
  // The server listens shortly after it says it starts.
  for (int i = 0; i < 50; ++i)
  {
    if (runTool({"jack_lsp"}, mEnv, 5s).output.find("system:") != std::string::npos)
      return;
    std::this_thread::sleep_for(100ms);
  }
  mError = "the JACK dummy server never listed its ports: " + mJackd->output();
}

PrivateDisplay::PrivateDisplay(const std::string& screen)
{
  // Xvfb picks a free display and writes its number on a line of its own once it takes
  // connections; its other messages come on the same pipe.
  mXvfb = std::make_unique<BackgroundTool>(std::vector<std::string>{"Xvfb", "-displayfd", "1",
                                                                    "-screen", "0", screen,
                                                                    "-nolisten", "tcp", "-noreset"},
                                           Env{});
  if (!mXvfb->started())
  {
    mError = "Xvfb cannot be started";
    return;
  }
  std::smatch m;
  if (mXvfb->waitFor(std::regex(R"((?:^|\n)(\d+)\n)"), m, 15s))
    mName = ":" + m[1].str();
  else
    mError = "Xvfb did not start: " + mXvfb->output();
}

} // namespace ostra::lv2test
