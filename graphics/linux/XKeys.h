#pragma once

#include "graphics/IMouse.h"

namespace plug::graphics::x11
{

/** The key press for an X key symbol, the text X typed for it (Latin-1, `length` bytes) and
 *  the event's modifier state. */
IKeyPress TranslateKey(unsigned long keysym, const char* text, int length, unsigned int state);

} // namespace plug::graphics::x11
