#pragma once

#include "graphics/IColor.h"
#include "graphics/IText.h"
#include "graphics/IVectorStyle.h"

namespace ostratapedelay::plugin::editor
{

// The editor's fixed design: 1000 × 456 units, scaled as a whole.
inline constexpr int kWidth = 1000;
inline constexpr int kHeight = 456;

// Tags by which the plug-in finds controls of the open editor again.
inline constexpr int kTitleTag = 0;
inline constexpr int kStatusTag = 1;
inline constexpr int kMeterTag = 2;
inline constexpr int kRepeatsTag = 3;

inline constexpr const char* kRegularFont = "Roboto-Regular";
inline constexpr const char* kCondensedFont = "RobotoCondensed-Bold";
inline constexpr const char* kRegularFontFile = "Roboto-Regular.ttf";
inline constexpr const char* kCondensedFontFile = "RobotoCondensed-Bold.ttf";
inline constexpr const char* kLockupFile = "ostratape-delay-lockup.svg";
inline constexpr const char* kWordmark = "OSTRATAPE-DELAY";

/** "White" of this design: 250 in every channel, at `alpha`. */
constexpr plug::graphics::IColor white(int alpha)
{
  return plug::graphics::IColor(alpha, 250, 250, 250);
}

inline constexpr plug::graphics::IColor kBackgroundColour(255, 10, 10, 10);
inline constexpr plug::graphics::IColor kBodyColour(255, 20, 20, 20);
inline constexpr plug::graphics::IColor kDividerColour = white(18);
inline constexpr plug::graphics::IColor kRingColour = white(36);
inline constexpr plug::graphics::IColor kGripHoverColour = white(90);

/** The text styles of the layout, by the role they play. */
struct TextStyles
{
  plug::graphics::IText title, pill, wordmark, status, section, button, knobLabel, smallLabel,
      value, valueEntry, repeatsText, repeatsSmall, meterLabel, meterValue, meterScale;
};
const TextStyles& textStyles();

/** The ring knobs' vector style in `accent`. */
plug::graphics::IVectorStyle knobStyle(const plug::graphics::IColor& accent);

} // namespace ostratapedelay::plugin::editor
