#pragma once

#include "platform/apple/AudioUnitSDK.h"

/**
 * Parameter blocks of the component entry: what follows the ComponentParameters header for
 * each selector. As the 64-bit Component Manager lays them out, the call's arguments come in
 * reverse order at their natural alignment and the instance comes last.
 */
namespace plug::entry
{

struct InstanceParams
{
  ComponentInstance instance;
};

struct CanDoParams
{
  SInt16 selector;
};

struct GetPropertyInfoParams
{
  Boolean* outWritable;
  UInt32* outDataSize;
  AudioUnitElement element;
  AudioUnitScope scope;
  AudioUnitPropertyID id;
  AudioUnit instance;
};

struct GetPropertyParams
{
  UInt32* ioDataSize;
  void* outData;
  AudioUnitElement element;
  AudioUnitScope scope;
  AudioUnitPropertyID id;
  AudioUnit instance;
};

struct SetPropertyParams
{
  UInt32 dataSize;
  const void* data;
  AudioUnitElement element;
  AudioUnitScope scope;
  AudioUnitPropertyID id;
  AudioUnit instance;
};

struct AddPropertyListenerParams
{
  void* userData;
  AudioUnitPropertyListenerProc proc;
  AudioUnitPropertyID id;
  AudioUnit instance;
};

struct RemovePropertyListenerParams
{
  AudioUnitPropertyListenerProc proc;
  AudioUnitPropertyID id;
  AudioUnit instance;
};

struct RemovePropertyListenerWithUserDataParams
{
  void* userData;
  AudioUnitPropertyListenerProc proc;
  AudioUnitPropertyID id;
  AudioUnit instance;
};

struct RenderNotifyParams
{
  void* userData;
  AURenderCallback proc;
  AudioUnit instance;
};

struct GetParameterParams
{
  AudioUnitParameterValue* outValue;
  AudioUnitElement element;
  AudioUnitScope scope;
  AudioUnitParameterID id;
  AudioUnit instance;
};

struct SetParameterParams
{
  UInt32 bufferOffset;
  AudioUnitParameterValue value;
  AudioUnitElement element;
  AudioUnitScope scope;
  AudioUnitParameterID id;
  AudioUnit instance;
};

struct ScheduleParametersParams
{
  UInt32 count;
  const AudioUnitParameterEvent* events;
  AudioUnit instance;
};

struct RenderParams
{
  AudioBufferList* ioData;
  UInt32 nFrames;
  UInt32 outputBus;
  const AudioTimeStamp* timeStamp;
  AudioUnitRenderActionFlags* ioActionFlags;
  AudioUnit instance;
};

struct ResetParams
{
  AudioUnitElement element;
  AudioUnitScope scope;
  AudioUnit instance;
};

struct MIDIEventParams
{
  UInt32 offset;
  UInt32 data2;
  UInt32 data1;
  UInt32 status;
  AudioUnit instance;
};

struct SysExParams
{
  UInt32 length;
  const UInt8* data;
  AudioUnit instance;
};

} // namespace plug::entry
