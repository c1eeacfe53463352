#pragma once

#include "cli/PresetLookup.h"

#include <ostream>
#include <string>
#include <vector>

namespace CLI
{
class App;
}

namespace ostratapedelay::cli
{

/** `ostratape presets list`: the factory presets, then the user presets with their files,
 *  one a line, fields separated by tabs: "factory<TAB>NAME" or "user<TAB>NAME<TAB>FILE".
 *  Returns the exit status. Main thread. */
int runPresetsList(std::ostream& out, std::ostream& err);

/** `ostratape presets save NAME [--set ...] [--preset ...|--preset-file ...] [--force]`: the
 *  plug-in at its defaults (or the values of the preset `basePreset` names as `baseKind`
 *  says), then the --set values, saved as the editor's preset bar saves. An existing
 *  preset file of another name is replaced only with `force`. Returns the exit status.
 *  Main thread. */
int runPresetsSave(const std::string& name, const std::string& basePreset, PresetArgument baseKind,
                   const std::vector<std::string>& sets, bool force, std::ostream& out,
                   std::ostream& err);

/** `ostratape presets delete NAME`: removes the user preset of exactly that name. */
int runPresetsDelete(const std::string& name, std::ostream& out, std::ostream& err);

/** `ostratape presets show NAME|FILE` or `presets show --preset-file FILE`: where the preset
 *  comes from and its eighteen values as display texts with units. */
int runPresetsShow(const std::string& text, PresetArgument kind, std::ostream& out,
                   std::ostream& err);

/** Registers "presets" with its subcommands list, save, delete and show. */
void addPresetsCommand(CLI::App& app, int& exitCode);

} // namespace ostratapedelay::cli
