#pragma once

#include "framework/IHeapBuffer.h"

#include <bit>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace plug
{

/**
 * Growable little-endian byte buffer for binary state. Values are appended at the end as
 * their bytes, with no tag, length or alignment; reads take a position and return the
 * position after what they read, or -1 (leaving the target unchanged) when the bytes are
 * not all there. A string is a 32-bit length followed by its bytes, no terminator.
 *
 * No lock: one thread at a time. Appends may allocate; reads never do (except the string
 * read, which assigns a std::string).
 */
class IByteChunk
{
public:
  IByteChunk() noexcept
    : mBytes(kGranularity)
  {
  }

  /** Appends n bytes; returns the new size. A failed append (no memory, n < 0, or a size
   *  that would pass the int range) leaves the chunk unchanged and returns the old size. */
  int AppendBytes(const void* data, int n);

  /** Appends a trivially copyable value's bytes, little-endian; returns the new size. */
  template <typename T>
  int AppendValue(const T& value)
  {
    static_assert(std::is_trivially_copyable_v<T>);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    ToLittleEndian(bytes, sizeof(T));
    return AppendBytes(bytes, static_cast<int>(sizeof(T)));
  }

  /** Appends the text up to its first zero byte as a 32-bit length and the bytes. Length
   *  and text are appended together or not at all. Returns the new size. */
  int AppendString(std::string_view text);

  /** Appends another chunk's bytes; returns the new size. */
  int PutChunk(const IByteChunk& other) { return AppendBytes(other.Bytes(), other.ByteCount()); }

  /** Copies n bytes from pos; returns pos + n, or -1 when pos < 0, n < 0 or pos + n is past
   *  the end (nothing copied then). */
  int ReadBytes(void* out, int n, int pos) const;

  template <typename T>
  int ReadValue(T& out, int pos) const
  {
    static_assert(std::is_trivially_copyable_v<T>);
    unsigned char bytes[sizeof(T)];
    const int next = ReadBytes(bytes, static_cast<int>(sizeof(T)), pos);
    if (next < 0)
      return -1;
    ToLittleEndian(bytes, sizeof(T));
    std::memcpy(&out, bytes, sizeof(T));
    return next;
  }

  /** Reads a string written by AppendString; returns the position after it. A zero byte
   *  inside ends the text early. Returns -1, leaving out unchanged, when the length is
   *  missing or negative or the text runs past the end. */
  int ReadString(std::string& out, int pos) const;

  int ByteCount() const noexcept { return mBytes.GetSize(); }
  /** Sets the size; bytes added are zero. Returns the new size (the old one on failure). */
  int SetByteCount(int n);
  void Empty() { mBytes.Resize(0); }
  /** Null when the chunk is empty. */
  unsigned char* Bytes() noexcept { return ByteCount() > 0 ? mBytes.Get() : nullptr; }
  const unsigned char* Bytes() const noexcept { return ByteCount() > 0 ? mBytes.Get() : nullptr; }
  /** Capacity of the underlying buffer in bytes. */
  int Allocated() const noexcept { return mBytes.GetAllocated(); }

  bool IsEqual(const IByteChunk& other) const;

  static constexpr int kGranularity = 4096;

private:
  static void ToLittleEndian(unsigned char* bytes, std::size_t n) noexcept
  {
    if constexpr (std::endian::native == std::endian::big)
    {
      for (std::size_t i = 0; i < n / 2; ++i)
        std::swap(bytes[i], bytes[n - 1 - i]);
    }
    else
    {
      (void)bytes;
      (void)n;
    }
  }

  IHeapBuffer mBytes;
};

} // namespace plug
