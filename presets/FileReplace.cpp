#include "presets/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvana::files
{

namespace
{

bool writeAll(int fd, std::string_view contents)
{
  const char* data = contents.data();
  std::size_t left = contents.size();
  while (left > 0)
  {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

/** Writes `contents` to `partial` and makes it durable; false on any failure. */
bool writePartial(const std::filesystem::path& partial, std::string_view contents)
{
  // No following a planted symbolic link into some other file, and no blocking on a FIFO
  // that happens to carry the name.
  const int fd = ::open(partial.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0)
    return false;
  struct stat info
  {
  };
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && writeAll(fd, contents);
  // Without the sync a crash soon after the rename can leave an empty file in place of
  // the old one on some file systems.
  ok = ok && ::fsync(fd) == 0;
  if (::close(fd) != 0)
    ok = false;
  return ok;
}

} // namespace

std::vector<std::filesystem::path> filesWithExtension(const std::filesystem::path& folder,
                                                      std::string_view extension)
{
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec))
    return files;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec)
    return files;
  for (; it != std::filesystem::directory_iterator(); ++it)
  {
    const auto& path = it->path();
    if (path.extension().native() != extension)
      continue;
    std::error_code statusError;
    if (std::filesystem::is_regular_file(it->status(statusError)) && !statusError)
      files.push_back(path);
  }
  return files;
}

bool replaceFile(const std::filesystem::path& path, std::string_view contents, std::string& error,
                 std::string_view temporarySuffix)
{
  auto fail = [&](const std::filesystem::path* partial)
  {
    if (partial)
      ::unlink(partial->c_str());
    error = "could not write " + path.string();
    return false;
  };
  if (path.empty() || !path.has_filename())
    return fail(nullptr);

  std::error_code ignored;
  if (path.has_parent_path())
    std::filesystem::create_directories(path.parent_path(), ignored);

  auto partial = path;
  partial += temporarySuffix;
  if (!writePartial(partial, contents))
    return fail(&partial);
  if (::rename(partial.c_str(), path.c_str()) != 0)
    return fail(&partial);
  return true;
}

bool deleteNamedFile(const std::filesystem::path& path, std::string& error)
{
  if (!path.empty() && ::unlink(path.c_str()) == 0)
    return true;
  error = "could not delete " + path.filename().string();
  return false;
}

} // namespace corvana::files
