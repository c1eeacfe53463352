// The version-2 method table: each selector's method finds the unit behind the plug-in
// interface that the host passes as `self`.
#include "framework/au/IAUBinding.h"

namespace plug
{

namespace methods
{

IAUBinding* Unit(void* self)
{
  return self ? static_cast<AUInstanceRecord*>(self)->mBinding : nullptr;
}

// Calls a member on the unit, or answers badComponentInstance when opening had failed.
template <auto Member, typename... Args>
OSStatus Call(void* self, Args... args)
{
  IAUBinding* unit = Unit(self);
  return unit ? (unit->*Member)(args...) : badComponentInstance;
}

OSStatus Initialize(void* self)
{
  return Call<&IAUBinding::Initialize>(self);
}
OSStatus Uninitialize(void* self)
{
  return Call<&IAUBinding::Uninitialize>(self);
}

OSStatus GetPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                         AudioUnitElement element, UInt32* outDataSize, Boolean* outWritable)
{
  return Call<&IAUBinding::GetPropertyInfo>(self, id, scope, element, outDataSize, outWritable);
}

OSStatus GetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                     AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
  return Call<&IAUBinding::GetProperty>(self, id, scope, element, outData, ioDataSize);
}

OSStatus SetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                     AudioUnitElement element, const void* data, UInt32 dataSize)
{
  return Call<&IAUBinding::SetProperty>(self, id, scope, element, data, dataSize);
}

OSStatus AddPropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                             void* userData)
{
  return Call<&IAUBinding::AddPropertyListener>(self, id, proc, userData);
}

OSStatus RemovePropertyListener(void* self, AudioUnitPropertyID id,
                                AudioUnitPropertyListenerProc proc)
{
  return Call<&IAUBinding::RemovePropertyListener>(self, id, proc, static_cast<void*>(nullptr),
                                                   true);
}

OSStatus RemovePropertyListenerWithUserData(void* self, AudioUnitPropertyID id,
                                            AudioUnitPropertyListenerProc proc, void* userData)
{
  return Call<&IAUBinding::RemovePropertyListener>(self, id, proc, userData, false);
}

OSStatus AddRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  return Call<&IAUBinding::AddRenderNotify>(self, proc, userData);
}

OSStatus RemoveRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  return Call<&IAUBinding::RemoveRenderNotify>(self, proc, userData);
}

OSStatus GetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                      AudioUnitElement element, AudioUnitParameterValue* outValue)
{
  return Call<&IAUBinding::GetParameter>(self, id, scope, element, outValue);
}

OSStatus SetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                      AudioUnitElement element, AudioUnitParameterValue value, UInt32 bufferOffset)
{
  return Call<&IAUBinding::SetParameter>(self, id, scope, element, value, bufferOffset);
}

OSStatus ScheduleParameters(void* self, const AudioUnitParameterEvent* events, UInt32 count)
{
  return Call<&IAUBinding::ScheduleParameters>(self, events, count);
}

OSStatus Render(void* self, AudioUnitRenderActionFlags* ioActionFlags,
                const AudioTimeStamp* timeStamp, UInt32 outputBus, UInt32 nFrames,
                AudioBufferList* ioData)
{
  return Call<&IAUBinding::Render>(self, ioActionFlags, timeStamp, outputBus, nFrames, ioData);
}

OSStatus Reset(void* self, AudioUnitScope scope, AudioUnitElement element)
{
  return Call<&IAUBinding::Reset>(self, scope, element);
}

OSStatus MIDIEvent(void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
  return Call<&IAUBinding::MIDIEvent>(self, status, data1, data2, offset);
}

OSStatus SysEx(void* self, const UInt8* data, UInt32 length)
{
  return Call<&IAUBinding::SysEx>(self, data, length);
}

// Notes are accepted and dropped like every other MIDI input of this effect.
OSStatus StartNote(void* self, MusicDeviceInstrumentID, MusicDeviceGroupID, NoteInstanceID* outNote,
                   UInt32, const MusicDeviceNoteParams*)
{
  if (outNote)
    *outNote = 0;
  return Unit(self) ? OSStatus{noErr} : OSStatus{badComponentInstance};
}

OSStatus StopNote(void* self, MusicDeviceGroupID, NoteInstanceID, UInt32)
{
  return Unit(self) ? OSStatus{noErr} : OSStatus{badComponentInstance};
}

template <typename Proc>
AudioComponentMethod Method(Proc proc)
{
  return reinterpret_cast<AudioComponentMethod>(proc);
}

} // namespace methods

AudioComponentMethod IAUBinding::Lookup(SInt16 selector)
{
  switch (selector)
  {
    case kAudioUnitInitializeSelect:
      return methods::Method<AudioUnitInitializeProc>(methods::Initialize);
    case kAudioUnitUninitializeSelect:
      return methods::Method<AudioUnitUninitializeProc>(methods::Uninitialize);
    case kAudioUnitGetPropertyInfoSelect:
      return methods::Method<AudioUnitGetPropertyInfoProc>(methods::GetPropertyInfo);
    case kAudioUnitGetPropertySelect:
      return methods::Method<AudioUnitGetPropertyProc>(methods::GetProperty);
    case kAudioUnitSetPropertySelect:
      return methods::Method<AudioUnitSetPropertyProc>(methods::SetProperty);
    case kAudioUnitAddPropertyListenerSelect:
      return methods::Method<AudioUnitAddPropertyListenerProc>(methods::AddPropertyListener);
    case kAudioUnitRemovePropertyListenerSelect:
      return methods::Method<AudioUnitRemovePropertyListenerProc>(methods::RemovePropertyListener);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return methods::Method<AudioUnitRemovePropertyListenerWithUserDataProc>(
          methods::RemovePropertyListenerWithUserData);
    case kAudioUnitAddRenderNotifySelect:
      return methods::Method<AudioUnitAddRenderNotifyProc>(methods::AddRenderNotify);
    case kAudioUnitRemoveRenderNotifySelect:
      return methods::Method<AudioUnitRemoveRenderNotifyProc>(methods::RemoveRenderNotify);
    case kAudioUnitGetParameterSelect:
      return methods::Method<AudioUnitGetParameterProc>(methods::GetParameter);
    case kAudioUnitSetParameterSelect:
      return methods::Method<AudioUnitSetParameterProc>(methods::SetParameter);
    case kAudioUnitScheduleParametersSelect:
      return methods::Method<AudioUnitScheduleParametersProc>(methods::ScheduleParameters);
    case kAudioUnitRenderSelect:
      return methods::Method<AudioUnitRenderProc>(methods::Render);
    case kAudioUnitResetSelect:
      return methods::Method<AudioUnitResetProc>(methods::Reset);
    case kMusicDeviceMIDIEventSelect:
      return methods::Method<MusicDeviceMIDIEventProc>(methods::MIDIEvent);
    case kMusicDeviceSysExSelect:
      return methods::Method<MusicDeviceSysExProc>(methods::SysEx);
    case kMusicDeviceStartNoteSelect:
      return methods::Method<MusicDeviceStartNoteProc>(methods::StartNote);
    case kMusicDeviceStopNoteSelect:
      return methods::Method<MusicDeviceStopNoteProc>(methods::StopNote);
    default:
      return nullptr; // the system answers badComponentSelector
  }
}

} // namespace plug
