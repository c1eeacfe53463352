// The part of Core Foundation the Audio Unit binding uses: reference-counted strings, numbers,
// data, dictionaries and arrays, plus bundle and URL lookup. Names, values and ownership rules
// (the "Create"/"Copy" rule: the caller releases; the "Get" rule: the caller does not) follow
// Apple's documented interface, so the binding compiles unchanged against the real framework.
// Any thread may use these functions; a mutable object must not be changed by two threads at once.
#pragma once

#include "platform/apple/MacTypes.h"

extern "C"
{

  typedef const void* CFTypeRef;
  typedef signed long CFIndex;
  typedef unsigned long CFTypeID;
  typedef unsigned long CFHashCode;
  typedef unsigned long CFOptionFlags;

  typedef const struct __CFAllocator* CFAllocatorRef;
  typedef const struct __CFString* CFStringRef;
  typedef struct __CFString* CFMutableStringRef;
  typedef const struct __CFNumber* CFNumberRef;
  typedef const struct __CFData* CFDataRef;
  typedef const struct __CFDictionary* CFDictionaryRef;
  typedef struct __CFDictionary* CFMutableDictionaryRef;
  typedef const struct __CFArray* CFArrayRef;
  typedef struct __CFArray* CFMutableArrayRef;
  typedef const struct __CFURL* CFURLRef;
  typedef struct __CFBundle* CFBundleRef;
  typedef struct __CFRunLoop* CFRunLoopRef;

// The default allocator is the null allocator, as in Apple's headers.
#define kCFAllocatorDefault ((CFAllocatorRef) nullptr)

  enum : CFIndex
  {
    kCFNotFound = -1
  };

  typedef UInt32 CFStringEncoding;
  enum : CFStringEncoding
  {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
  };

  typedef CFIndex CFNumberType;
  enum : CFNumberType
  {
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14,
  };

  typedef CFIndex CFURLPathStyle;
  enum : CFURLPathStyle
  {
    kCFURLPOSIXPathStyle = 0
  };

  // Base operations.
  CFTypeRef CFRetain(CFTypeRef cf);
  void CFRelease(CFTypeRef cf);
  CFIndex CFGetRetainCount(CFTypeRef cf);
  CFTypeID CFGetTypeID(CFTypeRef cf);
  Boolean CFEqual(CFTypeRef a, CFTypeRef b);
  CFHashCode CFHash(CFTypeRef cf);

  // Strings. CFSTR gives an immortal string (retain and release do nothing), like Apple's constant
  // strings.
  CFTypeID CFStringGetTypeID(void);
  CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
  CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                        CFStringEncoding encoding);
  CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                      CFStringEncoding encoding, Boolean isExternalRepresentation);
  CFIndex CFStringGetLength(CFStringRef str);
  CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
  Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize,
                             CFStringEncoding encoding);
  const char* CFStringGetCStringPtr(CFStringRef str, CFStringEncoding encoding);

  // Numbers.
  CFTypeID CFNumberGetTypeID(void);
  CFNumberRef CFNumberCreate(CFAllocatorRef alloc, CFNumberType theType, const void* valuePtr);
  CFNumberType CFNumberGetType(CFNumberRef number);
  Boolean CFNumberIsFloatType(CFNumberRef number);
  // False when the stored value does not fit the requested type exactly (the value is still
  // converted).
  Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);

  // Data.
  CFTypeID CFDataGetTypeID(void);
  CFDataRef CFDataCreate(CFAllocatorRef alloc, const UInt8* bytes, CFIndex length);
  CFIndex CFDataGetLength(CFDataRef theData);
  const UInt8* CFDataGetBytePtr(CFDataRef theData);

  // Dictionaries.
  typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void* value);
  typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void* value);
  typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
  typedef Boolean (*CFDictionaryEqualCallBack)(const void* value1, const void* value2);
  typedef CFHashCode (*CFDictionaryHashCallBack)(const void* value);
  typedef struct
  {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
  } CFDictionaryKeyCallBacks;
  typedef struct
  {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
  } CFDictionaryValueCallBacks;
  extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
  extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

  CFTypeID CFDictionaryGetTypeID(void);
  CFDictionaryRef CFDictionaryCreate(CFAllocatorRef alloc, const void** keys, const void** values,
                                     CFIndex numValues,
                                     const CFDictionaryKeyCallBacks* keyCallBacks,
                                     const CFDictionaryValueCallBacks* valueCallBacks);
  CFMutableDictionaryRef
  CFDictionaryCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                            const CFDictionaryKeyCallBacks* keyCallBacks,
                            const CFDictionaryValueCallBacks* valueCallBacks);
  CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
  Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key);
  const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
  Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key,
                                        const void** value);
  void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
  void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
  void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key);

  // Arrays.
  typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
  typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
  typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
  typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);
  typedef struct
  {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
  } CFArrayCallBacks;
  extern const CFArrayCallBacks kCFTypeArrayCallBacks;

  CFTypeID CFArrayGetTypeID(void);
  CFArrayRef CFArrayCreate(CFAllocatorRef alloc, const void** values, CFIndex numValues,
                           const CFArrayCallBacks* callBacks);
  CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                                         const CFArrayCallBacks* callBacks);
  CFIndex CFArrayGetCount(CFArrayRef theArray);
  const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
  void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);

  // URLs and bundles.
  CFTypeID CFURLGetTypeID(void);
  CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef alloc, CFStringRef filePath,
                                         CFURLPathStyle pathStyle, Boolean isDirectory);
  CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle pathStyle);
  CFStringRef CFURLGetString(CFURLRef url);

  CFTypeID CFBundleGetTypeID(void);
  extern const CFStringRef kCFBundleIdentifierKey;
  extern const CFStringRef kCFBundleVersionKey;
  extern const CFStringRef kCFBundleNameKey;
  CFBundleRef CFBundleGetMainBundle(void);
  CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
  CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
  CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
  CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
  /** The bundle at a file URL, or null when none is there. Bundles live as long as the process:
   *  the result may be released or not. */
  CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);

} // extern "C"
