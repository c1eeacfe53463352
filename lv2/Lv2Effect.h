#pragma once

#include "lv2/EditorAccess.h"
#include "plugin/OstraTapeDelay.h"

#include <atomic>

namespace ostratapedelay::lv2
{

/**
 * The plug-in as an LV2 host sees it. Without the bundle's UI an LV2 host owns the values
 * of its control ports and has no channel for value changes or gestures from the plug-in,
 * so they are dropped. While the UI is open they go to the host through it: edits reach
 * the control ports inside touch gestures, and the editor's resize requests reach the
 * host's window.
 */
class Lv2Effect final : public OstraTapeDelay
{
public:
  /** The open UI's host side, or null once it closes. UI thread, under the editor lock. */
  void setEditorHost(const EditorHost* host) noexcept { mHost.store(host); }

  void BeginInformHostOfParamChange(int paramIdx) override
  {
    if (const EditorHost* host = onUiThread())
      host->touch(host->context, paramIdx, true);
  }
  void InformHostOfParamChange(int paramIdx, double) override
  {
    // The port carries the real value; the parameter already holds it.
    if (const EditorHost* host = onUiThread())
      host->write(host->context, paramIdx, static_cast<float>(GetParam(paramIdx)->Value()));
  }
  void EndInformHostOfParamChange(int paramIdx) override
  {
    if (const EditorHost* host = onUiThread())
      host->touch(host->context, paramIdx, false);
  }
  bool EditorResize(int width, int height) override
  {
    const EditorHost* host = onUiThread();
    return host && host->resize(host->context, width, height);
  }

private:
  const EditorHost* onUiThread() const noexcept
  {
    const EditorHost* host = mHost.load();
    return host && host->thread == std::this_thread::get_id() ? host : nullptr;
  }

  std::atomic<const EditorHost*> mHost{nullptr};
};

} // namespace ostratapedelay::lv2
