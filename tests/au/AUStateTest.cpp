// Saving and restoring the class-info state through the host's property calls.
#include "AUHost.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace au_test;

namespace
{

// A source unit with a factory preset loaded, the left-only input mode and a few parameters
// moved by host automation, so that every part of the state differs from a fresh unit.
class AUState : public ::testing::Test
{
protected:
  void SetUp() override
  {
    auto* plugin = source.Object<OstraTapeDelay>();
    plugin->loadFactoryPreset("Ping and pong");
    ASSERT_EQ(plugin->presetName(), "Ping and pong");
    plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
    for (auto [id, value] : {std::pair<AudioUnitParameterID, Float32>{1, 750},
                             {3, 5},
                             {5, 0},
                             {7, 62.5f},
                             {10, 200},
                             {13, -40},
                             {17, 70}})
      ASSERT_EQ(source.SetParam(id, value), noErr);
    state = source.SaveState();
    ASSERT_TRUE(state);
  }

  Host source;
  plug::CFRef<CFDictionaryRef> state;
};

TEST_F(AUState, ClassInfoCarriesIdentityAndTheChunkAndRestoresIntoASecondInstance)
{
  for (auto [key, expected] : {std::pair<const char*, SInt64>{"version", 0x10000},
                               {"type", kAudioUnitType_Effect},
                               {"subtype", kSubtype},
                               {"manufacturer", kManufacturer}})
  {
    SInt64 value = -1;
    const void* n = CFDictionaryGetValue(state.Get(), Key(key).Get());
    EXPECT_TRUE(n && CFNumberGetValue(static_cast<CFNumberRef>(n), kCFNumberSInt64Type, &value))
        << key;
    EXPECT_EQ(value, expected) << key;
  }
  EXPECT_TRUE(CFEqual(CFDictionaryGetValue(state.Get(), CFSTR("name")), CFSTR("")));
  EXPECT_EQ(CFGetRetainCount(state.Get()), 1); // the host owns the only reference

  plug::IByteChunk chunk;
  ASSERT_TRUE(source.Object<OstraTapeDelay>()->SerializeState(chunk));
  const std::vector<UInt8> data = DataBytes(state.Get(), "data");
  ASSERT_EQ(data.size(), static_cast<size_t>(chunk.ByteCount()));
  EXPECT_EQ(std::memcmp(data.data(), chunk.Bytes(), data.size()), 0);

  Host target;
  auto* plugin = target.Object<OstraTapeDelay>();
  ASSERT_NE(target.AllParams(), source.AllParams());
  auto newer = CopyDictionary(state.Get()); // the version is not compared
  SetNumber(newer.Get(), "version", 0x20000);
  ASSERT_EQ(target.RestoreState(newer.Get()), noErr);
  EXPECT_EQ(target.AllParams(), source.AllParams());
  EXPECT_EQ(plugin->presetName(), "Ping and pong");
  EXPECT_EQ(plugin->inputMode(), OstraTapeDelay::kInputLeftOnly);
}

TEST_F(AUState, ForeignOrIncompleteDictionariesAreRefusedAndChangeNothing)
{
  Host target;
  ASSERT_EQ(target.SetParam(7, 12.0f), noErr);
  const std::vector<Float32> before = target.AllParams();
  const std::vector<UInt8> savedBefore = DataBytes(target.SaveState().Get(), "data");

  std::vector<plug::CFRef<CFMutableDictionaryRef>> bad;
  for (auto [key, value] : {std::pair<const char*, SInt64>{"subtype", 0x4F746872 /*'Othr'*/},
                            {"manufacturer", 0x41706C65},
                            {"type", kAudioUnitType_MusicDevice}})
  {
    bad.push_back(CopyDictionary(state.Get()));
    SetNumber(bad.back().Get(), key, value);
  }
  for (const char* key : {"name", "version", "data"})
  {
    bad.push_back(CopyDictionary(state.Get()));
    CFDictionaryRemoveValue(bad.back().Get(), Key(key).Get());
  }
  bad.push_back(CopyDictionary(state.Get()));
  CFDictionarySetValue(bad.back().Get(), CFSTR("subtype"), CFSTR("OsTd"));

  std::vector<CFTypeRef> all = {CFSTR("not a dictionary"), nullptr};
  for (const auto& dict : bad)
    all.push_back(dict.Get());
  for (CFTypeRef dict : all)
  {
    EXPECT_EQ(target.RestoreState(dict), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(target.AllParams(), before);
  }
  EXPECT_EQ(DataBytes(target.SaveState().Get(), "data"), savedBefore);
}

TEST_F(AUState, AChunkCutInsideTheValuesIsRefused)
{
  std::vector<UInt8> data = DataBytes(state.Get(), "data");
  // The values follow the 32-byte header and the preset name whose length is at byte 20.
  ASSERT_EQ(std::memcmp(data.data(), "1STO", 4), 0);
  std::int32_t nameLength = 0;
  std::memcpy(&nameLength, data.data() + 20, 4);
  const size_t cut = 32 + static_cast<size_t>(nameLength) + 5 * 8 + 3; // inside the sixth value
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
