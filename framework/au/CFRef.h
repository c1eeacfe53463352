#pragma once

#include "platform/apple/AudioUnitSDK.h"

namespace plug
{

/** Owns one Core Foundation reference (the "Create"/"Copy" rule) and releases it once. */
template <typename T>
class CFRef
{
public:
  CFRef() = default;
  explicit CFRef(T ref) noexcept
    : mRef(ref)
  {
  }
  ~CFRef() { Reset(); }
  CFRef(CFRef&& other) noexcept
    : mRef(other.Release())
  {
  }
  CFRef& operator=(CFRef&& other) noexcept
  {
    if (this != &other)
    {
      Reset();
      mRef = other.Release();
    }
    return *this;
  }
  CFRef(const CFRef&) = delete;
  CFRef& operator=(const CFRef&) = delete;

  T Get() const noexcept { return mRef; }
  explicit operator bool() const noexcept { return mRef != nullptr; }
  /** Gives the reference away; the caller releases it. */
  T Release() noexcept
  {
    T ref = mRef;
    mRef = nullptr;
    return ref;
  }
  void Reset(T ref = nullptr) noexcept
  {
    if (mRef)
      CFRelease(mRef);
    mRef = ref;
  }

private:
  T mRef = nullptr;
};

} // namespace plug
