#include "JalvGtk.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace ostra::lv2test
{

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

JalvGtk::JalvGtk(const std::string& uri, const Env& env, ScreenProbe& screen)
  : mScreen(screen)
{
  Env all = env;
  all.insert(screen.env().begin(), screen.env().end());
  // Line-buffered, so its report of the chosen UI arrives while it runs.
  mJalv = std::make_unique<BackgroundTool>(
      std::vector<std::string>{"stdbuf", "-oL", "-eL", "jalv.gtk3", uri}, all);
}

bool JalvGtk::xdotool(const std::vector<std::string>& args)
{
  std::vector<std::string> all = {"xdotool"};
  all.insert(all.end(), args.begin(), args.end());
  return runTool(all, mScreen.env(), 15s).exitCode == 0;
}

std::optional<unsigned long> JalvGtk::search(const std::string& title)
{
  const ToolResult found = runTool(
      {"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}, mScreen.env(), 10s);
  std::istringstream lines(found.output);
  std::string line;
  if (found.exitCode == 0 && std::getline(lines, line) && !line.empty() &&
      line.find_first_not_of("0123456789") == std::string::npos)
    return std::stoul(line);
  return std::nullopt;
}

std::optional<Placement> JalvGtk::window(const std::string& title, std::chrono::milliseconds limit)
{
  const auto end = Clock::now() + limit;
  while (Clock::now() < end && mJalv->running())
  {
    if (auto id = search(title))
      if (auto p = mScreen.placement(*id))
        return mWindow = *p;
    std::this_thread::sleep_for(100ms);
  }
  return std::nullopt;
}

bool JalvGtk::fileMenu(const std::string& key)
{
  // "File" leads jalv's menu bar; the open menu takes the keyboard.
  return xdotool({"mousemove", std::to_string(mWindow.x + 19), std::to_string(mWindow.y + 12),
                  "click", "1", "sleep", "0.4", "key", key, "sleep", "0.2", "key", "Return"});
}

std::map<std::string, double> JalvGtk::saveState(const std::string& folder)
{
  if (!fileMenu("Down")) // the first item: Save
    return {};
  std::optional<Placement> dialog;
  for (auto end = Clock::now() + 10s; !dialog && Clock::now() < end;)
  {
    if (auto id = search("Save State"))
      dialog = mScreen.placement(*id);
    else
      std::this_thread::sleep_for(100ms);
  }
  if (!dialog)
    return {};
  // A window manager would give the new dialog the keyboard; here we do. Its name field has
  // the dialog's own focus and takes a whole path.
  if (!xdotool({"windowfocus", "--sync", std::to_string(dialog->window)}) ||
      !xdotool({"type", "--delay", "10", folder}))
    return {};
  const std::string state = folder + "/state.ttl";
  // The first Return may only close the field's completion list.
  for (int attempt = 0; attempt < 3 && !std::filesystem::exists(state); ++attempt)
  {
    std::this_thread::sleep_for(300ms);
    xdotool({"key", "Return"});
    for (auto end = Clock::now() + 3s; Clock::now() < end && !std::filesystem::exists(state);)
      std::this_thread::sleep_for(50ms);
  }
  // Read once the file has stopped growing.
  std::string text, last = "-";
  for (auto end = Clock::now() + 3s; text != last && Clock::now() < end;)
  {
    last = text;
    std::this_thread::sleep_for(100ms);
    std::ifstream in(state);
    std::stringstream read;
    read << in.rdbuf();
    text = read.str();
  }
  return portValues(text);
}

bool JalvGtk::quit()
{
  return fileMenu("Up"); // the last item: Quit
}

bool JalvGtk::keyOverMenuBar(const std::string& keys)
{
  // Without a window manager the keyboard follows the pointer unless a window took it; the
  // menu bar's right end is empty.
  return xdotool({"mousemove", std::to_string(mWindow.x + mWindow.width - 20),
                  std::to_string(mWindow.y + 10), "key", keys});
}

std::map<std::string, double> portValues(const std::string& turtle)
{
  std::map<std::string, double> values;
  const std::regex port(R"re(lv2:symbol\s+"(\w+)"\s*;\s*pset:value\s+([-+0-9.eE]+))re");
  for (std::sregex_iterator it(turtle.begin(), turtle.end(), port), end; it != end; ++it)
    values[(*it)[1].str()] = std::stod((*it)[2].str());
  return values;
}

} // namespace ostra::lv2test
