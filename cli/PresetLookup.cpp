#include "cli/PresetLookup.h"

#include "cli/CliError.h"
#include "cli/CliPlugin.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"

#include <algorithm>
#include <filesystem>

namespace ostratapedelay::cli
{

namespace
{

constexpr const char* kLoadPrefix = "Could not load the preset: ";

bool looksLikeFile(const std::string& text)
{
  const std::string extension = ostratapedelay::offline::kPresetFormat.extension;
  if (text.find('/') != std::string::npos)
    return true;
  if (text.size() >= extension.size() &&
      text.compare(text.size() - extension.size(), extension.size(), extension) == 0)
    return true;
  std::error_code ec;
  return std::filesystem::is_regular_file(text, ec);
}

} // namespace

FoundPreset findPreset(const CliPlugin& plugin, const std::string& nameOrFile)
{
  FoundPreset found;
  if (looksLikeFile(nameOrFile))
  {
    std::string error;
    if (!corvana::presets::readPreset(ostratapedelay::offline::kPresetFormat, nameOrFile,
                                      found.preset, error))
      throw CliError(kLoadPrefix + error);
    found.kind = FoundPreset::Kind::kFile;
    return found;
  }
  // The user's own preset wins over a factory preset of the same name: it is the one the
  // user saved last under that name.
  for (auto& preset : plugin.savedPresets())
  {
    if (preset.name == nameOrFile)
    {
      found.preset = std::move(preset);
      found.kind = FoundPreset::Kind::kUser;
      return found;
    }
  }
  for (const auto& preset : ostratapedelay::offline::factoryPresets())
  {
    if (preset.name == nameOrFile)
    {
      found.preset = preset;
      found.kind = FoundPreset::Kind::kFactory;
      return found;
    }
  }
  throw CliError(std::string(kLoadPrefix) + "there is no preset named \"" + nameOrFile +
                 "\" (see: ostratape presets list)");
}

void loadFoundPreset(CliPlugin& plugin, const FoundPreset& found)
{
  plugin.told.reset();
  if (found.kind == FoundPreset::Kind::kFactory)
    plugin.loadFactoryPreset(found.preset.name);
  else
    plugin.loadPreset(found.preset);
  if (plugin.told)
    throw CliError(*plugin.told);
}

void applyPresetValues(plug::IPluginBase& target, const std::string& nameOrFile)
{
  CliPlugin scratch;
  loadFoundPreset(scratch, findPreset(scratch, nameOrFile));
  const int n = std::min(target.NParams(), scratch.NParams());
  for (int i = 0; i < n; ++i)
  {
    target.GetParam(i)->Set(scratch.GetParam(i)->Value());
    target.OnParamChange(i, plug::kPresetRecall, -1);
  }
}

} // namespace ostratapedelay::cli
