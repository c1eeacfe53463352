#include "plugin/OstraTapeDelayAU.h"

#include "framework/au/IAUFactory.h"
#include "plugin/OstraTapeDelay.h"

PLUG_AU_EXPORT AudioComponentPlugInInterface*
OstraTapeDelay_Factory(const AudioComponentDescription* description)
{
  return plug::IAUFactory<OstraTapeDelay>::Factory(description);
}

PLUG_AU_EXPORT ComponentResult OstraTapeDelay_Entry(ComponentParameters* params, Handle storage)
{
  return plug::IAUFactory<OstraTapeDelay>::Entry(params, storage);
}
