#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace plug
{
class IEffectBase;
class IParam;
} // namespace plug

namespace ostratapedelay::cli
{

/** One parsed "--set Name=value": the parameter index and its real value, already
 *  constrained as the parameter constrains it. `note` explains a constrained value and is
 *  empty otherwise. */
struct ParamAssignment
{
  int index = -1;
  double value = 0.0;
  std::string note;
};

/** The unit text of a parameter ("ms", "Hz"), also while its current value is shown by a
 *  display text (when IParam::GetLabel() is empty): found by briefly setting a value that
 *  shows a number, then restoring the value. Main thread, never while audio is processed. */
std::string storedLabel(plug::IParam& param);

/** Index of the parameter whose name equals `name` ignoring case and surrounding spaces,
 *  or -1. */
int findParam(const plug::IEffectBase& plugin, std::string_view name);

/** "Bypass, Time L, ..." in index order, for error messages. */
std::string paramNameList(const plug::IEffectBase& plugin);

/**
 * Parses "Name=value" in the parameter's display units: a display text of the parameter
 * (ignoring case: "off", "1/8D", "Off"), or for a continuous parameter a number optionally
 * followed by its unit ("375", "375ms", "-6 dB"). The value then goes through the
 * parameter's own text conversion. Bools and enums take only their display texts (a number
 * there would silently mean the first entry). Out-of-range numbers are constrained and
 * explained in `note`.
 *
 * Throws CliError for a missing '=', an unknown name (listing the valid ones) or a value
 * that does not parse (naming the parameter). Main thread.
 */
ParamAssignment parseParamAssignment(plug::IEffectBase& plugin, std::string_view text);

/**
 * Parses every assignment first (so nothing is applied when one is bad), then stores the
 * values in order as host changes (IParam::Set, then OnParamChange with the host source),
 * writing each note to `notes` as "note: ...". Throws CliError. Main thread.
 */
void applyParamAssignments(plug::IEffectBase& plugin, const std::vector<std::string>& texts,
                           std::ostream& notes);

/** A value as shown to users, with the unit unless a display text shows it: "375.0 ms",
 *  "1/8D", "Off". Main thread, never while audio is processed. */
std::string displayWithLabel(plug::IParam& param, double value);

} // namespace ostratapedelay::cli
