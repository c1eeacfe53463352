#pragma once

#include "cli/CliError.h"
#include "cli/CommandLine.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace ostratapedelay::cli::test
{

/** A fresh directory under the system's temporary folder, removed with its contents. */
class TempDir
{
public:
  TempDir()
  {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostratape-cli-XXXXXX").string();
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
  /** Every entry of the directory by file name, sorted. */
  std::vector<std::string> entries() const
  {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mPath))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

private:
  std::filesystem::path mPath;
};

using Planes = std::vector<std::vector<double>>;
inline constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

/** Writes planes straight through libsndfile (not through the code under test). */
inline void writeRaw(const std::string& path, const Planes& planes, int rate,
                     int format = kFloatWav)
{
  SF_INFO info{};
  info.channels = static_cast<int>(planes.size());
  info.samplerate = rate;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f)
    throw std::runtime_error(std::string("cannot create test file: ") + sf_strerror(nullptr));
  const size_t frames = planes[0].size(), channels = planes.size();
  std::vector<double> interleaved(frames * channels);
  for (size_t i = 0; i < interleaved.size(); ++i)
    interleaved[i] = planes[i % channels][i / channels];
  sf_writef_double(f, interleaved.data(), static_cast<sf_count_t>(frames));
  sf_close(f);
}

/** Reads a whole file straight through libsndfile; `infoOut` receives its header. */
inline Planes readRaw(const std::string& path, SF_INFO* infoOut = nullptr)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
    throw std::runtime_error("cannot open " + path + ": " + sf_strerror(nullptr));
  const auto channels = static_cast<size_t>(info.channels);
  std::vector<double> interleaved(static_cast<size_t>(info.frames) * channels);
  sf_readf_double(f, interleaved.data(), info.frames);
  sf_close(f);
  Planes planes(channels, std::vector<double>(static_cast<size_t>(info.frames)));
  for (size_t i = 0; i < interleaved.size(); ++i)
    planes[i % channels][i / channels] = interleaved[i];
  if (infoOut)
    *infoOut = info;
  return planes;
}

inline std::string readText(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void writeText(const std::string& path, const std::string& text)
{
  std::ofstream(path, std::ios::binary) << text;
}

/** `level` at frame `at` of every channel, silence elsewhere. */
inline Planes impulse(int channels, int frames, double level = 0.5, int at = 0)
{
  Planes planes(static_cast<size_t>(channels),
                std::vector<double>(static_cast<size_t>(frames), 0.0));
  for (auto& p : planes)
    p[static_cast<size_t>(at)] = level;
  return planes;
}

/** Deterministic white noise at -12 dBFS peak. */
inline Planes noise(int channels, int frames, std::uint32_t seed)
{
  Planes planes(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
  for (auto& p : planes)
    for (auto& x : p)
      x = ((seed = seed * 1664525u + 1013904223u) / 4294967296.0 - 0.5) * 0.5;
  return planes;
}

/** Largest magnitude in [from, to). */
inline double peak(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX)
{
  double p = 0.0;
  for (size_t i = from; i < std::min(to, x.size()); ++i)
    p = std::max(p, std::fabs(x[i]));
  return p;
}

inline size_t peakIndex(const std::vector<double>& x)
{
  const auto magnitude = [](double a, double b) { return std::fabs(a) < std::fabs(b); };
  return static_cast<size_t>(std::max_element(x.begin(), x.end(), magnitude) - x.begin());
}

/** The CliError message `f` throws, or "" when it throws none. */
inline std::string errorOf(const std::function<void()>& f)
{
  try
  {
    f();
  }
  catch (const CliError& e)
  {
    return e.what();
  }
  return {};
}

inline bool contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

struct ToolRun
{
  int status;
  std::string out, err;
};

/** Runs the whole command line in-process, capturing both streams. */
inline ToolRun runTool(std::vector<std::string> args)
{
  args.insert(args.begin(), "ostratape");
  std::vector<const char*> argv;
  for (const auto& a : args)
    argv.push_back(a.c_str());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = runCommandLine(static_cast<int>(argv.size()), argv.data());
  return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

} // namespace ostratapedelay::cli::test
