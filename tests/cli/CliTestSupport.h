#pragma once

#include "cli/AudioFile.h"

#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace ostratapedelay::cli::test
{

/** A fresh directory under the system's temporary folder, removed with its contents. */
class TempDir
{
public:
  TempDir()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostratape-cli-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    mPath = pattern;
  }
  ~TempDir()
  {
    std::error_code ec;
    std::filesystem::remove_all(mPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(const std::string& name) const { return (mPath / name).string(); }
  const std::filesystem::path& path() const { return mPath; }

  /** Every entry of the directory, by file name. */
  std::vector<std::string> entries() const
  {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mPath))
      names.push_back(e.path().filename().string());
    return names;
  }

private:
  std::filesystem::path mPath;
};

using Planes = std::vector<std::vector<double>>;

inline constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

/** Writes planes straight through libsndfile (not through the code under test). */
inline void writeRaw(const std::string& path, const Planes& planes, int rate, int format = kFloatWav)
{
  SF_INFO info{};
  info.channels = static_cast<int>(planes.size());
  info.samplerate = rate;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f)
    throw std::runtime_error(std::string("cannot create test file: ") + sf_strerror(nullptr));
  const size_t frames = planes.empty() ? 0 : planes[0].size();
  std::vector<double> interleaved(frames * planes.size());
  for (size_t i = 0; i < frames; ++i)
    for (size_t c = 0; c < planes.size(); ++c)
      interleaved[i * planes.size() + c] = planes[c][i];
  sf_writef_double(f, interleaved.data(), static_cast<sf_count_t>(frames));
  sf_close(f);
}

/** Reads a whole file straight through libsndfile; `info` receives its header. */
inline Planes readRaw(const std::string& path, SF_INFO* infoOut = nullptr)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
    throw std::runtime_error("cannot open " + path + ": " + sf_strerror(nullptr));
  std::vector<double> interleaved(static_cast<size_t>(info.frames * info.channels));
  sf_readf_double(f, interleaved.data(), info.frames);
  sf_close(f);
  Planes planes(static_cast<size_t>(info.channels), std::vector<double>(static_cast<size_t>(info.frames)));
  for (sf_count_t i = 0; i < info.frames; ++i)
    for (int c = 0; c < info.channels; ++c)
      planes[static_cast<size_t>(c)][static_cast<size_t>(i)] = interleaved[static_cast<size_t>(i * info.channels + c)];
  if (infoOut)
    *infoOut = info;
  return planes;
}

inline std::string readText(const std::string& path)
{
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb"))
  {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

inline void writeText(const std::string& path, const std::string& text)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    throw std::runtime_error("cannot create " + path);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

} // namespace ostratapedelay::cli::test
