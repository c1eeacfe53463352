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

bool hasPresetExtension(const std::string& text)
{
  const std::string extension = ostratapedelay::offline::kPresetFormat.extension;
  return text.size() >= extension.size() &&
         text.compare(text.size() - extension.size(), extension.size(), extension) == 0;
}

// A name may hold any character a user types, "/" included, so only a file that is
// really there counts as a path.
bool isPresetFile(const std::string& text)
{
  std::error_code ec;
  return hasPresetExtension(text) && std::filesystem::is_regular_file(text, ec);
}

FoundPreset readPresetFile(const std::string& path)
{
  FoundPreset found;
  std::string error;
  if (!corvana::presets::readPreset(ostratapedelay::offline::kPresetFormat, path, found.preset,
                                    error))
    throw CliError(kLoadPrefix + error);
  found.kind = FoundPreset::Kind::kFile;
  return found;
}

} // namespace

FoundPreset findPreset(const CliPlugin& plugin, const std::string& nameOrFile, PresetArgument kind)
{
  if (kind == PresetArgument::kFile || isPresetFile(nameOrFile))
    return readPresetFile(nameOrFile);
  FoundPreset found;
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
  const bool pathLike = nameOrFile.find('/') != std::string::npos || hasPresetExtension(nameOrFile);
  throw CliError(std::string(kLoadPrefix) + "there is no preset named \"" + nameOrFile +
                 (pathLike ? "\" and no preset file there (see: ostratape presets list; "
                             "--preset-file takes any file)"
                           : "\" (see: ostratape presets list)"));
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

void applyPresetValues(plug::IEffectBase& target, const std::string& text, PresetArgument kind)
{
  CliPlugin scratch;
  loadFoundPreset(scratch, findPreset(scratch, text, kind));
  const int n = std::min(target.NParams(), scratch.NParams());
  for (int i = 0; i < n; ++i)
  {
    target.GetParam(i)->Set(scratch.GetParam(i)->Value());
    target.OnParamChange(i, plug::kPresetRecall, -1);
  }
}

} // namespace ostratapedelay::cli
