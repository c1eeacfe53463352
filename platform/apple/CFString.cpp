// Strings of the Core Foundation stand-in, held as UTF-8.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/apple/CFRuntime.h"

using namespace ostra::apple;

namespace
{

bool isAscii(const std::string& s)
{
  for (unsigned char c : s)
    if (c >= 0x80)
      return false;
  return true;
}

// Number of UTF-16 code units, which is what Apple's lengths count.
CFIndex utf16Length(const std::string& s)
{
  CFIndex n = 0;
  for (size_t i = 0; i < s.size(); ++i)
  {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) == 0x80)
      continue;               // continuation byte
    n += (c >= 0xF0) ? 2 : 1; // four-byte sequences need a surrogate pair
  }
  return n;
}

std::mutex& constantsMutex()
{
  static std::mutex m;
  return m;
}

} // namespace

extern "C"
{

  CFTypeID CFStringGetTypeID(void)
  {
    return kStringTypeID;
  }

  CFStringRef __CFStringMakeConstantString(const char* cStr)
  {
    // Interned so that repeated CFSTR uses of one literal do not grow memory.
    static std::map<std::string, std::unique_ptr<__CFString>> constants;
    const std::string key = cStr ? cStr : "";
    std::lock_guard lock(constantsMutex());
    auto& slot = constants[key];
    if (!slot)
      slot = std::make_unique<__CFString>(key, true);
    return slot.get();
  }

  CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
  {
    if (!cStr)
      return nullptr;
    std::string s(cStr);
    if (encoding == kCFStringEncodingASCII && !isAscii(s))
      return nullptr;
    if (encoding != kCFStringEncodingASCII && encoding != kCFStringEncodingUTF8 &&
        encoding != kCFStringEncodingMacRoman)
      return nullptr;
    return new __CFString(std::move(s));
  }

  CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                      CFStringEncoding encoding, Boolean)
  {
    if (numBytes < 0 || (!bytes && numBytes > 0))
      return nullptr;
    std::string s(reinterpret_cast<const char*>(bytes), static_cast<size_t>(numBytes));
    if (encoding == kCFStringEncodingASCII && !isAscii(s))
      return nullptr;
    return new __CFString(std::move(s));
  }

  CFIndex CFStringGetLength(CFStringRef str)
  {
    const auto* s = as<const __CFString>(str, kStringTypeID);
    return s ? utf16Length(s->utf8) : 0;
  }

  CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding)
  {
    return encoding == kCFStringEncodingUTF8 ? length * 3 : length;
  }

  Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize,
                             CFStringEncoding encoding)
  {
    const auto* s = as<const __CFString>(str, kStringTypeID);
    if (!s || !buffer || bufferSize <= 0)
      return false;
    if (encoding == kCFStringEncodingASCII && !isAscii(s->utf8))
      return false;
    if (static_cast<CFIndex>(s->utf8.size()) + 1 > bufferSize)
      return false;
    std::memcpy(buffer, s->utf8.c_str(), s->utf8.size() + 1);
    return true;
  }

  const char* CFStringGetCStringPtr(CFStringRef str, CFStringEncoding encoding)
  {
    const auto* s = as<const __CFString>(str, kStringTypeID);
    if (!s || encoding != kCFStringEncodingUTF8)
      return nullptr;
    return s->utf8.c_str();
  }

} // extern "C"
