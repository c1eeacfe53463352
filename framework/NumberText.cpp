#include "framework/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace plug
{

std::string FormatFixed(double value, int precision, bool forcePlus)
{
  precision = std::clamp(precision, 0, 17);
  // Large enough for the longest finite double in fixed notation plus decimals.
  char buf[std::numeric_limits<double>::max_exponent10 + 32];
  char* first = buf + 1; // room for a '+'
  const auto result =
      std::to_chars(first, buf + sizeof(buf), value, std::chars_format::fixed, precision);
  if (result.ec != std::errc())
    return "0";
  std::string text(first, result.ptr);
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1); // "-0.0" reads as a different value from "0.0"; it is not
  else if (forcePlus && value > 0.0 && std::isfinite(value))
    text.insert(text.begin(), '+');
  return text;
}

namespace
{

bool IsCSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

double ParseLeadingDouble(const char* text)
{
  if (!text)
    return 0.0;
  const char* p = text;
  while (IsCSpace(*p))
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-')
  {
    negative = *p == '-';
    ++p;
    if (*p == '+' || *p == '-')
      return 0.0;
  }
  // from_chars takes no sign of its own here (the sign was consumed) and no "0x" prefix.
  auto format = std::chars_format::general;
  char exponentChar = 'e';
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
  {
    format = std::chars_format::hex;
    exponentChar = 'p';
    p += 2;
    // "0x-1" is the number 0 followed by text, not a negative hexadecimal number.
    if (*p == '+' || *p == '-')
      return negative ? -0.0 : 0.0;
  }
  const char* end = p + std::strlen(p);
  double value = 0.0;
  const auto result = std::from_chars(p, end, value, format);
  if (result.ec == std::errc::invalid_argument)
    return 0.0;
  if (result.ec == std::errc::result_out_of_range)
  {
    // Overflow gives infinity, underflow zero, as strtod does.
    bool tiny = false;
    for (const char* q = p; q < result.ptr; ++q)
      if ((*q == exponentChar || *q == exponentChar - 32) && q + 1 < result.ptr && q[1] == '-')
        tiny = true;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

} // namespace plug
