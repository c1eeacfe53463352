#pragma once

#include "framework/au/AUEntryParams.h"
#include "framework/au/IAUBinding.h"

#include <new>
#include <type_traits>

/** Marks the unit's exported entry points (the rest of the plug-in's symbols stay hidden). */
#define PLUG_AU_EXPORT extern "C" __attribute__((visibility("default")))

namespace plug
{

/**
 * Creates and destroys units of plug-in class Plug for the host: the version-2 factory with
 * its Open, Close and Lookup, and the component entry. A Plug constructor taking an
 * InstanceInfo is preferred; otherwise the default constructor is used. Host's main thread.
 */
template <class Plug>
struct IAUFactory
{
  static_assert(std::is_base_of_v<IAUBinding, Plug>,
                "an Audio Unit plug-in derives from IAUBinding");

  /** The factory: a fresh plug-in interface record per unit; Open builds the plug-in. */
  static AudioComponentPlugInInterface* Factory(const AudioComponentDescription*)
  {
    auto* record = new (std::nothrow) AUInstanceRecord{{Open, Close, Lookup, nullptr}, nullptr};
    return record ? &record->mInterface : nullptr;
  }

  static OSStatus Open(void* self, AudioComponentInstance instance)
  {
    if (!self)
      return kAudio_ParamError;
    auto* record = static_cast<AUInstanceRecord*>(self);
    record->mBinding = Construct(instance);
    return record->mBinding ? noErr : kAudio_MemFullError;
  }

  /** Destroys the plug-in (if Open made one) and the interface record. */
  static OSStatus Close(void* self)
  {
    auto* record = static_cast<AUInstanceRecord*>(self);
    if (record)
      Destruct(record->mBinding);
    delete record;
    return noErr;
  }

  static AudioComponentMethod Lookup(SInt16 selector) { return IAUBinding::Lookup(selector); }

  /** Null when construction fails; no exception leaves towards the host. */
  static IAUBinding* Construct(AudioComponentInstance instance)
  {
    try
    {
      Plug* plug = nullptr;
      if constexpr (std::is_constructible_v<Plug, const InstanceInfo&>)
        plug = new Plug(InstanceInfo{instance});
      else
        plug = new Plug();
      plug->SetComponentInstance(instance);
      plug->StartIdleTimer();
      return plug;
    }
    catch (...)
    {
      return nullptr;
    }
  }

  static void Destruct(IAUBinding* plug) { delete plug; }

  /** The component entry: open keeps the plug-in as the instance's storage, which later
   *  calls receive back; everything else goes to the binding's dispatch. */
  static ComponentResult Entry(ComponentParameters* params, Handle storage)
  {
    if (!params)
      return kAudio_ParamError;
    void* block = &params->params[0];
    auto* unit = reinterpret_cast<IAUBinding*>(storage);
    switch (params->what)
    {
      case kComponentOpenSelect:
      {
        const ComponentInstance instance = static_cast<entry::InstanceParams*>(block)->instance;
        IAUBinding* plug = Construct(instance);
        if (!plug)
          return kAudio_MemFullError;
        SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(plug));
        return noErr;
      }
      case kComponentCloseSelect:
        Destruct(unit);
        return noErr;
      case kComponentVersionSelect:
        return unit ? static_cast<ComponentResult>(unit->GetConfig().vendorVersion)
                    : badComponentInstance;
      default:
        return IAUBinding::DispatchEntry(params->what, block, unit);
    }
  }
};

} // namespace plug
