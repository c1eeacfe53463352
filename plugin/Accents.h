#pragma once

#include <array>

namespace ostratapedelay::plugin
{

/** One accent colour of the editor. */
struct Accent
{
  const char* name;
  int red;
  int green;
  int blue;
};

/** The editor's accent colours by the index the plug-in stores (and saves). Row 5 stands for
 *  the host's track colour and falls back to green where the host gives none. */
inline constexpr std::array<Accent, 6> kAccents{{{"Green", 21, 232, 121},
                                                 {"Red", 233, 21, 90},
                                                 {"Orange", 255, 122, 0},
                                                 {"Blue", 0, 184, 255},
                                                 {"Purple", 134, 0, 255},
                                                 {"DAW color", 21, 232, 121}}};

/** The index of the host-colour row. */
inline constexpr unsigned kHostAccent = 5;

} // namespace ostratapedelay::plugin
