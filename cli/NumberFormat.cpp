#include "cli/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace ostratapedelay::cli
{

std::string shortestNumber(double value)
{
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::string jsonNumber(double value)
{
  return std::isfinite(value) ? shortestNumber(value) : std::string("null");
}

std::string jsonString(std::string_view text)
{
  std::string out = "\"";
  for (char c : text)
  {
    switch (c)
    {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20)
        {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x",
                        static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        }
        else
          out += c;
    }
  }
  out += '"';
  return out;
}

} // namespace ostratapedelay::cli
