#include "lv2/ui/Lv2Ui.h"

#include "graphics/linux/ICanvasLinux.h"
#include "lv2/Features.h"

#include <lv2/atom/atom.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>

namespace ostratapedelay::lv2
{

namespace
{
/** The host's ui:scaleFactor, or 0 when it gives none. */
float hostScaleFactor(const LV2_Feature* const* features)
{
  const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
  const auto* options =
      static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options));
  if (!map || !map->map || !options)
    return 0.f;
  const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
  for (const LV2_Options_Option* o = options; o->key != 0; ++o)
    if (o->key == key && o->type == floatType && o->size == sizeof(float) && o->value)
    {
      const float scale = *static_cast<const float*>(o->value);
      // Hosts have sent nonsense here; the display's own resolution is the better guess.
      return scale >= 0.5f && scale <= 4.f ? scale : 0.f;
    }
  return 0.f;
}
} // namespace

std::unique_ptr<Lv2Ui> Lv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                     LV2UI_Widget* widget, const LV2_Feature* const* features,
                                     std::string& error)
{
  const void* parent = findFeature(features, LV2_UI__parent);
  LV2_Handle instance = const_cast<void*>(findFeature(features, LV2_INSTANCE_ACCESS_URI));
  const auto* dataAccess =
      static_cast<const LV2_Extension_Data_Feature*>(findFeature(features, LV2_DATA_ACCESS_URI));
  if (!instance || !dataAccess || !dataAccess->data_access)
  {
    error = "the host gives no access to the plug-in instance";
    return nullptr;
  }
  const auto* access = static_cast<const EditorAccess*>(dataAccess->data_access(kEditorAccessUri));
  if (!access)
  {
    error = "the plug-in instance is not this bundle's";
    return nullptr;
  }
  if (!widget)
  {
    error = "the host asks for no widget";
    return nullptr;
  }

  std::unique_ptr<Lv2Ui> ui(new Lv2Ui());
  ui->mAccess = access;
  ui->mInstance = instance;
  ui->mWrite = write;
  ui->mController = controller;
  ui->mTouch = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
  ui->mResize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize));
  ui->mParent = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent));
  ui->mHostScale = hostScaleFactor(features);

  EditorHost& host = ui->mHost;
  host.context = ui.get();
  host.thread = std::this_thread::get_id();
  host.makeCanvas = &Lv2Ui::makeCanvas;
  host.touch = &Lv2Ui::touch;
  host.write = &Lv2Ui::write;
  host.resize = &Lv2Ui::resize;
  host.viewIdle = &Lv2Ui::viewIdle;

  {
    EditorLock lock(*access, instance);
    if (!access->open(instance, &host) || !ui->mView)
    {
      error = ui->mViewError.empty() ? "the editor could not open" : ui->mViewError;
      access->close(instance, &ui->mHost);
      ui->mView = nullptr;
      ui->mAccess = nullptr; // nothing left to close
      return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(ui->mView->GetXWindow()));
    // The host sizes its window to the editor's.
    if (ui->mResize && ui->mResize->ui_resize)
      ui->mResize->ui_resize(ui->mResize->handle, ui->mView->PixelWidth(),
                             ui->mView->PixelHeight());
  }
  return ui;
}

Lv2Ui::~Lv2Ui()
{
  if (!mAccess)
    return;
  EditorLock lock(*mAccess, mInstance);
  mAccess->close(mInstance, &mHost);
  mView = nullptr;
}

int Lv2Ui::idle()
{
  EditorLock lock(*mAccess, mInstance);
  return mAccess->idle(mInstance, &mHost) ? 0 : 1;
}

void Lv2Ui::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer)
{
  // Only plain control values (format 0) concern the editor.
  if (format != 0 || size != sizeof(float) || !buffer)
    return;
  float value = 0.f;
  std::memcpy(&value, buffer, sizeof value);
  EditorLock lock(*mAccess, mInstance);
  mAccess->portEvent(mInstance, port, value);
}

int Lv2Ui::hostResized(int width, int height)
{
  EditorLock lock(*mAccess, mInstance);
  mAccess->parentResized(mInstance, width, height);
  return 0;
}

std::unique_ptr<plug::graphics::ICanvas>
Lv2Ui::makeCanvas(void* context, plug::graphics::ICanvasEditorDelegate& delegate, int width,
                  int height, int fps, float scale)
{
  auto* self = static_cast<Lv2Ui*>(context);
  plug::graphics::ILinuxViewOptions options;
  options.parent = self->mParent;
  options.hostScale = self->mHostScale;
  auto view = plug::graphics::ICanvasLinux::Create(&delegate, width, height, fps, scale, options,
                                                   self->mViewError);
  self->mView = view.get();
  if (view)
    view->SetParentResizeFunc([self](int w, int h)
                              { self->mAccess->parentResized(self->mInstance, w, h); });
  return view;
}

void Lv2Ui::touch(void* context, int paramIdx, bool grabbed)
{
  auto* self = static_cast<Lv2Ui*>(context);
  if (self->mTouch && self->mTouch->touch)
    self->mTouch->touch(self->mTouch->handle, static_cast<std::uint32_t>(paramIdx), grabbed);
}

void Lv2Ui::write(void* context, int paramIdx, float value)
{
  auto* self = static_cast<Lv2Ui*>(context);
  if (self->mWrite)
    self->mWrite(self->mController, static_cast<std::uint32_t>(paramIdx), sizeof value, 0, &value);
}

bool Lv2Ui::resize(void* context, int width, int height)
{
  auto* self = static_cast<Lv2Ui*>(context);
  return self->mResize && self->mResize->ui_resize &&
         self->mResize->ui_resize(self->mResize->handle, width, height) == 0;
}

bool Lv2Ui::viewIdle(void* context)
{
  auto* self = static_cast<Lv2Ui*>(context);
  return self->mView && self->mView->Idle();
}

} // namespace ostratapedelay::lv2
