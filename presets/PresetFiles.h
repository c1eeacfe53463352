#pragma once

#include "presets/PresetFormat.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvana::presets
{

/** Longest line a preset text may have; longer lines mark the text as damaged. */
inline constexpr std::size_t kMaxPresetLineBytes = std::size_t(4) << 20;

/** How many numbered alternatives presetPathForName tries after the plain file name. */
inline constexpr int kMaxPresetFileCollisions = 999;

/** base / folderName / "Presets". Pure; any thread. An empty base gives an empty path. */
std::filesystem::path userPresetDirectory(const Format& format, const std::filesystem::path& base);

/**
 * Every readable preset file in `folder` (see filesWithExtension), sorted by name in plain
 * byte order; unreadable files are skipped silently, a missing folder gives an empty list.
 * May throw std::filesystem::filesystem_error while stepping through the folder and
 * std::bad_alloc. Any thread; blocking I/O.
 */
std::vector<SavedPreset> listPresets(const Format& format, const std::filesystem::path& folder);

/**
 * Reads one preset file. The preset's name falls back to the file's stem when the file has
 * none; its path is set to `path`. Something that is not a regular file, or cannot be
 * opened, fails like a text without the header. Any thread; blocking I/O.
 */
bool readPreset(const Format& format, const std::filesystem::path& path, SavedPreset& preset,
                std::string& error);

/**
 * Parses one preset text: the exact header line, then "key=value" lines of which "name"
 * and "state" (base64) count, the last occurrence winning; one trailing carriage return per
 * line is dropped. Succeeds when a state of at least one byte was decoded. `sourceName`
 * ends the error messages: "not an <product> preset: <source>" or "the preset has no
 * readable state: <source>". Any thread.
 */
bool parsePreset(const Format& format, std::istream& stream, SavedPreset& preset,
                 std::string& error, std::string_view sourceName);

/**
 * The three-line text a preset is written as: header, "name=" with line breaks turned into
 * spaces, "state=" with the base64 of `state`, each ending in a line feed. Pure; any thread.
 */
std::string presetText(const Format& format, std::string_view name,
                       std::span<const std::uint8_t> state);

/**
 * The file a preset named `name` is written to: the file-safe name (fallback "Preset"), or
 * when that holds something other than a preset of this name, "<stem>-1", "<stem>-2" and so
 * on up to kMaxPresetFileCollisions. A file holding a preset of the same name is reused so
 * it is replaced in place. Returns an empty path when every candidate is taken, so nothing
 * else is ever overwritten. Any thread; blocking I/O.
 */
std::filesystem::path presetPathForName(const Format& format, const std::filesystem::path& folder,
                                        std::string_view name);

/**
 * Writes the preset atomically to presetPathForName(format, folder, name). Fails with
 * "could not write " + path when no file can be chosen, the state is empty (such a file
 * could never be read back, and it might replace a good one) or writing fails.
 * Any thread; blocking I/O.
 */
bool writePreset(const Format& format, const std::filesystem::path& folder, std::string_view name,
                 std::span<const std::uint8_t> state, std::string& error);

} // namespace corvana::presets
