#pragma once

#include <optional>
#include <string_view>

namespace plug::graphics
{
class IControl;
}

namespace corvana::controls
{

/**
 * Reads a number as users type it: an optional sign ("-", "+" or the minus sign U+2212),
 * digits with "." or "," as the decimal separator, and anything after the number ignored
 * ("250 ms", "-12,5dB"). Exponents are not read ("1e3" is 1). The result is clamped to
 * min..max; nothing when the text holds no number. Any thread.
 */
std::optional<double> parseTypedValue(std::string_view text, double min, double max);

namespace typed_value
{

/**
 * Applies typed text to parameter `paramIdx` through `control`'s editor: parses it in the
 * parameter's real units, snaps to its step, clamps to its range, sends it as one host
 * gesture, then shows the parameter's value at once in every control bound to it. False, and
 * nothing sent, for empty text, an unknown parameter or text without a number. Editor thread.
 */
bool sendTypedValue(plug::graphics::IControl& control, int paramIdx, std::string_view text);

} // namespace typed_value

} // namespace corvana::controls
