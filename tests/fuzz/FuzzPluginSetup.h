#pragma once

// Shared by the plug-in's fuzz targets: one plug-in for the whole run, whose background
// update check is switched off and whose data folder is a private temporary one.
#include "plugin/OstraTapeDelay.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

inline OstraTapeDelay& fuzzPlugin()
{
  static const bool environment = []
  {
    char pattern[] = "/tmp/ostra-fuzz-XXXXXX";
    const char* root = mkdtemp(pattern);
    if (!root)
      std::abort();
    const std::string updates = std::string(root) + "/updates";
    std::system(("mkdir -p '" + updates + "'").c_str());
    std::ofstream(updates + "/updates-off") << "";
    setenv("CORVANA_UPDATES_FOLDER", updates.c_str(), 1);
    setenv("XDG_DATA_HOME", root, 1);
    return true;
  }();
  (void)environment;
  static auto plugin = std::make_unique<OstraTapeDelay>();
  return *plugin;
}

/** Every parameter inside its range, and the other restored fields inside theirs. */
inline void checkPluginInvariants(const OstraTapeDelay& plugin)
{
  for (int i = 0; i < plugin.NParams(); ++i)
  {
    const auto* p = plugin.GetParam(i);
    const double v = p->Value();
    if (!(v >= p->GetMin() && v <= p->GetMax()))
      __builtin_trap();
  }
  if (plugin.accentIndex() > 5 || plugin.inputMode() < 0 || plugin.inputMode() > 2)
    __builtin_trap();
}
