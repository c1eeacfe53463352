// Saving and restoring the class-info state through the host's property calls.
#include "AUHost.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace au_test;

namespace {

// Host automation of a few parameters away from their defaults.
void MoveParameters(Host &host) {
  ASSERT_EQ(host.SetParam(1, 750.0f), noErr);  // Time L
  ASSERT_EQ(host.SetParam(3, 5.0f), noErr);    // Note L
  ASSERT_EQ(host.SetParam(5, 0.0f), noErr);    // Sync
  ASSERT_EQ(host.SetParam(7, 62.5f), noErr);   // Feedback
  ASSERT_EQ(host.SetParam(8, 1.0f), noErr);    // Ping Pong
  ASSERT_EQ(host.SetParam(10, 200.0f), noErr); // Low Cut
  ASSERT_EQ(host.SetParam(13, -40.0f), noErr); // Width
  ASSERT_EQ(host.SetParam(17, 70.0f), noErr);  // Mix
}

// Where a chunk's parameter values start: after the header and name of the product's own
// form, at 0 for a bare list of values.
size_t ValuesStart(const std::vector<UInt8> &chunk) {
  if (chunk.size() >= 24 && std::memcmp(chunk.data(), "1STO", 4) == 0) {
    std::int32_t nameLength = 0;
    std::memcpy(&nameLength, chunk.data() + 20, 4);
    return 32 + static_cast<size_t>(std::max(nameLength, 0));
  }
  return 0;
}

TEST(AUState, ClassInfoCarriesIdentityAndTheStateChunk) {
  Host host;
  MoveParameters(host);
  auto state = host.SaveState();
  ASSERT_TRUE(state);
  ASSERT_EQ(CFGetTypeID(state.Get()), CFDictionaryGetTypeID());

  auto number = [&](const char *key) {
    plug::CFRef<CFStringRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
    SInt64 value = -1;
    const void *n = CFDictionaryGetValue(state.Get(), k.Get());
    EXPECT_TRUE(n && CFNumberGetValue(static_cast<CFNumberRef>(n), kCFNumberSInt64Type, &value)) << key;
    return value;
  };
  EXPECT_EQ(number("version"), 0x10000);
  EXPECT_EQ(number("type"), static_cast<SInt64>(kAudioUnitType_Effect));
  EXPECT_EQ(number("subtype"), static_cast<SInt64>(kSubtype));
  EXPECT_EQ(number("manufacturer"), static_cast<SInt64>(kManufacturer));
  EXPECT_TRUE(CFEqual(CFDictionaryGetValue(state.Get(), CFSTR("name")), CFSTR("")));

  // "data" is exactly what the plug-in writes as its state.
  plug::IByteChunk chunk;
  ASSERT_TRUE(host.Object<OstraTapeDelay>()->SerializeState(chunk));
  const std::vector<UInt8> data = DataBytes(state.Get(), "data");
  ASSERT_EQ(data.size(), static_cast<size_t>(chunk.ByteCount()));
  EXPECT_EQ(std::memcmp(data.data(), chunk.Bytes(), data.size()), 0);
  EXPECT_EQ(CFGetRetainCount(state.Get()), 1); // the host owns the only reference
}

TEST(AUState, RestoreIntoASecondInstanceSetsEveryParameter) {
  Host source;
  MoveParameters(source);
  auto state = source.SaveState();

  Host target;
  const std::vector<Float32> defaults = target.AllParams();
  ASSERT_NE(defaults, source.AllParams());
  ASSERT_EQ(target.RestoreState(state.Get()), noErr);
  EXPECT_EQ(target.AllParams(), source.AllParams());

  // The restored unit saves the same parameter values again.
  auto again = target.SaveState();
  const std::vector<UInt8> a = DataBytes(state.Get(), "data");
  const std::vector<UInt8> b = DataBytes(again.Get(), "data");
  ASSERT_EQ(a.size(), b.size());
  const size_t start = ValuesStart(a);
  EXPECT_EQ(std::memcmp(a.data() + start, b.data() + start, 18 * 8), 0);

  // The version is not compared.
  auto newer = CopyDictionary(state.Get());
  SetNumber(newer.Get(), "version", 0x20000);
  EXPECT_EQ(target.RestoreState(newer.Get()), noErr);
}

TEST(AUState, ForeignOrIncompleteDictionariesAreRefusedAndChangeNothing) {
  Host source;
  MoveParameters(source);
  auto state = source.SaveState();

  Host target;
  ASSERT_EQ(target.SetParam(7, 12.0f), noErr);
  const std::vector<Float32> before = target.AllParams();
  const std::vector<UInt8> savedBefore = DataBytes(target.SaveState().Get(), "data");

  auto otherSubtype = CopyDictionary(state.Get());
  SetNumber(otherSubtype.Get(), "subtype", 0x4F746872); // 'Othr'
  auto otherMaker = CopyDictionary(state.Get());
  SetNumber(otherMaker.Get(), "manufacturer", 0x41706C65);
  auto otherType = CopyDictionary(state.Get());
  SetNumber(otherType.Get(), "type", kAudioUnitType_MusicDevice);
  auto noName = CopyDictionary(state.Get());
  RemoveKey(noName.Get(), "name");
  auto noVersion = CopyDictionary(state.Get());
  RemoveKey(noVersion.Get(), "version");
  auto noData = CopyDictionary(state.Get());
  RemoveKey(noData.Get(), "data");
  auto subtypeAsText = CopyDictionary(state.Get());
  CFDictionarySetValue(subtypeAsText.Get(), CFSTR("subtype"), CFSTR("OsTd"));

  for (CFTypeRef bad : {static_cast<CFTypeRef>(otherSubtype.Get()), static_cast<CFTypeRef>(otherMaker.Get()),
                        static_cast<CFTypeRef>(otherType.Get()), static_cast<CFTypeRef>(noName.Get()),
                        static_cast<CFTypeRef>(noVersion.Get()), static_cast<CFTypeRef>(noData.Get()),
                        static_cast<CFTypeRef>(subtypeAsText.Get()),
                        static_cast<CFTypeRef>(CFSTR("not a dictionary")), static_cast<CFTypeRef>(nullptr)}) {
    EXPECT_EQ(target.RestoreState(bad), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(target.AllParams(), before);
  }
  EXPECT_EQ(DataBytes(target.SaveState().Get(), "data"), savedBefore);
}

TEST(AUState, AChunkCutInsideTheValuesIsRefused) {
  Host source;
  MoveParameters(source);
  auto state = source.SaveState();
  std::vector<UInt8> data = DataBytes(state.Get(), "data");
  const size_t cut = ValuesStart(data) + 5 * 8 + 3; // inside the sixth value
  ASSERT_LT(cut, data.size());
  data.resize(cut);
  auto damaged = CopyDictionary(state.Get());
  SetData(damaged.Get(), "data", data);

  Host target;
  EXPECT_EQ(target.RestoreState(damaged.Get()), kAudioUnitErr_InvalidPropertyValue);
  // The unit stays usable: a sound state still restores afterwards.
  EXPECT_EQ(target.RestoreState(state.Get()), noErr);
  EXPECT_EQ(target.AllParams(), source.AllParams());
}

} // namespace
