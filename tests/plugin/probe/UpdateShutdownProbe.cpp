// Runs under a getaddrinfo that never answers (see tests/support/NeverResolve.c): makes a
// plug-in whose update worker starts its fetch at once, waits until that fetch is inside
// the host-name lookup, then destroys the plug-in. Prints how long that took; exits 0 when
// it was prompt, 1 when not, 2 when the lookup never began.
#include "plugin/OstraTapeDelay.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int main()
{
  const char* marker = std::getenv("OSTRA_LOOKUP_STARTED");
  if (marker == nullptr)
    return 2;
  auto plugin = std::make_unique<OstraTapeDelay>(
      corvana::updates::UpdateWorkerTiming{0ms, 0ms, 600000ms, 5000ms});

  const auto asked = Clock::now();
  std::error_code ec;
  while (!std::filesystem::exists(marker, ec))
  {
    if (Clock::now() - asked > 10s)
    {
      std::puts("no host-name lookup began");
      return 2;
    }
    std::this_thread::sleep_for(5ms);
  }
  std::this_thread::sleep_for(50ms); // well inside the lookup

  const auto start = Clock::now();
  plugin.reset();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  std::printf("destroyed in %lld ms\n", static_cast<long long>(took.count()));
  return took < 1s ? 0 : 1;
}
