// Core Audio's sample-format, buffer and time-stamp records, as far as an Audio Unit effect needs
// them.
#pragma once

#include "platform/apple/MacTypes.h"

extern "C"
{

  typedef UInt32 AudioFormatID;
  typedef UInt32 AudioFormatFlags;

  enum : AudioFormatID
  {
    kAudioFormatLinearPCM = 0x6C70636D
  }; // 'lpcm'

  enum : AudioFormatFlags
  {
    kAudioFormatFlagIsFloat = 1U << 0,
    kAudioFormatFlagIsBigEndian = 1U << 1,
    kAudioFormatFlagIsSignedInteger = 1U << 2,
    kAudioFormatFlagIsPacked = 1U << 3,
    kAudioFormatFlagIsAlignedHigh = 1U << 4,
    kAudioFormatFlagIsNonInterleaved = 1U << 5,
    kAudioFormatFlagIsNonMixable = 1U << 6,
    kLinearPCMFormatFlagIsFloat = kAudioFormatFlagIsFloat,
    kLinearPCMFormatFlagIsPacked = kAudioFormatFlagIsPacked,
    kLinearPCMFormatFlagIsNonInterleaved = kAudioFormatFlagIsNonInterleaved,
    kAudioFormatFlagsNativeFloatPacked = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked,
  };

  typedef struct AudioStreamBasicDescription
  {
    Float64 mSampleRate;
    AudioFormatID mFormatID;
    AudioFormatFlags mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
  } AudioStreamBasicDescription;

  typedef struct AudioBuffer
  {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
  } AudioBuffer;

  // Variable length: mNumberBuffers entries follow, the first one declared here.
  typedef struct AudioBufferList
  {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
  } AudioBufferList;

  typedef struct SMPTETime
  {
    SInt16 mSubframes;
    SInt16 mSubframeDivisor;
    UInt32 mCounter;
    UInt32 mType;
    UInt32 mFlags;
    SInt16 mHours;
    SInt16 mMinutes;
    SInt16 mSeconds;
    SInt16 mFrames;
  } SMPTETime;

  typedef UInt32 AudioTimeStampFlags;
  enum : AudioTimeStampFlags
  {
    kAudioTimeStampNothingValid = 0,
    kAudioTimeStampSampleTimeValid = 1U << 0,
    kAudioTimeStampHostTimeValid = 1U << 1,
    kAudioTimeStampRateScalarValid = 1U << 2,
    kAudioTimeStampWordClockTimeValid = 1U << 3,
    kAudioTimeStampSMPTETimeValid = 1U << 4,
  };

  typedef struct AudioTimeStamp
  {
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    SMPTETime mSMPTETime;
    AudioTimeStampFlags mFlags;
    UInt32 mReserved;
  } AudioTimeStamp;

  typedef UInt32 AudioChannelLayoutTag;
  enum : AudioChannelLayoutTag
  {
    kAudioChannelLayoutTag_UseChannelDescriptions = (0U << 16) | 0,
    kAudioChannelLayoutTag_Mono = (100U << 16) | 1,
    kAudioChannelLayoutTag_Stereo = (101U << 16) | 2,
    kAudioChannelLayoutTag_Unknown = 0xFFFF0000,
  };

} // extern "C"
