#pragma once

#include <string>

namespace plug
{

/**
 * Numbers as text, the same in every process locale (a '.' decimal point, no grouping),
 * matching what the "C" locale's printf and strtod give. Editors, state files and hosts
 * must not see "1,5" because a host switched the numeric locale.
 *
 * Thread-safe and free of global state; FormatFixed allocates only through the string.
 */

/** Fixed notation with `precision` decimals (0..17), like "%.*f". With forcePlus a positive
 *  number gets a leading '+'. A result that rounds to zero never carries a '-'. */
std::string FormatFixed(double value, int precision, bool forcePlus = false);

/** The leading number of text, like atof: leading white space and a '+' or '-' sign are
 *  allowed, then decimal or "0x" hexadecimal digits, "inf" or "nan"; anything after the
 *  number is ignored. Text without a number gives 0; overflow gives +-infinity. */
double ParseLeadingDouble(const char* text);

} // namespace plug
