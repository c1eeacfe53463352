#pragma once

#include "plugin/Identity.h"
#include "presets/PresetFormat.h"

namespace ostratapedelay::offline
{

inline constexpr auto kPresetHeader = plugin::joined(plugin::kProductName, " preset 1");

/** This plug-in's preset files: OstraTape-delay/Presets/<name>.otdpreset. */
inline constexpr corvana::presets::Format kPresetFormat{
    ".otdpreset",
    kPresetHeader.data(),
    plugin::kProductName,
    plugin::kProductName,
};

} // namespace ostratapedelay::offline
