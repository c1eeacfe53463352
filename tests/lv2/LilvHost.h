#pragma once

#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ostra::lv2test
{

using Audio = std::vector<std::vector<float>>;

/** The folder holding the built bundle (what LV2_PATH points at), and the bundle itself. */
std::string bundleParent();
std::string bundleDir();

inline constexpr const char* kStereoUri = "urn:corvana:ostratape-delay";
inline constexpr const char* kMonoUri = "urn:corvana:ostratape-delay#mono";
inline constexpr const char* kMonoStereoUri = "urn:corvana:ostratape-delay#mono-stereo";

/** A small LV2 host on lilv: a world with only the built bundle, URID mapping, the
 *  maxBlockLength option and a worker whose requests the test serves by hand. */
class LilvHost
{
public:
  explicit LilvHost(int maxBlock = 4096);
  ~LilvHost() { lilv_world_free(mWorld); }
  LilvHost(const LilvHost&) = delete;
  LilvHost& operator=(const LilvHost&) = delete;

  LilvWorld* world() const { return mWorld; }
  const LilvPlugin* plugin(const char* uri) const;
  LV2_URID map(const char* uri);
  LV2_URID_Map* mapFeature() { return &mMap; }
  LV2_URID_Unmap* unmapFeature() { return &mUnmap; }
  const LV2_Feature* const* features() const { return mFeatures.data(); }

  int pendingWork = 0;   // worker requests since the last serve (a counter: run() may not allocate)
  int scheduledWork = 0; // all requests so far

private:
  LilvWorld* mWorld = nullptr;
  std::vector<std::string> mUris;
  LV2_URID_Map mMap{};
  LV2_URID_Unmap mUnmap{};
  LV2_Worker_Schedule mSchedule{};
  std::int32_t mMaxBlock = 0;
  std::vector<LV2_Options_Option> mOptions;
  LV2_Feature mMapFeature{}, mUnmapFeature{}, mOptionsFeature{}, mScheduleFeature{};
  std::vector<const LV2_Feature*> mFeatures;
};

/** One activated plug-in instance; control ports start at their defaults. */
class Instance
{
public:
  /** `bareHost`: no features at all, as a plain file renderer offers. */
  Instance(LilvHost& host, const char* uri, double rate = 48000.0, bool bareHost = false);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool valid() const { return mInstance != nullptr; }
  int nIn() const { return mNIn; }
  int nOut() const { return mNOut; }
  LilvInstance* raw() const { return mInstance; }

  /** The control port with this symbol (parameters, "enabled", "freewheel", "tap"). */
  float& control(const std::string& symbol);
  /** Queues a time:Position (rolling, at `bpm`) at `frame` of the next cycle. */
  void sendTempo(double bpm, std::uint32_t frame = 0);
  /** Runs `in` in cycles of `block` frames, serving worker requests after each as a host's
   *  worker thread would. `inPlace`: outputs share the input buffers, as hosts may connect. */
  Audio process(const Audio& in, int block = 512, bool inPlace = false);
  /** One cycle of silence, so the control ports are taken. */
  void run(int frames)
  {
    process(Audio(static_cast<size_t>(mNIn), std::vector<float>(static_cast<size_t>(frames))),
            frames);
  }
  void connectAudio(const std::vector<float*>& ins, const std::vector<float*>& outs);
  void serveWorker();
  /** Deactivate and activate again: the engines start from silence. */
  void reset();

  /** The state chunk the plug-in stores (empty without a state interface or on failure). */
  std::vector<std::uint8_t> chunk();
  /** Hands the plug-in a chunk as a property of `type` (default atom:Chunk); its status. */
  LV2_State_Status restoreChunk(const std::vector<std::uint8_t>& bytes, LV2_URID type = 0);
  /** lilv's saved state (port values and properties), and its restore into this instance. */
  LilvState* saveState();
  void restoreState(const LilvState* state);

private:
  void clearEvents();

  LilvHost& mHost;
  const LilvPlugin* mPlugin = nullptr;
  LilvInstance* mInstance = nullptr;
  int mNIn = 0;
  int mNOut = 0;
  std::vector<float> mControls;
  std::vector<std::string> mSymbols;
  std::vector<std::uint64_t> mSequence; // 8-byte aligned atom buffer
};

/** Deterministic white noise; an impulse at frame 0 of every channel. */
Audio noise(int channels, int frames, float amplitude = 0.25f, unsigned seed = 1);
Audio impulse(int channels, int frames, float amplitude = 0.5f);
/** Index and size of the largest |sample| in [from, to). */
int peakIndex(const std::vector<float>& x, int from, int to);
float peakLevel(const std::vector<float>& x, int from, int to);

} // namespace ostra::lv2test
