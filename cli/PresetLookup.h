#pragma once

#include "presets/PresetFormat.h"

#include <string>

namespace plug
{
class IEffectBase;
}

namespace ostratapedelay::cli
{

class CliPlugin;

/** A preset found for a name or a file, and where it came from. */
struct FoundPreset
{
  enum class Kind
  {
    kUser,
    kFactory,
    kFile
  };
  corvana::presets::SavedPreset preset;
  Kind kind = Kind::kUser;
};

/** How the command line names a preset: --preset (a name, or the path of an existing
 *  preset file) or --preset-file (always a path). */
enum class PresetArgument
{
  kNameOrFile,
  kFile
};

/**
 * Finds what --preset, --preset-file or `presets show` names. As a name or file: a preset
 * file when the text is the path of an existing file ending in ".otdpreset", else the user
 * preset of exactly that name, else the factory preset of that name; so every saved name
 * works by name, even one with a "/" in it. As a file: that file. Throws CliError with
 * "Could not load the preset: ..." when nothing matches or the file cannot be read.
 * Main thread.
 */
FoundPreset findPreset(const CliPlugin& plugin, const std::string& text,
                       PresetArgument kind = PresetArgument::kNameOrFile);

/**
 * Loads `found` into `plugin` the way the editor's preset bar does (a file or user preset
 * through loadPreset, a factory preset through loadFactoryPreset). Throws CliError with the
 * plug-in's own message when it refuses the preset. Main thread.
 */
void loadFoundPreset(CliPlugin& plugin, const FoundPreset& found);

/**
 * Sets `target`'s parameters to the values of the preset that `text` names (see
 * findPreset), as host changes, leaving everything else of `target` alone. Throws CliError.
 * Main thread, before processing.
 */
void applyPresetValues(plug::IEffectBase& target, const std::string& text,
                       PresetArgument kind = PresetArgument::kNameOrFile);

} // namespace ostratapedelay::cli
