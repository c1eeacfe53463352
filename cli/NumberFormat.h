#pragma once

#include <string>

namespace ostratapedelay::cli
{

/** The shortest text that reads back as exactly `value` (std::to_chars), independent of the
 *  locale: "0.375", "1e-30", "inf", "-inf", "nan". */
std::string shortestNumber(double value);

/** A JSON number at full precision; null for infinities and NaN, which JSON lacks. */
std::string jsonNumber(double value);

} // namespace ostratapedelay::cli
