#include "cli/ParamArgs.h"

#include "cli/CliError.h"
#include "framework/EParamSource.h"
#include "framework/IAPIBase.h"
#include "framework/IEffectBase.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace ostratapedelay::cli
{

namespace
{

std::string_view trim(std::string_view s)
{
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
    s.remove_suffix(1);
  return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y)
                                            {
                                              return std::tolower(static_cast<unsigned char>(x)) ==
                                                     std::tolower(static_cast<unsigned char>(y));
                                            });
}

std::string displayTextList(const plug::IParam& param)
{
  std::string list;
  for (int i = 0; i < param.NDisplayTexts(); ++i)
  {
    if (i > 0)
      list += ", ";
    list += param.GetDisplayTextAtIdx(i);
  }
  return list;
}

// The display text entry matching `text` ignoring case, or null.
const char* matchDisplayText(const plug::IParam& param, std::string_view text)
{
  for (int i = 0; i < param.NDisplayTexts(); ++i)
  {
    const char* entry = param.GetDisplayTextAtIdx(i);
    if (equalsIgnoringCase(entry, text))
      return entry;
  }
  return nullptr;
}

// A decimal number, optionally followed by the unit ("375ms", "-6 dB"), read without regard
// to the process locale. False for anything else, including "inf" and "nan".
bool parseNumber(std::string_view text, std::string_view unit, double& number,
                 std::string& numberText)
{
  std::string_view rest = text;
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-'))
  {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  if (rest.empty() || rest.front() == '+' || rest.front() == '-')
    return false;
  double magnitude = 0.0;
  const char* last = rest.data() + rest.size();
  const auto [end, ec] = std::from_chars(rest.data(), last, magnitude, std::chars_format::fixed);
  if (ec != std::errc() || !std::isfinite(magnitude))
    return false;
  const std::string_view suffix = trim(std::string_view(end, static_cast<size_t>(last - end)));
  if (!suffix.empty() && (unit.empty() || !equalsIgnoringCase(suffix, unit)))
    return false;
  number = negative ? -magnitude : magnitude;
  numberText = std::string(text.substr(0, static_cast<size_t>(end - text.data())));
  return true;
}

// The number with its unit, never a display text: for ranges ("20 Hz .. 2000 Hz").
std::string numberWithLabel(plug::IParam& param, double value);

} // namespace

std::string storedLabel(plug::IParam& param)
{
  std::string label = param.GetLabel();
  if (!label.empty() || param.NDisplayTexts() == 0)
    return label;
  const double saved = param.Value();
  for (double probe :
       {param.GetMin(), param.GetMax(), param.FromNormalized(0.5), param.GetDefault()})
  {
    if (param.GetDisplayText(std::trunc(probe))[0] == '\0')
    {
      param.Set(probe);
      label = param.GetLabel();
      break;
    }
  }
  param.Set(saved);
  return label;
}

int findParam(const plug::IEffectBase& plugin, std::string_view name)
{
  name = trim(name);
  for (int i = 0; i < plugin.NParams(); ++i)
    if (equalsIgnoringCase(plugin.GetParam(i)->GetName(), name))
      return i;
  return -1;
}

std::string paramNameList(const plug::IEffectBase& plugin)
{
  std::string list;
  for (int i = 0; i < plugin.NParams(); ++i)
  {
    if (i > 0)
      list += ", ";
    list += plugin.GetParam(i)->GetName();
  }
  return list;
}

std::string displayWithLabel(plug::IParam& param, double value)
{
  std::string text;
  param.GetDisplay(value, false, text, true);
  if (param.GetDisplayText(value)[0] != '\0' && !param.HasDisplayFunction())
    return text;
  const std::string label = storedLabel(param);
  return label.empty() ? text : text + " " + label;
}

namespace
{
std::string numberWithLabel(plug::IParam& param, double value)
{
  std::string text;
  param.GetDisplay(value, false, text, false);
  const std::string label = storedLabel(param);
  return label.empty() ? text : text + " " + label;
}
} // namespace

ParamAssignment parseParamAssignment(plug::IEffectBase& plugin, std::string_view text)
{
  const auto equals = text.find('=');
  if (equals == std::string_view::npos)
    throw CliError("--set '" + std::string(text) + "': expected Name=value, e.g. \"Time L=375\"");
  const std::string_view name = trim(text.substr(0, equals));
  const std::string_view valueText = trim(text.substr(equals + 1));

  const int index = findParam(plugin, name);
  if (index < 0)
    throw CliError("unknown parameter '" + std::string(name) +
                   "'; valid names: " + paramNameList(plugin));
  plug::IParam& param = *plugin.GetParam(index);
  const std::string paramName = param.GetName();

  ParamAssignment result;
  result.index = index;
  if (const char* entry = matchDisplayText(param, valueText))
  {
    result.value = param.StringToValue(entry);
    return result;
  }

  const bool discrete =
      param.Type() == plug::IParam::kTypeBool || param.Type() == plug::IParam::kTypeEnum;
  if (discrete)
    throw CliError(paramName + ": '" + std::string(valueText) +
                   "' is not one of: " + displayTextList(param));

  const std::string unit = storedLabel(param);
  double number = 0.0;
  std::string numberText;
  if (!parseNumber(valueText, unit, number, numberText))
  {
    std::string expected = "a number";
    if (!unit.empty())
      expected += " in " + unit;
    if (param.NDisplayTexts() > 0)
      expected += " or " + displayTextList(param);
    throw CliError(paramName + ": '" + std::string(valueText) + "' is not " + expected);
  }

  result.value = param.StringToValue(numberText.c_str());
  const double shown = param.GetNegateDisplay() ? -number : number;
  if (shown < param.GetMin() || shown > param.GetMax())
  {
    result.note = paramName + ": " + std::string(valueText) + " is outside " +
                  numberWithLabel(param, param.GetMin()) + " .. " +
                  numberWithLabel(param, param.GetMax()) + "; using " +
                  displayWithLabel(param, result.value);
  }
  return result;
}

void applyParamAssignments(plug::IEffectBase& plugin, const std::vector<std::string>& texts,
                           std::ostream& notes)
{
  std::vector<ParamAssignment> parsed;
  parsed.reserve(texts.size());
  for (const std::string& text : texts)
    parsed.push_back(parseParamAssignment(plugin, text));
  for (const ParamAssignment& a : parsed)
  {
    if (!a.note.empty())
      notes << "note: " << a.note << '\n';
    // The path host automation takes, so the plug-in sees exactly what a host would send.
    if (auto* api = dynamic_cast<plug::IAPIBase*>(&plugin))
      api->SetParameterFromHost(a.index, a.value, 0);
    else
    {
      plugin.GetParam(a.index)->Set(a.value);
      plugin.OnParamChange(a.index, plug::kHost, 0);
    }
  }
}

} // namespace ostratapedelay::cli
