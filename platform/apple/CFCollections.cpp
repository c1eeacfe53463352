// Dictionaries and arrays of the Core Foundation stand-in. Both hold few entries in practice
// (a state dictionary has six), so a linear search beats hashing here.
#include "platform/apple/CFRuntime.h"

using namespace ostra::apple;

namespace
{

const void* retainType(CFAllocatorRef, const void* value)
{
  return CFRetain(value);
}
void releaseType(CFAllocatorRef, const void* value)
{
  CFRelease(value);
}
CFStringRef describeType(const void*)
{
  return nullptr;
}
Boolean equalType(const void* a, const void* b)
{
  return CFEqual(a, b);
}
CFHashCode hashType(const void* value)
{
  return CFHash(value);
}

template <typename CallBacks>
const void* retained(const CallBacks& cb, const void* value)
{
  return cb.retain ? cb.retain(kCFAllocatorDefault, value) : value;
}

template <typename CallBacks>
void release(const CallBacks& cb, const void* value)
{
  if (cb.release)
    cb.release(kCFAllocatorDefault, value);
}

using Entries = std::vector<std::pair<const void*, const void*>>;

Entries::const_iterator find(const __CFDictionary& d, const void* key)
{
  for (auto it = d.entries.begin(); it != d.entries.end(); ++it)
    if (d.keyCallBacks.equal ? d.keyCallBacks.equal(it->first, key) != 0 : it->first == key)
      return it;
  return d.entries.end();
}

__CFDictionary* makeDictionary(const CFDictionaryKeyCallBacks* keyCallBacks,
                               const CFDictionaryValueCallBacks* valueCallBacks)
{
  auto* d = new __CFDictionary;
  if (keyCallBacks)
    d->keyCallBacks = *keyCallBacks;
  if (valueCallBacks)
    d->valueCallBacks = *valueCallBacks;
  return d;
}

__CFArray* makeArray(const CFArrayCallBacks* callBacks)
{
  auto* a = new __CFArray;
  if (callBacks)
    a->callBacks = *callBacks;
  return a;
}

} // namespace

__CFDictionary::~__CFDictionary()
{
  for (const auto& [key, value] : entries)
  {
    release(keyCallBacks, key);
    release(valueCallBacks, value);
  }
}

__CFArray::~__CFArray()
{
  for (const void* value : values)
    release(callBacks, value);
}

extern "C"
{

  const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
      0, retainType, releaseType, describeType, equalType, hashType};
  const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, retainType, releaseType,
                                                                      describeType, equalType};
  const CFArrayCallBacks kCFTypeArrayCallBacks = {0, retainType, releaseType, describeType,
                                                  equalType};

  CFTypeID CFDictionaryGetTypeID(void)
  {
    return kDictionaryTypeID;
  }

  CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values,
                                     CFIndex numValues,
                                     const CFDictionaryKeyCallBacks* keyCallBacks,
                                     const CFDictionaryValueCallBacks* valueCallBacks)
  {
    if (numValues < 0 || (numValues > 0 && (!keys || !values)))
      return nullptr;
    auto* d = makeDictionary(keyCallBacks, valueCallBacks);
    for (CFIndex i = 0; i < numValues; ++i)
      CFDictionarySetValue(d, keys[i], values[i]);
    return d;
  }

  CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                                   const CFDictionaryValueCallBacks* valueCallBacks)
  {
    auto* d = makeDictionary(keyCallBacks, valueCallBacks);
    if (capacity > 0)
      d->entries.reserve(static_cast<size_t>(capacity));
    return d;
  }

  CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
  {
    const auto* d = as<const __CFDictionary>(theDict, kDictionaryTypeID);
    return d ? static_cast<CFIndex>(d->entries.size()) : 0;
  }

  Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key)
  {
    return CFDictionaryGetValueIfPresent(theDict, key, nullptr);
  }

  const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
  {
    const void* value = nullptr;
    CFDictionaryGetValueIfPresent(theDict, key, &value);
    return value;
  }

  Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key,
                                        const void** value)
  {
    const auto* d = as<const __CFDictionary>(theDict, kDictionaryTypeID);
    if (!d)
      return false;
    const auto it = find(*d, key);
    if (it == d->entries.end())
      return false;
    if (value)
      *value = it->second;
    return true;
  }

  void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
  {
    auto* d = as<__CFDictionary>(theDict, kDictionaryTypeID);
    if (!d)
      return;
    // Retain the new value before releasing the old one: they may be the same object.
    const void* newValue = retained(d->valueCallBacks, value);
    const auto it = find(*d, key);
    if (it != d->entries.end())
    {
      auto& entry = d->entries[static_cast<size_t>(it - d->entries.begin())];
      release(d->valueCallBacks, entry.second);
      entry.second = newValue;
    }
    else
    {
      d->entries.emplace_back(retained(d->keyCallBacks, key), newValue);
    }
  }

  void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
  {
    if (!CFDictionaryContainsKey(theDict, key))
      CFDictionarySetValue(theDict, key, value);
  }

  void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
  {
    auto* d = as<__CFDictionary>(theDict, kDictionaryTypeID);
    if (!d)
      return;
    const auto it = find(*d, key);
    if (it == d->entries.end())
      return;
    const auto entry = *it;
    d->entries.erase(it);
    release(d->keyCallBacks, entry.first);
    release(d->valueCallBacks, entry.second);
  }

  CFTypeID CFArrayGetTypeID(void)
  {
    return kArrayTypeID;
  }

  CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues,
                           const CFArrayCallBacks* callBacks)
  {
    if (numValues < 0 || (numValues > 0 && !values))
      return nullptr;
    auto* a = makeArray(callBacks);
    for (CFIndex i = 0; i < numValues; ++i)
      CFArrayAppendValue(a, values[i]);
    return a;
  }

  CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity,
                                         const CFArrayCallBacks* callBacks)
  {
    auto* a = makeArray(callBacks);
    if (capacity > 0)
      a->values.reserve(static_cast<size_t>(capacity));
    return a;
  }

  CFIndex CFArrayGetCount(CFArrayRef theArray)
  {
    const auto* a = as<const __CFArray>(theArray, kArrayTypeID);
    return a ? static_cast<CFIndex>(a->values.size()) : 0;
  }

  const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
  {
    const auto* a = as<const __CFArray>(theArray, kArrayTypeID);
    if (!a || idx < 0 || idx >= static_cast<CFIndex>(a->values.size()))
      return nullptr;
    return a->values[static_cast<size_t>(idx)];
  }

  void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
  {
    auto* a = as<__CFArray>(theArray, kArrayTypeID);
    if (a)
      a->values.push_back(retained(a->callBacks, value));
  }

} // extern "C"
