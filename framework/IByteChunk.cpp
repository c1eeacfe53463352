#include "framework/IByteChunk.h"

#include <climits>
#include <cstdint>

namespace plug
{

int IByteChunk::AppendBytes(const void* data, int n)
{
  const int size = ByteCount();
  if (n <= 0 || !data || n > INT_MAX - size)
    return size;
  if (!mBytes.Resize(size + n))
    return size;
  std::memcpy(mBytes.Get() + size, data, static_cast<std::size_t>(n));
  return ByteCount();
}

int IByteChunk::AppendString(std::string_view text)
{
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos)
    text = text.substr(0, end);
  const int size = ByteCount();
  const auto length = static_cast<std::int64_t>(text.size());
  if (length > std::int64_t(INT_MAX) - 4 - size)
    return size;
  const int n = static_cast<int>(4 + length);
  if (!mBytes.Resize(size + n))
    return size;
  std::int32_t length32 = static_cast<std::int32_t>(length);
  unsigned char lengthBytes[4];
  std::memcpy(lengthBytes, &length32, 4);
  ToLittleEndian(lengthBytes, 4);
  std::memcpy(mBytes.Get() + size, lengthBytes, 4);
  if (length > 0)
    std::memcpy(mBytes.Get() + size + 4, text.data(), text.size());
  return ByteCount();
}

int IByteChunk::ReadBytes(void* out, int n, int pos) const
{
  if (pos < 0 || n < 0 || std::int64_t(pos) + n > ByteCount())
    return -1;
  if (n > 0)
    std::memcpy(out, mBytes.Get() + pos, static_cast<std::size_t>(n));
  return pos + n;
}

int IByteChunk::ReadString(std::string& out, int pos) const
{
  std::int32_t length = 0;
  const int textPos = ReadValue(length, pos);
  if (textPos < 0)
    return -1;
  // A negative length would move the read position backwards, and a text past the end
  // is damage: both are failures, not a position to carry on from.
  if (length < 0 || std::int64_t(textPos) + length > ByteCount())
    return -1;
  const char* text = reinterpret_cast<const char*>(mBytes.Get()) + textPos;
  const std::string_view view(length > 0 ? text : "", static_cast<std::size_t>(length));
  out.assign(view.substr(0, view.find('\0')));
  return textPos + length;
}

int IByteChunk::SetByteCount(int n)
{
  const int size = ByteCount();
  if (n < 0)
    n = 0;
  if (!mBytes.Resize(n))
    return size;
  if (n > size)
    std::memset(mBytes.Get() + size, 0, static_cast<std::size_t>(n - size));
  return ByteCount();
}

bool IByteChunk::IsEqual(const IByteChunk& other) const
{
  return ByteCount() == other.ByteCount() &&
         (ByteCount() == 0 ||
          std::memcmp(Bytes(), other.Bytes(), static_cast<std::size_t>(ByteCount())) == 0);
}

} // namespace plug
