#include "graphics/linux/XScale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

namespace plug::graphics::x11
{

float ScaleFromResources(const char* resources)
{
  if (!resources)
    return 1.f;
  std::istringstream lines(resources);
  std::string line;
  float scale = 1.f;
  while (std::getline(lines, line))
  {
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
      continue;
    std::string name = line.substr(0, colon);
    name.erase(
        std::remove_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t'; }),
        name.end());
    if (name != "Xft.dpi" && name != "*dpi")
      continue;
    const std::string value = line.substr(colon + 1);
    char* end = nullptr;
    const float dpi = std::strtof(value.c_str(), &end);
    // The last setting wins, as in the resource database.
    if (end != value.c_str() && std::isfinite(dpi) && dpi > 0.f)
      scale = std::clamp(dpi / 96.f, 0.5f, 4.f);
  }
  return scale;
}

} // namespace plug::graphics::x11
