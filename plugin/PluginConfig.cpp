#include "plugin/PluginConfig.h"

#include "plugin/Identity.h"
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
  config.pluginName = kProductName;
  config.productName = kProductName;
  config.mfrName = kMakerName;
  config.vendorVersion = kVendorVersion;
  config.uniqueID = plug::FourCharCode(kUniqueId);
  config.mfrID = plug::FourCharCode(kMakerId);
  config.latency = 0;
  config.plugType = plug::kEffect;
  config.plugDoesMidiIn = false;
  config.plugDoesMidiOut = false;
  config.plugDoesMPE = false;
  config.plugDoesChunks = true;
  config.plugHasUI = true;
  config.plugWidth = kEditorWidth;
  config.plugHeight = kEditorHeight;
  config.plugMinWidth = kEditorMinWidth;
  config.plugMinHeight = kEditorMinHeight;
  config.plugMaxWidth = kEditorMaxWidth;
  config.plugMaxHeight = kEditorMaxHeight;
  config.plugHostResize = true;
  config.fps = kEditorFPS;
  config.bundleID = kBundleId.data();
  config.appGroupID = kAppGroupId.data();
  config.viewClassName = kViewClassName;
  return config;
}

} // namespace ostratapedelay::plugin
