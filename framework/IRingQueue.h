#pragma once

#include <atomic>
#include <vector>

namespace plug
{

/**
 * Lock-free ring queue for exactly one writer thread and one reader thread. One slot is
 * kept free to tell full from empty, so it holds one entry less than its slot count; a
 * push onto a full queue is dropped. The slots are allocated once, at construction.
 *
 * Push: writer thread only. Pop: reader thread only. Both are real-time safe (no locks,
 * no allocation). ElementsAvailable may be called from either side and is a snapshot.
 */
template <typename T>
class IRingQueue
{
public:
  /** `slots` ring slots (at least 2), giving a capacity of slots - 1. Allocates. */
  explicit IRingQueue(int slots)
    : mSlots(static_cast<size_t>(slots < 2 ? 2 : slots))
  {
  }

  IRingQueue(const IRingQueue&) = delete;
  IRingQueue& operator=(const IRingQueue&) = delete;

  /** Copies `item` in; false (and nothing stored) when the queue is full. Writer only. */
  bool Push(const T& item) noexcept
  {
    const size_t write = mWrite.load(std::memory_order_relaxed);
    const size_t next = Next(write);
    if (next == mRead.load(std::memory_order_acquire))
      return false;
    mSlots[write] = item;
    mWrite.store(next, std::memory_order_release);
    return true;
  }

  /** Moves the oldest entry into `item`; false (item untouched) when empty. Reader only. */
  bool Pop(T& item) noexcept
  {
    const size_t read = mRead.load(std::memory_order_relaxed);
    if (read == mWrite.load(std::memory_order_acquire))
      return false;
    item = mSlots[read];
    mRead.store(Next(read), std::memory_order_release);
    return true;
  }

  /** Number of entries waiting, at the moment of the call. */
  int ElementsAvailable() const noexcept
  {
    const size_t write = mWrite.load(std::memory_order_acquire);
    const size_t read = mRead.load(std::memory_order_acquire);
    return static_cast<int>(write >= read ? write - read : write + mSlots.size() - read);
  }

  /** Largest number of entries the queue holds. */
  int Capacity() const noexcept { return static_cast<int>(mSlots.size()) - 1; }

private:
  size_t Next(size_t i) const noexcept { return i + 1 == mSlots.size() ? 0 : i + 1; }

  std::vector<T> mSlots;
  // Each index is written by one side only; acquire/release hands the slot contents over.
  alignas(64) std::atomic<size_t> mWrite{0};
  alignas(64) std::atomic<size_t> mRead{0};
};

} // namespace plug
