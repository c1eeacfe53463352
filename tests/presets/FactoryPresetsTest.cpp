#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <sstream>
#include <tuple>

using namespace corvana::presets;
using namespace ostratapedelay::offline;

namespace
{

// A version-2 state chunk written field by field, the way the plug-in lays it out.
std::vector<std::uint8_t> factoryChunk(const std::string& name,
                                       const std::array<double, 18>& values)
{
  std::vector<std::uint8_t> bytes;
  const auto put = [&](std::uint64_t v, int n)
  {
    for (int i = 0; i < n; ++i)
      bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  // Magic "OTS1", version, accent, editor width and height, then the name.
  for (std::uint32_t v :
       {std::uint32_t('O' << 24 | 'T' << 16 | 'S' << 8 | '1'), 2u, 5u, 1000u, 456u})
    put(v, 4);
  put(name.size(), 4);
  bytes.insert(bytes.end(), name.begin(), name.end());
  put(0, 4);  // modified
  put(18, 4); // parameter count
  for (double v : values)
    put(std::bit_cast<std::uint64_t>(v), 8);
  put(0, 12); // three zero words
  return bytes;
}

// Bypass, Time L, Time R, Note L, Note R, Sync, Link, Feedback, Ping Pong, Drive, Low Cut,
// High Cut, Wobble, Width, Tap, Duck, Duck Release, Mix.
const std::array<double, 18> kPingAndPong{
    0,        782,       500,       7,         13, 1, 1,         14.967078, 1,
    4.302004, 432.80312, 5761.1225, 170.75992, 0,  0, 2.0204080, 400,       100};
const std::array<double, 18> kWarmAndWide{0,         782,       500, 13,        13,        1,
                                          1,         27.106649, 0,   12.001983, 179.70709, 4500,
                                          122.48705, 49.824575, 0,   3.2932063, 400,       100};

} // namespace

TEST(FactoryPresets, ChunksMatchTheValueTableByteForByteAndTextsAreInTheWrittenForm)
{
  const auto& presets = factoryPresets();
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[0].name + "|" + presets[1].name, "Ping and pong|Warm and wide delay");
  EXPECT_EQ(presets[0].state, factoryChunk("Ping and pong", kPingAndPong));
  EXPECT_EQ(presets[1].state, factoryChunk("Warm and wide delay", kWarmAndWide));
  for (std::size_t i = 0; i < presets.size(); ++i)
  {
    ASSERT_NE(kFactoryPresetTexts[i], nullptr);
    std::istringstream stream(kFactoryPresetTexts[i]);
    SavedPreset preset;
    std::string error;
    ASSERT_TRUE(parsePreset(kPresetFormat, stream, preset, error, "factory preset")) << error;
    EXPECT_EQ(std::tie(preset.name, preset.state), std::tie(presets[i].name, presets[i].state));
    EXPECT_EQ(presetText(kPresetFormat, preset.name, preset.state), kFactoryPresetTexts[i]);
  }
  EXPECT_EQ(kFactoryPresetTexts[presets.size()], nullptr);
}
