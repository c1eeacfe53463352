// The component entry's selector dispatch: unpacks each parameter block and calls the unit.
#include "framework/au/AUEntryParams.h"
#include "framework/au/IAUBinding.h"

namespace plug
{

bool IAUBinding::EntryCanDo(SInt16 selector)
{
  switch (selector)
  {
    case kComponentOpenSelect:
    case kComponentCloseSelect:
    case kComponentCanDoSelect:
    case kComponentVersionSelect:
      return true;
    default:
      return Lookup(selector) != nullptr;
  }
}

ComponentResult IAUBinding::DispatchEntry(SInt16 selector, void* block, IAUBinding* unit)
{
  if (!block)
    return kAudio_ParamError;
  if (selector == kComponentCanDoSelect)
    return EntryCanDo(static_cast<entry::CanDoParams*>(block)->selector) ? 1 : 0;
  if (!Lookup(selector))
    return badComponentSelector; // includes the retired selectors 8, 12 and 13
  if (!unit)
    return badComponentInstance;

  using namespace entry;
  switch (selector)
  {
    case kAudioUnitInitializeSelect:
      return unit->Initialize();
    case kAudioUnitUninitializeSelect:
      return unit->Uninitialize();
    case kAudioUnitGetPropertyInfoSelect:
    {
      auto& p = *static_cast<GetPropertyInfoParams*>(block);
      return unit->GetPropertyInfo(p.id, p.scope, p.element, p.outDataSize, p.outWritable);
    }
    case kAudioUnitGetPropertySelect:
    {
      auto& p = *static_cast<GetPropertyParams*>(block);
      return unit->GetProperty(p.id, p.scope, p.element, p.outData, p.ioDataSize);
    }
    case kAudioUnitSetPropertySelect:
    {
      auto& p = *static_cast<SetPropertyParams*>(block);
      return unit->SetProperty(p.id, p.scope, p.element, p.data, p.dataSize);
    }
    case kAudioUnitAddPropertyListenerSelect:
    {
      auto& p = *static_cast<AddPropertyListenerParams*>(block);
      return unit->AddPropertyListener(p.id, p.proc, p.userData);
    }
    case kAudioUnitRemovePropertyListenerSelect:
    {
      auto& p = *static_cast<RemovePropertyListenerParams*>(block);
      return unit->RemovePropertyListener(p.id, p.proc, nullptr, true);
    }
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    {
      auto& p = *static_cast<RemovePropertyListenerWithUserDataParams*>(block);
      return unit->RemovePropertyListener(p.id, p.proc, p.userData, false);
    }
    case kAudioUnitAddRenderNotifySelect:
    {
      auto& p = *static_cast<RenderNotifyParams*>(block);
      return unit->AddRenderNotify(p.proc, p.userData);
    }
    case kAudioUnitRemoveRenderNotifySelect:
    {
      auto& p = *static_cast<RenderNotifyParams*>(block);
      return unit->RemoveRenderNotify(p.proc, p.userData);
    }
    case kAudioUnitGetParameterSelect:
    {
      auto& p = *static_cast<GetParameterParams*>(block);
      return unit->GetParameter(p.id, p.scope, p.element, p.outValue);
    }
    case kAudioUnitSetParameterSelect:
    {
      auto& p = *static_cast<SetParameterParams*>(block);
      return unit->SetParameter(p.id, p.scope, p.element, p.value, p.bufferOffset);
    }
    case kAudioUnitScheduleParametersSelect:
    {
      auto& p = *static_cast<ScheduleParametersParams*>(block);
      return unit->ScheduleParameters(p.events, p.count);
    }
    case kAudioUnitRenderSelect:
    {
      auto& p = *static_cast<RenderParams*>(block);
      return unit->Render(p.ioActionFlags, p.timeStamp, p.outputBus, p.nFrames, p.ioData);
    }
    case kAudioUnitResetSelect:
    {
      auto& p = *static_cast<ResetParams*>(block);
      return unit->Reset(p.scope, p.element);
    }
    case kMusicDeviceMIDIEventSelect:
    {
      auto& p = *static_cast<MIDIEventParams*>(block);
      return unit->MIDIEvent(p.status, p.data1, p.data2, p.offset);
    }
    case kMusicDeviceSysExSelect:
    {
      auto& p = *static_cast<SysExParams*>(block);
      return unit->SysEx(p.data, p.length);
    }
    default:
      return noErr; // note start and stop: accepted and dropped
  }
}

} // namespace plug
