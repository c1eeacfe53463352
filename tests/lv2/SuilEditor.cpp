#include "lv2/SuilEditor.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace ostra::lv2test
{

namespace
{
constexpr const char* kUiUri = "urn:corvana:ostratape-delay#ui";
}

SuilEditor::SuilEditor(LilvHost& host, Instance& instance, Display*, Window parent,
                       float scaleFactor)
  : mHost(host)
  , mInstance(instance)
  , mScaleFactor(scaleFactor)
{
  mSuilHost = suil_host_new(&SuilEditor::write, &SuilEditor::portIndex, nullptr, nullptr);
  mDataAccess.data_access = lilv_instance_get_descriptor(instance.raw())->extension_data;
  mTouch = {this, &SuilEditor::touch};
  mResize = {this, &SuilEditor::resize};
  mParentFeature = {LV2_UI__parent, reinterpret_cast<void*>(parent)};
  mInstanceFeature = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance.raw())};
  mDataFeature = {LV2_DATA_ACCESS_URI, &mDataAccess};
  mTouchFeature = {LV2_UI__touch, &mTouch};
  mResizeFeature = {LV2_UI__resize, &mResize};
  for (const LV2_Feature* const* f = host.features(); *f; ++f)
    if (scaleFactor <= 0.f || std::strcmp((*f)->URI, LV2_OPTIONS__options) != 0)
      mFeatures.push_back(*f);
  if (scaleFactor > 0.f)
  {
    mOptions = {{LV2_OPTIONS_INSTANCE, 0, host.map(LV2_UI__scaleFactor), sizeof(float),
                 host.map(LV2_ATOM__Float), &mScaleFactor},
                {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
    mFeatures.push_back(&mOptionsFeature);
  }
  for (const LV2_Feature* f :
       {&mParentFeature, &mInstanceFeature, &mDataFeature, &mTouchFeature, &mResizeFeature})
    mFeatures.push_back(f);
  mFeatures.push_back(nullptr);

  const std::string bundle = bundleDir() + "/";
  const std::string binary = bundle + "ostratape-delay_ui.so";
  mUi = suil_instance_new(mSuilHost, this, LV2_UI__X11UI, kStereoUri, kUiUri, LV2_UI__X11UI,
                          bundle.c_str(), binary.c_str(), mFeatures.data());
  if (mUi)
    mIdle = static_cast<const LV2UI_Idle_Interface*>(
        suil_instance_extension_data(mUi, LV2_UI__idleInterface));
}

SuilEditor::~SuilEditor()
{
  if (mUi)
    suil_instance_free(mUi);
  suil_host_free(mSuilHost);
}

Window SuilEditor::widget() const
{
  return mUi ? static_cast<Window>(reinterpret_cast<std::uintptr_t>(suil_instance_get_widget(mUi)))
             : 0;
}

bool SuilEditor::idle()
{
  return mIdle && mIdle->idle(suil_instance_get_handle(mUi)) == 0;
}

void SuilEditor::idleFor(int ms)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end)
  {
    idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void SuilEditor::portEvent(const std::string& symbol, float value)
{
  mInstance.control(symbol) = value;
  suil_instance_port_event(mUi, portIndex(this, symbol.c_str()), sizeof value, 0, &value);
}

void SuilEditor::write(SuilController controller, std::uint32_t port, std::uint32_t size,
                       std::uint32_t protocol, const void* buffer)
{
  auto* self = static_cast<SuilEditor*>(controller);
  float value = 0.f;
  if (protocol != 0 || size != sizeof value)
    return;
  std::memcpy(&value, buffer, sizeof value);
  self->events.push_back({HostEvent::Write, port, value});
}

std::uint32_t SuilEditor::portIndex(SuilController controller, const char* symbol)
{
  auto* self = static_cast<SuilEditor*>(controller);
  const LilvPlugin* plugin = self->mHost.plugin(kStereoUri);
  LilvNode* node = lilv_new_string(self->mHost.world(), symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, node);
  lilv_node_free(node);
  return port ? lilv_port_get_index(plugin, port) : LV2UI_INVALID_PORT_INDEX;
}

void SuilEditor::touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed)
{
  auto* self = static_cast<SuilEditor*>(handle);
  self->events.push_back({grabbed ? HostEvent::Touch : HostEvent::Release, port, 0.f});
}

int SuilEditor::resize(LV2UI_Feature_Handle handle, int width, int height)
{
  auto* self = static_cast<SuilEditor*>(handle);
  self->resizeWidth = width;
  self->resizeHeight = height;
  return 0;
}

} // namespace ostra::lv2test
