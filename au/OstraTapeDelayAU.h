#pragma once

#include "platform/apple/AudioUnitSDK.h"

/** The unit's exported entry points, named in its bundle's component description. Host's
 *  main thread. Linking them also registers the bundle's view factory class
 *  (OstraTapeDelayView.h). */
extern "C"
{
  /** Version-2 factory: a plug-in interface whose Open constructs an OstraTapeDelay. */
  AudioComponentPlugInInterface*
  OstraTapeDelay_Factory(const AudioComponentDescription* description);

  /** Component entry: every call as a selector and parameter block. */
  ComponentResult OstraTapeDelay_Entry(ComponentParameters* params, Handle storage);
}
