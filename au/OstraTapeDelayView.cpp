#include "au/OstraTapeDelayView.h"

#include "au/AUEditorView.h"
#include "framework/au/IAUBinding.h"
#include "plugin/Identity.h"
#include "plugin/OstraTapeDelay.h"

std::unique_ptr<NSView> OstraTapeDelay_View::uiViewForAudioUnit(AudioUnit unit, NSSize)
{
  if (!unit)
    return nullptr;
  void* object = nullptr;
  UInt32 size = sizeof object;
  if (AudioUnitGetProperty(unit, plug::kPrivateObjectProperty, kAudioUnitScope_Global, 0, &object,
                           &size) != noErr ||
      !object)
    return nullptr;
  // The property hands out the binding; a unit of another plug-in class has no editor here.
  auto* plugin = dynamic_cast<OstraTapeDelay*>(static_cast<plug::IAUBinding*>(object));
  if (!plugin || !plugin->GetConfig().plugHasUI)
    return nullptr;
  return std::make_unique<ostratapedelay::au::AUEditorView>(*plugin);
}

std::string OstraTapeDelay_View::description() const
{
  return std::string(ostratapedelay::plugin::kProductName) + " View";
}
