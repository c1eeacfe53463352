#include "cli/ParamsCommand.h"

#include "cli/CliError.h"
#include "cli/NumberFormat.h"
#include "cli/ParamArgs.h"
#include "framework/IEffectBase.h"
#include "plugin/OstraTapeDelay.h"

#include <CLI/CLI.hpp>

#include <iomanip>

namespace ostratapedelay::cli
{

namespace
{

const char* kindName(plug::IParam::EParamType type)
{
  switch (type)
  {
    case plug::IParam::kTypeBool:
      return "bool";
    case plug::IParam::kTypeInt:
      return "int";
    case plug::IParam::kTypeEnum:
      return "enum";
    case plug::IParam::kTypeDouble:
      return "double";
    default:
      return "none";
  }
}

std::string shapeName(const plug::IParam& param)
{
  switch (param.GetShapeID())
  {
    case plug::IParam::kShapeLinear:
      return "linear";
    case plug::IParam::kShapePowCurve:
      return "power " + shortestNumber(param.GetShapeValue());
    case plug::IParam::kShapeExponential:
      return "exponential";
    default:
      return "other";
  }
}

std::string plainNumber(plug::IParam& param, double value)
{
  std::string text;
  param.GetDisplay(value, false, text, false);
  return text;
}

} // namespace

void printParams(plug::IEffectBase& plugin, std::ostream& out)
{
  out << std::left << std::setw(3) << "#" << std::setw(14) << "Name" << std::setw(8) << "Kind"
      << std::setw(20) << "Range" << std::setw(10) << "Default" << std::setw(6) << "Unit"
      << std::setw(13) << "Shape"
      << "Display texts\n";
  for (int i = 0; i < plugin.NParams(); ++i)
  {
    plug::IParam& param = *plugin.GetParam(i);
    const std::string range =
        plainNumber(param, param.GetMin()) + " .. " + plainNumber(param, param.GetMax());
    std::string defaultText;
    param.GetDisplay(param.GetDefault(), false, defaultText, true);
    std::string texts;
    for (int t = 0; t < param.NDisplayTexts(); ++t)
    {
      double value = 0.0;
      const char* text = param.GetDisplayTextAtIdx(t, &value);
      if (t > 0)
        texts += ", ";
      texts += plainNumber(param, value) + " " + text;
    }
    out << std::left << std::setw(3) << i << std::setw(14) << param.GetName() << std::setw(8)
        << kindName(param.Type()) << std::setw(20) << range << std::setw(10) << defaultText
        << std::setw(6) << storedLabel(param) << std::setw(13) << shapeName(param) << texts << '\n';
  }
}

int runParams(std::ostream& out, std::ostream& err)
{
  try
  {
    OstraTapeDelay plugin;
    printParams(plugin, out);
    return 0;
  }
  catch (const CliError& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return kExitUserError;
  }
}

void addParamsCommand(CLI::App& app, int& exitCode)
{
  CLI::App* command =
      app.add_subcommand("params", "List the eighteen parameters with ranges, defaults, "
                                   "units and display texts");
  command->callback([&exitCode] { exitCode = runParams(std::cout, std::cerr); });
}

} // namespace ostratapedelay::cli
