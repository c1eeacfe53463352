#pragma once

#include "framework/ITimeInfo.h"

#include <ostream>
#include <string>
#include <vector>

namespace CLI
{
class App;
}
namespace plug
{
class IEffectBase;
}

namespace ostratapedelay::cli
{

/**
 * The options that set up the plug-in's state before a command runs: parameter values and
 * the host tempo. Every command that runs the effect takes them, so options added here
 * (presets by name or file) reach all of them at once.
 */
struct StateOptions
{
  std::string preset;            // a preset name or file, applied before the sets; empty for none
  std::string presetFile;        // a preset file (whatever its name), instead of `preset`
  std::vector<std::string> sets; // "Name=value", applied in order
  double tempo =
      plug::kDefaultTempo; // beats per minute, given to the processor as the host's tempo
};

/** Registers --preset, --preset-file, --set and --tempo on a command. Main thread. */
void addStateOptions(CLI::App& command, StateOptions& options);

/** Applies the options to a plug-in at its defaults: the --preset values (a user preset,
 *  a factory preset or a preset file) or the --preset-file values, then the --set values in order,
 * with notes for constrained values on `notes`. Throws CliError. Main thread, before processing. */
void applyStateOptions(plug::IEffectBase& plugin, const StateOptions& options, std::ostream& notes);

} // namespace ostratapedelay::cli
