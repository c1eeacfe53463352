#pragma once

#include "framework/IAPIBase.h"
#include "framework/IProcessor.h"
#include "platform/apple/AudioUnitSDK.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plug
{

class IAUBinding;

/** Property id under which a unit hands its own object to its view factory (2^32 - 101). */
constexpr AudioUnitPropertyID kPrivateObjectProperty = 0xFFFFFF9Bu;

/** Largest maximum-frames-per-slice a host may ask for; more is refused, not allocated. */
constexpr UInt32 kMaxFramesPerSliceLimit = 1u << 16;

/** Apple's default maximum frames per slice, used until the host sets its own. */
constexpr UInt32 kDefaultMaxFramesPerSlice = 1156;

/** Parameter flag bits (beside the framework's own) that the host is told about. */
constexpr int kParamFlagCannotAutomate = 1;
constexpr int kParamFlagMeta = 16;

/** What a unit's plug-in interface points at: the interface first, then the unit. */
struct AUInstanceRecord
{
  AudioComponentPlugInInterface mInterface;
  IAUBinding* mBinding = nullptr;
};

/** Handed to a plug-in's constructor when it takes one. */
struct InstanceInfo
{
  AudioComponentInstance mInstance = nullptr;
};

/**
 * Audio Unit (version 2) binding: answers the host's selectors, properties and render calls
 * for a plug-in that derives from it, translating them into the framework's parameter,
 * state and processor operations.
 *
 * Threads, as Apple's rules give them: property, parameter-info and state calls arrive on the
 * host's threads (usually the main thread) and may allocate; Render, GetParameter,
 * SetParameter, ScheduleParameters and Reset come on the render thread and are real-time
 * safe (Reset calls the plug-in's OnReset, which may re-prepare its engines).
 */
class IAUBinding : public IAPIBase, public IProcessor
{
public:
  explicit IAUBinding(const Config& config);
  ~IAUBinding() override;

  /** Ties the object to the host's component instance (by the factory, before any call). */
  void SetComponentInstance(AudioComponentInstance instance) noexcept { mInstance = instance; }
  AudioComponentInstance GetComponentInstance() const noexcept { return mInstance; }

  // Selectors ------------------------------------------------------------------------------

  /** Host thread. Checks the bus layout, identifies the host, resets parameters and
   *  processing. 0x80008002 when the bus channel counts are not a legal layout. */
  OSStatus Initialize();
  /** Host thread. */
  OSStatus Uninitialize();
  /** Host thread. Size and writability of a property. */
  OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           UInt32* outDataSize, Boolean* outWritable);
  /** Host thread. With outData null only the size is returned. A buffer smaller than the
   *  property is refused (kAudio_ParamError). CF results follow the "Copy" rule. */
  OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       void* outData, UInt32* ioDataSize);
  /** Host thread. */
  OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       const void* data, UInt32 dataSize);
  /** Host thread. */
  OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                               void* userData);
  /** Host thread. With anyUserData every registration of proc for id goes. */
  OSStatus RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                  void* userData, bool anyUserData);
  /** Host thread; lock-free against a running render. */
  OSStatus AddRenderNotify(AURenderCallback proc, void* userData);
  OSStatus RemoveRenderNotify(AURenderCallback proc, void* userData);
  /** Any thread; real-time safe. The real value. */
  OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                        AudioUnitParameterValue* outValue);
  /** Host automation: constrain, store, queue for the editor, OnParamChange(i, host, offset).
   *  Any thread; real-time safe. */
  OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                        AudioUnitParameterValue value, UInt32 bufferOffset);
  /** Render thread; real-time safe. Ramps jump to their end value (no parameter ramps). */
  OSStatus ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count);
  /** Render thread; real-time safe. */
  OSStatus Render(AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* timeStamp,
                  UInt32 outputBus, UInt32 nFrames, AudioBufferList* ioData);
  /** Render thread. Calls OnReset. */
  OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
  /** This plug-in takes no MIDI; these accept and drop what they are sent. Any thread. */
  OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset);
  OSStatus SysEx(const UInt8* data, UInt32 length);

  /** The version-2 method for a selector, or null when this binding does not answer it. */
  static AudioComponentMethod Lookup(SInt16 selector);
  /** Whether the component entry answers a selector. */
  static bool EntryCanDo(SInt16 selector);
  /** The component entry's dispatch for everything but open, close and version: `block` is
   *  the selector's parameter block (AUEntryParams.h). Unknown selectors answer 0x80008002. */
  static ComponentResult DispatchEntry(SInt16 selector, void* block, IAUBinding* unit);

  // Main run loop ---------------------------------------------------------------------------

  /** Puts the 20 ms idle timer on the host's main run loop, where it ticks for the unit's
   *  life on the thread that spins the loop. The factory calls it when the host opens the
   *  unit; a second call does nothing. Main thread. */
  void StartIdleTimer();
  /** Expires when the unit is destroyed: its view may outlive it when a host disposes of the
   *  unit first. Main thread. */
  std::weak_ptr<const void> GetLifetime() const noexcept { return mLifetime; }

  // Editor -> host notifications (main thread) ----------------------------------------------

  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalized) override;
  void EndInformHostOfParamChange(int paramIdx) override;

  /** How the open editor's view takes a new size the editor asks for (its frame, which the
   *  host follows); empty while no view is open. Main thread. */
  void SetViewResizeFunc(std::function<bool(int width, int height)> func)
  {
    mViewResize = std::move(func);
  }
  bool EditorResize(int width, int height) override
  {
    return mViewResize && mViewResize(width, height);
  }

  /** Tells hosts that parameter names, ranges or texts changed: the listeners of the
   *  parameter-list and parameter-info properties. Main thread. */
  void InformHostOfParameterDetailsChange();

  /** Tells every listener of property id about a change. Main thread. */
  void NotifyPropertyListeners(AudioUnitPropertyID id,
                               AudioUnitScope scope = kAudioUnitScope_Global,
                               AudioUnitElement element = 0);

  // What the binding knows about the host (host thread writes, anyone reads) -----------------

  int GetHost() const noexcept { return mHostID.load(std::memory_order_relaxed); }
  std::uint32_t GetHostVersion() const noexcept
  {
    return mHostVersion.load(std::memory_order_relaxed);
  }
  std::string GetHostName() const;
  /** The host's name for the track the unit sits on (empty until told). */
  std::string GetContextName() const;
  bool IsInitialized() const noexcept { return mInitialized.load(std::memory_order_relaxed); }

  /** Bus counts and channel counts as the host set them (-1 until set). Any thread. */
  int NBuses(ERoute direction) const;
  int BusChannels(ERoute direction, int bus) const;

private:
  enum class InputSource
  {
    kNone,
    kCallback,
    kConnection
  };

  struct InputBus
  {
    InputSource source = InputSource::kNone;
    AURenderCallbackStruct callback{};
    AudioUnitConnection connection{};
    int nChannels = -1;
  };

  struct OutputBus
  {
    int nChannels = -1;
  };

  struct RenderNotify
  {
    std::atomic<AURenderCallback> proc{nullptr};
    std::atomic<void*> userData{nullptr};
  };

  struct PropertyListener
  {
    AudioUnitPropertyID id;
    AudioUnitPropertyListenerProc proc;
    void* userData;
  };

  static constexpr int kMaxRenderNotify = 16;

  // Property families, split over files by concern.
  OSStatus GetParameterProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, void* outData, UInt32* ioDataSize);
  OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitElement element,
                            AudioUnitParameterInfo& info);
  CFDictionaryRef CopyClassInfo() const;
  OSStatus RestoreClassInfo(CFTypeRef classInfo);
  OSStatus SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                           const AudioStreamBasicDescription& f);
  OSStatus SetMaxFramesPerSlice(UInt32 frames);
  void SetBusConnections();
  void IdentifyHost(const std::string& name, std::uint32_t version);
  void IdentifyHostFromMainBundle();
  void FillTimeInfo(const AudioTimeStamp& timeStamp);
  void CallRenderNotify(AudioUnitRenderActionFlags flags, AudioUnitRenderActionFlags* ioActionFlags,
                        const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 nFrames,
                        AudioBufferList* ioData);
  OSStatus PullInputs(AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* timeStamp,
                      UInt32 nFrames);
  void SendParamEvent(AudioUnitEventType type, int paramIdx);
  int FirstChannel(ERoute direction, int bus) const;
  int EffectiveChannels(ERoute direction, int bus) const;
  AudioStreamBasicDescription StreamFormat(ERoute direction, int bus) const;
  CFStringRef UnitName(int paramIdx);
  void StopIdleTimer();

  AudioComponentInstance mInstance = nullptr;
  std::vector<InputBus> mInputBuses;
  std::vector<OutputBus> mOutputBuses;
  HostCallbackInfo mHostCallbacks{};
  AUMIDIOutputCallbackStruct mMidiOutCallback{};
  RenderNotify mRenderNotify[kMaxRenderNotify];

  std::mutex mListenerMutex;
  std::vector<PropertyListener> mListeners;

  // Float buffers: one per channel record and direction, maximum frames long. The input
  // buffer list receives what the host's callbacks or upstream units deliver.
  std::vector<std::vector<float>> mInFloat;
  std::vector<std::vector<float>> mOutFloat;
  std::vector<unsigned char> mInputListStorage;
  std::vector<float*> mInPtrs;
  std::vector<float*> mOutPtrs;
  UInt32 mMaxFrames = 0;

  std::atomic<bool> mInitialized{false};
  bool mHostIdentified = false;
  std::atomic<int> mHostID{0};
  std::atomic<std::uint32_t> mHostVersion{0};
  mutable std::mutex mStringsMutex; // host and context names
  std::string mHostName;
  std::string mContextName;
  // Framework preset slots left after opening: the one slot is never initialised and so is
  // dropped, which leaves none; this plug-in offers its factory presets in the editor.
  std::vector<std::string> mPresetSlots;
  int mCurrentPreset = 0;
  std::string mCurrentPresetName;
  Float64 mLastRenderSampleTime = -1.0;
  bool mHasRendered = false;

  std::mutex mUnitNameMutex;
  std::vector<CFStringRef> mUnitNames;

  CFRunLoopTimerRef mIdleTimer = nullptr;
  std::shared_ptr<const void> mLifetime = std::make_shared<char>(0);
  std::function<bool(int, int)> mViewResize;
};

} // namespace plug
