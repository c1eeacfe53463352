// The music-device calls (MIDI and system-exclusive input, notes) that any Audio Unit may receive.
#pragma once

#include "platform/apple/AUComponent.h"

extern "C"
{

  typedef UInt32 MusicDeviceInstrumentID;
  typedef UInt32 MusicDeviceGroupID;
  typedef UInt32 NoteInstanceID;

  typedef struct MusicDeviceNoteParams
  {
    UInt32 argCount;
    Float32 mPitch;
    Float32 mVelocity;
    struct
    {
      AudioUnitParameterID parameterID;
      AudioUnitParameterValue value;
    } mControls[1];
  } MusicDeviceNoteParams;

  enum : SInt16
  {
    kMusicDeviceRange = 0x0100,
    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
    kMusicDevicePrepareInstrumentSelect = 0x0103,
    kMusicDeviceReleaseInstrumentSelect = 0x0104,
    kMusicDeviceStartNoteSelect = 0x0105,
    kMusicDeviceStopNoteSelect = 0x0106,
  };

  typedef OSStatus (*MusicDeviceMIDIEventProc)(void* self, UInt32 inStatus, UInt32 inData1,
                                               UInt32 inData2, UInt32 inOffsetSampleFrame);
  typedef OSStatus (*MusicDeviceSysExProc)(void* self, const UInt8* inData, UInt32 inLength);
  typedef OSStatus (*MusicDeviceStartNoteProc)(void* self, MusicDeviceInstrumentID inInstrument,
                                               MusicDeviceGroupID inGroupID,
                                               NoteInstanceID* outNoteInstanceID,
                                               UInt32 inOffsetSampleFrame,
                                               const MusicDeviceNoteParams* inParams);
  typedef OSStatus (*MusicDeviceStopNoteProc)(void* self, MusicDeviceGroupID inGroupID,
                                              NoteInstanceID inNoteInstanceID,
                                              UInt32 inOffsetSampleFrame);

  OSStatus MusicDeviceMIDIEvent(AudioUnit inUnit, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                                UInt32 inOffsetSampleFrame);
  OSStatus MusicDeviceSysEx(AudioUnit inUnit, const UInt8* inData, UInt32 inLength);

} // extern "C"
