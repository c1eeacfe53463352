// Basic fixed-width types and result codes of Apple's C interfaces, for builds without Apple's SDK.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C"
{

  typedef uint8_t UInt8;
  typedef int8_t SInt8;
  typedef uint16_t UInt16;
  typedef int16_t SInt16;
  typedef uint32_t UInt32;
  typedef int32_t SInt32;
  typedef uint64_t UInt64;
  typedef int64_t SInt64;
  typedef float Float32;
  typedef double Float64;
  typedef unsigned char Boolean;
  typedef SInt32 OSStatus;
  typedef UInt32 OSType;
  typedef UInt32 FourCharCode;

  enum : OSStatus
  {
    noErr = 0,
    kAudio_ParamError = -50,
    kAudio_MemFullError = -108,
  };

} // extern "C"
