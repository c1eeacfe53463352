#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace ostra::lv2test
{

/** What a finished tool left behind. */
struct ToolResult
{
  int exitCode = -1;     // -1 when it did not exit normally
  bool timedOut = false; // killed at the time limit
  std::string output;    // standard output and error together
};

/** Runs a program (found on PATH) with extra environment variables, its standard input fed
 *  from `input`, and kills it when it is still running after `limit`. */
ToolResult runTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                   std::chrono::milliseconds limit, const std::string& input = {});

/** Whether a program is on PATH. */
bool haveTool(const std::string& name);

/**
 * A program left running in the background in a process group of its own, with a pipe to its
 * standard input and its output collected. The destructor ends it (SIGTERM, then SIGKILL)
 * and reaps it, so a failed test never leaves it behind.
 */
class BackgroundTool
{
public:
  BackgroundTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env);
  ~BackgroundTool();
  BackgroundTool(const BackgroundTool&) = delete;
  BackgroundTool& operator=(const BackgroundTool&) = delete;

  bool started() const { return mPid > 0; }
  /** Writes `text` to the program's standard input. */
  bool send(const std::string& text);
  /** Closes the program's standard input (end of file). */
  void closeInput();
  /** Collects output until it contains `needle`, the program exits, or `limit` passes. */
  bool waitFor(const std::string& needle, std::chrono::milliseconds limit);
  /** Collects output until the program exits and closes its output, or `limit` passes;
   *  false when it is still running. */
  bool waitExit(std::chrono::milliseconds limit);
  /** Everything it printed so far. */
  const std::string& output() const { return mOutput; }
  bool running();
  /** Ends the program and waits for it (at most a few seconds); returns its exit code. */
  int stop();

private:
  void drain(int timeoutMs);

  pid_t mPid = -1;
  int mIn = -1;
  int mOut = -1;
  bool mExited = false;
  int mStatus = 0;
  std::string mOutput;
};

/** Interleaved 32-bit float WAV files. */
bool writeFloatWav(const std::string& path, const std::vector<std::vector<float>>& channels, int rate);
bool readFloatWav(const std::string& path, std::vector<std::vector<float>>& channels, int& rate);

/** A fresh folder under the system's temporary folder, removed with the object. */
class TempDir
{
public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return mPath; }

private:
  std::string mPath;
};

} // namespace ostra::lv2test
