#include "presets/PresetFiles.h"

#include "presets/Base64.h"
#include "presets/Files.h"

#include <algorithm>
#include <fstream>
#include <istream>

namespace corvana::presets
{

namespace
{

enum class LineResult
{
  kLine,
  kEnd,
  kTooLong
};

/** std::getline with a length bound, so a huge file cannot exhaust memory. */
LineResult readLine(std::istream& stream, std::string& line)
{
  line.clear();
  std::streambuf* buffer = stream.rdbuf();
  if (!stream.good() || !buffer)
    return LineResult::kEnd;
  bool any = false;
  for (;;)
  {
    const auto c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof())
    {
      stream.setstate(std::ios::eofbit);
      return any ? LineResult::kLine : LineResult::kEnd;
    }
    any = true;
    if (c == '\n')
      return LineResult::kLine;
    if (line.size() >= kMaxPresetLineBytes)
      return LineResult::kTooLong;
    line += static_cast<char>(c);
  }
}

void dropCarriageReturn(std::string& line)
{
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
}

/** The name as it reads back from a written file. */
std::string storedName(std::string_view name)
{
  std::string stored(name);
  std::replace(stored.begin(), stored.end(), '\n', ' ');
  std::replace(stored.begin(), stored.end(), '\r', ' ');
  return stored;
}

std::filesystem::path basePathForName(const Format& format, const std::filesystem::path& folder,
                                      std::string_view name)
{
  return files::pathForName(folder, name, format.extension, "Preset");
}

} // namespace

std::filesystem::path userPresetDirectory(const Format& format, const std::filesystem::path& base)
{
  if (base.empty())
    return {};
  return base / format.folderName / "Presets";
}

bool parsePreset(const Format& format, std::istream& stream, SavedPreset& preset,
                 std::string& error, std::string_view sourceName)
{
  std::string line;
  if (readLine(stream, line) != LineResult::kLine ||
      (dropCarriageReturn(line), line != format.header))
  {
    error = std::string("not an ") + format.productName + " preset: " + std::string(sourceName);
    return false;
  }

  preset = SavedPreset{};
  bool hasState = false;
  for (;;)
  {
    const auto result = readLine(stream, line);
    if (result == LineResult::kEnd)
      break;
    if (result == LineResult::kTooLong)
    {
      hasState = false;
      break;
    }
    dropCarriageReturn(line);
    const auto equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    const std::string_view key(line.data(), equals);
    const std::string_view value = std::string_view(line).substr(equals + 1);
    if (key == "name")
      preset.name = value;
    else if (key == "state")
      hasState = fromBase64(value, preset.state) && !preset.state.empty();
  }

  if (!hasState)
  {
    error = "the preset has no readable state: " + std::string(sourceName);
    return false;
  }
  return true;
}

bool readPreset(const Format& format, const std::filesystem::path& path, SavedPreset& preset,
                std::string& error)
{
  // Opening a FIFO or a device would block or read forever.
  std::error_code ec;
  std::ifstream file;
  if (std::filesystem::is_regular_file(path, ec))
    file.open(path, std::ios::binary);
  if (!parsePreset(format, file, preset, error, path.filename().string()))
    return false;
  if (preset.name.empty())
    preset.name = path.stem().string();
  preset.path = path;
  return true;
}

std::vector<SavedPreset> listPresets(const Format& format, const std::filesystem::path& folder)
{
  auto paths = files::filesWithExtension(folder, format.extension);
  // Directory order is arbitrary; sorting the paths first makes equal names list stably.
  std::sort(paths.begin(), paths.end());
  std::vector<SavedPreset> presets;
  presets.reserve(paths.size());
  for (const auto& path : paths)
  {
    SavedPreset preset;
    std::string error;
    if (readPreset(format, path, preset, error))
      presets.push_back(std::move(preset));
  }
  std::stable_sort(presets.begin(), presets.end(),
                   [](const SavedPreset& a, const SavedPreset& b) { return a.name < b.name; });
  return presets;
}

std::string presetText(const Format& format, std::string_view name,
                       std::span<const std::uint8_t> state)
{
  std::string text = format.header;
  text += "\nname=";
  text += storedName(name);
  text += "\nstate=";
  text += toBase64(state);
  text += '\n';
  return text;
}

std::filesystem::path presetPathForName(const Format& format, const std::filesystem::path& folder,
                                        std::string_view name)
{
  const auto base = basePathForName(format, folder, name);
  const auto stem = base.stem().string();
  // A name with line breaks reads back with spaces; compare with that so the file is found.
  const auto stored = storedName(name);
  for (int k = 0; k <= kMaxPresetFileCollisions; ++k)
  {
    const auto candidate =
        k == 0 ? base : folder / (stem + "-" + std::to_string(k) + format.extension);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(candidate, ec);
    if (status.type() == std::filesystem::file_type::not_found)
      return candidate;
    SavedPreset existing;
    std::string error;
    if (readPreset(format, candidate, existing, error) && existing.name == stored)
      return candidate;
  }
  return {};
}

bool writePreset(const Format& format, const std::filesystem::path& folder, std::string_view name,
                 std::span<const std::uint8_t> state, std::string& error)
{
  const auto path = presetPathForName(format, folder, name);
  if (path.empty() || state.empty() || folder.empty())
  {
    error =
        "could not write " + (path.empty() ? basePathForName(format, folder, name) : path).string();
    return false;
  }
  return files::replaceFile(path, presetText(format, name, state), error);
}

} // namespace corvana::presets
