#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

namespace ostra::test
{

/** A fresh folder under the system temp folder, removed with everything in it afterwards. */
class TempFolder
{
public:
  TempFolder()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostra-presets-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
      mPath = pattern;
  }
  ~TempFolder()
  {
    std::error_code ec;
    std::filesystem::permissions(mPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(mPath, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return mPath; }

private:
  std::filesystem::path mPath;
};

/** Points XDG_DATA_HOME at a temporary folder for one test and restores it afterwards. */
class TempDataHome
{
public:
  TempDataHome()
  {
    if (const char* old = std::getenv("XDG_DATA_HOME"))
      mOld = old;
    ::setenv("XDG_DATA_HOME", mFolder.path().c_str(), 1);
  }
  ~TempDataHome()
  {
    if (mOld)
      ::setenv("XDG_DATA_HOME", mOld->c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
  }
  TempDataHome(const TempDataHome&) = delete;
  TempDataHome& operator=(const TempDataHome&) = delete;

  const std::filesystem::path& path() const { return mFolder.path(); }

private:
  TempFolder mFolder;
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

} // namespace ostra::test
