#include "framework/IHeapBuffer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace plug
{

namespace
{

constexpr std::int64_t kPage = 4096;
constexpr std::int64_t kMaxGrowth = 4 * 1024 * 1024;
// Allocations stay this far below a page multiple, leaving room for the C allocator's
// own bookkeeping in the same pages.
constexpr std::int64_t kAllocatorSlack = 96;

} // namespace

IHeapBuffer::IHeapBuffer(int granularity) noexcept
  : mGranularity(std::max(granularity, 1))
{
}

IHeapBuffer::~IHeapBuffer()
{
  std::free(mData);
}

IHeapBuffer::IHeapBuffer(IHeapBuffer&& other) noexcept
  : mData(std::exchange(other.mData, nullptr))
  , mAlloc(std::exchange(other.mAlloc, 0))
  , mSize(std::exchange(other.mSize, 0))
  , mGranularity(other.mGranularity)
{
}

IHeapBuffer& IHeapBuffer::operator=(IHeapBuffer&& other) noexcept
{
  if (this != &other)
  {
    std::free(mData);
    mData = std::exchange(other.mData, nullptr);
    mAlloc = std::exchange(other.mAlloc, 0);
    mSize = std::exchange(other.mSize, 0);
    mGranularity = other.mGranularity;
  }
  return *this;
}

bool IHeapBuffer::Resize(int n, bool allowShrink) noexcept
{
  n = std::max(n, 0);
  if (n == mSize)
    return true;

  // Shrinking reallocates only once the buffer is much larger than needed.
  std::int64_t threshold = 0;
  if (allowShrink && n < mSize)
    threshold = std::max<std::int64_t>(
        std::min<std::int64_t>(std::int64_t(mAlloc) - 4 * std::int64_t(mGranularity), mAlloc / 2),
        1);

  std::int64_t newAlloc = mAlloc;
  if (n > mAlloc || n < threshold)
  {
    std::int64_t grow = std::max<std::int64_t>(n / 2, mGranularity);
    if (mGranularity < kPage)
      newAlloc = std::int64_t(n) + grow;
    else
    {
      grow = std::min(grow / kPage * kPage, kMaxGrowth);
      newAlloc = (std::int64_t(n) + grow + kAllocatorSlack) / kPage * kPage - kAllocatorSlack;
    }
    // Near the top of the int range the growth margin is dropped rather than the request.
    if (newAlloc > INT_MAX)
      newAlloc = INT_MAX;
  }

  if (newAlloc != mAlloc)
  {
    if (newAlloc <= 0)
    {
      std::free(mData);
      mData = nullptr;
      mAlloc = 0;
    }
    else if (void* grown = std::realloc(mData, static_cast<std::size_t>(newAlloc)))
    {
      mData = static_cast<unsigned char*>(grown);
      mAlloc = static_cast<int>(newAlloc);
    }
    else if (void* fresh = std::malloc(static_cast<std::size_t>(newAlloc)))
    {
      if (mData)
        std::memcpy(fresh, mData, static_cast<std::size_t>(std::min(n, mSize)));
      std::free(mData);
      mData = static_cast<unsigned char*>(fresh);
      mAlloc = static_cast<int>(newAlloc);
    }
    else
      return false; // the old block is untouched by a failed realloc
  }

  mSize = n;
  return true;
}

} // namespace plug
