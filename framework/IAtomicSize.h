#pragma once

#include <atomic>
#include <cstdint>

namespace plug
{

/**
 * A width and height that one thread stores while another reads them: a host may save
 * state on its own thread while the main thread resizes the editor. Both halves live in
 * one lock-free word, so a reader never gets the width of one size with the height of
 * another. Any thread; real-time safe.
 */
class IAtomicSize
{
public:
  struct Size
  {
    int width = 0;
    int height = 0;
  };

  IAtomicSize(int width = 0, int height = 0) noexcept
    : mBits(Pack(width, height))
  {
  }

  void Store(int width, int height) noexcept { mBits.store(Pack(width, height)); }

  Size Load() const noexcept
  {
    const std::uint64_t bits = mBits.load();
    return {static_cast<int>(static_cast<std::int32_t>(bits >> 32)),
            static_cast<int>(static_cast<std::int32_t>(bits & 0xffffffffu))};
  }

private:
  static std::uint64_t Pack(int width, int height) noexcept
  {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) << 32) |
           static_cast<std::uint32_t>(height);
  }

  std::atomic<std::uint64_t> mBits;
  static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

} // namespace plug
