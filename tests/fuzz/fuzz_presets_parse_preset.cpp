// Feeds arbitrary bytes to the preset parser. A text that parses must survive being
// written and parsed again unchanged.
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  using namespace corvana::presets;
  const auto& format = ostratapedelay::offline::kPresetFormat;

  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  SavedPreset preset;
  std::string error;
  if (!parsePreset(format, stream, preset, error, "fuzz"))
  {
    if (error.empty())
      __builtin_trap();
    return 0;
  }
  if (preset.state.empty() || !preset.path.empty())
    __builtin_trap();

  std::istringstream again(presetText(format, preset.name, preset.state));
  SavedPreset reread;
  if (!parsePreset(format, again, reread, error, "fuzz"))
    __builtin_trap();
  std::string flattened = preset.name;
  std::replace(flattened.begin(), flattened.end(), '\r', ' ');
  if (reread.name != flattened || reread.state != preset.state)
    __builtin_trap();
  return 0;
}
