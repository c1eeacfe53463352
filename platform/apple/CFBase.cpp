// Reference counting, type identity, equality and hashing for the Core Foundation stand-in.
#include <cstring>
#include <functional>

#include "platform/apple/CFRuntime.h"

using namespace ostra::apple;

namespace
{

// Apple crashes on a null argument; a host that passes one here gets a no-op instead.
bool equalValues(CFTypeRef a, CFTypeRef b, Boolean (*equal)(const void*, const void*))
{
  return equal ? equal(a, b) != 0 : a == b;
}

bool equalDictionaries(const __CFDictionary& a, const __CFDictionary& b)
{
  if (a.entries.size() != b.entries.size())
    return false;
  for (const auto& [key, value] : a.entries)
  {
    const void* other = nullptr;
    if (!CFDictionaryGetValueIfPresent(&b, key, &other))
      return false;
    if (!equalValues(value, other, a.valueCallBacks.equal))
      return false;
  }
  return true;
}

bool equalArrays(const __CFArray& a, const __CFArray& b)
{
  if (a.values.size() != b.values.size())
    return false;
  for (size_t i = 0; i < a.values.size(); ++i)
    if (!equalValues(a.values[i], b.values[i], a.callBacks.equal))
      return false;
  return true;
}

bool equalNumbers(const __CFNumber& a, const __CFNumber& b)
{
  if (!a.isFloat && !b.isFloat)
    return a.integer == b.integer;
  const Float64 x = a.isFloat ? a.real : static_cast<Float64>(a.integer);
  const Float64 y = b.isFloat ? b.real : static_cast<Float64>(b.integer);
  return x == y;
}

} // namespace

extern "C"
{

  CFTypeRef CFRetain(CFTypeRef cf)
  {
    if (cf && !object(cf)->immortal)
      object(cf)->retainCount.fetch_add(1, std::memory_order_relaxed);
    return cf;
  }

  void CFRelease(CFTypeRef cf)
  {
    if (!cf || object(cf)->immortal)
      return;
    if (object(cf)->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete object(cf);
  }

  CFIndex CFGetRetainCount(CFTypeRef cf)
  {
    if (!cf)
      return 0;
    // Immortal objects report a huge count, as Apple's constant objects do.
    return object(cf)->immortal ? CFIndex{0x7fffffff}
                                : object(cf)->retainCount.load(std::memory_order_relaxed);
  }

  CFTypeID CFGetTypeID(CFTypeRef cf)
  {
    return cf ? object(cf)->typeID : 0;
  }

  Boolean CFEqual(CFTypeRef a, CFTypeRef b)
  {
    if (a == b)
      return true;
    if (!a || !b || object(a)->typeID != object(b)->typeID)
      return false;
    switch (object(a)->typeID)
    {
      case kStringTypeID:
        return static_cast<const __CFString*>(a)->utf8 == static_cast<const __CFString*>(b)->utf8;
      case kNumberTypeID:
        return equalNumbers(*static_cast<const __CFNumber*>(a), *static_cast<const __CFNumber*>(b));
      case kDataTypeID:
        return static_cast<const __CFData*>(a)->bytes == static_cast<const __CFData*>(b)->bytes;
      case kDictionaryTypeID:
        return equalDictionaries(*static_cast<const __CFDictionary*>(a),
                                 *static_cast<const __CFDictionary*>(b));
      case kArrayTypeID:
        return equalArrays(*static_cast<const __CFArray*>(a), *static_cast<const __CFArray*>(b));
      case kURLTypeID:
        return CFEqual(static_cast<const __CFURL*>(a)->string,
                       static_cast<const __CFURL*>(b)->string);
      default:
        return false;
    }
  }

  CFHashCode CFHash(CFTypeRef cf)
  {
    if (!cf)
      return 0;
    switch (object(cf)->typeID)
    {
      case kStringTypeID:
        return std::hash<std::string>{}(static_cast<const __CFString*>(cf)->utf8);
      case kNumberTypeID:
      {
        const auto* n = static_cast<const __CFNumber*>(cf);
        return std::hash<double>{}(n->isFloat ? n->real : static_cast<double>(n->integer));
      }
      case kDataTypeID:
        return static_cast<const __CFData*>(cf)->bytes.size();
      default:
        return reinterpret_cast<CFHashCode>(cf);
    }
  }

} // extern "C"
