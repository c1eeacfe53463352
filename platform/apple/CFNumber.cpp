// Numbers and data blobs of the Core Foundation stand-in.
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/apple/CFRuntime.h"

using namespace ostra::apple;

namespace
{

bool isFloatType(CFNumberType t)
{
  return t == kCFNumberFloat32Type || t == kCFNumberFloat64Type || t == kCFNumberFloatType ||
         t == kCFNumberDoubleType;
}

template <typename T>
bool storeInteger(SInt64 v, void* out)
{
  const T converted = static_cast<T>(v);
  std::memcpy(out, &converted, sizeof(T));
  return static_cast<SInt64>(converted) == v;
}

template <typename T>
bool storeIntegerFromReal(Float64 v, void* out)
{
  T converted = 0;
  if (std::isfinite(v) && v >= static_cast<Float64>(std::numeric_limits<T>::min()) &&
      v <= static_cast<Float64>(std::numeric_limits<T>::max()))
    converted = static_cast<T>(v);
  std::memcpy(out, &converted, sizeof(T));
  return static_cast<Float64>(converted) == v;
}

template <typename T>
bool storeNumber(const __CFNumber& n, void* out)
{
  return n.isFloat ? storeIntegerFromReal<T>(n.real, out) : storeInteger<T>(n.integer, out);
}

} // namespace

extern "C"
{

  CFTypeID CFNumberGetTypeID(void)
  {
    return kNumberTypeID;
  }

  CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
  {
    if (!valuePtr)
      return nullptr;
    auto* n = new __CFNumber;
    n->type = theType;
    n->isFloat = isFloatType(theType);
    switch (theType)
    {
      case kCFNumberSInt8Type:
      case kCFNumberCharType:
        n->integer = *static_cast<const SInt8*>(valuePtr);
        break;
      case kCFNumberSInt16Type:
      case kCFNumberShortType:
        n->integer = *static_cast<const SInt16*>(valuePtr);
        break;
      case kCFNumberSInt32Type:
      case kCFNumberIntType:
        n->integer = *static_cast<const SInt32*>(valuePtr);
        break;
      case kCFNumberSInt64Type:
      case kCFNumberLongLongType:
        n->integer = *static_cast<const SInt64*>(valuePtr);
        break;
      case kCFNumberLongType:
        n->integer = *static_cast<const long*>(valuePtr);
        break;
      case kCFNumberCFIndexType:
        n->integer = *static_cast<const CFIndex*>(valuePtr);
        break;
      case kCFNumberFloat32Type:
      case kCFNumberFloatType:
        n->real = *static_cast<const Float32*>(valuePtr);
        break;
      case kCFNumberFloat64Type:
      case kCFNumberDoubleType:
        n->real = *static_cast<const Float64*>(valuePtr);
        break;
      default:
        delete n;
        return nullptr;
    }
    return n;
  }

  CFNumberType CFNumberGetType(CFNumberRef number)
  {
    const auto* n = as<const __CFNumber>(number, kNumberTypeID);
    return n ? n->type : 0;
  }

  Boolean CFNumberIsFloatType(CFNumberRef number)
  {
    const auto* n = as<const __CFNumber>(number, kNumberTypeID);
    return n && n->isFloat;
  }

  Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
  {
    const auto* n = as<const __CFNumber>(number, kNumberTypeID);
    if (!n || !valuePtr)
      return false;
    switch (theType)
    {
      case kCFNumberSInt8Type:
      case kCFNumberCharType:
        return storeNumber<SInt8>(*n, valuePtr);
      case kCFNumberSInt16Type:
      case kCFNumberShortType:
        return storeNumber<SInt16>(*n, valuePtr);
      case kCFNumberSInt32Type:
      case kCFNumberIntType:
        return storeNumber<SInt32>(*n, valuePtr);
      case kCFNumberSInt64Type:
      case kCFNumberLongLongType:
        return storeNumber<SInt64>(*n, valuePtr);
      case kCFNumberLongType:
        return storeNumber<long>(*n, valuePtr);
      case kCFNumberCFIndexType:
        return storeNumber<CFIndex>(*n, valuePtr);
      case kCFNumberFloat32Type:
      case kCFNumberFloatType:
      {
        const Float64 v = n->isFloat ? n->real : static_cast<Float64>(n->integer);
        const auto f = static_cast<Float32>(v);
        std::memcpy(valuePtr, &f, sizeof f);
        return static_cast<Float64>(f) == v || std::isnan(v);
      }
      case kCFNumberFloat64Type:
      case kCFNumberDoubleType:
      {
        const Float64 v = n->isFloat ? n->real : static_cast<Float64>(n->integer);
        std::memcpy(valuePtr, &v, sizeof v);
        return n->isFloat || static_cast<SInt64>(v) == n->integer;
      }
      default:
        return false;
    }
  }

  CFTypeID CFDataGetTypeID(void)
  {
    return kDataTypeID;
  }

  CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
  {
    if (length < 0 || (!bytes && length > 0))
      return nullptr;
    auto* d = new __CFData;
    if (length > 0)
      d->bytes.assign(bytes, bytes + length);
    return d;
  }

  CFIndex CFDataGetLength(CFDataRef theData)
  {
    const auto* d = as<const __CFData>(theData, kDataTypeID);
    return d ? static_cast<CFIndex>(d->bytes.size()) : 0;
  }

  const UInt8* CFDataGetBytePtr(CFDataRef theData)
  {
    const auto* d = as<const __CFData>(theData, kDataTypeID);
    return d && !d->bytes.empty() ? d->bytes.data() : nullptr;
  }

} // extern "C"
