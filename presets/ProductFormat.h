#pragma once

#include "presets/PresetFormat.h"

namespace ostratapedelay::offline
{

/** This plug-in's preset files: OstraTape-delay/Presets/<name>.otdpreset. */
inline constexpr corvana::presets::Format kPresetFormat{
    ".otdpreset",
    "OstraTape-delay preset 1",
    "OstraTape-delay",
    "OstraTape-delay",
};

} // namespace ostratapedelay::offline
