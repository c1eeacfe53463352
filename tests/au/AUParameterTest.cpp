// Parameters as a host sees them: values, automation, descriptions and editor gestures.
#include "AUHost.h"
#include "ProbePlugin.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace au_test;

namespace
{

TEST(AUParameters, HostAutomationIsConstrainedAndReachesThePlugin)
{
  Host host(ProbeComponent());
  auto* plugin = host.Object<ProbeTapeDelay>();
  EXPECT_EQ(AudioUnitSetParameter(host.Unit(), 7, kAudioUnitScope_Global, 0, 40.0f, 17), noErr);
  EXPECT_EQ(host.GetParam(7), 40.0f);
  EXPECT_EQ(plugin->lastChange, 7);
  EXPECT_EQ(plugin->lastSource, plug::kHost);
  EXPECT_EQ(plugin->lastOffset, 17);
  EXPECT_EQ(plugin->NParamChangesQueued(), 1); // for the editor's next tick

  EXPECT_EQ(host.SetParam(7, 500.0f), noErr);
  EXPECT_EQ(host.GetParam(7), 95.0f);
  EXPECT_EQ(host.SetParam(3, 4.6f), noErr); // stepped: rounds
  EXPECT_EQ(host.GetParam(3), 5.0f);

  Float32 value = 0;
  EXPECT_EQ(AudioUnitGetParameter(host.Unit(), 18, kAudioUnitScope_Global, 0, &value),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(host.SetParam(18, 1.0f), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitSetParameter(host.Unit(), 7, kAudioUnitScope_Input, 0, 1.0f, 0),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(host.GetParam(7), 95.0f);

  AudioUnitParameterEvent events[2] = {};
  events[0] = {kAudioUnitScope_Global, 0, 17, kParameterEvent_Immediate, {}};
  events[0].eventValues.immediate = {3, 25.0f};
  events[1] = {kAudioUnitScope_Global, 0, 9, kParameterEvent_Ramped, {}};
  events[1].eventValues.ramp = {0, 64, -6.0f, 6.0f};
  EXPECT_EQ(AudioUnitScheduleParameters(host.Unit(), events, 2), noErr);
  EXPECT_EQ(host.GetParam(17), 25.0f);
  EXPECT_EQ(host.GetParam(9), 6.0f);
}

TEST(AUParameters, InfoFlagsUnitsAndRanges)
{
  Host host;
  AudioUnitParameterID ids[18] = {};
  UInt32 size = sizeof ids;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterList,
                                 kAudioUnitScope_Global, 0, ids, &size),
            noErr);
  ASSERT_EQ(size, sizeof ids);
  EXPECT_EQ(ids[17], 17u);
  ASSERT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_ParameterList,
                                     kAudioUnitScope_Input, 0, &size, nullptr),
            noErr);
  EXPECT_EQ(size, 0u);

  constexpr UInt32 kBase = 0xC8800010, kStrings = kAudioUnitParameterFlag_ValuesHaveStrings;
  struct Case
  {
    AudioUnitParameterID id;
    const char* name;
    AudioUnitParameterUnit unit;
    UInt32 flags;
    const char* unitName; // empty: none
    Float32 min, max, def;
  };
  const Case cases[] = {
      {0, "Bypass", kAudioUnitParameterUnit_Boolean, kBase | kStrings, "", 0, 1, 0},
      {1, "Time L", kAudioUnitParameterUnit_CustomUnit,
       kBase | kAudioUnitParameterFlag_DisplayCubeRoot, "ms", 1, 2000, 500},
      {3, "Note L", kAudioUnitParameterUnit_Indexed, kBase | kStrings, "", 0, 18, 13},
      {7, "Feedback", kAudioUnitParameterUnit_CustomUnit, kBase, "%", 0, 95, 30},
      // Low Cut shows "Off" at its default, yet its unit name stays "Hz".
      {10, "Low Cut", kAudioUnitParameterUnit_CustomUnit,
       kBase | kStrings | kAudioUnitParameterFlag_DisplayLogarithmic, "Hz", 20, 2000, 20},
      {13, "Width", kAudioUnitParameterUnit_Generic, kBase, "", -100, 100, 0},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    AudioUnitParameterInfo info{};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, info, kAudioUnitScope_Global, c.id),
              noErr);
    EXPECT_STREQ(info.name, c.name);
    EXPECT_EQ(Text(info.cfNameString, true), c.name); // the host releases it, as the flags say
    EXPECT_EQ(std::tuple(info.unit, info.flags, info.minValue, info.maxValue, info.defaultValue),
              std::tuple(c.unit, c.flags, c.min, c.max, c.def));
    EXPECT_EQ(info.unitName ? Text(info.unitName) : "", c.unitName);
  }

  AudioUnitParameterInfo info{};
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, info, kAudioUnitScope_Global, 18),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, info, kAudioUnitScope_Output, 1),
            kAudioUnitErr_InvalidParameter);
  size = 8;
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterInfo,
                                 kAudioUnitScope_Global, 1, &info, &size),
            kAudio_ParamError); // too small a buffer is never overrun
}

TEST(AUParameters, TextsBothWays)
{
  Host host;
  CFArrayRef strings = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, strings, kAudioUnitScope_Global, 3),
            noErr);
  ASSERT_EQ(CFArrayGetCount(strings), 19);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 13))), "1/4");
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 18))), "Whole");
  CFRelease(strings);
  // A continuous parameter, even with one named value, has no list of value texts.
  for (AudioUnitParameterID id : {7u, 10u})
    EXPECT_EQ(
        host.Get(kAudioUnitProperty_ParameterValueStrings, strings, kAudioUnitScope_Global, id),
        kAudioUnitErr_InvalidProperty);

  const Float32 twenty = 20.0f, twoHundred = 200.0f, feedback = 33.3f;
  const std::tuple<AudioUnitParameterID, const Float32*, const char*> fromValue[] = {
      {10, &twenty, "Off"},
      {10, &twoHundred, "200"},
      {7, &feedback, "33.3"} /* without the label */,
      {0, nullptr, "off"} /* the current value */};
  for (const auto& [id, value, text] : fromValue)
  {
    AudioUnitParameterStringFromValue request{id, value, nullptr};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, request), noErr);
    EXPECT_EQ(Text(request.outString, true), text);
  }
  const std::tuple<AudioUnitParameterID, CFStringRef, Float32> toValue[] = {
      {10, CFSTR("Off"), 20.0f}, {0, CFSTR("on"), 1.0f}, {7, CFSTR("250"), 95.0f}};
  for (const auto& [id, text, value] : toValue)
  {
    AudioUnitParameterValueFromString request{id, text, -1.0f};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, request), noErr);
    EXPECT_EQ(request.outValue, value) << Text(text);
  }

  for (auto [length, name] :
       {std::pair<SInt32, const char*>{5, "Duck "}, {kAudioUnitParameterName_Full, "Duck Release"}})
  {
    AudioUnitParameterIDName request{16, length, nullptr};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, request), noErr);
    EXPECT_EQ(Text(request.outName, true), name);
  }
  AudioUnitParameterNameInfo clump{0, kAudioUnitParameterName_Full, nullptr};
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterClumpName, clump), kAudioUnitErr_PropertyNotInUse);
}

struct Heard
{
  std::vector<AudioUnitEventType> types;
  std::vector<Float32> values;
};

TEST(AUParameters, EditorEditsReachTheHostInsideGestures)
{
  Host host;
  auto* plugin = host.Object<OstraTapeDelay>();
  Heard heard;
  AUEventListenerRef listener = nullptr;
  auto hear =
      [](void* user, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue value)
  {
    static_cast<Heard*>(user)->types.push_back(event->mEventType);
    static_cast<Heard*>(user)->values.push_back(value);
  };
  ASSERT_EQ(AUEventListenerCreate(hear, &heard, nullptr, nullptr, 0.0f, 0.0f, &listener), noErr);
  AudioUnitEvent event{};
  event.mArgument.mParameter = {host.Unit(), 7, kAudioUnitScope_Global, 0};
  for (AudioUnitEventType t :
       {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
        kAudioUnitEvent_EndParameterChangeGesture})
  {
    event.mEventType = t;
    ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &event), noErr);
  }

  plugin->BeginInformHostOfParamChangeFromUI(7);
  plugin->SendParameterValueFromUI(7, 0.5);
  plugin->SendParameterValueFromUI(7, 1.0);
  plugin->EndInformHostOfParamChangeFromUI(7);
  plugin->BeginInformHostOfParamChangeFromUI(9); // not listened to

  const std::vector<AudioUnitEventType> expected = {
      kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
      kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_EndParameterChangeGesture};
  EXPECT_EQ(heard.types, expected);
  ASSERT_EQ(heard.values.size(), 4u);
  EXPECT_FLOAT_EQ(heard.values[1], 47.5f);
  EXPECT_FLOAT_EQ(heard.values[2], 95.0f);
  EXPECT_EQ(host.GetParam(7), 95.0f);
  EXPECT_EQ(AUListenerDispose(listener), noErr);
}

TEST(AUParameters, PropertyListenersHearChangesUntilRemoved)
{
  Host host;
  std::vector<AudioUnitPropertyID> heard;
  auto listener =
      [](void* user, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
  { static_cast<std::vector<AudioUnitPropertyID>*>(user)->push_back(id); };
  for (AudioUnitPropertyID id : {kAudioUnitProperty_SampleRate, kAudioUnitProperty_ParameterInfo})
    ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), id, listener, &heard), noErr);
  ASSERT_EQ(host.SetSampleRate(88200.0), noErr);
  ASSERT_EQ(host.SetMaxFrames(64), noErr); // not listened to
  host.Object<OstraTapeDelay>()->InformHostOfParameterDetailsChange();
  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(host.Unit(), kAudioUnitProperty_SampleRate,
                                                        listener, &heard),
            noErr);
  ASSERT_EQ(host.SetSampleRate(44100.0), noErr);
  const std::vector<AudioUnitPropertyID> expected = {kAudioUnitProperty_SampleRate,
                                                     kAudioUnitProperty_ParameterInfo};
  EXPECT_EQ(heard, expected);
}

} // namespace
