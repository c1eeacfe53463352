#pragma once

#include "framework/IByteChunk.h"

#include <cstdint>
#include <string>

namespace ostratapedelay::plugin
{

/** The four-character code 'OTS1' that starts every state chunk; stored little-endian it
 *  reads "1STO". */
inline constexpr std::uint32_t kStateMagic = ('O' << 24) | ('T' << 16) | ('S' << 8) | '1';
/** The version this program writes. */
inline constexpr std::int32_t kStateVersion = 3;

/** The fields in front of a state chunk's parameter values, as stored (nothing constrained). */
struct StateHeader
{
  std::int32_t version = 0;
  std::uint32_t accent = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string name; // cut at its first zero byte
  std::uint32_t modifiedWord = 0;
  std::int32_t count = 0; // number of parameter values, never negative here
  int valuesPos = 0;      // where the parameter values start
};

/**
 * Reads the header of a state chunk starting at `startPos`. False when the chunk does not
 * start with the magic there, or when the header, the name or the count is cut short or
 * the count is negative: such a chunk is read as a bare parameter list instead.
 * Pure; any thread. Allocates only for the name.
 */
bool readStateHeader(const plug::IByteChunk& chunk, int startPos, StateHeader& header);

/** Whether all `header.count` parameter values lie inside the chunk. Pure; any thread. */
bool stateValuesComplete(const plug::IByteChunk& chunk, const StateHeader& header) noexcept;

} // namespace ostratapedelay::plugin
