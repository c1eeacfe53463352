#pragma once

// A private X server (Xvfb) for the native view's tests, and running user tools (xdotool,
// import) against it while the view handles its events.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ostra::test
{

/** Starts a program; `quiet` sends its output nowhere, so a server that outlives a crashed
 *  test never holds the test runner's output open. */
inline pid_t spawn(const std::vector<std::string>& args, bool quiet = false)
{
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet)
  {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed ? -1 : pid;
}

/** Runs a program to its end, calling `pump` meanwhile; false when it failed or took longer
 *  than `timeoutMs`. */
inline bool runPumping(const std::vector<std::string>& args, const std::function<void()>& pump,
                       int timeoutMs = 15000)
{
  const pid_t pid = spawn(args);
  if (pid < 0)
    return false;
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0)
  {
    if (pump)
      pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeoutMs))
    {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
  }
  // What the tool did is still on its way through the server.
  for (int i = 0; i < 40 && pump; ++i)
  {
    pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/** Xvfb on a free display number, made $DISPLAY while it lives. */
class XvfbSession
{
public:
  explicit XvfbSession(bool withGlx = true)
  {
    int fds[2];
    if (pipe(fds) != 0)
    {
      mError = "no pipe";
      return;
    }
    std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                     "-screen",   "0",          "800x600x24",
                                     "-nolisten", "tcp",        "-noreset"};
    if (!withGlx)
      args.insert(args.end(), {"-extension", "GLX"});
    mPid = spawn(args, true);
    close(fds[1]);
    if (mPid < 0)
    {
      close(fds[0]);
      mError = "Xvfb cannot be started (is the xvfb package installed?)";
      return;
    }
    // The server writes its display number once it takes connections.
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(15))
    {
      if (poll(&pfd, 1, 100) > 0)
      {
        char c;
        const ssize_t got = read(fds[0], &c, 1);
        if (got <= 0 || c == '\n')
          break;
        number += c;
      }
    }
    close(fds[0]);
    if (number.empty())
    {
      mError = "Xvfb did not start";
      return;
    }
    mDisplay = ":" + number;
    const char* old = std::getenv("DISPLAY");
    mOldDisplay = old ? old : "";
    setenv("DISPLAY", mDisplay.c_str(), 1);
  }
  ~XvfbSession()
  {
    if (mPid > 0)
    {
      kill(mPid, SIGTERM);
      int status;
      waitpid(mPid, &status, 0);
    }
    if (!mDisplay.empty())
    {
      if (mOldDisplay.empty())
        unsetenv("DISPLAY");
      else
        setenv("DISPLAY", mOldDisplay.c_str(), 1);
    }
  }
  XvfbSession(const XvfbSession&) = delete;
  XvfbSession& operator=(const XvfbSession&) = delete;

  bool ok() const { return !mDisplay.empty(); }
  const std::string& error() const { return mError; }
  const std::string& display() const { return mDisplay; }

private:
  pid_t mPid = -1;
  std::string mDisplay;
  std::string mOldDisplay;
  std::string mError;
};

} // namespace ostra::test

/** Skips the test, saying why, when Xvfb cannot start. */
#define OSTRA_XVFB(name)                                                                           \
  ::ostra::test::XvfbSession name;                                                                 \
  if (!name.ok())                                                                                  \
  GTEST_SKIP() << "no X server for this test: " << name.error()
