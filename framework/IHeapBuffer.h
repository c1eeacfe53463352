#pragma once

namespace plug
{

/**
 * Growable block of bytes on the C heap. The allocation grows and shrinks in steps so that
 * appending byte by byte reallocates only every few kilobytes. Sizes are ints; a request
 * whose allocation would not fit in an int fails and changes nothing.
 *
 * Not thread-safe; one thread at a time. Resizing may allocate: not real-time safe.
 */
class IHeapBuffer
{
public:
  explicit IHeapBuffer(int granularity = 4096) noexcept;
  ~IHeapBuffer();
  IHeapBuffer(const IHeapBuffer&) = delete;
  IHeapBuffer& operator=(const IHeapBuffer&) = delete;
  IHeapBuffer(IHeapBuffer&& other) noexcept;
  IHeapBuffer& operator=(IHeapBuffer&& other) noexcept;

  /** Sets the used size to n (negative counts as 0), keeping the first min(n, old size)
   *  bytes; bytes beyond the old size are not initialised. Returns false, and keeps the
   *  old bytes and size, when memory cannot be had. */
  bool Resize(int n, bool allowShrink = true) noexcept;

  /** Null while nothing has been allocated. */
  unsigned char* Get() noexcept { return mData; }
  const unsigned char* Get() const noexcept { return mData; }
  int GetSize() const noexcept { return mSize; }
  int GetAllocated() const noexcept { return mAlloc; }
  int GetGranularity() const noexcept { return mGranularity; }

private:
  unsigned char* mData = nullptr;
  int mAlloc = 0;
  int mSize = 0;
  int mGranularity = 4096;
};

} // namespace plug
