// Parameters as a host sees them: values, automation, descriptions and editor gestures.
#include "AUHost.h"
#include "ProbePlugin.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <string>

using namespace au_test;

namespace {

std::string Text(CFStringRef s) {
  char buffer[256] = {};
  EXPECT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8));
  return buffer;
}

AudioUnitParameterInfo Info(Host &host, AudioUnitParameterID id) {
  AudioUnitParameterInfo info{};
  UInt32 size = sizeof info;
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id,
                                 &info, &size),
            noErr);
  // The host releases the name, as the flags say.
  EXPECT_EQ(Text(info.cfNameString), info.name);
  CFRelease(info.cfNameString);
  info.cfNameString = nullptr;
  return info;
}

TEST(AUParameters, HostAutomationIsConstrainedAndReachesThePlugin) {
  Host host(ProbeComponent());
  auto *plugin = host.Object<ProbeTapeDelay>();
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
  EXPECT_EQ(AudioUnitSetParameter(host.Unit(), 18, kAudioUnitScope_Global, 0, 1.0f, 0),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitSetParameter(host.Unit(), 7, kAudioUnitScope_Input, 0, 1.0f, 0),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(host.GetParam(7), 95.0f);

  AudioUnitParameterEvent events[2] = {};
  events[0].scope = kAudioUnitScope_Global;
  events[0].parameter = 17;
  events[0].eventType = kParameterEvent_Immediate;
  events[0].eventValues.immediate = {3, 25.0f};
  events[1].scope = kAudioUnitScope_Global;
  events[1].parameter = 9;
  events[1].eventType = kParameterEvent_Ramped;
  events[1].eventValues.ramp = {0, 64, -6.0f, 6.0f};
  EXPECT_EQ(AudioUnitScheduleParameters(host.Unit(), events, 2), noErr);
  EXPECT_EQ(host.GetParam(17), 25.0f);
  EXPECT_EQ(host.GetParam(9), 6.0f);
}

TEST(AUParameters, InfoFlagsUnitsAndRanges) {
  Host host;
  UInt32 size = 0;
  ASSERT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                     &size, nullptr),
            noErr);
  ASSERT_EQ(size, 18 * sizeof(AudioUnitParameterID));
  AudioUnitParameterID ids[18] = {};
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                 ids, &size),
            noErr);
  EXPECT_EQ(ids[0], 0u);
  EXPECT_EQ(ids[17], 17u);
  ASSERT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Input, 0,
                                     &size, nullptr),
            noErr);
  EXPECT_EQ(size, 0u);

  constexpr UInt32 kBase = 0xC8800010;
  for (AudioUnitParameterID id = 0; id < 18; ++id) {
    const AudioUnitParameterInfo info = Info(host, id);
    EXPECT_EQ(info.flags & kBase, kBase) << id;
    EXPECT_EQ(info.flags & kAudioUnitParameterFlag_NonRealTime, 0u) << id;
  }

  const AudioUnitParameterInfo bypass = Info(host, 0);
  EXPECT_STREQ(bypass.name, "Bypass");
  EXPECT_EQ(bypass.unit, kAudioUnitParameterUnit_Boolean);
  EXPECT_EQ(bypass.flags, kBase | kAudioUnitParameterFlag_ValuesHaveStrings);

  const AudioUnitParameterInfo note = Info(host, 3);
  EXPECT_EQ(note.unit, kAudioUnitParameterUnit_Indexed);
  EXPECT_EQ(note.maxValue, 18.0f);
  EXPECT_EQ(note.defaultValue, 13.0f);

  const AudioUnitParameterInfo time = Info(host, 1);
  EXPECT_EQ(time.unit, kAudioUnitParameterUnit_CustomUnit);
  EXPECT_EQ(Text(time.unitName), "ms");
  EXPECT_EQ(time.flags, kBase | kAudioUnitParameterFlag_DisplayCubeRoot);
  EXPECT_EQ(time.minValue, 1.0f);
  EXPECT_EQ(time.maxValue, 2000.0f);
  EXPECT_EQ(time.defaultValue, 500.0f);

  // Low Cut shows "Off" at its default, yet its unit name stays "Hz".
  const AudioUnitParameterInfo lowCut = Info(host, 10);
  EXPECT_EQ(lowCut.flags,
            kBase | kAudioUnitParameterFlag_ValuesHaveStrings | kAudioUnitParameterFlag_DisplayLogarithmic);
  EXPECT_EQ(Text(lowCut.unitName), "Hz");

  const AudioUnitParameterInfo width = Info(host, 13);
  EXPECT_EQ(width.unit, kAudioUnitParameterUnit_Generic); // no label
  EXPECT_EQ(width.unitName, nullptr);
  EXPECT_EQ(width.minValue, -100.0f);

  AudioUnitParameterInfo info{};
  size = sizeof info;
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 18,
                                 &info, &size),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Output, 1,
                                 &info, &size),
            kAudioUnitErr_InvalidParameter);
  size = 8;
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 1,
                                 &info, &size),
            kAudio_ParamError); // too small a buffer is never overrun
}

TEST(AUParameters, TextsBothWays) {
  Host host;
  CFArrayRef strings = nullptr;
  UInt32 size = sizeof strings;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterValueStrings,
                                 kAudioUnitScope_Global, 3, &strings, &size),
            noErr);
  ASSERT_EQ(CFArrayGetCount(strings), 19);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 13))), "1/4");
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 18))), "Whole");
  CFRelease(strings);
  // A continuous parameter with one named value has no list of value texts.
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterValueStrings,
                                 kAudioUnitScope_Global, 10, &strings, &size),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterValueStrings,
                                 kAudioUnitScope_Global, 7, &strings, &size),
            kAudioUnitErr_InvalidProperty);

  auto fromValue = [&](AudioUnitParameterID id, const Float32 *value) {
    AudioUnitParameterStringFromValue request{id, value, nullptr};
    UInt32 n = sizeof request;
    EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterStringFromValue,
                                   kAudioUnitScope_Global, 0, &request, &n),
              noErr);
    const std::string text = Text(request.outString);
    CFRelease(request.outString);
    return text;
  };
  const Float32 twenty = 20.0f, twoHundred = 200.0f, feedback = 33.3f;
  EXPECT_EQ(fromValue(10, &twenty), "Off");
  EXPECT_EQ(fromValue(10, &twoHundred), "200");
  EXPECT_EQ(fromValue(7, &feedback), "33.3"); // without the label
  EXPECT_EQ(fromValue(0, nullptr), "off");    // the current value

  auto toValue = [&](AudioUnitParameterID id, CFStringRef text) {
    AudioUnitParameterValueFromString request{id, text, -1.0f};
    UInt32 n = sizeof request;
    EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterValueFromString,
                                   kAudioUnitScope_Global, 0, &request, &n),
              noErr);
    return request.outValue;
  };
  EXPECT_EQ(toValue(10, CFSTR("Off")), 20.0f);
  EXPECT_EQ(toValue(0, CFSTR("on")), 1.0f);
  EXPECT_EQ(toValue(7, CFSTR("250")), 95.0f);

  AudioUnitParameterIDName name{16, 5, nullptr};
  size = sizeof name;
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0,
                                 &name, &size),
            noErr);
  EXPECT_EQ(Text(name.outName), "Duck ");
  CFRelease(name.outName);
  name = {16, kAudioUnitParameterName_Full, nullptr};
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0,
                                 &name, &size),
            noErr);
  EXPECT_EQ(Text(name.outName), "Duck Release");
  CFRelease(name.outName);

  AudioUnitParameterNameInfo clump{0, kAudioUnitParameterName_Full, nullptr};
  size = sizeof clump;
  EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global,
                                 0, &clump, &size),
            kAudioUnitErr_PropertyNotInUse);
}

struct Heard {
  std::vector<AudioUnitEventType> types;
  std::vector<AudioUnitParameterID> ids;
  std::vector<Float32> values;
};

void Hear(void *user, void *, const AudioUnitEvent *event, UInt64, AudioUnitParameterValue value) {
  auto *heard = static_cast<Heard *>(user);
  heard->types.push_back(event->mEventType);
  heard->ids.push_back(event->mArgument.mParameter.mParameterID);
  heard->values.push_back(value);
}

TEST(AUParameters, EditorEditsReachTheHostInsideGestures) {
  Host host;
  auto *plugin = host.Object<OstraTapeDelay>();
  Heard heard;
  AUEventListenerRef listener = nullptr;
  ASSERT_EQ(AUEventListenerCreate(Hear, &heard, nullptr, nullptr, 0.0f, 0.0f, &listener), noErr);
  AudioUnitEvent event{};
  event.mArgument.mParameter = {host.Unit(), 7, kAudioUnitScope_Global, 0};
  for (AudioUnitEventType t :
       {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
        kAudioUnitEvent_EndParameterChangeGesture}) {
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

TEST(AUParameters, PropertyListenersHearChangesUntilRemoved) {
  Host host;
  struct Calls {
    int count = 0;
    AudioUnitPropertyID id = 0;
    AudioUnit unit = nullptr;
  } calls;
  auto listener = [](void *user, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement) {
    auto *c = static_cast<Calls *>(user);
    ++c->count;
    c->id = id;
    c->unit = unit;
  };
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_SampleRate, listener, &calls),
            noErr);
  ASSERT_EQ(host.SetSampleRate(88200.0), noErr);
  EXPECT_EQ(calls.count, 1);
  EXPECT_EQ(calls.id, kAudioUnitProperty_SampleRate);
  EXPECT_EQ(calls.unit, host.Unit());
  ASSERT_EQ(host.SetMaxFrames(64), noErr); // another property: not heard
  EXPECT_EQ(calls.count, 1);
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_ParameterInfo, listener, &calls),
            noErr);
  host.Object<OstraTapeDelay>()->InformHostOfParameterDetailsChange();
  EXPECT_EQ(calls.count, 2);
  EXPECT_EQ(calls.id, kAudioUnitProperty_ParameterInfo);
  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(host.Unit(), kAudioUnitProperty_SampleRate, listener,
                                                        &calls),
            noErr);
  ASSERT_EQ(host.SetSampleRate(44100.0), noErr);
  EXPECT_EQ(calls.count, 2);
}

} // namespace
