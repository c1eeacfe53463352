#pragma once

#include <string>
#include <string_view>

namespace ostratapedelay::cli
{

/** The shortest text that reads back as exactly `value` (std::to_chars), independent of the
 *  locale: "0.375", "1e-30", "inf", "-inf", "nan". */
std::string shortestNumber(double value);

/** A JSON number at full precision; null for infinities and NaN, which JSON lacks. */
std::string jsonNumber(double value);

/** A JSON string literal with quotes, escaping quotes, backslashes and control characters. */
std::string jsonString(std::string_view text);

} // namespace ostratapedelay::cli
