// Build step: writes the bundle's Turtle files from the effect's parameter table and its
// factory presets, so the description never drifts from the code.
//   ostra_lv2_turtle OUTPUT_DIR BINARY_NAME UI_BINARY_NAME
#include "lv2/turtle/Turtle.h"
#include "plugin/OstraTapeDelay.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace
{

bool writeFile(const std::filesystem::path& path, const std::string& text)
{
  // Written beside the target and renamed over it, so a failed run leaves no half file.
  const std::filesystem::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
      return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

} // namespace

int main(int argc, char** argv)
{
  using namespace ostratapedelay::lv2;
  if (argc != 4)
  {
    std::cerr << "usage: " << argv[0] << " OUTPUT_DIR BINARY_NAME UI_BINARY_NAME\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);

  OstraTapeDelay plugin;
  const auto presets = factoryPortPresets();
  if (presets.empty())
  {
    std::cerr << "no factory presets could be read\n";
    return 1;
  }
  if (!writeFile(dir / "manifest.ttl", manifestTurtle(argv[2], argv[3], presets)) ||
      !writeFile(dir / kPluginsFile, pluginsTurtle(plugin)) ||
      !writeFile(dir / kPresetsFile, presetsTurtle(plugin, presets)))
  {
    std::cerr << "cannot write the Turtle files in " << dir << "\n";
    return 1;
  }
  return 0;
}
