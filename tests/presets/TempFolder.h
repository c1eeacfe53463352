#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace ostra::test
{

// A fresh folder under the system temp folder, removed with everything in it afterwards.
class TempFolder
{
public:
  TempFolder()
  {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostra-presets-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
      mPath = pattern;
  }
  ~TempFolder()
  {
    std::error_code ec;
    std::filesystem::permissions(mPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(mPath, ec);
  }
  const std::filesystem::path& path() const { return mPath; }

private:
  std::filesystem::path mPath;
};

// Points XDG_DATA_HOME at a temporary folder for one test and restores it afterwards.
class TempDataHome : public TempFolder
{
public:
  TempDataHome()
  {
    if (const char* old = std::getenv("XDG_DATA_HOME"))
      mOld = old;
    ::setenv("XDG_DATA_HOME", path().c_str(), 1);
  }
  ~TempDataHome()
  {
    mOld ? ::setenv("XDG_DATA_HOME", mOld->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
  }

private:
  std::optional<std::string> mOld;
};

inline void writeText(const std::filesystem::path& path, const std::string& text)
{
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::filesystem::path& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs `body` in a forked child killed after 10 s, so resource limits or user changes stay out
// of the test program and a hang fails instead of stalling the suite. Returns the child's exit
// code, or -1 when it did not exit normally.
template <typename Body>
int runInChild(Body body)
{
  const pid_t pid = ::fork();
  if (pid == 0)
  {
    ::alarm(10);
    ::_exit(body());
  }
  int status = 0;
  return pid >= 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                            : -1;
}

} // namespace ostra::test
