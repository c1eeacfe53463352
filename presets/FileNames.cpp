#include "presets/Files.h"

#include <array>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace corvana::files
{

namespace
{

constexpr std::size_t kMaxNameBytes = 80;

bool isReplaced(unsigned char c)
{
  if (c < 32)
    return true;
  switch (c)
  {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
      return true;
    default:
      return false;
  }
}

bool isReservedDeviceName(std::string_view name)
{
  std::string base(name.substr(0, name.find('.')));
  for (auto& c : base)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  for (const char* reserved : {"CON", "PRN", "AUX", "NUL"})
    if (base == reserved)
      return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

std::filesystem::path homeDirectory()
{
  if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
      result->pw_dir && result->pw_dir[0] == '/')
    return result->pw_dir;
  return {};
}

} // namespace

std::filesystem::path applicationSupportDirectory()
{
  // Relative values are invalid for XDG variables and must be ignored.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
    return data;
  const auto home = homeDirectory();
  if (home.empty())
    return {};
  return home / ".local" / "share";
}

std::filesystem::path pathForName(const std::filesystem::path& folder, std::string_view name,
                                  std::string_view extension, std::string_view fallback)
{
  std::string safe(name);
  for (auto& c : safe)
    if (isReplaced(static_cast<unsigned char>(c)))
      c = '-';

  if (safe.size() > kMaxNameBytes)
  {
    // Never leave half a UTF-8 character: step back over continuation bytes to the lead byte.
    std::size_t cut = kMaxNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80)
      --cut;
    safe.resize(cut);
  }

  const auto first = safe.find_first_not_of(". ");
  if (first == std::string::npos)
    safe = fallback;
  else
    safe = safe.substr(first, safe.find_last_not_of(". ") - first + 1);

  if (isReservedDeviceName(safe))
    safe += '-';

  safe += extension;
  return folder / safe;
}

} // namespace corvana::files
