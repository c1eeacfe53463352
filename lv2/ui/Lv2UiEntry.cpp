// The UI binary's C entry: one X11 UI for every plug-in of the bundle.
#include "lv2/Ports.h"
#include "lv2/ui/Lv2Ui.h"

#include <cstdio>
#include <cstring>

using ostratapedelay::lv2::Lv2Ui;

namespace
{

Lv2Ui* self(LV2UI_Handle handle)
{
  return static_cast<Lv2Ui*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* /*pluginUri*/,
                         const char* /*bundlePath*/, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
  std::string error;
  try
  {
    if (auto ui = Lv2Ui::create(write, controller, widget, features, error))
      return ui.release();
  }
  catch (const std::exception& e)
  {
    error = e.what();
  }
  // The host shows no editor; this says why.
  std::fprintf(stderr, "%s: the editor cannot open: %s\n", ostratapedelay::plugin::kProductName,
               error.c_str());
  return nullptr;
}

void cleanup(LV2UI_Handle handle)
{
  delete self(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer)
{
  self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle)
{
  return self(handle)->idle();
}

int hostResize(LV2UI_Feature_Handle handle, int width, int height)
{
  return self(handle)->hostResized(width, height);
}

const LV2UI_Idle_Interface kIdleInterface = {idle};
const LV2UI_Resize kResizeInterface = {nullptr, hostResize};

const void* extensionData(const char* uri)
{
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &kIdleInterface;
  if (std::strcmp(uri, LV2_UI__resize) == 0)
    return &kResizeInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {ostratapedelay::lv2::kUiUri, instantiate, cleanup, portEvent,
                                      extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}
