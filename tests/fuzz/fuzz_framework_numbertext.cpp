// Differential check: the locale-independent number reader and writer against the C
// library in the "C" locale.
#include "framework/NumberText.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  std::setlocale(LC_NUMERIC, "C");
  const std::string text(reinterpret_cast<const char*>(data), size); // stops at a zero byte below
  const double ours = plug::ParseLeadingDouble(text.c_str());
  const double libc = std::strtod(text.c_str(), nullptr);
  if (!(ours == libc || (std::isnan(ours) && std::isnan(libc))))
    std::abort();

  if (size >= 9)
  {
    double value = 0.0;
    std::memcpy(&value, data, sizeof(value));
    const int precision = data[8] % 7;
    if (std::isfinite(value))
    {
      char expected[400];
      std::snprintf(expected, sizeof(expected), "%.*f", precision, value);
      std::string want = expected;
      if (want[0] == '-' && want.find_first_not_of("-0.") == std::string::npos)
        want.erase(0, 1);
      if (plug::FormatFixed(value, precision) != want)
        std::abort();
    }
  }
  return 0;
}
