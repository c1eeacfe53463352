// The Core Foundation and component stand-in behaviour the binding relies on.
#include "AUHost.h"

#include <gtest/gtest.h>

using namespace au_test;

namespace
{

TEST(StandInCF, CollectionsOwnTheirValuesAndConstantsAreImmortal)
{
  CFStringRef s = Key("value").Release();
  CFStringRef other = Key("other").Release();
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(dict, CFSTR("k"), s);
  CFDictionarySetValue(dict, CFSTR("k"), s); // the same value again stays alive
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFDictionarySetValue(dict, CFSTR("k"), other); // replacing releases the old value
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(array, s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(array);
  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFGetRetainCount(other), 1);
  CFRelease(other);
  CFRelease(s);

  EXPECT_EQ(CFSTR("same"), CFSTR("same"));
  CFRelease(CFSTR("same"));
  EXPECT_GT(CFGetRetainCount(CFSTR("same")), 1000);
  CFRelease(nullptr); // tolerated
}

TEST(StandInCF, DictionaryFindsKeysByContentAndToleratesForeignObjects)
{
  plug::CFRef<CFMutableDictionaryRef> dict(CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  SetNumber(dict.Get(), "subtype", 7);
  const void* n = CFDictionaryGetValue(dict.Get(), CFSTR("subtype")); // another object, same text
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(CFDictionaryGetValue(dict.Get(), CFSTR("Subtype")), nullptr);
  CFDictionaryAddValue(dict.Get(), CFSTR("subtype"), CFSTR("ignored")); // present already
  EXPECT_EQ(CFDictionaryGetValue(dict.Get(), CFSTR("subtype")), n);
  CFDictionaryRemoveValue(dict.Get(), CFSTR("subtype"));
  EXPECT_EQ(CFDictionaryGetCount(dict.Get()), 0);
  // Anything else where a dictionary belongs answers like an empty dictionary.
  EXPECT_EQ(CFDictionaryGetValue(reinterpret_cast<CFDictionaryRef>(CFSTR("x")), CFSTR("x")),
            nullptr);
  EXPECT_EQ(CFDictionaryGetCount(nullptr), 0);
}

} // namespace
