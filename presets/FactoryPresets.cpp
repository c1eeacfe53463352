#include "presets/FactoryPresets.h"

#include "presets/PresetFiles.h"

#include <algorithm>
#include <sstream>

namespace ostratapedelay::offline
{

// Stored as finished texts so that the factory presets go through the same parser as
// user files. The values behind each chunk, in parameter order:
// "Ping and pong": 0, 782, 500, 7, 13, 1, 1, 14.967078, 1, 4.302004, 432.80312,
//   5761.1225, 170.75992, 0, 0, 2.0204080, 400, 100.
// "Warm and wide delay": 0, 782, 500, 13, 13, 1, 1, 27.106649, 0, 12.001983, 179.70709,
//   4500, 122.48705, 49.824575, 0, 3.2932063, 400, 100.
const char* const kFactoryPresetTexts[] = {
    "OstraTape-delay preset 1\n"
    "name=Ping and pong\n"
    "state="
    "MVNUTwIAAAAFAAAA6AMAAMgBAAANAAAAUGluZyBhbmQgcG9uZwAAAAASAAAAAAAAAAAAAAAAAAAAAHCIQAAAAAAAQH9AAA"
    "AAAAAAHEAA"
    "AAAAAAAqQAAAAAAAAPA/AAAAAAAA8D+4XP3YJO8tQAAAAAAAAPA/dAtdiUA1EUA3bFuU2Qx7QMP1KFwfgbZAcXK/"
    "Q1FYZUAAAAAAAAAAAAAA"
    "AAAAAAAAOZ1kq8spAEAAAAAAAAB5QAAAAAAAAFlAAAAAAAAAAAAAAAAA\n",
    "OstraTape-delay preset 1\n"
    "name=Warm and wide delay\n"
    "state="
    "MVNUTwIAAAAFAAAA6AMAAMgBAAATAAAAV2FybSBhbmQgd2lkZSBkZWxheQAAAAASAAAAAAAAAAAAAAAAAAAAAHCIQAAAAA"
    "AAQH9AAAAA"
    "AAAAKkAAAAAAAAAqQAAAAAAAAPA/"
    "AAAAAAAA8D+vJk9ZTRs7QAAAAAAAAAAAwktw6gMBKECEKjV7oHZmQAAAAAAAlLFAE2HD0yufXkCzDHGs"
    "i+lIQAAAAAAAAAAAbdlri3xYCkAAAAAAAAB5QAAAAAAAAFlAAAAAAAAAAAAAAAAA\n",
    nullptr,
};

namespace
{

std::vector<corvana::presets::SavedPreset> buildFactoryPresets()
{
  std::vector<corvana::presets::SavedPreset> presets;
  for (const char* const* text = kFactoryPresetTexts; *text; ++text)
  {
    std::istringstream stream(*text);
    corvana::presets::SavedPreset preset;
    std::string error;
    // No file stem to fall back on, so a nameless text is left out.
    if (corvana::presets::parsePreset(kPresetFormat, stream, preset, error, "factory preset") &&
        !preset.name.empty())
      presets.push_back(std::move(preset));
  }
  std::stable_sort(presets.begin(), presets.end(),
                   [](const auto& a, const auto& b) { return a.name < b.name; });
  return presets;
}

} // namespace

const std::vector<corvana::presets::SavedPreset>& factoryPresets()
{
  static const std::vector<corvana::presets::SavedPreset> presets = buildFactoryPresets();
  return presets;
}

} // namespace ostratapedelay::offline
