#include "cli/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>

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

} // namespace ostratapedelay::cli
