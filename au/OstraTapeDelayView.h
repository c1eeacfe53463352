#pragma once

#include "platform/apple/AppKit.h"

/**
 * The unit's Cocoa view factory, exported under the class name its Cocoa UI property gives.
 * Its views are AUEditorView: the plug-in's editor, opened in the window of the view the host
 * embeds them in. Main thread.
 */
class __attribute__((visibility("default"))) OstraTapeDelay_View : public AUCocoaUIBase
{
public:
  unsigned interfaceVersion() override { return 0; }
  /** Asks the unit for its plug-in object; null when the unit is not an OstraTape-delay or its
   *  plug-in has no editor. */
  std::unique_ptr<NSView> uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) override;
  /** "OstraTape-delay View". */
  std::string description() const override;
};
