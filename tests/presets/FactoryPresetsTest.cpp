#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <sstream>

using corvana::presets::SavedPreset;
using namespace ostratapedelay::offline;

namespace
{

/** A version-2 state chunk written field by field, the way the plug-in lays it out. */
class ChunkWriter
{
public:
  void u32(std::uint32_t v)
  {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void f64(double v)
  {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
      bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> factoryChunk(const std::string& name, const std::array<double, 18>& values)
{
  ChunkWriter w;
  w.u32(('O' << 24) | ('T' << 16) | ('S' << 8) | '1');
  w.u32(2);    // version
  w.u32(5);    // accent
  w.u32(1000); // editor width
  w.u32(456);  // editor height
  w.u32(static_cast<std::uint32_t>(name.size()));
  w.bytes.insert(w.bytes.end(), name.begin(), name.end());
  w.u32(0);  // modified
  w.u32(18); // parameter count
  for (double v : values)
    w.f64(v);
  for (int i = 0; i < 3; ++i)
    w.u32(0);
  return w.bytes;
}

// Bypass, Time L, Time R, Note L, Note R, Sync, Link, Feedback, Ping Pong, Drive, Low Cut,
// High Cut, Wobble, Width, Tap, Duck, Duck Release, Mix.
const std::array<double, 18> kPingAndPong{0,      782,       500,       7,         13,        1,
                                          1,      14.967078, 1,         4.302004,  432.80312, 5761.1225,
                                          170.75992, 0,      0,         2.0204080, 400,       100};
const std::array<double, 18> kWarmAndWide{0,         782,       500,       13,        13,        1,
                                          1,         27.106649, 0,         12.001983, 179.70709, 4500,
                                          122.48705, 49.824575, 0,         3.2932063, 400,       100};

} // namespace

TEST(FactoryPresets, ChunksMatchTheValueTableByteForByte)
{
  const auto& presets = factoryPresets();
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[0].name, "Ping and pong");
  EXPECT_EQ(presets[1].name, "Warm and wide delay");

  const auto ping = factoryChunk("Ping and pong", kPingAndPong);
  const auto warm = factoryChunk("Warm and wide delay", kWarmAndWide);
  EXPECT_EQ(ping.size(), 201u);
  EXPECT_EQ(warm.size(), 207u);
  EXPECT_EQ(presets[0].state, ping);
  EXPECT_EQ(presets[1].state, warm);
  EXPECT_EQ(std::memcmp(ping.data(), "1STO\x02\0\0\0", 8), 0);
  for (const auto& preset : presets)
    EXPECT_TRUE(preset.path.empty());

  // Built once: later calls hand out the same list.
  EXPECT_EQ(&factoryPresets(), &presets);
}

TEST(FactoryPresets, TextsAreWholePresetTextsInTheWrittenForm)
{
  std::size_t count = 0;
  for (const char* const* text = kFactoryPresetTexts; *text; ++text, ++count)
  {
    std::istringstream stream(*text);
    SavedPreset preset;
    std::string error;
    ASSERT_TRUE(corvana::presets::parsePreset(kPresetFormat, stream, preset, error, "factory preset")) << error;
    // The stored text is exactly what saving the preset would write.
    EXPECT_EQ(corvana::presets::presetText(kPresetFormat, preset.name, preset.state), *text);
  }
  EXPECT_EQ(count, 2u);
}

TEST(FactoryPresets, SurviveASaveAndReloadAsUserPresets)
{
  ostra::test::TempDataHome home;
  const auto folder = home.path() / "OstraTape-delay" / "Presets";
  for (const auto& preset : factoryPresets())
  {
    std::string error;
    ASSERT_TRUE(corvana::presets::writePreset(kPresetFormat, folder, preset.name, preset.state, error)) << error;
  }
  const auto users = corvana::presets::listPresets(kPresetFormat, folder);
  ASSERT_EQ(users.size(), 2u);
  for (std::size_t i = 0; i < users.size(); ++i)
  {
    EXPECT_EQ(users[i].name, factoryPresets()[i].name);
    EXPECT_EQ(users[i].state, factoryPresets()[i].state);
    EXPECT_FALSE(users[i].path.empty());
  }
  // Saving user presets leaves the built-in list alone.
  EXPECT_EQ(factoryPresets().size(), 2u);
  EXPECT_TRUE(factoryPresets()[0].path.empty());
}
