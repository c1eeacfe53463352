#pragma once

#include <string>
#include <vector>

namespace ostratapedelay::plugin
{

/**
 * The folders that may hold the editor's fonts and artwork: "resources" beside the binary
 * this code lives in (the LV2 bundle's shared object, or the program that links it), then
 * beside the running program. Never the working directory: a host's is anyone's guess.
 * Any thread.
 */
std::vector<std::string> resourceFolders();

} // namespace ostratapedelay::plugin
