#include "updates/Version.h"

#include <tuple>

namespace corvana::updates
{

Version parseVersion(std::string_view text) noexcept
{
  int parts[3] = {0, 0, 0};
  std::size_t pos = 0;
  for (int part = 0; part < 3; ++part)
  {
    if (part > 0)
    {
      if (pos >= text.size() || text[pos] != '.')
        return {};
      ++pos;
    }
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
    {
      if (++digits > 4)
        return {};
      parts[part] = parts[part] * 10 + (text[pos] - '0');
      ++pos;
    }
    if (digits == 0)
      return {};
  }
  if (pos != text.size())
    return {};
  return {parts[0], parts[1], parts[2], true};
}

bool isNewer(const Version& candidate, const Version& running) noexcept
{
  if (!candidate.valid || !running.valid)
    return false;
  return std::tie(candidate.major, candidate.minor, candidate.patch) >
         std::tie(running.major, running.minor, running.patch);
}

} // namespace corvana::updates
