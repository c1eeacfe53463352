#include "graphics/linux/LaunchDetached.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plug::graphics::x11
{

std::string FindProgram(const std::string& program)
{
  if (program.empty())
    return {};
  if (program.find('/') != std::string::npos)
    return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size())
  {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos)
      end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string candidate = dir + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

bool LaunchDetached(const std::string& path, const std::vector<std::string>& args,
                    std::string& error)
{
  // Everything the child needs is made before fork: a host's other threads may hold locks
  // that the child must not touch, so it only calls async-signal-safe functions.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0)
  {
    error = std::string("cannot start ") + path + ": " + std::strerror(errno);
    return false;
  }
  const pid_t child = ::fork();
  if (child < 0)
  {
    error = std::string("cannot start ") + path + ": " + std::strerror(errno);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return false;
  }
  if (child == 0)
  {
    // The middle process leaves at once, so the program is nobody's child to wait for.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0)
      ::_exit(grandchild < 0 ? 1 : 0);
    // Only the standard streams and the report pipe (closed by exec) stay open.
    ::syscall(SYS_close_range, 3u, unsigned(pipeFds[1]) - 1u, 0u);
    ::syscall(SYS_close_range, unsigned(pipeFds[1]) + 1u, ~0u, 0u);
    ::execve(argv[0], argv.data(), environ);
    const int failure = errno;
    (void)!::write(pipeFds[1], &failure, sizeof failure);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
  {
  }
  // exec closes the pipe: nothing to read means the program is running.
  int failure = 0;
  ssize_t got;
  do
    got = ::read(pipeFds[0], &failure, sizeof failure);
  while (got < 0 && errno == EINTR);
  ::close(pipeFds[0]);
  if (got == sizeof failure)
  {
    error = std::string("cannot start ") + path + ": " + std::strerror(failure);
    return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
  {
    error = std::string("cannot start ") + path;
    return false;
  }
  return true;
}

} // namespace plug::graphics::x11
