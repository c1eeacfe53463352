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

namespace
{

using Clock = std::chrono::steady_clock;

// Forks `args` with stdin and stdout/stderr on pipes, in a new process group.
pid_t spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env, int& inFd,
            int& outFd)
{
  int inPipe[2];
  int outPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0)
    return -1;
  if (pipe2(outPipe, O_CLOEXEC) != 0)
  {
    close(inPipe[0]);
    close(inPipe[1]);
    return -1;
  }
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0)
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
  if (pid < 0)
  {
    close(inPipe[1]);
    close(outPipe[0]);
    return -1;
  }
  setpgid(pid, pid);
  inFd = inPipe[1];
  outFd = outPipe[0];
  fcntl(outFd, F_SETFL, fcntl(outFd, F_GETFL) | O_NONBLOCK);
  return pid;
}

// Reads what is available on `fd` into `out` within `timeoutMs`; false at end of file.
bool readSome(int fd, std::string& out, int timeoutMs)
{
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0)
    return true;
  char buffer[4096];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0)
  {
    out.append(buffer, static_cast<size_t>(n));
    return true;
  }
  return n < 0 && (errno == EAGAIN || errno == EINTR);
}

void put32(std::ofstream& out, std::uint32_t v)
{
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  out.write(reinterpret_cast<const char*>(b), 4);
}

void put16(std::ofstream& out, std::uint16_t v)
{
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  out.write(reinterpret_cast<const char*>(b), 2);
}

std::uint32_t get32(const unsigned char* p)
{
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

ToolResult runTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                   std::chrono::milliseconds limit, const std::string& input)
{
  BackgroundTool tool(args, env);
  ToolResult result;
  if (!tool.started())
    return result;
  if (!input.empty())
    tool.send(input);
  result.timedOut = !tool.waitExit(limit);
  result.exitCode = tool.stop();
  result.output = tool.output();
  return result;
}

bool haveTool(const std::string& name)
{
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size())
  {
    const size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
      return true;
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return false;
}

BackgroundTool::BackgroundTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env)
{
  mPid = spawn(args, env, mIn, mOut);
}

BackgroundTool::~BackgroundTool()
{
  stop();
}

bool BackgroundTool::send(const std::string& text)
{
  if (mIn < 0)
    return false;
  size_t done = 0;
  while (done < text.size())
  {
    const ssize_t n = write(mIn, text.data() + done, text.size() - done);
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void BackgroundTool::closeInput()
{
  if (mIn >= 0)
  {
    close(mIn);
    mIn = -1;
  }
}

void BackgroundTool::drain(int timeoutMs)
{
  if (mOut >= 0 && !readSome(mOut, mOutput, timeoutMs))
  {
    close(mOut);
    mOut = -1;
  }
}

bool BackgroundTool::running()
{
  if (mPid <= 0 || mExited)
    return false;
  if (waitpid(mPid, &mStatus, WNOHANG) == mPid)
    mExited = true;
  return !mExited;
}

bool BackgroundTool::waitFor(const std::string& needle, std::chrono::milliseconds limit)
{
  const auto end = Clock::now() + limit;
  while (Clock::now() < end)
  {
    if (mOutput.find(needle) != std::string::npos)
      return true;
    if (mOut < 0 && !running())
      return false;
    drain(20);
    if (mOut < 0)
      running();
  }
  return mOutput.find(needle) != std::string::npos;
}

bool BackgroundTool::waitExit(std::chrono::milliseconds limit)
{
  const auto end = Clock::now() + limit;
  while (Clock::now() < end)
  {
    drain(20);
    if (mOut < 0 && !running())
      return true;
  }
  return false;
}

int BackgroundTool::stop()
{
  if (mPid > 0 && !mExited)
  {
    if (mIn >= 0)
    {
      close(mIn);
      mIn = -1;
    }
    // Politely first, then for sure; only this program's own process group.
    for (int sig : {SIGTERM, SIGKILL})
    {
      if (!running())
        break;
      kill(-mPid, sig);
      const auto end = Clock::now() + std::chrono::seconds(3);
      while (running() && Clock::now() < end)
      {
        drain(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    if (!mExited && waitpid(mPid, &mStatus, 0) == mPid)
      mExited = true;
  }
  while (mOut >= 0)
    drain(50);
  if (mIn >= 0)
  {
    close(mIn);
    mIn = -1;
  }
  return mExited && WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : -1;
}

bool writeFloatWav(const std::string& path, const std::vector<std::vector<float>>& channels, int rate)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto nCh = static_cast<std::uint16_t>(channels.size());
  const auto frames = static_cast<std::uint32_t>(channels.empty() ? 0 : channels[0].size());
  const std::uint32_t dataBytes = frames * nCh * 4u;
  out.write("RIFF", 4);
  put32(out, 4 + 24 + 12 + 8 + dataBytes);
  out.write("WAVE", 4);
  out.write("fmt ", 4);
  put32(out, 16);
  put16(out, 3); // IEEE float
  put16(out, nCh);
  put32(out, static_cast<std::uint32_t>(rate));
  put32(out, static_cast<std::uint32_t>(rate) * nCh * 4u);
  put16(out, static_cast<std::uint16_t>(nCh * 4u));
  put16(out, 32);
  out.write("fact", 4);
  put32(out, 4);
  put32(out, frames);
  out.write("data", 4);
  put32(out, dataBytes);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (const auto& ch : channels)
      out.write(reinterpret_cast<const char*>(&ch[i]), 4);
  return static_cast<bool>(out.flush());
}

bool readFloatWav(const std::string& path, std::vector<std::vector<float>>& channels, int& rate)
{
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return false;
  int nCh = 0;
  int bits = 0;
  int format = 0;
  size_t pos = 12;
  while (pos + 8 <= bytes.size())
  {
    const std::uint32_t size = get32(&bytes[pos + 4]);
    const unsigned char* body = &bytes[pos + 8];
    if (pos + 8 + size > bytes.size())
      return false;
    if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && size >= 16)
    {
      format = body[0] | (body[1] << 8);
      nCh = body[2] | (body[3] << 8);
      rate = static_cast<int>(get32(body + 4));
      bits = body[14] | (body[15] << 8);
      if (format == 0xFFFE && size >= 26) // extensible: the sub-format's first word
        format = body[24] | (body[25] << 8);
    }
    else if (std::memcmp(&bytes[pos], "data", 4) == 0)
    {
      if (format != 3 || bits != 32 || nCh <= 0)
        return false;
      const size_t frames = size / (4u * static_cast<size_t>(nCh));
      channels.assign(static_cast<size_t>(nCh), std::vector<float>(frames));
      for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < nCh; ++c)
          std::memcpy(&channels[static_cast<size_t>(c)][i], body + (i * static_cast<size_t>(nCh) + static_cast<size_t>(c)) * 4, 4);
      return true;
    }
    pos += 8 + size + (size & 1u);
  }
  return false;
}

TempDir::TempDir()
{
  std::string pattern = (std::filesystem::temp_directory_path() / "ostra-lv2-XXXXXX").string();
  if (mkdtemp(pattern.data()))
    mPath = pattern;
}

TempDir::~TempDir()
{
  std::error_code error;
  if (!mPath.empty())
    std::filesystem::remove_all(mPath, error);
}

} // namespace ostra::lv2test
