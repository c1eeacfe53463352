#include "plugin/Resources.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace ostratapedelay::plugin
{

namespace fs = std::filesystem;

std::vector<std::string> resourceFolders()
{
  std::vector<std::string> folders;
  auto add = [&folders](const fs::path& binary)
  {
    if (binary.empty() || !binary.is_absolute())
      return;
    const std::string folder = (binary.parent_path() / "resources").string();
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  };

  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&resourceFolders), &info) != 0 && info.dli_fname)
    add(info.dli_fname);
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec)
    add(self);
  return folders;
}

} // namespace ostratapedelay::plugin
