// The component entry, host identification and the remaining read-only properties.
#include "AUHost.h"
#include "au/OstraTapeDelayAU.h"
#include "framework/au/AUEntryParams.h"
#include "framework/au/AUHostIdentity.h"
#include "platform/apple/StandInEnvironment.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

using namespace au_test;
namespace entry = plug::entry;

namespace
{

// What the Component Manager hands the entry: the header, then the selector's parameter block.
template <typename Block>
ComponentResult Dispatch(SInt16 what, const Block& block, Handle storage)
{
  struct
  {
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    UInt32 padding;
    Block block;
  } call{0, sizeof(Block), what, 0, block};
  return OstraTapeDelay_Entry(reinterpret_cast<ComponentParameters*>(&call), storage);
}

TEST(AUEntry, AnswersSelectorsAndRefusesRetiredOnes)
{
  AudioComponentInstance instance = ostra::apple::makeBareInstance();
  const entry::InstanceParams self{instance};
  ASSERT_EQ(Dispatch(kComponentOpenSelect, self, nullptr), noErr);
  Handle storage = GetComponentInstanceStorage(instance);
  ASSERT_NE(storage, nullptr);

  for (SInt16 retired : {SInt16{8}, SInt16{12}, SInt16{13}})
  {
    EXPECT_EQ(Dispatch(retired, self, storage), static_cast<OSStatus>(0x80008002)) << retired;
    EXPECT_EQ(Dispatch(kComponentCanDoSelect, entry::CanDoParams{retired}, storage), 0);
  }
  EXPECT_EQ(Dispatch(kComponentCanDoSelect, entry::CanDoParams{kAudioUnitRenderSelect}, storage),
            1);
  EXPECT_EQ(
      Dispatch(kComponentCanDoSelect, entry::CanDoParams{kMusicDeviceStartNoteSelect}, storage), 1);
  EXPECT_EQ(Dispatch(kComponentVersionSelect, self, storage), 0x10000);

  Float32 value = 0.0f;
  EXPECT_EQ(Dispatch(kAudioUnitSetParameterSelect,
                     entry::SetParameterParams{0, 42.0f, 0, kAudioUnitScope_Global, 7, instance},
                     storage),
            noErr);
  EXPECT_EQ(Dispatch(kAudioUnitGetParameterSelect,
                     entry::GetParameterParams{&value, 0, kAudioUnitScope_Global, 7, instance},
                     storage),
            noErr);
  EXPECT_EQ(value, 42.0f);
  UInt32 size = 0;
  Boolean writable = false;
  EXPECT_EQ(Dispatch(kAudioUnitGetPropertyInfoSelect,
                     entry::GetPropertyInfoParams{&writable, &size, 0, kAudioUnitScope_Global,
                                                  kAudioUnitProperty_BypassEffect, instance},
                     storage),
            noErr);
  EXPECT_EQ(size, sizeof(UInt32));
  EXPECT_TRUE(writable);
  EXPECT_EQ(Dispatch(kAudioUnitInitializeSelect, self, storage), noErr);
  EXPECT_EQ(Dispatch(kMusicDeviceMIDIEventSelect,
                     entry::MIDIEventParams{0, 100, 60, 0x90, instance}, storage),
            noErr);
  EXPECT_EQ(Dispatch(kComponentCloseSelect, self, storage), noErr);
  ostra::apple::disposeBareInstance(instance);
  EXPECT_EQ(OstraTapeDelay_Entry(nullptr, nullptr), kAudio_ParamError);

  // The version-2 interface looks up the same selectors.
  const AudioComponentDescription desc = Description();
  AudioComponentPlugInInterface* iface = OstraTapeDelay_Factory(&desc);
  ASSERT_NE(iface, nullptr);
  for (SInt16 retired : {SInt16{8}, SInt16{12}, SInt16{13}})
    EXPECT_EQ(iface->Lookup(retired), nullptr);
  EXPECT_NE(iface->Lookup(kMusicDeviceSysExSelect), nullptr);
  // Not opened: calls answer badComponentInstance rather than touching a missing object.
  auto init = reinterpret_cast<AudioUnitInitializeProc>(iface->Lookup(kAudioUnitInitializeSelect));
  EXPECT_EQ(init(iface), badComponentInstance);
  EXPECT_EQ(iface->Close(iface), noErr);
}

TEST(AUHostIdentity, NamesInSearchOrderAndVersions)
{
  const std::pair<const char*, int> hosts[] = {
      {"REAPER", 1},          {"com.apple.logic10", 21}, {"WaveLab Elements 11", 32},
      {"WaveLab Pro 11", 31}, {"Bitwig Studio", 34},     {"Blue Cat's VST Host", 44},
      {"Ableton Live 12", 9}, {"com.example.player", 0}, {"", 0}};
  for (const auto& [name, id] : hosts)
    EXPECT_EQ(plug::LookUpHostID(name), id) << name;
  const std::pair<const char*, unsigned> versions[] = {{"10.7.9", 0x0A0709u},
                                                       {"3", 0x030000u},
                                                       {"1.2.3.4", 0x010203u},
                                                       {"1.999.3", 0x01FF03u},
                                                       {"beta", 0u}};
  for (const auto& [text, version] : versions)
    EXPECT_EQ(plug::ParseHostVersion(text), version) << text;
}

TEST(AUHostIdentity, MainBundleOnInitialiseUnlessTheHostSaidFirst)
{
  ostra::apple::setMainBundle("com.apple.logic10", "10.7.9");
  {
    Host host;
    ASSERT_EQ(AudioUnitInitialize(host.Unit()), noErr);
    auto* plugin = host.Object<OstraTapeDelay>();
    EXPECT_EQ(plugin->GetHost(), 21);
    EXPECT_EQ(plugin->GetHostVersion(), 0x0A0709u);
    EXPECT_EQ(plugin->GetHostName(), "com.apple.logic10");
  }
  Host host;
  ASSERT_EQ(host.Set(kAudioUnitProperty_AUHostIdentifier,
                     AUHostVersionIdentifier{CFSTR("REAPER"), 0x070000}),
            noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_AUHostIdentifier,
                     AUHostVersionIdentifier{CFSTR("Cubase"), 0x0D0000}),
            noErr);
  ASSERT_EQ(AudioUnitInitialize(host.Unit()), noErr);
  auto* plugin = host.Object<OstraTapeDelay>();
  EXPECT_EQ(plugin->GetHost(), 1);
  EXPECT_EQ(plugin->GetHostVersion(), 0x070000u);

  plug::CFRef<CFStringRef> track = Key("Vocals 2");
  ASSERT_EQ(host.Set(kAudioUnitProperty_ContextName, track.Get()), noErr);
  track.Reset(); // the unit keeps its own reference
  EXPECT_EQ(plugin->GetContextName(), "Vocals 2");
}

TEST(AUProperties, ReadOnlyAnswersAndErrors)
{
  Host host;
  UInt32 count = 0;
  Float64 seconds = -1.0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, count, kAudioUnitScope_Input), noErr);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(host.Get(kAudioUnitProperty_TailTime, seconds), noErr);
  EXPECT_EQ(seconds, 0.0);
  for (auto [scope, expected] :
       {std::pair{kAudioUnitScope_Input, "Input"}, {kAudioUnitScope_Output, "Output"}})
  {
    CFStringRef name = nullptr;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, name, scope), noErr);
    EXPECT_EQ(Text(name, true), expected);
  }
  CFArrayRef array = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_FactoryPresets, array), noErr);
  EXPECT_EQ(CFArrayGetCount(array), 0);
  CFRelease(array);
  ASSERT_EQ(host.Get(kAudioUnitProperty_MIDIOutputCallbackInfo, array), noErr);
  ASSERT_EQ(CFArrayGetCount(array), 1);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, 0))), "midiOut");
  CFRelease(array);
  AUPreset current{-5, nullptr};
  ASSERT_EQ(host.Get(kAudioUnitProperty_PresentPreset, current), noErr);
  EXPECT_EQ(current.presetNumber, 0);
  EXPECT_EQ(Text(current.presetName, true), "");
  EXPECT_EQ(host.Set(kAudioUnitProperty_PresentPreset, AUPreset{0, CFSTR("Anything")}),
            kAudioUnitErr_InvalidPropertyValue);

  char buffer[64];
  EXPECT_EQ(host.Get(kAudioUnitProperty_ElementName, buffer, kAudioUnitScope_Output, 1),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(host.Get(kAudioUnitProperty_AudioChannelLayout, buffer, kAudioUnitScope_Output),
            kAudioUnitErr_PropertyNotInUse);
  EXPECT_EQ(host.Get(9999, buffer), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(host.Get(kAudioUnitProperty_SetRenderCallback, buffer, kAudioUnitScope_Input),
            kAudioUnitErr_InvalidProperty); // write-only
  EXPECT_EQ(host.Set(kAudioUnitProperty_Latency, UInt32{1}), kAudioUnitErr_PropertyNotWritable);
  const UInt32 one = 1;
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_BypassEffect,
                                 kAudioUnitScope_Global, 0, &one, 2),
            kAudioUnitErr_InvalidPropertyValue); // short data
}

TEST(AUProperties, CocoaViewNamesTheBundleAndViewClass)
{
  ostra::apple::registerBundle("com.Corvana.audiounit.OstraTape-delay",
                               "/Library/Audio/Plug-Ins/Components/OstraTape-delay.component",
                               "1.0.0");
  Host host;
  AudioUnitCocoaViewInfo info{};
  ASSERT_EQ(host.Get(kAudioUnitProperty_CocoaUI, info), noErr);
  EXPECT_EQ(
      Text(CFURLCopyFileSystemPath(info.mCocoaAUViewBundleLocation, kCFURLPOSIXPathStyle), true),
      "/Library/Audio/Plug-Ins/Components/OstraTape-delay.component");
  EXPECT_EQ(Text(info.mCocoaAUViewClass[0], true), "OstraTapeDelay_View");
  CFRelease(info.mCocoaAUViewBundleLocation);
}

} // namespace
