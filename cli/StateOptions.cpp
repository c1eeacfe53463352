#include "cli/StateOptions.h"

#include "cli/ParamArgs.h"

#include <CLI/CLI.hpp>

#include <cmath>

namespace ostratapedelay::cli
{

void addStateOptions(CLI::App& command, StateOptions& options)
{
  command
      .add_option("--set", options.sets,
                  "Parameter in display units, e.g. \"Time L=375\", \"Note L=1/8D\", \"Sync=off\" "
                  "(names ignore case; repeat for more)")
      ->type_name("\"NAME=VALUE\"")
      ->allow_extra_args(false);
  command.add_option("--tempo", options.tempo, "Host tempo for synced delay times (default 120)")
      ->type_name("BPM")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            char* end = nullptr;
            const double bpm = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !std::isfinite(bpm) || bpm <= 1.0 || bpm > 1000.0)
              return "tempo must be a number of beats per minute above 1 and at most 1000";
            return {};
          },
          "BPM", "tempo"));
}

void applyStateOptions(plug::IPluginBase& plugin, const StateOptions& options, std::ostream& notes)
{
  applyParamAssignments(plugin, options.sets, notes);
}

} // namespace ostratapedelay::cli
