// Closing a host must not wait on the network: a plug-in whose update fetch is stuck in a
// host-name lookup that never answers is destroyed at once. The lookup is made to hang by
// a getaddrinfo of our own, preloaded into a probe program.
#include "plugin/StateTestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace std::chrono_literals;

namespace
{

struct ProbeResult
{
  int exitCode = -1; // -1: killed after the time limit
  std::string output;
};

ProbeResult runProbe(const std::vector<std::string>& extraEnvironment, std::chrono::seconds limit)
{
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e)
  {
    const std::string entry = *e;
    // A proxy from the environment would be looked up instead of the feed, or be a number.
    const std::string name = entry.substr(0, entry.find('='));
    if (name.find("proxy") == std::string::npos && name.find("PROXY") == std::string::npos &&
        name != "LD_PRELOAD")
      environment.push_back(entry);
  }
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> envp;
  for (auto& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string program = OSTRA_UPDATE_SHUTDOWN_PROBE;
  char* argv[] = {program.data(), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  ProbeResult result;
  if (spawned != 0)
  {
    close(out[0]);
    result.output = "cannot start the probe";
    return result;
  }

  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (waitpid(child, &status, WNOHANG) == 0)
  {
    if (std::chrono::steady_clock::now() > deadline)
    {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      result.output = "still not destroyed after " + std::to_string(limit.count()) + " s; ";
      status = -1;
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
  char buffer[512];
  for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
    result.output.append(buffer, size_t(got));
  close(out[0]);
  result.exitCode = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

} // namespace

TEST(UpdateShutdown, DestroyingThePluginDoesNotWaitForAHostNameLookup)
{
  ostra::test::TempDataHome home;
  const std::string marker = (home.root / "lookup-started").string();
  const ProbeResult result =
      runProbe({"LD_PRELOAD=" OSTRA_NEVER_RESOLVE, "OSTRA_LOOKUP_STARTED=" + marker,
                "XDG_DATA_HOME=" + home.root.string(),
                "CORVANA_UPDATES_FOLDER=" + (home.root / "updates").string(),
                "CORVANA_UPDATES_URL=http://updates.feed.test/updates.json"},
               20s);
  EXPECT_EQ(result.exitCode, 0) << result.output;
}
