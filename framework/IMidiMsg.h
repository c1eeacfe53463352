#pragma once

#include <cstdint>

namespace plug
{

/** One short MIDI message with its frame offset within a block: 8 bytes. */
struct IMidiMsg
{
  int mOffset = 0;
  std::uint8_t mStatus = 0;
  std::uint8_t mData1 = 0;
  std::uint8_t mData2 = 0;
  std::uint8_t mUnused = 0;
};
static_assert(sizeof(IMidiMsg) == 8);

/** One system-exclusive message of at most kMaxSize bytes, copied by value into queues. */
struct ISysExData
{
  static constexpr int kMaxSize = 512;
  int mOffset = 0;
  int mSize = 0;
  std::uint8_t mData[kMaxSize] = {};
};

} // namespace plug
