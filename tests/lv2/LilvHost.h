#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ostra::lv2test
{

/** The folder holding the built bundle (what LV2_PATH points at). */
std::string bundleParent();
/** The built bundle itself. */
std::string bundleDir();

inline constexpr const char* kStereoUri = "urn:corvana:ostratape-delay";
inline constexpr const char* kMonoUri = "urn:corvana:ostratape-delay#mono";
inline constexpr const char* kMonoStereoUri = "urn:corvana:ostratape-delay#mono-stereo";

/** A small LV2 host on lilv: a world with the built bundle, URID mapping, options and a
 *  worker that the test runs by hand between cycles. */
class LilvHost
{
public:
  explicit LilvHost(int maxBlock = 4096);
  ~LilvHost();
  LilvHost(const LilvHost&) = delete;
  LilvHost& operator=(const LilvHost&) = delete;

  LilvWorld* world() const { return mWorld; }
  const LilvPlugin* plugin(const std::string& uri) const;
  LV2_URID map(const char* uri);
  const char* unmap(LV2_URID urid) const;
  LV2_URID_Map* mapFeature() { return &mMap; }
  LV2_URID_Unmap* unmapFeature() { return &mUnmap; }
  /** Features handed to instantiate, state save and restore. */
  const LV2_Feature* const* features() const { return mFeatures.data(); }
  /** Without urid:map, options or worker: what a bare renderer offers. */
  const LV2_Feature* const* noFeatures() const { return mNoFeatures.data(); }

private:
  static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);
  static const char* unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid);

  LilvWorld* mWorld = nullptr;
  std::vector<std::string> mUris;
  LV2_URID_Map mMap{};
  LV2_URID_Unmap mUnmap{};
  std::int32_t mMaxBlock = 0;
  std::vector<LV2_Options_Option> mOptions;
  LV2_Feature mMapFeature{};
  LV2_Feature mUnmapFeature{};
  LV2_Feature mOptionsFeature{};
  LV2_Feature mScheduleFeature{};
  std::vector<const LV2_Feature*> mFeatures;
  std::vector<const LV2_Feature*> mNoFeatures;

public:
  /** The worker the instance schedules onto; requests wait until runWorker. */
  struct Worker
  {
    LV2_Worker_Schedule schedule{};
    int pending = 0;   // requests since the last runWorker (fixed storage: run() must not allocate)
    int scheduled = 0; // all requests so far
  };
  Worker& worker() { return mWorker; }

private:
  Worker mWorker;
};

/** One plug-in instance with its port buffers. Audio runs in the host's float buffers. */
class Instance
{
public:
  Instance(LilvHost& host, const std::string& uri, double rate = 48000.0, bool bareHost = false);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool valid() const { return mInstance != nullptr; }
  int nIn() const { return mNIn; }
  int nOut() const { return mNOut; }

  /** The control port with this symbol (parameters, "enabled", "freewheel"). */
  float& control(const std::string& symbol);
  /** Queues a time:Position with this tempo (and rolling transport) at `frame` of the next cycle. */
  void sendTempo(double bpm, std::uint32_t frame = 0);
  /** Runs `in` (one vector per input) through in cycles of `block` frames; worker requests
   *  are served after every cycle, as a host's worker thread would. */
  std::vector<std::vector<float>> process(const std::vector<std::vector<float>>& in, int block = 512,
                                          bool serveWorker = true);
  /** Same, with the outputs written over the input buffers (hosts may connect in place). */
  std::vector<std::vector<float>> processInPlace(const std::vector<std::vector<float>>& in, int block = 512);
  /** One run of `frames` frames on the instance's own silent buffers. */
  void run(std::uint32_t frames);
  void runWorker();
  void activate();

  /** The state chunk as the plug-in stores it (through its state interface). */
  std::vector<std::uint8_t> chunk();
  /** Hands the plug-in a chunk of `type` to restore; returns the plug-in's status. */
  LV2_State_Status restoreChunk(const std::vector<std::uint8_t>& bytes, LV2_URID type = 0);
  /** lilv's saved state (port values and properties) and its restore into this instance. */
  LilvState* saveState();
  void restoreState(const LilvState* state);

  /** Connects the audio ports to these buffers (one per input, one per output, at least). */
  void connectAudio(std::vector<float*> ins, std::vector<float*> outs);

  LilvInstance* raw() const { return mInstance; }
  LilvHost& host() { return mHost; }

private:
  void clearSequence();

  LilvHost& mHost;
  const LilvPlugin* mPlugin = nullptr;
  LilvInstance* mInstance = nullptr;
  int mNIn = 0;
  int mNOut = 0;
  std::vector<float> mControls;
  std::vector<std::string> mSymbols;
  std::vector<std::uint64_t> mSequence; // 8-byte aligned atom buffer
  std::vector<std::vector<float>> mScratchIn;
  std::vector<std::vector<float>> mScratchOut;
};

/** The eighteen parameter values stored in a state chunk (empty when it is too short). */
std::vector<double> chunkParameters(const std::vector<std::uint8_t>& chunk);

/** `frames` of white noise per channel, deterministic. */
std::vector<std::vector<float>> noise(int channels, int frames, float amplitude = 0.25f, unsigned seed = 1);
/** An impulse of `amplitude` at frame 0 on every channel, then silence. */
std::vector<std::vector<float>> impulse(int channels, int frames, float amplitude = 0.5f);
/** Index of the largest |sample| in [from, to). */
int peakIndex(const std::vector<float>& x, int from, int to);
float peakLevel(const std::vector<float>& x, int from, int to);

} // namespace ostra::lv2test
