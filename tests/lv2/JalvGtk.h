#pragma once

#include "ScreenProbe.h"
#include "ToolRunner.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ostra::lv2test
{

/**
 * jalv.gtk3 showing a plug-in on a private display and JACK server, driven with xdotool as a
 * user would: its window found by title, its state saved through its own File menu's dialog,
 * and closed from the same menu.
 */
class JalvGtk
{
public:
  /** Starts jalv.gtk3; `env` holds the JACK server, LV2_PATH and a home of the test's own. */
  JalvGtk(const std::string& uri, const Env& env, ScreenProbe& screen);

  BackgroundTool& process() { return *mJalv; }
  /** jalv's top-level window, once it shows; none after `limit`. */
  std::optional<Placement> window(const std::string& title, std::chrono::milliseconds limit);
  /** Saves the plug-in's state into `folder` (which must not exist yet) and returns the control
   *  port values of the saved state by symbol; empty when saving failed. */
  std::map<std::string, double> saveState(const std::string& folder);
  /** File ▸ Quit, with the mouse. */
  bool quit();
  /** Types a key combination over jalv's menu bar, as a user reaching for its shortcuts. */
  bool keyOverMenuBar(const std::string& keys);
  /** Runs xdotool with these arguments against the display; false when it failed. */
  bool xdotool(const std::vector<std::string>& args);

private:
  /** Opens the File menu and picks the item that `key` (Down or Up) selects first. */
  bool fileMenu(const std::string& key);
  std::optional<unsigned long> search(const std::string& title);

  ScreenProbe& mScreen;
  std::unique_ptr<BackgroundTool> mJalv;
  Placement mWindow;
};

/** The control port values of a state or preset saved by a host, by port symbol. */
std::map<std::string, double> portValues(const std::string& turtle);

} // namespace ostra::lv2test
