#pragma once

// An LV2 host's side of the instance's editor, without a window: the UI binary's part is
// played by a recording context, and what the editor tells the host is written down with
// the thread it came from.
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/testing/RecordingCanvas.h"
#include "lv2/Lv2Instance.h"

#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostra::lv2test
{

/** URID mapping, a worker schedule that only counts, and an instance made with them. */
class InstanceHost
{
public:
  InstanceHost()
  {
    mMap = {this, [](LV2_URID_Map_Handle h, const char* uri)
            {
              auto* self = static_cast<InstanceHost*>(h);
              std::lock_guard<std::mutex> lock(self->mMapLock);
              for (size_t i = 0; i < self->mUris.size(); ++i)
                if (self->mUris[i] == uri)
                  return LV2_URID(i + 1);
              self->mUris.emplace_back(uri);
              return LV2_URID(self->mUris.size());
            }};
    mSchedule = {this, [](LV2_Worker_Schedule_Handle h, uint32_t, const void*)
                 {
                   ++static_cast<InstanceHost*>(h)->scheduled;
                   return LV2_WORKER_SUCCESS;
                 }};
    mMapFeature = {LV2_URID__map, &mMap};
    mScheduleFeature = {LV2_WORKER__schedule, &mSchedule};
    mFeatures = {&mMapFeature, &mScheduleFeature, nullptr};
    mFeaturesWithoutWorker = {&mMapFeature, nullptr};
  }

  /** A stereo instance; without a worker an offline run ticks inside run(). */
  std::unique_ptr<ostratapedelay::lv2::Lv2Instance> make(bool withWorker = true)
  {
    auto instance = ostratapedelay::lv2::Lv2Instance::create(
        ostratapedelay::lv2::kVariants[0], 48000.0,
        withWorker ? mFeatures.data() : mFeaturesWithoutWorker.data());
    if (instance)
      instance->activate();
    return instance;
  }

  std::atomic<int> scheduled{0};

private:
  std::mutex mMapLock;
  std::vector<std::string> mUris;
  LV2_URID_Map mMap{};
  LV2_Worker_Schedule mSchedule{};
  LV2_Feature mMapFeature{}, mScheduleFeature{};
  std::vector<const LV2_Feature*> mFeatures, mFeaturesWithoutWorker;
};

/** The UI binary's side: makes recording contexts and records what reaches the host. */
struct EditorHostStub
{
  struct Event
  {
    char kind; // 't' touch, 'r' release, 'w' write
    int param;
    float value;
    std::thread::id thread;
  };

  EditorHostStub()
  {
    host.context = this;
    host.thread = std::this_thread::get_id();
    host.makeCanvas = [](void* c, plug::graphics::ICanvasEditorDelegate& delegate, int width,
                         int height, int, float scale) -> std::unique_ptr<plug::graphics::ICanvas>
    {
      auto* self = static_cast<EditorHostStub*>(c);
      ++self->canvasesMade;
      return std::make_unique<plug::graphics::testing::RecordingCanvas>(&delegate, width, height,
                                                                        scale);
    };
    host.touch = [](void* c, int param, bool grabbed)
    { static_cast<EditorHostStub*>(c)->add(grabbed ? 't' : 'r', param, 0.f); };
    host.write = [](void* c, int param, float value)
    { static_cast<EditorHostStub*>(c)->add('w', param, value); };
    host.resize = [](void*, int, int) { return true; };
    host.viewIdle = [](void* c)
    {
      ++static_cast<EditorHostStub*>(c)->viewIdles;
      return true;
    };
  }

  void add(char kind, int param, float value)
  {
    events.push_back({kind, param, value, std::this_thread::get_id()});
  }

  ostratapedelay::lv2::EditorHost host;
  std::vector<Event> events;
  int canvasesMade = 0;
  int viewIdles = 0;
};

} // namespace ostra::lv2test
