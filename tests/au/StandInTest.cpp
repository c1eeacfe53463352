// Behaviour of the Core Foundation and component stand-in that the binding relies on.
#include "platform/apple/AudioUnitSDK.h"
#include "platform/apple/StandInEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

CFStringRef Str(const char *s) {
  return CFStringCreateWithCString(kCFAllocatorDefault, s, kCFStringEncodingUTF8);
}

TEST(StandInCF, RetainReleaseCountsAndCollectionsOwnTheirValues) {
  CFStringRef s = Str("value");
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRetain(s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(s);
  EXPECT_EQ(CFGetRetainCount(s), 1);

  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFStringRef key = Str("k");
  CFDictionarySetValue(dict, key, s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  EXPECT_EQ(CFGetRetainCount(key), 2);

  // Replacing a value releases the old one; setting the same value again keeps it alive.
  CFDictionarySetValue(dict, key, s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFStringRef other = Str("other");
  CFDictionarySetValue(dict, key, other);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFGetRetainCount(other), 2);

  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(array, s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(array);
  EXPECT_EQ(CFGetRetainCount(s), 1);

  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(other), 1);
  EXPECT_EQ(CFGetRetainCount(key), 1);
  CFRelease(other);
  CFRelease(key);
  CFRelease(s);

  // Constant strings are immortal and shared per text.
  EXPECT_EQ(CFSTR("same"), CFSTR("same"));
  CFRelease(CFSTR("same"));
  EXPECT_GT(CFGetRetainCount(CFSTR("same")), 1000);
  CFRelease(nullptr); // tolerated
}

TEST(StandInCF, DictionaryFindsKeysByContentAndChecksNothingElse) {
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  SInt32 seven = 7;
  CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &seven);
  CFDictionarySetValue(dict, CFSTR("subtype"), n);

  CFStringRef lookup = Str("subtype"); // a different object with the same text
  const void *found = nullptr;
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(dict, lookup, &found));
  EXPECT_EQ(found, n);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("Subtype")), nullptr);
  EXPECT_FALSE(CFDictionaryContainsKey(dict, CFSTR("data")));
  EXPECT_EQ(CFDictionaryGetCount(dict), 1);

  CFDictionaryAddValue(dict, lookup, CFSTR("ignored")); // present already
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("subtype")), n);
  CFDictionaryRemoveValue(dict, CFSTR("subtype"));
  EXPECT_EQ(CFDictionaryGetCount(dict), 0);

  // Foreign objects where a dictionary belongs answer like an empty dictionary.
  EXPECT_EQ(CFDictionaryGetValue(reinterpret_cast<CFDictionaryRef>(n), CFSTR("x")), nullptr);
  EXPECT_EQ(CFDictionaryGetCount(nullptr), 0);

  CFRelease(lookup);
  CFRelease(n);
  CFRelease(dict);
}

TEST(StandInCF, NumbersStringsAndDataConvertFaithfully) {
  const SInt64 big = 0x1'0000'0001LL;
  CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &big);
  SInt32 narrow = 0;
  EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &narrow)); // lossy
  SInt64 wide = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &wide));
  EXPECT_EQ(wide, big);
  CFRelease(n);

  const Float64 half = 0.5;
  CFNumberRef f = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &half);
  SInt32 truncated = -1;
  EXPECT_FALSE(CFNumberGetValue(f, kCFNumberSInt32Type, &truncated));
  EXPECT_EQ(truncated, 0);
  EXPECT_TRUE(CFNumberIsFloatType(f));
  CFRelease(f);

  CFStringRef s = Str("Delay \xC3\xA9");
  EXPECT_EQ(CFStringGetLength(s), 7); // UTF-16 units, as Apple counts
  char small[4];
  EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8));
  char buffer[32];
  ASSERT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8));
  EXPECT_STREQ(buffer, "Delay \xC3\xA9");
  EXPECT_FALSE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingASCII));
  CFRelease(s);

  const UInt8 bytes[] = {1, 2, 0, 4};
  CFDataRef d = CFDataCreate(kCFAllocatorDefault, bytes, 4);
  ASSERT_EQ(CFDataGetLength(d), 4);
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(d), bytes, 4), 0);
  CFDataRef same = CFDataCreate(kCFAllocatorDefault, bytes, 4);
  EXPECT_TRUE(CFEqual(d, same));
  CFRelease(same);
  CFRelease(d);
  EXPECT_EQ(CFDataCreate(kCFAllocatorDefault, nullptr, 3), nullptr);
}

TEST(StandInCF, BundlesAreFoundByIdentifierWithTheirURL) {
  ostra::apple::registerBundle("com.example.standin", "/opt/plugins/Example.component", "2.3.4");
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.example.standin"));
  ASSERT_NE(bundle, nullptr);
  EXPECT_TRUE(CFEqual(CFBundleGetValueForInfoDictionaryKey(bundle, kCFBundleVersionKey), CFSTR("2.3.4")));
  CFURLRef url = CFBundleCopyBundleURL(bundle);
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  EXPECT_TRUE(CFEqual(path, CFSTR("/opt/plugins/Example.component")));
  EXPECT_TRUE(CFEqual(CFURLGetString(url), CFSTR("file:///opt/plugins/Example.component/")));
  CFRelease(path);
  CFRelease(url);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.missing")), nullptr);
}

// A minimal unit: answers only GetParameter, to check the host-side dispatch.
OSStatus FakeGetParameter(void *, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement,
                          AudioUnitParameterValue *v) {
  *v = static_cast<AudioUnitParameterValue>(id) * 2.0f;
  return noErr;
}
int gFakeOpens = 0;
int gFakeCloses = 0;
OSStatus FakeOpen(void *, AudioComponentInstance) {
  return ++gFakeOpens > 1 ? OSStatus{kAudio_ParamError} : noErr;
}
OSStatus FakeClose(void *) {
  ++gFakeCloses;
  return noErr;
}
AudioComponentMethod FakeLookup(SInt16 selector) {
  return selector == kAudioUnitGetParameterSelect ? reinterpret_cast<AudioComponentMethod>(FakeGetParameter)
                                                  : nullptr;
}
AudioComponentPlugInInterface gFakeInterface{FakeOpen, FakeClose, FakeLookup, nullptr};
AudioComponentPlugInInterface *FakeFactory(const AudioComponentDescription *) {
  return &gFakeInterface;
}

TEST(StandInComponents, RegistryFindsByDescriptionAndDispatchesThroughLookup) {
  const AudioComponentDescription desc{0x66616B65 /*'fake'*/, 0x74737431, 0x54657374, 0, 0};
  AudioComponent component = AudioComponentRegister(&desc, CFSTR("Test: fake"), 3, FakeFactory);
  ASSERT_NE(component, nullptr);
  const AudioComponentDescription wildcard{0x66616B65, 0, 0, 0, 0};
  EXPECT_EQ(AudioComponentFindNext(nullptr, &wildcard), component);
  EXPECT_EQ(AudioComponentFindNext(component, &wildcard), nullptr);

  AudioComponentInstance unit = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &unit), noErr);
  EXPECT_EQ(AudioComponentInstanceGetComponent(unit), component);
  AudioUnitParameterValue value = 0;
  EXPECT_EQ(AudioUnitGetParameter(unit, 21, kAudioUnitScope_Global, 0, &value), noErr);
  EXPECT_EQ(value, 42.0f);
  EXPECT_EQ(AudioUnitInitialize(unit), badComponentSelector);
  EXPECT_FALSE(AudioComponentInstanceCanDo(unit, kAudioUnitRenderSelect));
  EXPECT_EQ(AudioComponentInstanceDispose(unit), noErr);
  EXPECT_EQ(gFakeCloses, 1);

  // A failing open is closed again and yields no instance.
  AudioComponentInstance failed = reinterpret_cast<AudioComponentInstance>(&gFakeOpens);
  EXPECT_EQ(AudioComponentInstanceNew(component, &failed), kAudio_ParamError);
  EXPECT_EQ(failed, nullptr);
  EXPECT_EQ(gFakeCloses, 2);
}

struct Received {
  std::vector<AudioUnitEventType> types;
  std::vector<AudioUnitParameterValue> values;
};

void Listen(void *user, void *, const AudioUnitEvent *event, UInt64, AudioUnitParameterValue value) {
  auto *r = static_cast<Received *>(user);
  r->types.push_back(event->mEventType);
  r->values.push_back(value);
}

TEST(StandInEvents, ListenersGetOnlyTheirEventsAndValueChangesCarryTheValue) {
  const AudioComponentDescription desc{0x66616B65, 0x74737432, 0x54657374, 0, 0};
  AudioComponent component = AudioComponentRegister(&desc, CFSTR("Test: fake 2"), 1, FakeFactory);
  gFakeOpens = 0;
  AudioComponentInstance unit = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &unit), noErr);

  Received received;
  AUEventListenerRef listener = nullptr;
  ASSERT_EQ(AUEventListenerCreate(Listen, &received, nullptr, nullptr, 0.0f, 0.0f, &listener), noErr);
  AudioUnitEvent event{};
  event.mArgument.mParameter = {unit, 5, kAudioUnitScope_Global, 0};
  for (AudioUnitEventType t :
       {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
        kAudioUnitEvent_EndParameterChangeGesture}) {
    event.mEventType = t;
    ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &event), noErr);
  }

  event.mEventType = kAudioUnitEvent_ParameterValueChange;
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &event), noErr);
  event.mArgument.mParameter.mParameterID = 6; // not registered
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &event), noErr);
  event.mArgument.mParameter.mParameterID = 5;
  EXPECT_EQ(AUEventListenerNotify(listener, nullptr, &event), noErr); // the sender itself is skipped

  ASSERT_EQ(received.types.size(), 1u);
  EXPECT_EQ(received.types[0], kAudioUnitEvent_ParameterValueChange);
  EXPECT_EQ(received.values[0], 10.0f);

  EXPECT_EQ(AUListenerDispose(listener), noErr);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &event), noErr);
  EXPECT_EQ(received.types.size(), 1u);
  AudioComponentInstanceDispose(unit);
}

} // namespace
