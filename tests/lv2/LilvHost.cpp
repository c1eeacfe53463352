#include "LilvHost.h"

#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

namespace ostra::lv2test
{

std::string bundleParent()
{
  return std::string(OSTRA_BUILD_DIR) + "/lv2/bundle";
}

std::string bundleDir()
{
  return bundleParent() + "/ostratape-delay.lv2";
}

// Host ----------------------------------------------------------------------------------------

LilvHost::LilvHost(int maxBlock) : mMaxBlock(maxBlock)
{
  // Only the built bundle, never whatever else is installed.
  setenv("LV2_PATH", bundleParent().c_str(), 1);
  mWorld = lilv_world_new();
  lilv_world_load_all(mWorld);

  mMap = {this, mapUri};
  mUnmap = {this, unmapUri};
  mWorker.schedule.handle = &mWorker;
  mWorker.schedule.schedule_work = [](LV2_Worker_Schedule_Handle handle, uint32_t, const void*) {
    auto* worker = static_cast<Worker*>(handle);
    ++worker->pending;
    ++worker->scheduled;
    return LV2_WORKER_SUCCESS;
  };

  const LV2_URID atomInt = map(LV2_ATOM__Int);
  mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), atomInt,
                      &mMaxBlock});
  mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});

  mMapFeature = {LV2_URID__map, &mMap};
  mUnmapFeature = {LV2_URID__unmap, &mUnmap};
  mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
  mScheduleFeature = {LV2_WORKER__schedule, &mWorker.schedule};
  mFeatures = {&mMapFeature, &mUnmapFeature, &mOptionsFeature, &mScheduleFeature, nullptr};
  mNoFeatures = {nullptr};
}

LilvHost::~LilvHost()
{
  lilv_world_free(mWorld);
}

const LilvPlugin* LilvHost::plugin(const std::string& uri) const
{
  LilvNode* node = lilv_new_uri(mWorld, uri.c_str());
  const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), node);
  lilv_node_free(node);
  return p;
}

LV2_URID LilvHost::map(const char* uri)
{
  for (size_t i = 0; i < mUris.size(); ++i)
    if (mUris[i] == uri)
      return static_cast<LV2_URID>(i + 1);
  mUris.emplace_back(uri);
  return static_cast<LV2_URID>(mUris.size());
}

const char* LilvHost::unmap(LV2_URID urid) const
{
  return urid >= 1 && urid <= mUris.size() ? mUris[urid - 1].c_str() : nullptr;
}

LV2_URID LilvHost::mapUri(LV2_URID_Map_Handle handle, const char* uri)
{
  return static_cast<LilvHost*>(handle)->map(uri);
}

const char* LilvHost::unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
  return static_cast<LilvHost*>(handle)->unmap(urid);
}

// Instance ----------------------------------------------------------------------------------

Instance::Instance(LilvHost& host, const std::string& uri, double rate, bool bareHost) : mHost(host)
{
  mPlugin = host.plugin(uri);
  if (!mPlugin)
    return;
  mInstance = lilv_plugin_instantiate(mPlugin, rate, bareHost ? host.noFeatures() : host.features());
  if (!mInstance)
    return;

  LilvWorld* world = host.world();
  LilvNode* controlClass = lilv_new_uri(world, LV2_CORE__ControlPort);
  LilvNode* audioClass = lilv_new_uri(world, LV2_CORE__AudioPort);
  LilvNode* atomClass = lilv_new_uri(world, LV2_ATOM__AtomPort);
  LilvNode* inputClass = lilv_new_uri(world, LV2_CORE__InputPort);

  const uint32_t nPorts = lilv_plugin_get_num_ports(mPlugin);
  mControls.assign(nPorts, 0.0f);
  mSymbols.assign(nPorts, std::string());
  mSequence.assign(1024, 0);
  std::vector<float> mins(nPorts), maxs(nPorts), defaults(nPorts);
  lilv_plugin_get_port_ranges_float(mPlugin, mins.data(), maxs.data(), defaults.data());
  for (uint32_t i = 0; i < nPorts; ++i)
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
    mSymbols[i] = lilv_node_as_string(lilv_port_get_symbol(mPlugin, port));
    if (lilv_port_is_a(mPlugin, port, controlClass))
    {
      mControls[i] = defaults[i];
      lilv_instance_connect_port(mInstance, i, &mControls[i]);
    }
    else if (lilv_port_is_a(mPlugin, port, atomClass))
    {
      lilv_instance_connect_port(mInstance, i, mSequence.data());
    }
    else if (lilv_port_is_a(mPlugin, port, audioClass))
    {
      (lilv_port_is_a(mPlugin, port, inputClass) ? mNIn : mNOut) += 1;
    }
  }
  lilv_node_free(controlClass);
  lilv_node_free(audioClass);
  lilv_node_free(atomClass);
  lilv_node_free(inputClass);
  clearSequence();
  lilv_instance_activate(mInstance);
}

Instance::~Instance()
{
  if (mInstance)
  {
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
  }
}

float& Instance::control(const std::string& symbol)
{
  for (size_t i = 0; i < mSymbols.size(); ++i)
    if (mSymbols[i] == symbol)
      return mControls[i];
  throw std::runtime_error("no port " + symbol);
}

void Instance::clearSequence()
{
  auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mSequence.data());
  seq->atom.type = mHost.map(LV2_ATOM__Sequence);
  seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
  seq->body.unit = 0;
  seq->body.pad = 0;
}

void Instance::sendTempo(double bpm, std::uint32_t frame)
{
  // Appended to the sequence the next cycle reads; the cycle after starts empty again.
  auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mSequence.data());
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, mHost.mapFeature());
  const size_t used = sizeof(LV2_Atom) + seq->atom.size;
  const size_t capacity = mSequence.size() * sizeof(std::uint64_t);
  auto* base = reinterpret_cast<std::uint8_t*>(mSequence.data());
  lv2_atom_forge_set_buffer(&forge, base + used, capacity - used);
  lv2_atom_forge_frame_time(&forge, frame);
  LV2_Atom_Forge_Frame objectFrame;
  lv2_atom_forge_object(&forge, &objectFrame, 0, mHost.map(LV2_TIME__Position));
  lv2_atom_forge_key(&forge, mHost.map(LV2_TIME__beatsPerMinute));
  lv2_atom_forge_float(&forge, static_cast<float>(bpm));
  lv2_atom_forge_key(&forge, mHost.map(LV2_TIME__speed));
  lv2_atom_forge_float(&forge, 1.0f);
  lv2_atom_forge_pop(&forge, &objectFrame);
  seq->atom.size += static_cast<uint32_t>(lv2_atom_pad_size(forge.offset));
}

void Instance::connectAudio(std::vector<float*> ins, std::vector<float*> outs)
{
  const uint32_t first = lilv_plugin_get_num_ports(mPlugin) - static_cast<uint32_t>(mNIn + mNOut);
  for (int c = 0; c < mNIn; ++c)
    lilv_instance_connect_port(mInstance, first + static_cast<uint32_t>(c), ins[static_cast<size_t>(c)]);
  for (int c = 0; c < mNOut; ++c)
    lilv_instance_connect_port(mInstance, first + static_cast<uint32_t>(mNIn + c), outs[static_cast<size_t>(c)]);
}

std::vector<std::vector<float>> Instance::process(const std::vector<std::vector<float>>& in, int block,
                                                  bool serveWorker)
{
  const int frames = in.empty() ? 0 : static_cast<int>(in[0].size());
  std::vector<std::vector<float>> inCopy = in;
  std::vector<std::vector<float>> out(static_cast<size_t>(mNOut), std::vector<float>(static_cast<size_t>(frames)));
  for (int pos = 0; pos < frames; pos += block)
  {
    const int n = std::min(block, frames - pos);
    std::vector<float*> ins, outs;
    for (auto& ch : inCopy)
      ins.push_back(ch.data() + pos);
    for (auto& ch : out)
      outs.push_back(ch.data() + pos);
    connectAudio(ins, outs);
    lilv_instance_run(mInstance, static_cast<uint32_t>(n));
    clearSequence();
    if (serveWorker)
      runWorker();
  }
  return out;
}

std::vector<std::vector<float>> Instance::processInPlace(const std::vector<std::vector<float>>& in, int block)
{
  // Output c shares input c's buffer where both exist; a second output of a mono input
  // gets a buffer of its own.
  std::vector<std::vector<float>> buffers = in;
  const int frames = in.empty() ? 0 : static_cast<int>(in[0].size());
  while (static_cast<int>(buffers.size()) < mNOut)
    buffers.emplace_back(static_cast<size_t>(frames), 0.0f);
  for (int pos = 0; pos < frames; pos += block)
  {
    const int n = std::min(block, frames - pos);
    std::vector<float*> ins, outs;
    for (int c = 0; c < mNIn; ++c)
      ins.push_back(buffers[static_cast<size_t>(c)].data() + pos);
    for (int c = 0; c < mNOut; ++c)
      outs.push_back(buffers[static_cast<size_t>(c)].data() + pos);
    connectAudio(ins, outs);
    lilv_instance_run(mInstance, static_cast<uint32_t>(n));
    clearSequence();
    runWorker();
  }
  buffers.resize(static_cast<size_t>(mNOut));
  return buffers;
}

void Instance::run(std::uint32_t frames)
{
  mScratchIn.assign(static_cast<size_t>(mNIn), std::vector<float>(frames, 0.0f));
  mScratchOut.assign(static_cast<size_t>(mNOut), std::vector<float>(frames, 0.0f));
  std::vector<float*> ins, outs;
  for (auto& ch : mScratchIn)
    ins.push_back(ch.data());
  for (auto& ch : mScratchOut)
    outs.push_back(ch.data());
  connectAudio(ins, outs);
  lilv_instance_run(mInstance, frames);
  clearSequence();
}

void Instance::runWorker()
{
  auto& worker = mHost.worker();
  const auto* iface = static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_WORKER__interface));
  for (; worker.pending > 0; --worker.pending)
  {
    const std::uint32_t token = 0;
    if (iface && iface->work)
      iface->work(lilv_instance_get_handle(mInstance), nullptr, nullptr, sizeof token, &token);
  }
}

void Instance::activate()
{
  lilv_instance_deactivate(mInstance);
  lilv_instance_activate(mInstance);
}

namespace
{
struct ChunkCapture
{
  std::vector<std::uint8_t> bytes;
  LV2_URID key = 0;
  LV2_URID type = 0;
};

struct ChunkSource
{
  const std::vector<std::uint8_t>* bytes = nullptr;
  LV2_URID key = 0;
  LV2_URID type = 0;
};
} // namespace

std::vector<std::uint8_t> Instance::chunk()
{
  const auto* iface = static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  if (!iface)
    return {};
  ChunkCapture capture;
  capture.key = mHost.map("urn:corvana:ostratape-delay#state");
  capture.type = mHost.map(LV2_ATOM__Chunk);
  auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                  uint32_t) -> LV2_State_Status {
    auto* c = static_cast<ChunkCapture*>(handle);
    if (key != c->key || type != c->type)
      return LV2_STATE_ERR_BAD_TYPE;
    const auto* p = static_cast<const std::uint8_t*>(value);
    c->bytes.assign(p, p + size);
    return LV2_STATE_SUCCESS;
  };
  if (iface->save(lilv_instance_get_handle(mInstance), store, &capture, LV2_STATE_IS_POD, mHost.features()) !=
      LV2_STATE_SUCCESS)
    return {};
  return capture.bytes;
}

LV2_State_Status Instance::restoreChunk(const std::vector<std::uint8_t>& bytes, LV2_URID type)
{
  const auto* iface = static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  ChunkSource source{&bytes, mHost.map("urn:corvana:ostratape-delay#state"),
                     type ? type : mHost.map(LV2_ATOM__Chunk)};
  auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                     uint32_t* flags) -> const void* {
    auto* s = static_cast<ChunkSource*>(handle);
    if (key != s->key)
      return nullptr;
    *size = s->bytes->size();
    *type = s->type;
    *flags = LV2_STATE_IS_POD;
    return s->bytes->data();
  };
  return iface->restore(lilv_instance_get_handle(mInstance), retrieve, &source, 0, mHost.features());
}

LilvState* Instance::saveState()
{
  auto getValue = [](const char* symbol, void* data, uint32_t* size, uint32_t* type) -> const void* {
    auto* self = static_cast<Instance*>(data);
    for (size_t i = 0; i < self->mSymbols.size(); ++i)
    {
      if (self->mSymbols[i] == symbol)
      {
        *size = sizeof(float);
        *type = self->mHost.map(LV2_ATOM__Float);
        return &self->mControls[i];
      }
    }
    return nullptr;
  };
  return lilv_state_new_from_instance(mPlugin, mInstance, mHost.mapFeature(), nullptr, nullptr, nullptr, nullptr,
                                      getValue, this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mHost.features());
}

void Instance::restoreState(const LilvState* state)
{
  auto setValue = [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    auto* self = static_cast<Instance*>(data);
    if (type != self->mHost.map(LV2_ATOM__Float) || size != sizeof(float))
      return;
    for (size_t i = 0; i < self->mSymbols.size(); ++i)
      if (self->mSymbols[i] == symbol)
        self->mControls[i] = *static_cast<const float*>(value);
  };
  lilv_state_restore(state, mInstance, setValue, this, 0, mHost.features());
}

// Helpers -------------------------------------------------------------------------------------

std::vector<double> chunkParameters(const std::vector<std::uint8_t>& chunk)
{
  auto i32 = [&chunk](size_t at) {
    std::int32_t v = 0;
    std::memcpy(&v, chunk.data() + at, sizeof v);
    return v;
  };
  if (chunk.size() < 24)
    return {};
  const std::int32_t nameLength = std::max(i32(20), 0);
  const size_t countAt = 28 + static_cast<size_t>(nameLength);
  if (chunk.size() < countAt + 4)
    return {};
  const std::int32_t count = i32(countAt);
  if (count < 18 || chunk.size() < countAt + 4 + 8u * 18u)
    return {};
  std::vector<double> values(18);
  std::memcpy(values.data(), chunk.data() + countAt + 4, 8 * 18);
  return values;
}

std::vector<std::vector<float>> noise(int channels, int frames, float amplitude, unsigned seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-amplitude, amplitude);
  std::vector<std::vector<float>> out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
  for (int i = 0; i < frames; ++i)
    for (auto& ch : out)
      ch[static_cast<size_t>(i)] = dist(rng);
  return out;
}

std::vector<std::vector<float>> impulse(int channels, int frames, float amplitude)
{
  std::vector<std::vector<float>> out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames), 0.0f));
  for (auto& ch : out)
    ch[0] = amplitude;
  return out;
}

int peakIndex(const std::vector<float>& x, int from, int to)
{
  int best = from;
  for (int i = from; i < to && i < static_cast<int>(x.size()); ++i)
    if (std::fabs(x[static_cast<size_t>(i)]) > std::fabs(x[static_cast<size_t>(best)]))
      best = i;
  return best;
}

float peakLevel(const std::vector<float>& x, int from, int to)
{
  float peak = 0.0f;
  for (int i = std::max(from, 0); i < to && i < static_cast<int>(x.size()); ++i)
    peak = std::max(peak, std::fabs(x[static_cast<size_t>(i)]));
  return peak;
}

} // namespace ostra::lv2test
