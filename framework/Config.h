#pragma once

#include <cstdint>
#include <string>

namespace plug
{

/** What a plug-in can be, as far as the host is concerned. */
enum EPlugType : int
{
  kEffect = 0,
  kInstrument = 1,
  kMIDIEffect = 2,
  kGenerator = 3
};

/** Packs four characters into the 32-bit code hosts use for plug-in and maker ids. */
constexpr std::uint32_t FourCharCode(const char (&c)[5])
{
  return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
         (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint32_t(std::uint8_t(c[3]));
}

/**
 * Identity and capabilities a plug-in hands the framework at construction. Read by the
 * plug-in base (parameters), the processor (channels, latency, type, MIDI) and the host
 * binding (ids, names, editor). Plain data, fixed after construction.
 */
struct Config
{
  int nParams = 0;
  int nPresets = 1;
  /** Accepted channel layouts, e.g. "1-1 1-2 2-2": configurations separated by spaces,
   *  inputs and outputs joined by '-', bus counts separated by '.'. */
  std::string channelIOStr;
  std::string pluginName;
  std::string productName;
  std::string mfrName;
  /** major * 65536 + minor * 256 + patch */
  int vendorVersion = 0;
  std::uint32_t uniqueID = 0;
  std::uint32_t mfrID = 0;
  int latency = 0;
  EPlugType plugType = kEffect;
  bool plugDoesMidiIn = false;
  bool plugDoesMidiOut = false;
  bool plugDoesMPE = false;
  bool plugDoesChunks = false;
  bool plugHasUI = false;
  int plugWidth = 0;
  int plugHeight = 0;
  int plugMinWidth = 0;
  int plugMinHeight = 0;
  int plugMaxWidth = 0;
  int plugMaxHeight = 0;
  bool plugHostResize = false;
  int fps = 60;
  std::string bundleID;
  std::string appGroupID;
  std::string viewClassName;
};

} // namespace plug
