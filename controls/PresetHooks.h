#pragma once

#include <functional>
#include <string>
#include <vector>

namespace corvana::controls
{

/** What the preset bar may do with a product's presets. Every hook is optional: a missing
 *  one leaves its action out (no list, no save, an empty name, not factory, not modified). */
struct PresetHooks
{
  std::function<std::vector<std::string>()> userNames;
  std::function<std::string()> currentName;
  std::function<void(const std::string&)> load;
  std::function<void(const std::string&)> save;
  std::function<void(const std::string&)> remove;
  std::function<bool()> isModified;
  std::function<std::vector<std::string>()> factoryNames;
  std::function<void(const std::string&)> loadFactory;
  std::function<bool()> isFactory;
};

} // namespace corvana::controls
