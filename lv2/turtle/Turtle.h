#pragma once

#include "framework/IEffectBase.h"

#include <string>
#include <vector>

namespace ostratapedelay::lv2
{

/** The bundle's Turtle files besides manifest.ttl: the plug-ins and the presets. */
inline constexpr const char* kPluginsFile = "ostratape-delay.ttl";
inline constexpr const char* kPresetsFile = "presets.ttl";

/** A preset as LV2 sees it: a label and one value per parameter port, in parameter order. */
struct PortPreset
{
  std::string label;
  std::vector<double> values;
};

/** A Turtle number that reads back as the same double ("500.0", "14.967078", "-18.0"). */
std::string turtleNumber(double value);
/** A Turtle string literal with quotes and escapes. */
std::string turtleString(const std::string& text);
/** The URI of a preset: the plug-in URI, "#preset-" and the label as a slug. */
std::string presetUri(const std::string& label);

/** manifest.ttl: every plug-in of the bundle with its binary, the editor with its own, and
 *  the presets. */
std::string manifestTurtle(const std::string& binaryName, const std::string& uiBinaryName,
                           const std::vector<PortPreset>& presets);
/** The plug-ins' description (ports from the parameter table of `plugin`, features,
 *  extensions) and their editor's. Leaves the parameter values as they were. */
std::string pluginsTurtle(plug::IEffectBase& plugin);
/** The presets as port values for every plug-in of the bundle. */
std::string presetsTurtle(const plug::IEffectBase& plugin, const std::vector<PortPreset>& presets);

/** The factory presets read back through the effect's own state reader. Allocates. */
std::vector<PortPreset> factoryPortPresets();

} // namespace ostratapedelay::lv2
