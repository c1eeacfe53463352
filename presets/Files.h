#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvana::files
{

/**
 * The per-user application-data folder: $XDG_DATA_HOME when it is set to an absolute path,
 * else $HOME/.local/share (the home folder from the password database when HOME is unset).
 * Empty when no home folder can be found, so callers never fall back to the working folder.
 * Any thread; not real-time safe.
 */
std::filesystem::path applicationSupportDirectory();

/**
 * folder / (file-safe form of `name` + `extension`). The file-safe form replaces characters
 * that some file systems refuse (" * / : < > ? \ | and control bytes) by "-", is cut to at
 * most 80 bytes on a UTF-8 character boundary, loses leading and trailing dots and spaces
 * (`fallback` when nothing is left) and gets a "-" appended when it would be a reserved
 * device name (CON, PRN, AUX, NUL, COM1..9, LPT1..9 before the first dot, any case), so the
 * files also move safely to other systems. Pure; any thread.
 */
std::filesystem::path pathForName(const std::filesystem::path& folder, std::string_view name,
                                  std::string_view extension, std::string_view fallback);

/**
 * The regular files (following symbolic links) directly in `folder` whose extension equals
 * `extension` byte for byte, in directory order. Empty when `folder` is not a readable
 * folder. Stepping from one entry to the next may throw std::filesystem::filesystem_error.
 * Any thread; not real-time safe.
 */
std::vector<std::filesystem::path> filesWithExtension(const std::filesystem::path& folder,
                                                      std::string_view extension);

/**
 * Replaces the file at `path` with `contents` atomically: writes path + `temporarySuffix`
 * (creating missing folders; never through a symbolic link or into anything but a regular
 * file), flushes it to the disk and renames it over the target, so readers see either the
 * old or the new file. On any failure the temporary file is removed, the old file is
 * untouched and `error` is "could not write " + the full path. Files that several processes
 * may write at once need a suffix of their own per write. Any thread; blocking I/O, not
 * real-time safe.
 */
bool replaceFile(const std::filesystem::path& path, std::string_view contents, std::string& error,
                 std::string_view temporarySuffix = ".partial");

/**
 * Removes the file at `path` (a folder is never removed). On failure, including a missing
 * file, `error` is "could not delete " + the file's name. Any thread; not real-time safe.
 */
bool deleteNamedFile(const std::filesystem::path& path, std::string& error);

} // namespace corvana::files
