#include "cli/StateOptions.h"

#include "cli/ParamArgs.h"
#include "cli/PresetLookup.h"
#include "framework/IEffectBase.h"
#include "plugin/Parameters.h"

#include <CLI/CLI.hpp>

#include <cmath>

namespace ostratapedelay::cli
{

void addStateOptions(CLI::App& command, StateOptions& options)
{
  CLI::Option* preset =
      command
          .add_option("--preset", options.preset,
                      "Start from a preset: a user or factory preset name, or an existing "
                      ".otdpreset file (before --set)")
          ->type_name("NAME|FILE");
  command
      .add_option("--preset-file", options.presetFile,
                  "Start from the preset in this file, whatever its name (before --set)")
      ->type_name("FILE")
      ->excludes(preset);
  command
      .add_option("--set", options.sets,
                  "Parameter in display units, e.g. \"Time L=375\", \"Note L=1/8D\", \"Sync=off\" "
                  "(names ignore case; repeat for more)")
      ->type_name("\"NAME=VALUE\"")
      ->allow_extra_args(false);
  command.add_option("--tempo", options.tempo, "Host tempo for synced delay times (default 120)")
      ->type_name("BPM")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string
          {
            char* end = nullptr;
            const double bpm = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !std::isfinite(bpm) || bpm <= 1.0 ||
                bpm > 1000.0)
              return "tempo must be a number of beats per minute above 1 and at most 1000";
            return {};
          },
          "", "tempo"));
}

namespace
{

// A value that the other settings make irrelevant is most likely a mistake on the command
// line ("Time L=375" while Sync is on), so say so.
void noteIneffectiveSets(plug::IEffectBase& plugin, const std::vector<std::string>& sets,
                         std::ostream& notes)
{
  using namespace ostratapedelay::plugin;
  const bool sync = plugin.GetParam(kSync)->Bool();
  const bool link = plugin.GetParam(kLink)->Bool();
  std::vector<bool> seen(static_cast<size_t>(plugin.NParams()), false);
  for (const std::string& text : sets)
  {
    const int index = findParam(plugin, text.substr(0, text.find('=')));
    if (index < 0 || seen[static_cast<size_t>(index)])
      continue;
    seen[static_cast<size_t>(index)] = true;
    const std::string name = plugin.GetParam(index)->GetName();
    if (sync && (index == kTimeL || index == kTimeR))
      notes << "note: Sync is on, so " << name << " has no effect (add --set Sync=off)\n";
    else if (!sync && (index == kNoteL || index == kNoteR))
      notes << "note: Sync is off, so " << name << " has no effect (add --set Sync=on)\n";
    else if (link && (index == kTimeR || index == kNoteR))
      notes << "note: Link is on, so " << name << " follows the left side (add --set Link=off)\n";
  }
}

} // namespace

void applyStateOptions(plug::IEffectBase& plugin, const StateOptions& options, std::ostream& notes)
{
  if (!options.preset.empty())
    applyPresetValues(plugin, options.preset);
  else if (!options.presetFile.empty())
    applyPresetValues(plugin, options.presetFile, PresetArgument::kFile);
  applyParamAssignments(plugin, options.sets, notes);
  noteIneffectiveSets(plugin, options.sets, notes);
}

} // namespace ostratapedelay::cli
