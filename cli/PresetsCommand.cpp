#include "cli/PresetsCommand.h"

#include "cli/CliError.h"
#include "cli/CliPlugin.h"
#include "cli/ParamArgs.h"
#include "cli/PresetLookup.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"

#include <CLI/CLI.hpp>

#include <iomanip>
#include <iostream>
#include <memory>

namespace ostratapedelay::cli
{

namespace
{

constexpr const char* kSavePrefix = "Could not save the preset: ";
constexpr const char* kDeletePrefix = "Could not delete the preset: ";

// Runs a command body, turning the user's mistakes into a message and status 2.
template <typename Body>
int guarded(std::ostream& err, Body&& body)
{
  try
  {
    body();
    return 0;
  }
  catch (const CliError& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return kExitUserError;
  }
}

std::string trimmedName(const std::string& name)
{
  const auto first = name.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

const char* kindText(FoundPreset::Kind kind)
{
  switch (kind)
  {
    case FoundPreset::Kind::kFactory:
      return "factory preset";
    case FoundPreset::Kind::kFile:
      return "preset file";
    default:
      return "user preset";
  }
}

} // namespace

int runPresetsList(std::ostream& out, std::ostream& err)
{
  return guarded(err,
                 [&]
                 {
                   for (const auto& preset : ostratapedelay::offline::factoryPresets())
                     out << "factory\t" << preset.name << '\n';
                   CliPlugin plugin;
                   for (const auto& preset : plugin.savedPresets())
                     out << "user\t" << preset.name << '\t' << preset.path.string() << '\n';
                 });
}

int runPresetsSave(const std::string& name, const std::string& basePreset, PresetArgument baseKind,
                   const std::vector<std::string>& sets, bool force, std::ostream& out,
                   std::ostream& err)
{
  return guarded(err,
                 [&]
                 {
                   const std::string saved = trimmedName(name);
                   if (saved.empty())
                     throw CliError(std::string(kSavePrefix) + "the name is empty");
                   CliPlugin plugin;
                   if (!basePreset.empty())
                     applyPresetValues(plugin, basePreset, baseKind);
                   applyParamAssignments(plugin, sets, err);

                   // The plug-in asks before replacing a file that holds a preset of this name;
                   // here the answer is --force.
                   plugin.replace = force;
                   plugin.savePreset(saved, true);
                   if (plugin.told)
                     throw CliError(*plugin.told);
                   if (plugin.wasAsked && !force)
                     throw CliError(std::string(kSavePrefix) + "a preset named \"" + saved +
                                    "\" already exists (add --force to replace it)");
                   const auto path = corvana::presets::presetPathForName(
                       ostratapedelay::offline::kPresetFormat, plugin.presetDirectory(), saved);
                   out << "saved \"" << saved << "\" to " << path.string() << '\n';
                 });
}

int runPresetsDelete(const std::string& name, std::ostream& out, std::ostream& err)
{
  return guarded(err,
                 [&]
                 {
                   CliPlugin plugin;
                   for (const auto& preset : plugin.savedPresets())
                   {
                     if (preset.name != name)
                       continue;
                     plugin.removePreset(preset);
                     if (plugin.told)
                       throw CliError(*plugin.told);
                     out << "deleted \"" << name << "\" (" << preset.path.string() << ")\n";
                     return;
                   }
                   for (const auto& preset : ostratapedelay::offline::factoryPresets())
                     if (preset.name == name)
                       throw CliError(std::string(kDeletePrefix) + "\"" + name +
                                      "\" is a factory preset");
                   throw CliError(std::string(kDeletePrefix) + "there is no user preset named \"" +
                                  name + "\"");
                 });
}

int runPresetsShow(const std::string& text, PresetArgument kind, std::ostream& out,
                   std::ostream& err)
{
  return guarded(err,
                 [&]
                 {
                   CliPlugin plugin;
                   const FoundPreset found = findPreset(plugin, text, kind);
                   loadFoundPreset(plugin, found);
                   out << plugin.presetName() << " (" << kindText(found.kind);
                   if (!found.preset.path.empty())
                     out << ", " << found.preset.path.string();
                   out << ")\n";
                   for (int i = 0; i < plugin.NParams(); ++i)
                   {
                     plug::IParam& param = *plugin.GetParam(i);
                     out << "  " << std::left << std::setw(14) << param.GetName()
                         << displayWithLabel(param, param.Value()) << '\n';
                   }
                 });
}

void addPresetsCommand(CLI::App& app, int& exitCode)
{
  CLI::App* presets = app.add_subcommand("presets", "List, save, delete and show presets");
  presets->require_subcommand(1);

  presets->add_subcommand("list", "The factory presets, then the user presets with their files")
      ->callback([&exitCode] { exitCode = runPresetsList(std::cout, std::cerr); });

  struct SaveOptions
  {
    std::string name;
    std::string preset;
    std::string presetFile;
    std::vector<std::string> sets;
    bool force = false;
  };
  auto save = std::make_shared<SaveOptions>();
  CLI::App* saveCommand = presets->add_subcommand(
      "save", "Save the default settings, changed by --set, as a user preset");
  saveCommand->add_option("NAME", save->name, "Preset name")->required();
  CLI::Option* basePreset =
      saveCommand
          ->add_option("--preset", save->preset,
                       "Start from this preset (a name or an existing .otdpreset file) instead "
                       "of the defaults")
          ->type_name("NAME|FILE");
  saveCommand
      ->add_option("--preset-file", save->presetFile,
                   "Start from the preset in this file, whatever its name")
      ->type_name("FILE")
      ->excludes(basePreset);
  saveCommand
      ->add_option("--set", save->sets,
                   "Parameter in display units, e.g. \"Time L=375\" (repeat for more)")
      ->type_name("\"NAME=VALUE\"")
      ->allow_extra_args(false);
  saveCommand->add_flag("--force", save->force, "Replace an existing preset of that name");
  saveCommand->callback(
      [&exitCode, save]
      {
        const bool file = !save->presetFile.empty();
        exitCode = runPresetsSave(save->name, file ? save->presetFile : save->preset,
                                  file ? PresetArgument::kFile : PresetArgument::kNameOrFile,
                                  save->sets, save->force, std::cout, std::cerr);
      });

  auto deleteName = std::make_shared<std::string>();
  CLI::App* deleteCommand = presets->add_subcommand("delete", "Delete a user preset");
  deleteCommand->add_option("NAME", *deleteName, "Preset name")->required();
  deleteCommand->callback([&exitCode, deleteName]
                          { exitCode = runPresetsDelete(*deleteName, std::cout, std::cerr); });

  struct ShowOptions
  {
    std::string name;
    std::string file;
  };
  auto show = std::make_shared<ShowOptions>();
  CLI::App* showCommand = presets->add_subcommand("show", "Show a preset's eighteen values");
  CLI::Option* showName =
      showCommand->add_option("PRESET", show->name, "A preset name or an existing .otdpreset file");
  showCommand
      ->add_option("--preset-file", show->file, "Show the preset in this file, whatever its name")
      ->type_name("FILE")
      ->excludes(showName);
  showCommand->require_option(1);
  showCommand->callback(
      [&exitCode, show]
      {
        const bool file = !show->file.empty();
        exitCode = runPresetsShow(file ? show->file : show->name,
                                  file ? PresetArgument::kFile : PresetArgument::kNameOrFile,
                                  std::cout, std::cerr);
      });
}

} // namespace ostratapedelay::cli
