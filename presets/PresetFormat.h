#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace corvana::presets
{

/**
 * The product-specific constants of a preset file. The preset code itself knows nothing
 * about any product; each product defines one constant of this type.
 */
struct Format
{
  /** File extension with the dot, e.g. ".otdpreset". Compared byte for byte. */
  const char* extension;
  /** Exact first line of every preset text. */
  const char* header;
  /** Folder under the user's application-data folder. */
  const char* folderName;
  /** Product name used in error messages. */
  const char* productName;
};

/** One preset as read from a file or a built-in text. */
struct SavedPreset
{
  /** The name shown to the user. */
  std::string name;
  /** The plug-in's state chunk; never checked here. */
  std::vector<std::uint8_t> state;
  /** The file it was read from; empty for built-in presets. */
  std::filesystem::path path;
};

} // namespace corvana::presets
