#pragma once

#include <cstdint>
#include <string_view>

namespace plug
{

/** Id of an unknown host. */
constexpr int kHostUnknown = 0;

/**
 * The host id for a host's name (or bundle identifier): the name is lower-cased and searched
 * for known host names in a fixed order, the first found wins; kHostUnknown when none is.
 * Any thread.
 */
int LookUpHostID(std::string_view hostName);

/**
 * A bundle version "major.minor.patch" (decimal, missing parts 0) packed as
 * major << 16 | minor << 8 | patch; each part is limited to its field. 0 for text that does
 * not start with a number. Any thread.
 */
std::uint32_t ParseHostVersion(std::string_view version);

} // namespace plug
