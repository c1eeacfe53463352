// The built-in preset texts are what the preset writer would write for them, so a factory
// preset saved again as a file reads back the same. (Their values are checked where they
// are loaded, in the plug-in's preset bookkeeping tests.)
#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

using namespace corvana::presets;
using namespace ostratapedelay::offline;

TEST(FactoryPresets, TextsAreInTheWrittenFormAndHoldVersionTwoStates)
{
  const auto& presets = factoryPresets();
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[0].name + "|" + presets[1].name, "Ping and pong|Warm and wide delay");
  for (std::size_t i = 0; i < presets.size(); ++i)
  {
    ASSERT_NE(kFactoryPresetTexts[i], nullptr);
    std::istringstream stream(kFactoryPresetTexts[i]);
    SavedPreset preset;
    std::string error;
    ASSERT_TRUE(parsePreset(kPresetFormat, stream, preset, error, "factory preset")) << error;
    EXPECT_EQ(std::tie(preset.name, preset.state), std::tie(presets[i].name, presets[i].state));
    EXPECT_EQ(presetText(kPresetFormat, preset.name, preset.state), kFactoryPresetTexts[i]);
    // "1STO", then version 2: the form whose tail carries no factory flag of its own.
    ASSERT_GE(preset.state.size(), 8u);
    EXPECT_EQ(std::string(preset.state.begin(), preset.state.begin() + 8),
              std::string("1STO\x02\x00\x00\x00", 8));
  }
  EXPECT_EQ(kFactoryPresetTexts[presets.size()], nullptr);
}
