#pragma once

#include <string>
#include <string_view>

namespace plug
{

/**
 * Appends `text` as a JSON string: quoted; the double quote, the backslash, line feed,
 * carriage return and tab escaped with a backslash (the last three as n, r, t); every
 * other byte below 0x20 as \u00xx with lower-case hex digits; all other bytes unchanged.
 * The one writer of JSON strings for the framework, the update check and the tools.
 * Any thread; allocates.
 */
void AppendJSONString(std::string& out, std::string_view text);

} // namespace plug
