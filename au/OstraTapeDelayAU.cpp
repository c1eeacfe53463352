#include "au/OstraTapeDelayAU.h"

#include "au/OstraTapeDelayView.h"
#include "framework/au/IAUFactory.h"
#include "plugin/Identity.h"
#include "plugin/OstraTapeDelay.h"

namespace
{

// The runtime learns the bundle's classes when its code loads; so here, with the entry points
// that every host links or loads.
const bool kViewClassRegistered = []
{
  ostra::apple::registerClass(ostratapedelay::plugin::kBundleId.data(),
                              ostratapedelay::plugin::kViewClassName,
                              [] { return std::unique_ptr<NSObject>(new OstraTapeDelay_View); });
  return true;
}();

} // namespace

PLUG_AU_EXPORT AudioComponentPlugInInterface*
OstraTapeDelay_Factory(const AudioComponentDescription* description)
{
  return plug::IAUFactory<OstraTapeDelay>::Factory(description);
}

PLUG_AU_EXPORT ComponentResult OstraTapeDelay_Entry(ComponentParameters* params, Handle storage)
{
  return plug::IAUFactory<OstraTapeDelay>::Entry(params, storage);
}
