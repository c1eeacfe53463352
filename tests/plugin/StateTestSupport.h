#pragma once

#include "framework/IByteChunk.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostra::test
{

/** Builds state chunks field by field, so tests can write any version, cut or odd value. */
struct ChunkWriter
{
  std::string data;

  template <typename T>
  ChunkWriter& put(T v)
  {
    data.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
  ChunkWriter& word(std::uint32_t v) { return put(v); }
  ChunkWriter& i32(std::int32_t v) { return put(v); }
  ChunkWriter& bytes(const std::string& s) { return data += s, *this; }
  /** Magic, version, accent, width, height, name length and name. */
  ChunkWriter& header(std::int32_t version, std::uint32_t accent, std::int32_t w, std::int32_t h,
                      const std::string& name)
  {
    return bytes("1STO")
        .i32(version)
        .word(accent)
        .i32(w)
        .i32(h)
        .i32(std::int32_t(name.size()))
        .bytes(name);
  }
  /** Modified word, count and the values. */
  ChunkWriter& values(std::uint32_t modified, const std::vector<double>& v,
                      std::optional<std::int32_t> count = {})
  {
    word(modified).i32(count.value_or(std::int32_t(v.size())));
    for (double x : v)
      put(x);
    return *this;
  }
  /** The version-3 tail: bypass, input mode, bypass, factory flag, bypass. */
  ChunkWriter& tail(std::int32_t inputMode, std::uint32_t factory, std::uint32_t bypass = 0)
  {
    return word(bypass).i32(inputMode).word(bypass).word(factory).word(bypass);
  }
  int size() const { return static_cast<int>(data.size()); }
  plug::IByteChunk chunk() const
  {
    plug::IByteChunk c;
    c.AppendBytes(data.data(), size());
    return c;
  }
};

/** Eighteen in-range values that the constrain rules keep exactly; all but Tap (a
 *  momentary button the idle tick releases) differ from the defaults. */
inline std::vector<double> sampleValues()
{
  return {1.0,  750.5, 333.25, 9.0,   3.0,  0.0, 0.0,  62.5,  1.0,
          -6.5, 250.0, 8000.0, 150.0, 40.0, 0.0, 12.5, 900.0, 75.0};
}

/** Each parameter's default, or its current value. */
inline std::vector<double> paramValues(const OstraTapeDelay& plugin, bool defaults = false)
{
  std::vector<double> v;
  for (int i = 0; i < ostratapedelay::plugin::kNumParams; ++i)
    v.push_back(defaults ? plugin.GetParam(i)->GetDefault(false) : plugin.GetParam(i)->Value());
  return v;
}

/** A plug-in whose message boxes are recorded and answered by the test. */
class ScriptedPlugin : public OstraTapeDelay
{
public:
  struct Message
  {
    std::string text, title;
  };

  ScriptedPlugin() = default;
  explicit ScriptedPlugin(const corvana::updates::UpdateWorkerTiming& updateTiming)
    : OstraTapeDelay(updateTiming)
  {
  }

  void tell(const std::string& message, const std::string& title) override
  {
    told.push_back({message, title});
  }
  bool ask(const std::string& message, const std::string& title) override
  {
    asked.push_back({message, title});
    return answer;
  }

  bool answer = false;
  std::vector<Message> told, asked;
};

/** Points XDG_DATA_HOME at a fresh temporary folder while it lives. Create it before any
 *  plug-in, so no worker thread reads the environment while it changes. */
class TempDataHome
{
public:
  TempDataHome()
  {
    char pattern[] = "/tmp/ostra-state-XXXXXX";
    root = mkdtemp(pattern) ? pattern : "/tmp/ostra-state-fallback";
    if (const char* old = std::getenv("XDG_DATA_HOME"))
      previous = old;
    setenv("XDG_DATA_HOME", root.c_str(), 1);
  }
  ~TempDataHome()
  {
    previous ? setenv("XDG_DATA_HOME", previous->c_str(), 1) : unsetenv("XDG_DATA_HOME");
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path presets() const { return root / "OstraTape-delay" / "Presets"; }

  std::filesystem::path root;
  std::optional<std::string> previous;
};

} // namespace ostra::test
