#include "ToolRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace ostra::lv2test
{

using Clock = std::chrono::steady_clock;

BackgroundTool::BackgroundTool(const std::vector<std::string>& args, const Env& env)
{
  int inPipe[2], outPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0)
    return;
  if (pipe2(outPipe, O_CLOEXEC) != 0)
  {
    close(inPipe[0]);
    close(inPipe[1]);
    return;
  }
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  mPid = fork();
  if (mPid == 0)
  {
    setpgid(0, 0);
    dup2(inPipe[0], STDIN_FILENO);
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(outPipe[1], STDERR_FILENO);
    for (const auto& [name, value] : env)
      setenv(name.c_str(), value.c_str(), 1);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  mIn = inPipe[1];
  mOut = outPipe[0];
  if (mPid > 0)
    setpgid(mPid, mPid); // also here, so a kill right after fork reaches the group
}

bool BackgroundTool::send(const std::string& text)
{
  for (size_t done = 0; done < text.size();)
  {
    const ssize_t n = mIn < 0 ? -1 : write(mIn, text.data() + done, text.size() - done);
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void BackgroundTool::closeInput()
{
  if (mIn >= 0)
    close(mIn);
  mIn = -1;
}

bool BackgroundTool::running()
{
  if (mPid > 0 && !mExited && waitpid(mPid, &mStatus, WNOHANG) == mPid)
    mExited = true;
  return mPid > 0 && !mExited;
}

bool BackgroundTool::pump(std::chrono::milliseconds limit, const std::function<bool()>& done)
{
  const auto end = Clock::now() + limit;
  while (!done())
  {
    if (Clock::now() >= end || (mOut < 0 && !running()))
      return done();
    if (mOut < 0)
    {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    pollfd p{mOut, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0)
      continue;
    char buffer[4096];
    const ssize_t n = read(mOut, buffer, sizeof buffer);
    if (n > 0)
      mOutput.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
    {
      close(mOut);
      mOut = -1;
    }
  }
  return true;
}

bool BackgroundTool::waitFor(const std::string& needle, std::chrono::milliseconds limit)
{
  return pump(limit, [&] { return mOutput.find(needle) != std::string::npos; });
}

bool BackgroundTool::waitFor(const std::regex& pattern, std::smatch& match,
                             std::chrono::milliseconds limit)
{
  return pump(limit, [&] { return std::regex_search(mOutput, match, pattern); });
}

bool BackgroundTool::waitExit(std::chrono::milliseconds limit)
{
  return pump(limit, [&] { return mOut < 0 && !running(); });
}

int BackgroundTool::stop()
{
  closeInput();
  // Politely first, then for sure; only this program's own process group.
  for (int sig : {SIGTERM, SIGKILL})
  {
    if (!running())
      break;
    kill(-mPid, sig);
    const auto end = Clock::now() + std::chrono::seconds(3);
    while (running() && Clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (mPid > 0 && !mExited && waitpid(mPid, &mStatus, 0) == mPid)
    mExited = true;
  pump(std::chrono::milliseconds(2000), [&] { return mOut < 0; }); // what it wrote last
  if (mOut >= 0)
    close(mOut);
  mOut = -1;
  return mExited && WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : -1;
}

ToolResult runTool(const std::vector<std::string>& args, const Env& env,
                   std::chrono::milliseconds limit)
{
  BackgroundTool tool(args, env);
  ToolResult result;
  result.timedOut = tool.started() && !tool.waitExit(limit);
  result.exitCode = tool.stop();
  result.output = tool.output();
  return result;
}

bool writeFloatWav(const std::string& path, const std::vector<std::vector<float>>& channels,
                   int rate)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  auto put = [&out](std::uint32_t v, int bytes)
  {
    for (int i = 0; i < bytes; ++i)
      out.put(static_cast<char>(v >> (8 * i)));
  };
  const auto nCh = static_cast<std::uint32_t>(channels.size());
  const auto frames = static_cast<std::uint32_t>(channels.empty() ? 0 : channels[0].size());
  out.write("RIFF", 4);
  put(36 + frames * nCh * 4, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(3, 2); // IEEE float
  put(nCh, 2);
  put(static_cast<std::uint32_t>(rate), 4);
  put(static_cast<std::uint32_t>(rate) * nCh * 4, 4);
  put(nCh * 4, 2);
  put(32, 2);
  out.write("data", 4);
  put(frames * nCh * 4, 4);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (const auto& ch : channels)
      out.write(reinterpret_cast<const char*>(&ch[i]), 4);
  return static_cast<bool>(out.flush());
}

bool readFloatWav(const std::string& path, std::vector<std::vector<float>>& channels, int& rate)
{
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
  auto get = [&b](size_t at, int bytes)
  {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
      v = (v << 8) | b[at + static_cast<size_t>(i)];
    return v;
  };
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "WAVE", 4) != 0)
    return false;
  std::uint32_t format = 0, nCh = 0, bits = 0;
  for (size_t pos = 12; pos + 8 <= b.size();)
  {
    const size_t size = get(pos + 4, 4), body = pos + 8;
    if (body + size > b.size())
      return false;
    if (std::memcmp(&b[pos], "fmt ", 4) == 0 && size >= 16)
    {
      format =
          get(body, 2) == 0xFFFE && size >= 26 ? get(body + 24, 2) : get(body, 2); // extensible
      nCh = get(body + 2, 2);
      rate = static_cast<int>(get(body + 4, 4));
      bits = get(body + 14, 2);
    }
    else if (std::memcmp(&b[pos], "data", 4) == 0)
    {
      if (format != 3 || bits != 32 || nCh == 0)
        return false;
      channels.assign(nCh, std::vector<float>(size / (4 * nCh)));
      for (size_t i = 0; i < channels[0].size(); ++i)
        for (size_t c = 0; c < nCh; ++c)
          std::memcpy(&channels[c][i], &b[body + (i * nCh + c) * 4], 4);
      return true;
    }
    pos = body + size + (size & 1u);
  }
  return false;
}

TempDir::TempDir()
  : path((std::filesystem::temp_directory_path() / "ostra-lv2-XXXXXX").string())
{
  if (!mkdtemp(path.data()))
    path.clear();
}

TempDir::~TempDir()
{
  std::error_code error;
  if (!path.empty())
    std::filesystem::remove_all(path, error);
}

} // namespace ostra::lv2test
