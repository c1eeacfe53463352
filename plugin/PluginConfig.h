#pragma once

#include "framework/Config.h"

namespace ostratapedelay::plugin
{

inline constexpr int kEditorWidth = 1000;
inline constexpr int kEditorHeight = 456;
inline constexpr int kEditorFPS = 60;

/** Version and product name the update check compares against the maker's feed. */
inline constexpr const char* kUpdateVersion = "1.0.0";
inline constexpr const char* kUpdateProductSlug = "ostratape-delay";

/** Identity, channel layouts and editor of the plug-in, handed to the framework at
 *  construction. Any thread; allocates. */
plug::Config makeConfig();

} // namespace ostratapedelay::plugin
