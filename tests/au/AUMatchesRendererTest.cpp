// The Audio Unit and the command-line renderer run the same plug-in: an impulse rendered
// through the host harness equals `ostratape render` of the same impulse.
#include "AUHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace au_test;

namespace
{

constexpr int kFrames = 30000;

// A minimal 32-bit float WAV: the renderer writes float WAV for float input.
void WriteFloatWav(const std::filesystem::path& path,
                   const std::vector<std::vector<float>>& channels)
{
  const auto nCh = static_cast<std::uint16_t>(channels.size());
  const auto frames = static_cast<std::uint32_t>(channels[0].size());
  const std::uint32_t dataBytes = frames * nCh * 4;
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  f.write("RIFF", 4);
  u32(36 + dataBytes);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(3); // IEEE float
  u16(nCh);
  u32(48000);
  u32(48000 * nCh * 4);
  u16(static_cast<std::uint16_t>(nCh * 4));
  u16(32);
  f.write("data", 4);
  u32(dataBytes);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (const auto& ch : channels)
      f.write(reinterpret_cast<const char*>(&ch[i]), 4);
}

std::vector<std::vector<float>> ReadFloatWav(const std::filesystem::path& path, int nCh)
{
  std::ifstream f(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), {});
  std::vector<std::vector<float>> out(static_cast<size_t>(nCh));
  for (size_t pos = 12; pos + 8 <= bytes.size();)
  {
    std::uint32_t size = 0;
    std::memcpy(&size, &bytes[pos + 4], 4);
    if (std::memcmp(&bytes[pos], "data", 4) == 0)
    {
      const size_t frames =
          std::min<size_t>(size, bytes.size() - pos - 8) / (4u * static_cast<size_t>(nCh));
      for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < nCh; ++c)
        {
          float v = 0.0f;
          std::memcpy(
              &v, &bytes[pos + 8 + (i * static_cast<size_t>(nCh) + static_cast<size_t>(c)) * 4], 4);
          out[static_cast<size_t>(c)].push_back(v);
        }
      break;
    }
    pos += 8 + size + (size & 1u);
  }
  return out;
}

TEST(AUMatchesRenderer, ImpulseThroughTheHarnessEqualsOstratapeRender)
{
  const std::filesystem::path tool = std::filesystem::path(OSTRA_BUILD_DIR) / "cli" / "ostratape";
  if (!std::filesystem::exists(tool))
    GTEST_SKIP() << "ostratape is not built in " << OSTRA_BUILD_DIR;

  Host host;
  host.signal = [](int, Float64 t) { return t == 0.0 ? 0.5f : 0.0f; };
  host.Prepare(2, 2, 512);
  std::vector<std::vector<float>> au(2);
  for (int pos = 0; pos < kFrames; pos += 512)
  {
    std::vector<std::vector<float>> block;
    const auto n = static_cast<UInt32>(std::min(512, kFrames - pos));
    ASSERT_EQ(host.Render(n, pos, block), noErr);
    for (int c = 0; c < 2; ++c)
      au[static_cast<size_t>(c)].insert(au[static_cast<size_t>(c)].end(),
                                        block[static_cast<size_t>(c)].begin(),
                                        block[static_cast<size_t>(c)].begin() + n);
  }

  const auto dir =
      std::filesystem::temp_directory_path() / ("au-render-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<std::vector<float>> impulse(2, std::vector<float>(kFrames, 0.0f));
  impulse[0][0] = impulse[1][0] = 0.5f;
  WriteFloatWav(dir / "in.wav", impulse);
  const std::string command = "'" + tool.string() + "' render '" + (dir / "in.wav").string() +
                              "' '" + (dir / "out.wav").string() +
                              "' --tail 0 --block 512 --tempo 120 >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const auto cli = ReadFloatWav(dir / "out.wav", 2);
  std::filesystem::remove_all(dir);

  ASSERT_EQ(cli[0].size(), static_cast<size_t>(kFrames));
  double peak = 0.0;
  for (int c = 0; c < 2; ++c)
    for (size_t i = 0; i < static_cast<size_t>(kFrames); ++i)
    {
      peak = std::max(peak, std::abs(static_cast<double>(au[static_cast<size_t>(c)][i])));
      ASSERT_NEAR(au[static_cast<size_t>(c)][i], cli[static_cast<size_t>(c)][i], 1e-6)
          << c << " " << i;
    }
  EXPECT_GT(peak, 0.05); // the echo is really there
}

} // namespace
