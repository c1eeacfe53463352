// Private to the Core Foundation stand-in: the object layout behind the opaque CF references.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "platform/apple/CoreFoundation.h"

namespace ostra::apple
{

enum CFTypeIDs : CFTypeID
{
  kStringTypeID = 7,
  kNumberTypeID,
  kDataTypeID,
  kDictionaryTypeID,
  kArrayTypeID,
  kURLTypeID,
  kBundleTypeID,
  kRunLoopTypeID,
  kRunLoopTimerTypeID,
};

// Every CF object starts with this header. Immortal objects (constant strings, bundles)
// ignore retain and release, as Apple's constant objects do.
struct CFObject
{
  explicit CFObject(CFTypeID id, bool immortal = false)
    : typeID(id)
    , immortal(immortal)
  {
  }
  virtual ~CFObject() = default;
  CFObject(const CFObject&) = delete;
  CFObject& operator=(const CFObject&) = delete;

  const CFTypeID typeID;
  const bool immortal;
  std::atomic<CFIndex> retainCount{1};
};

inline CFObject* object(CFTypeRef cf)
{
  return const_cast<CFObject*>(static_cast<const CFObject*>(cf));
}

// Type checks that tolerate null and foreign pointers of another CF type.
template <typename T>
T* as(CFTypeRef cf, CFTypeID id)
{
  if (!cf || object(cf)->typeID != id)
    return nullptr;
  return static_cast<T*>(object(cf));
}

} // namespace ostra::apple

struct __CFString : ostra::apple::CFObject
{
  explicit __CFString(std::string s, bool immortal = false)
    : CFObject(ostra::apple::kStringTypeID, immortal)
    , utf8(std::move(s))
  {
  }
  std::string utf8;
};

struct __CFNumber : ostra::apple::CFObject
{
  __CFNumber()
    : CFObject(ostra::apple::kNumberTypeID)
  {
  }
  CFNumberType type = kCFNumberSInt64Type;
  bool isFloat = false;
  SInt64 integer = 0;
  Float64 real = 0.0;
};

struct __CFData : ostra::apple::CFObject
{
  __CFData()
    : CFObject(ostra::apple::kDataTypeID)
  {
  }
  std::vector<UInt8> bytes;
};

struct __CFDictionary : ostra::apple::CFObject
{
  __CFDictionary()
    : CFObject(ostra::apple::kDictionaryTypeID)
  {
  }
  ~__CFDictionary() override;
  CFDictionaryKeyCallBacks keyCallBacks{};
  CFDictionaryValueCallBacks valueCallBacks{};
  std::vector<std::pair<const void*, const void*>> entries;
};

struct __CFArray : ostra::apple::CFObject
{
  __CFArray()
    : CFObject(ostra::apple::kArrayTypeID)
  {
  }
  ~__CFArray() override;
  CFArrayCallBacks callBacks{};
  std::vector<const void*> values;
};

struct __CFURL : ostra::apple::CFObject
{
  __CFURL()
    : CFObject(ostra::apple::kURLTypeID)
  {
  }
  ~__CFURL() override;
  CFStringRef path = nullptr;   // POSIX path, owned
  CFStringRef string = nullptr; // "file://" form, owned
};

struct __CFBundle : ostra::apple::CFObject
{
  __CFBundle()
    : CFObject(ostra::apple::kBundleTypeID, true)
  {
  }
  CFStringRef identifier = nullptr;
  CFStringRef version = nullptr;
  CFStringRef path = nullptr;
};
