// What the plug-in tells the framework and the host about itself.
#include "plugin/OstraTapeDelay.h"
#include "plugin/PluginConfig.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostratapedelay::plugin;

TEST(PluginConfig, VersionNumberAndUpdateVersionAgree)
{
  const plug::Config config = makeConfig();
  const int v = config.vendorVersion;
  const std::string decoded =
    std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
  EXPECT_EQ(decoded, kUpdateVersion);
}

TEST(PluginConfig, EditorSizeLimitsContainTheDesignSize)
{
  const plug::Config config = makeConfig();
  EXPECT_LE(config.plugMinWidth, config.plugWidth);
  EXPECT_LE(config.plugWidth, config.plugMaxWidth);
  EXPECT_LE(config.plugMinHeight, config.plugHeight);
  EXPECT_LE(config.plugHeight, config.plugMaxHeight);
  // Limits keep the design's aspect ratio.
  EXPECT_EQ(config.plugMinWidth * config.plugHeight, config.plugMinHeight * config.plugWidth);
  EXPECT_EQ(config.plugMaxWidth * config.plugHeight, config.plugMaxHeight * config.plugWidth);
}

TEST(PluginConfig, ProcessorAcceptsMonoMonoToStereoAndStereo)
{
  OstraTapeDelay plugin;
  EXPECT_TRUE(plugin.LegalIO(1, 1));
  EXPECT_TRUE(plugin.LegalIO(1, 2));
  EXPECT_TRUE(plugin.LegalIO(2, 2));
  EXPECT_FALSE(plugin.LegalIO(2, 1));
  EXPECT_FALSE(plugin.LegalIO(0, 2));
  EXPECT_EQ(plugin.GetLatency(), 0);
}
