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

namespace
{
constexpr const char* kStateKey = "urn:corvana:ostratape-delay#state";

// What the state callbacks store into and retrieve from.
struct ChunkSlot
{
  std::vector<std::uint8_t> bytes;
  LV2_URID key = 0;
  LV2_URID type = 0;
};
} // namespace

std::string bundleParent()
{
  return std::string(OSTRA_BUILD_DIR) + "/lv2/bundle";
}

std::string bundleDir()
{
  return bundleParent() + "/ostratape-delay.lv2";
}

LilvHost::LilvHost(int maxBlock)
  : mMaxBlock(maxBlock)
{
  setenv("LV2_PATH", bundleParent().c_str(), 1); // only the built bundle, nothing installed
  mWorld = lilv_world_new();
  lilv_world_load_all(mWorld);

  mMap = {this, [](LV2_URID_Map_Handle h, const char* uri)
          { return static_cast<LilvHost*>(h)->map(uri); }};
  mUnmap = {this,
            [](LV2_URID_Unmap_Handle h, LV2_URID urid) -> const char*
            {
              auto& uris = static_cast<LilvHost*>(h)->mUris;
              return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
            }};
  mSchedule = {this, [](LV2_Worker_Schedule_Handle h, uint32_t, const void*)
               {
                 ++static_cast<LilvHost*>(h)->pendingWork;
                 ++static_cast<LilvHost*>(h)->scheduledWork;
                 return LV2_WORKER_SUCCESS;
               }};
  mOptions = {{LV2_OPTIONS_INSTANCE, 0, map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
               map(LV2_ATOM__Int), &mMaxBlock},
              {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  mMapFeature = {LV2_URID__map, &mMap};
  mUnmapFeature = {LV2_URID__unmap, &mUnmap};
  mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
  mScheduleFeature = {LV2_WORKER__schedule, &mSchedule};
  mFeatures = {&mMapFeature, &mUnmapFeature, &mOptionsFeature, &mScheduleFeature, nullptr};
}

const LilvPlugin* LilvHost::plugin(const char* uri) const
{
  LilvNode* node = lilv_new_uri(mWorld, uri);
  const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), node);
  lilv_node_free(node);
  return p;
}

LV2_URID LilvHost::map(const char* uri)
{
  const auto it = std::find(mUris.begin(), mUris.end(), uri);
  if (it != mUris.end())
    return static_cast<LV2_URID>(it - mUris.begin() + 1);
  mUris.emplace_back(uri);
  return static_cast<LV2_URID>(mUris.size());
}

Instance::Instance(LilvHost& host, const char* uri, double rate, bool bareHost)
  : mHost(host)
{
  static const LV2_Feature* const kNoFeatures[] = {nullptr};
  mPlugin = host.plugin(uri);
  mInstance = mPlugin
                  ? lilv_plugin_instantiate(mPlugin, rate, bareHost ? kNoFeatures : host.features())
                  : nullptr;
  if (!mInstance)
    return;
  LilvNode* control = lilv_new_uri(host.world(), LV2_CORE__ControlPort);
  LilvNode* audio = lilv_new_uri(host.world(), LV2_CORE__AudioPort);
  LilvNode* input = lilv_new_uri(host.world(), LV2_CORE__InputPort);
  const uint32_t nPorts = lilv_plugin_get_num_ports(mPlugin);
  mControls.assign(nPorts, 0.0f);
  mSequence.assign(1024, 0);
  lilv_plugin_get_port_ranges_float(mPlugin, nullptr, nullptr, mControls.data());
  for (uint32_t i = 0; i < nPorts; ++i)
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
    mSymbols.emplace_back(lilv_node_as_string(lilv_port_get_symbol(mPlugin, port)));
    if (lilv_port_is_a(mPlugin, port, audio))
      ++(lilv_port_is_a(mPlugin, port, input) ? mNIn : mNOut);
    else
      lilv_instance_connect_port(mInstance, i,
                                 lilv_port_is_a(mPlugin, port, control)
                                     ? static_cast<void*>(&mControls[i])
                                     : static_cast<void*>(mSequence.data()));
  }
  lilv_node_free(control);
  lilv_node_free(audio);
  lilv_node_free(input);
  clearEvents();
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
  const auto it = std::find(mSymbols.begin(), mSymbols.end(), symbol);
  if (it == mSymbols.end())
    throw std::runtime_error("no port " + symbol);
  return mControls[static_cast<size_t>(it - mSymbols.begin())];
}

void Instance::sendTempo(double bpm, std::uint32_t frame)
{
  // Appended to what the next cycle reads; the cycle after starts empty again.
  auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mSequence.data());
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, mHost.mapFeature());
  const size_t used = sizeof(LV2_Atom) + seq->atom.size;
  lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(mSequence.data()) + used,
                            mSequence.size() * sizeof(std::uint64_t) - used);
  lv2_atom_forge_frame_time(&forge, frame);
  LV2_Atom_Forge_Frame object;
  lv2_atom_forge_object(&forge, &object, 0, mHost.map(LV2_TIME__Position));
  lv2_atom_forge_key(&forge, mHost.map(LV2_TIME__beatsPerMinute));
  lv2_atom_forge_float(&forge, static_cast<float>(bpm));
  lv2_atom_forge_key(&forge, mHost.map(LV2_TIME__speed));
  lv2_atom_forge_float(&forge, 1.0f);
  lv2_atom_forge_pop(&forge, &object);
  seq->atom.size += static_cast<uint32_t>(lv2_atom_pad_size(forge.offset));
}

void Instance::clearEvents()
{
  *reinterpret_cast<LV2_Atom_Sequence*>(mSequence.data()) = {
      {sizeof(LV2_Atom_Sequence_Body), mHost.map(LV2_ATOM__Sequence)}, {0, 0}};
}

void Instance::connectAudio(const std::vector<float*>& ins, const std::vector<float*>& outs)
{
  // The audio ports come last: inputs, then outputs.
  const uint32_t first = lilv_plugin_get_num_ports(mPlugin) - static_cast<uint32_t>(mNIn + mNOut);
  for (uint32_t p = 0; p < static_cast<uint32_t>(mNIn + mNOut); ++p)
    lilv_instance_connect_port(mInstance, first + p,
                               p < static_cast<uint32_t>(mNIn) ? ins[p] : outs[p - mNIn]);
}

Audio Instance::process(const Audio& in, int block, bool inPlace)
{
  const size_t frames = in.empty() ? 0 : in[0].size();
  Audio buffers = in; // a second output of a mono input gets a buffer of its own
  buffers.resize(std::max(in.size(), static_cast<size_t>(mNOut)), std::vector<float>(frames));
  Audio separate(inPlace ? 0 : static_cast<size_t>(mNOut), std::vector<float>(frames));
  Audio& out = inPlace ? buffers : separate;
  for (size_t pos = 0; pos < frames; pos += static_cast<size_t>(block))
  {
    std::vector<float*> ins, outs;
    for (int c = 0; c < mNIn; ++c)
      ins.push_back(buffers[static_cast<size_t>(c)].data() + pos);
    for (int c = 0; c < mNOut; ++c)
      outs.push_back(out[static_cast<size_t>(c)].data() + pos);
    connectAudio(ins, outs);
    lilv_instance_run(mInstance,
                      static_cast<uint32_t>(std::min(frames - pos, static_cast<size_t>(block))));
    clearEvents();
    serveWorker();
  }
  out.resize(static_cast<size_t>(mNOut));
  return out;
}

void Instance::serveWorker()
{
  const auto* iface = static_cast<const LV2_Worker_Interface*>(
      lilv_instance_get_extension_data(mInstance, LV2_WORKER__interface));
  const std::uint32_t token = 0;
  for (; mHost.pendingWork > 0; --mHost.pendingWork)
    if (iface && iface->work)
      iface->work(lilv_instance_get_handle(mInstance), nullptr, nullptr, sizeof token, &token);
}

void Instance::reset()
{
  lilv_instance_deactivate(mInstance);
  lilv_instance_activate(mInstance);
}

std::vector<std::uint8_t> Instance::chunk()
{
  const auto* iface = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  ChunkSlot slot{{}, mHost.map(kStateKey), mHost.map(LV2_ATOM__Chunk)};
  auto store =
      [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t)
  {
    auto* s = static_cast<ChunkSlot*>(h);
    if (key != s->key || type != s->type)
      return LV2_STATE_ERR_BAD_TYPE;
    s->bytes.assign(static_cast<const std::uint8_t*>(value),
                    static_cast<const std::uint8_t*>(value) + size);
    return LV2_STATE_SUCCESS;
  };
  if (!iface || iface->save(lilv_instance_get_handle(mInstance), store, &slot, LV2_STATE_IS_POD,
                            mHost.features()) != LV2_STATE_SUCCESS)
    return {};
  return slot.bytes;
}

LV2_State_Status Instance::restoreChunk(const std::vector<std::uint8_t>& bytes, LV2_URID type)
{
  const auto* iface = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  ChunkSlot slot{bytes, mHost.map(kStateKey), type ? type : mHost.map(LV2_ATOM__Chunk)};
  auto retrieve = [](LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                     uint32_t* flags) -> const void*
  {
    auto* s = static_cast<ChunkSlot*>(h);
    if (key != s->key)
      return nullptr;
    *size = s->bytes.size();
    *type = s->type;
    *flags = LV2_STATE_IS_POD;
    return s->bytes.data();
  };
  return iface->restore(lilv_instance_get_handle(mInstance), retrieve, &slot, 0, mHost.features());
}

LilvState* Instance::saveState()
{
  auto getValue = [](const char* symbol, void* data, uint32_t* size, uint32_t* type) -> const void*
  {
    auto* self = static_cast<Instance*>(data);
    *size = sizeof(float);
    *type = self->mHost.map(LV2_ATOM__Float);
    return &self->control(symbol);
  };
  return lilv_state_new_from_instance(mPlugin, mInstance, mHost.mapFeature(), nullptr, nullptr,
                                      nullptr, nullptr, getValue, this,
                                      LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mHost.features());
}

void Instance::restoreState(const LilvState* state)
{
  auto setValue =
      [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type)
  {
    auto* self = static_cast<Instance*>(data);
    if (type == self->mHost.map(LV2_ATOM__Float) && size == sizeof(float))
      self->control(symbol) = *static_cast<const float*>(value);
  };
  lilv_state_restore(state, mInstance, setValue, this, 0, mHost.features());
}

Audio noise(int channels, int frames, float amplitude, unsigned seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-amplitude, amplitude);
  Audio out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
  for (size_t i = 0; i < out[0].size(); ++i)
    for (auto& ch : out)
      ch[i] = dist(rng);
  return out;
}

Audio impulse(int channels, int frames, float amplitude)
{
  Audio out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
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
  from = std::max(from, 0);
  return from < static_cast<int>(x.size())
             ? std::fabs(x[static_cast<size_t>(peakIndex(x, from, to))])
             : 0.0f;
}

} // namespace ostra::lv2test
