#pragma once

#include "lv2/EditorAccess.h"
#include "lv2/Ports.h"

#include <lv2/ui/ui.h>

#include <memory>
#include <string>

namespace plug::graphics
{
class ICanvasLinux;
}

namespace ostratapedelay::lv2
{

/**
 * The bundle's X11 UI: the running instance's own editor, shown in a child window of the
 * host's. It reaches the instance through the host's instance-access and data-access
 * features and brings only the native view; the layout, the idle tick, presets and the
 * update notice are the instance's.
 *
 * Everything runs on the host's UI thread, each call under the instance's editor lock. The
 * host's idle calls drive the view's events and frames and the plug-in's 20 ms tick.
 */
class Lv2Ui
{
public:
  /** Opens the editor inside the host's parent window; null with the reason when a feature
   *  is missing or no view could be made. */
  static std::unique_ptr<Lv2Ui> create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                       LV2UI_Widget* widget, const LV2_Feature* const* features,
                                       std::string& error);
  /** Closes the editor, with any menu, field or box still open on it. */
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  /** 0 while the editor is open, 1 once its window is gone. */
  int idle();
  /** A control port changed on the host's side. */
  void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer);
  /** The host resized the editor's window (device pixels). */
  int hostResized(int width, int height);

private:
  Lv2Ui() = default;

  // The instance's calls back into the UI (EditorHost).
  static std::unique_ptr<plug::graphics::ICanvas>
  makeCanvas(void* context, plug::graphics::ICanvasEditorDelegate& delegate, int width, int height,
             int fps, float scale);
  static void touch(void* context, int paramIdx, bool grabbed);
  static void write(void* context, int paramIdx, float value);
  static bool resize(void* context, int width, int height);
  static bool viewIdle(void* context);

  const EditorAccess* mAccess = nullptr;
  LV2_Handle mInstance = nullptr;
  EditorHost mHost;
  LV2UI_Write_Function mWrite = nullptr;
  LV2UI_Controller mController = nullptr;
  const LV2UI_Touch* mTouch = nullptr;
  const LV2UI_Resize* mResize = nullptr;
  unsigned long mParent = 0;
  float mHostScale = 0.f;
  /** The open view; it belongs to the instance's editor and goes when the editor closes. */
  plug::graphics::ICanvasLinux* mView = nullptr;
  std::string mViewError;
};

} // namespace ostratapedelay::lv2
