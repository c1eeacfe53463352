#pragma once

#include "graphics/IControl.h"

namespace corvana::controls
{

/** Flips a two-state control: above 0.5 goes to 0, anything else to 1, then sends the new
 *  value to its parameter and runs the action. Editor thread. */
inline void toggleValue(plug::graphics::IControl& control)
{
  control.SetValue(control.GetValue() > 0.5 ? 0.0 : 1.0);
  control.SetDirty(true);
}

} // namespace corvana::controls
