// What macOS would find out by itself (the host's own bundle, installed plug-in bundles) must be
// told to the stand-in by the program that plays host. Only host programs and tests call these;
// the binding never does, so it builds unchanged against Apple's SDK.
#pragma once

namespace ostra::apple
{

// Sets the bundle CFBundleGetMainBundle answers with: the host application's identity.
// Main thread, before the host opens any unit.
void setMainBundle(const char* identifier, const char* version);

// Makes CFBundleGetBundleWithIdentifier find a bundle at a POSIX path. Registering an identifier
// again replaces its path and version. Main thread.
void registerBundle(const char* identifier, const char* path, const char* version);

} // namespace ostra::apple

#include "platform/apple/AUComponent.h"

namespace ostra::apple
{

// An instance record without a plug-in interface, for a host that drives a unit through its
// component entry: the entry's open selector receives it and stores its object in it.
AudioComponentInstance makeBareInstance();
void disposeBareInstance(AudioComponentInstance instance);

} // namespace ostra::apple
