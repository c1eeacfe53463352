#pragma once

#include "framework/Config.h"

namespace ostratapedelay::plugin
{

/** The editor's design size in points, its limits and its frame rate. */
inline constexpr int kEditorWidth = 1000;
inline constexpr int kEditorHeight = 456;
inline constexpr int kEditorMinWidth = 750;
inline constexpr int kEditorMinHeight = 342;
inline constexpr int kEditorMaxWidth = 2000;
inline constexpr int kEditorMaxHeight = 912;
inline constexpr int kEditorFPS = 60;
/** The editor's only proportion, width over height, as single precision gives it. */
inline constexpr double kEditorAspect =
    static_cast<double>(static_cast<float>(kEditorWidth) / static_cast<float>(kEditorHeight));

/** Identity, channel layouts and editor of the plug-in, handed to the framework at
 *  construction. Any thread; allocates. */
plug::Config makeConfig();

} // namespace ostratapedelay::plugin
