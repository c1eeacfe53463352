#pragma once

#include <string_view>

namespace corvana::updates
{

struct Version
{
  int major = 0;
  int minor = 0;
  int patch = 0;
  bool valid = false;
};

/** MAJOR.MINOR.PATCH, each 1 to 4 decimal digits, nothing else; otherwise invalid. Any thread. */
Version parseVersion(std::string_view text) noexcept;

/** True when both are valid and `candidate` is greater (major, then minor, then patch). */
bool isNewer(const Version& candidate, const Version& running) noexcept;

} // namespace corvana::updates
