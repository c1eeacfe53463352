// The component entry, host identification and the remaining read-only properties.
#include "AUHost.h"
#include "framework/au/AUEntryParams.h"
#include "framework/au/AUHostIdentity.h"
#include "platform/apple/StandInEnvironment.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/OstraTapeDelayAU.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace au_test;

namespace {

// What the Component Manager hands the entry: the header, then the selector's parameter block.
template <typename Block> struct Call {
  UInt8 flags = 0;
  UInt8 paramSize = sizeof(Block);
  SInt16 what = 0;
  UInt32 padding = 0;
  Block block{};
};

template <typename Block> ComponentResult Dispatch(SInt16 what, const Block &block, Handle storage) {
  Call<Block> call;
  call.what = what;
  call.block = block;
  return OstraTapeDelay_Entry(reinterpret_cast<ComponentParameters *>(&call), storage);
}

std::string Text(CFStringRef s) {
  char buffer[512] = {};
  EXPECT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8));
  return buffer;
}

TEST(AUEntry, AnswersSelectorsAndRefusesRetiredOnes) {
  AudioComponentInstance instance = ostra::apple::makeBareInstance();
  ASSERT_EQ(Dispatch(kComponentOpenSelect, plug::entry::InstanceParams{instance}, nullptr), noErr);
  Handle storage = GetComponentInstanceStorage(instance);
  ASSERT_NE(storage, nullptr);

  for (SInt16 retired : {SInt16{8}, SInt16{12}, SInt16{13}}) {
    EXPECT_EQ(Dispatch(retired, plug::entry::InstanceParams{instance}, storage),
              static_cast<OSStatus>(0x80008002))
        << retired;
    EXPECT_EQ(Dispatch(kComponentCanDoSelect, plug::entry::CanDoParams{retired}, storage), 0);
  }
  EXPECT_EQ(Dispatch(kComponentCanDoSelect, plug::entry::CanDoParams{kAudioUnitRenderSelect}, storage), 1);
  EXPECT_EQ(Dispatch(kComponentCanDoSelect, plug::entry::CanDoParams{kMusicDeviceStartNoteSelect}, storage),
            1);
  EXPECT_EQ(Dispatch(kComponentVersionSelect, plug::entry::InstanceParams{instance}, storage), 0x10000);

  Float32 value = 0.0f;
  EXPECT_EQ(Dispatch(kAudioUnitSetParameterSelect,
                     plug::entry::SetParameterParams{0, 42.0f, 0, kAudioUnitScope_Global, 7, instance},
                     storage),
            noErr);
  EXPECT_EQ(Dispatch(kAudioUnitGetParameterSelect,
                     plug::entry::GetParameterParams{&value, 0, kAudioUnitScope_Global, 7, instance},
                     storage),
            noErr);
  EXPECT_EQ(value, 42.0f);

  UInt32 size = 0;
  Boolean writable = false;
  EXPECT_EQ(Dispatch(kAudioUnitGetPropertyInfoSelect,
                     plug::entry::GetPropertyInfoParams{&writable, &size, 0, kAudioUnitScope_Global,
                                                        kAudioUnitProperty_BypassEffect, instance},
                     storage),
            noErr);
  EXPECT_EQ(size, sizeof(UInt32));
  EXPECT_TRUE(writable);
  EXPECT_EQ(Dispatch(kAudioUnitInitializeSelect, plug::entry::InstanceParams{instance}, storage), noErr);
  EXPECT_EQ(Dispatch(kMusicDeviceMIDIEventSelect, plug::entry::MIDIEventParams{0, 100, 60, 0x90, instance},
                     storage),
            noErr);
  EXPECT_EQ(Dispatch(kMusicDeviceStartNoteSelect, plug::entry::InstanceParams{instance}, storage), noErr);

  EXPECT_EQ(Dispatch(kComponentCloseSelect, plug::entry::InstanceParams{instance}, storage), noErr);
  ostra::apple::disposeBareInstance(instance);
  EXPECT_EQ(OstraTapeDelay_Entry(nullptr, nullptr), kAudio_ParamError);
}

TEST(AUEntry, VersionTwoInterfaceLooksUpTheSameSelectors) {
  const AudioComponentDescription desc = Description();
  AudioComponentPlugInInterface *iface = OstraTapeDelay_Factory(&desc);
  ASSERT_NE(iface, nullptr);
  for (SInt16 retired : {SInt16{8}, SInt16{12}, SInt16{13}})
    EXPECT_EQ(iface->Lookup(retired), nullptr);
  EXPECT_NE(iface->Lookup(kAudioUnitRenderSelect), nullptr);
  EXPECT_NE(iface->Lookup(kMusicDeviceSysExSelect), nullptr);
  // Not opened: calls answer badComponentInstance rather than touching a missing object.
  auto init = reinterpret_cast<AudioUnitInitializeProc>(iface->Lookup(kAudioUnitInitializeSelect));
  EXPECT_EQ(init(iface), badComponentInstance);
  EXPECT_EQ(iface->Close(iface), noErr);

  Host host;
  EXPECT_TRUE(AudioComponentInstanceCanDo(host.Unit(), kAudioUnitScheduleParametersSelect));
  EXPECT_FALSE(AudioComponentInstanceCanDo(host.Unit(), 8));
}

TEST(AUHostIdentity, KnownNamesInSearchOrder) {
  EXPECT_EQ(plug::LookUpHostID("REAPER"), 1);
  EXPECT_EQ(plug::LookUpHostID("com.apple.logic10"), 21);
  EXPECT_EQ(plug::LookUpHostID("WaveLab Elements 11"), 32);
  EXPECT_EQ(plug::LookUpHostID("WaveLab Pro 11"), 31);
  EXPECT_EQ(plug::LookUpHostID("Bitwig Studio"), 34);
  EXPECT_EQ(plug::LookUpHostID("Blue Cat's VST Host"), 44);
  EXPECT_EQ(plug::LookUpHostID("Ableton Live 12"), 9);
  EXPECT_EQ(plug::LookUpHostID("com.example.player"), 0);
  EXPECT_EQ(plug::LookUpHostID(""), 0);

  EXPECT_EQ(plug::ParseHostVersion("10.7.9"), 0x0A0709u);
  EXPECT_EQ(plug::ParseHostVersion("3"), 0x030000u);
  EXPECT_EQ(plug::ParseHostVersion("1.2.3.4"), 0x010203u);
  EXPECT_EQ(plug::ParseHostVersion("1.999.3"), 0x01FF03u); // parts are limited to their byte
  EXPECT_EQ(plug::ParseHostVersion("beta"), 0u);
}

TEST(AUHostIdentity, MainBundleOnInitialiseUnlessTheHostSaidFirst) {
  ostra::apple::setMainBundle("com.apple.logic10", "10.7.9");
  {
    Host host;
    ASSERT_EQ(AudioUnitInitialize(host.Unit()), noErr);
    auto *plugin = host.Object<OstraTapeDelay>();
    EXPECT_EQ(plugin->GetHost(), 21);
    EXPECT_EQ(plugin->GetHostVersion(), 0x0A0709u);
    EXPECT_EQ(plugin->GetHostName(), "com.apple.logic10");
  }
  Host host;
  AUHostVersionIdentifier id{CFSTR("REAPER"), 0x070000};
  ASSERT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0,
                                 &id, sizeof id),
            noErr);
  AUHostVersionIdentifier later{CFSTR("Cubase"), 0x0D0000};
  ASSERT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0,
                                 &later, sizeof later),
            noErr);
  ASSERT_EQ(AudioUnitInitialize(host.Unit()), noErr);
  auto *plugin = host.Object<OstraTapeDelay>();
  EXPECT_EQ(plugin->GetHost(), 1);
  EXPECT_EQ(plugin->GetHostVersion(), 0x070000u);

  CFStringRef track = CFStringCreateWithCString(kCFAllocatorDefault, "Vocals 2", kCFStringEncodingUTF8);
  ASSERT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_ContextName, kAudioUnitScope_Global, 0,
                                 &track, sizeof track),
            noErr);
  CFRelease(track); // the unit keeps its own copy
  EXPECT_EQ(plugin->GetContextName(), "Vocals 2");
}

TEST(AUProperties, ReadOnlyAnswers) {
  Host host;
  AudioUnit unit = host.Unit();
  UInt32 count = 0;
  UInt32 size = sizeof count;
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, &count, &size),
      noErr);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, kAudioUnitScope_Global, 0, &count, &size),
      noErr);
  EXPECT_EQ(count, 1u);

  Float64 seconds = -1.0;
  size = sizeof seconds;
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &seconds, &size),
      noErr);
  EXPECT_EQ(seconds, 0.0);
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, &seconds, &size),
      noErr);
  EXPECT_EQ(seconds, 0.0);

  CFStringRef name = nullptr;
  size = sizeof name;
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, &name, &size),
      noErr);
  EXPECT_EQ(Text(name), "Input");
  CFRelease(name);
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 0, &name, &size),
      noErr);
  EXPECT_EQ(Text(name), "Output");
  CFRelease(name);
  EXPECT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 1, &name, &size),
      kAudioUnitErr_InvalidElement);

  CFArrayRef presets = nullptr;
  size = sizeof presets;
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets,
                                 &size),
            noErr);
  EXPECT_EQ(CFArrayGetCount(presets), 0);
  CFRelease(presets);

  AUPreset current{-5, nullptr};
  size = sizeof current;
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &current,
                                 &size),
            noErr);
  EXPECT_EQ(current.presetNumber, 0);
  EXPECT_EQ(Text(current.presetName), "");
  CFRelease(current.presetName);
  AUPreset factory{0, CFSTR("Anything")};
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &factory,
                                 sizeof factory),
            kAudioUnitErr_InvalidPropertyValue);

  CFArrayRef midiOut = nullptr;
  size = sizeof midiOut;
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_MIDIOutputCallbackInfo, kAudioUnitScope_Global, 0,
                                 &midiOut, &size),
            noErr);
  ASSERT_EQ(CFArrayGetCount(midiOut), 1);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(midiOut, 0))), "midiOut");
  CFRelease(midiOut);

  UInt32 flag = 7;
  size = sizeof flag;
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kAudioUnitProperty_SupportsMPE, kAudioUnitScope_Global, 0, &flag, &size),
      noErr);
  EXPECT_EQ(flag, 0u);
  SInt32 lastError = 7;
  size = sizeof lastError;
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_LastRenderError, kAudioUnitScope_Global, 0,
                                 &lastError, &size),
            noErr);
  EXPECT_EQ(lastError, 0);

  size = 64;
  char buffer[64];
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_AudioChannelLayout, kAudioUnitScope_Output, 0,
                                 buffer, &size),
            kAudioUnitErr_PropertyNotInUse);
  EXPECT_EQ(AudioUnitGetProperty(unit, 9999, kAudioUnitScope_Global, 0, buffer, &size),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, buffer,
                                 &size),
            kAudioUnitErr_InvalidProperty); // write-only
  const UInt32 one = 1;
  EXPECT_EQ(
      AudioUnitSetProperty(unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &one, sizeof one),
      kAudioUnitErr_PropertyNotWritable);
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &one, 2),
            kAudioUnitErr_InvalidPropertyValue); // short data
}

TEST(AUProperties, CocoaViewNamesTheBundleAndViewClass) {
  Host host;
  AudioUnitCocoaViewInfo info{};
  UInt32 size = sizeof info;
  ostra::apple::registerBundle("com.Corvana.audiounit.OstraTape-delay",
                               "/Library/Audio/Plug-Ins/Components/OstraTape-delay.component", "1.0.0");
  ASSERT_EQ(
      AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size),
      noErr);
  CFStringRef path = CFURLCopyFileSystemPath(info.mCocoaAUViewBundleLocation, kCFURLPOSIXPathStyle);
  EXPECT_EQ(Text(path), "/Library/Audio/Plug-Ins/Components/OstraTape-delay.component");
  EXPECT_EQ(Text(info.mCocoaAUViewClass[0]), "OstraTapeDelay_View");
  CFRelease(path);
  CFRelease(info.mCocoaAUViewBundleLocation);
  CFRelease(info.mCocoaAUViewClass[0]);
}

} // namespace
