#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace ostra::lv2test
{

using Env = std::map<std::string, std::string>;

struct ToolResult
{
  int exitCode = -1;     // -1 when it did not exit normally
  bool timedOut = false; // killed at the time limit
  std::string output;    // standard output and error together
};

/**
 * A program (found on PATH) running in a process group of its own, with a pipe to its standard
 * input and its output collected. stop() and the destructor end that group (SIGTERM, then
 * SIGKILL) and reap it, so a failed test never leaves anything behind.
 */
class BackgroundTool
{
public:
  BackgroundTool(const std::vector<std::string>& args, const Env& env);
  ~BackgroundTool() { stop(); }
  BackgroundTool(const BackgroundTool&) = delete;
  BackgroundTool& operator=(const BackgroundTool&) = delete;

  bool started() const { return mPid > 0; }
  bool send(const std::string& text);
  void closeInput();
  /** Collects output until it contains `needle`; false when the program exits or `limit` passes
   * first. */
  bool waitFor(const std::string& needle, std::chrono::milliseconds limit);
  /** The same for a pattern, which `match` receives when found. */
  bool waitFor(const std::regex& pattern, std::smatch& match, std::chrono::milliseconds limit);
  /** Collects output until the program has exited and closed it; false after `limit`. */
  bool waitExit(std::chrono::milliseconds limit);
  const std::string& output() const { return mOutput; }
  bool running();
  /** Ends the program and reaps it; its exit code, or -1. */
  int stop();

private:
  bool pump(std::chrono::milliseconds limit, const std::function<bool()>& done);

  pid_t mPid = -1;
  int mIn = -1;
  int mOut = -1;
  bool mExited = false;
  int mStatus = 0;
  std::string mOutput;
};

/** Runs a program to its end, killed after `limit`. */
ToolResult runTool(const std::vector<std::string>& args, const Env& env,
                   std::chrono::milliseconds limit);

/** Interleaved 32-bit float WAV files. */
bool writeFloatWav(const std::string& path, const std::vector<std::vector<float>>& channels,
                   int rate);
bool readFloatWav(const std::string& path, std::vector<std::vector<float>>& channels, int& rate);

/** A fresh folder under the system's temporary folder, removed with the object. */
struct TempDir
{
  TempDir();
  ~TempDir();
  std::string path;
};

} // namespace ostra::lv2test
