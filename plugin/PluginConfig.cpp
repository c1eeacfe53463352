#include "plugin/PluginConfig.h"

#include "plugin/Parameters.h"

namespace ostratapedelay::plugin
{

plug::Config makeConfig()
{
  plug::Config config;
  config.nParams = kNumParams;
  config.nPresets = 1;
  // mono to mono, mono to stereo, stereo to stereo
  config.channelIOStr = "1-1 1-2 2-2";
  config.pluginName = "OstraTape-delay";
  config.productName = "OstraTape-delay";
  config.mfrName = "Corvana";
  config.vendorVersion = (1 << 16) | (0 << 8) | 0;
  config.uniqueID = plug::FourCharCode("OsTd");
  config.mfrID = plug::FourCharCode("Crvn");
  config.latency = 0;
  config.plugType = plug::kEffect;
  config.plugDoesMidiIn = false;
  config.plugDoesMidiOut = false;
  config.plugDoesMPE = false;
  config.plugDoesChunks = true;
  config.plugHasUI = true;
  config.plugWidth = kEditorWidth;
  config.plugHeight = kEditorHeight;
  config.plugMinWidth = 750;
  config.plugMinHeight = 342;
  config.plugMaxWidth = 2000;
  config.plugMaxHeight = 912;
  config.plugHostResize = true;
  config.fps = kEditorFPS;
  config.bundleID = "com.Corvana.audiounit.OstraTape-delay";
  config.appGroupID = "group.com.Corvana.OstraTape-delay";
  config.viewClassName = "OstraTapeDelay_View";
  return config;
}

} // namespace ostratapedelay::plugin
