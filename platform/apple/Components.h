// The older component-entry form of a unit: one entry function that receives every call as a
// selector and a parameter block. A unit exports it beside the version-2 factory.
#pragma once

#include "platform/apple/AUComponent.h"

extern "C"
{

  typedef SInt32 ComponentResult;
  typedef char** Handle;
  typedef AudioComponentInstance ComponentInstance;

  // On 64-bit systems the block is followed by the call's arguments in reverse order, each at its
  // natural alignment, the instance last; `params` marks where they start.
  typedef struct ComponentParameters
  {
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    UInt32 padding;
    long params[1];
  } ComponentParameters;

  typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* cp,
                                                     Handle componentStorage);

  enum : SInt16
  {
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
  };

  enum : OSStatus
  {
    badComponentInstance = static_cast<OSStatus>(0x80008001),
    badComponentSelector = static_cast<OSStatus>(0x80008002),
  };

  void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage);
  Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance);

} // extern "C"
