#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

namespace ostratapedelay::lv2
{

/** The data of the host's feature `uri`, or null when the host does not offer it. */
inline const void* findFeature(const LV2_Feature* const* features, const char* uri)
{
  if (!features)
    return nullptr;
  for (; *features; ++features)
    if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0)
      return (*features)->data;
  return nullptr;
}

} // namespace ostratapedelay::lv2
