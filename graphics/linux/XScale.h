#pragma once

namespace plug::graphics::x11
{

/** The screen scale that the X resources ask for through "Xft.dpi" (96 dpi is 1), kept
 *  within 0.5 to 4; 1 when the resources (which may be null) do not say. */
float ScaleFromResources(const char* resources);

} // namespace plug::graphics::x11
