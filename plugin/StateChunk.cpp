#include "plugin/StateChunk.h"

#include <cstdint>
#include <cstring>

namespace ostratapedelay::plugin
{

bool readStateHeader(const plug::IByteChunk& chunk, int startPos, StateHeader& header)
{
  const int size = chunk.ByteCount();
  std::uint32_t magic = 0;
  if (startPos < 0 || startPos > size - 4 || chunk.ReadValue(magic, startPos) < 0 ||
      magic != kStateMagic)
    return false;

  int pos = startPos + 4;
  if ((pos = chunk.ReadValue(header.version, pos)) < 0 ||
      (pos = chunk.ReadValue(header.accent, pos)) < 0 ||
      (pos = chunk.ReadValue(header.width, pos)) < 0 ||
      (pos = chunk.ReadValue(header.height, pos)) < 0)
    return false;
  std::int32_t nameLength = 0;
  if ((pos = chunk.ReadValue(nameLength, pos)) < 0)
    return false;

  header.name.clear();
  if (nameLength > 0)
  {
    // A name running past the end leaves no room for the modified word and the count.
    if (nameLength > size - pos)
      return false;
    const char* bytes = reinterpret_cast<const char*>(chunk.Bytes()) + pos;
    const auto* zero =
        static_cast<const char*>(std::memchr(bytes, 0, static_cast<std::size_t>(nameLength)));
    header.name.assign(bytes, zero ? static_cast<std::size_t>(zero - bytes)
                                   : static_cast<std::size_t>(nameLength));
    pos += nameLength;
  }

  if ((pos = chunk.ReadValue(header.modifiedWord, pos)) < 0 ||
      (pos = chunk.ReadValue(header.count, pos)) < 0 || header.count < 0)
    return false;
  header.valuesPos = pos;
  return true;
}

bool stateValuesComplete(const plug::IByteChunk& chunk, const StateHeader& header) noexcept
{
  const std::int64_t end = std::int64_t{header.valuesPos} + 8 * std::int64_t{header.count};
  return header.valuesPos >= 0 && header.count >= 0 && end <= chunk.ByteCount();
}

} // namespace ostratapedelay::plugin
