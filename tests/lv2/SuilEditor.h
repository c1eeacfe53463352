#pragma once

// The bundle's editor opened the way LV2 hosts open it: through suil, inside a parent X
// window of the host's, on a running instance (instance access and data access), with the
// host's touch and resize features, and idle calls from the host's UI thread.
#include "lv2/LilvHost.h"

#include <X11/Xlib.h>
#include <lv2/data-access/data-access.h>
#include <lv2/ui/ui.h>
#include <suil/suil.h>

#include <string>
#include <vector>

namespace ostra::lv2test
{

/** What the UI told the host, in order: a gesture edge or a port value. */
struct HostEvent
{
  enum Kind
  {
    Touch,
    Release,
    Write
  } kind;
  std::uint32_t port;
  float value;
};

class SuilEditor
{
public:
  /** Opens the editor of `instance` inside `parent` (a window on `display`), telling it the
   *  host's ui:scaleFactor when `scaleFactor` is above 0. */
  SuilEditor(LilvHost& host, Instance& instance, Display* display, Window parent,
             float scaleFactor = 0.f);
  ~SuilEditor();
  SuilEditor(const SuilEditor&) = delete;
  SuilEditor& operator=(const SuilEditor&) = delete;

  bool open() const { return mUi != nullptr; }
  Window widget() const;
  /** One idle call as the host's UI loop makes it; false once the UI says it closed. */
  bool idle();
  /** Idle calls for about `ms` milliseconds. */
  void idleFor(int ms);
  /** The host's port changed (automation, a preset): the UI hears of it. */
  void portEvent(const std::string& symbol, float value);

  std::vector<HostEvent> events;
  int resizeWidth = 0;
  int resizeHeight = 0;

private:
  static void write(SuilController controller, std::uint32_t port, std::uint32_t size,
                    std::uint32_t protocol, const void* buffer);
  static std::uint32_t portIndex(SuilController controller, const char* symbol);
  static void touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed);
  static int resize(LV2UI_Feature_Handle handle, int width, int height);

  LilvHost& mHost;
  Instance& mInstance;
  SuilHost* mSuilHost = nullptr;
  SuilInstance* mUi = nullptr;
  const LV2UI_Idle_Interface* mIdle = nullptr;
  LV2_Extension_Data_Feature mDataAccess{};
  LV2UI_Touch mTouch{};
  LV2UI_Resize mResize{};
  LV2_Feature mParentFeature{}, mInstanceFeature{}, mDataFeature{}, mTouchFeature{},
      mResizeFeature{}, mOptionsFeature{};
  float mScaleFactor = 0.f;
  std::vector<LV2_Options_Option> mOptions;
  std::vector<const LV2_Feature*> mFeatures;
};

} // namespace ostra::lv2test
