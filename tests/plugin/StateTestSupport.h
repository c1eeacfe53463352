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
  plug::IByteChunk chunk;

  ChunkWriter() = default;
  ChunkWriter(const ChunkWriter& other) { chunk.PutChunk(other.chunk); }
  ChunkWriter& operator=(const ChunkWriter& other)
  {
    if (this != &other)
    {
      chunk.Empty();
      chunk.PutChunk(other.chunk);
    }
    return *this;
  }

  ChunkWriter& word(std::uint32_t v)
  {
    chunk.AppendValue(v);
    return *this;
  }
  ChunkWriter& i32(std::int32_t v)
  {
    chunk.AppendValue(v);
    return *this;
  }
  ChunkWriter& value(double v)
  {
    chunk.AppendValue(v);
    return *this;
  }
  ChunkWriter& bytes(const std::string& s)
  {
    chunk.AppendBytes(s.data(), static_cast<int>(s.size()));
    return *this;
  }
  /** Magic, version, accent, width, height, name length and name. */
  ChunkWriter& header(std::int32_t version, std::uint32_t accent, std::int32_t width, std::int32_t height,
                      const std::string& name)
  {
    bytes("1STO").i32(version).word(accent).i32(width).i32(height);
    return i32(static_cast<std::int32_t>(name.size())).bytes(name);
  }
  /** Modified word, count and the values. */
  ChunkWriter& values(std::uint32_t modified, const std::vector<double>& v, std::optional<std::int32_t> count = {})
  {
    word(modified).i32(count.value_or(static_cast<std::int32_t>(v.size())));
    for (double x : v)
      value(x);
    return *this;
  }
  int size() const { return chunk.ByteCount(); }
};

/** Eighteen in-range values that the constrain rules keep exactly; all but Tap (a
 *  momentary button the idle tick releases) differ from the defaults. */
inline std::vector<double> sampleValues()
{
  return {1.0,   750.5, 333.25, 9.0,   3.0,  0.0,  0.0, 62.5,   1.0,
          -6.5,  250.0, 8000.0, 150.0, 40.0, 0.0,  12.5, 900.0, 75.0};
}

inline std::vector<double> defaultValues(const OstraTapeDelay& plugin)
{
  std::vector<double> v;
  for (int i = 0; i < ostratapedelay::plugin::kNumParams; ++i)
    v.push_back(plugin.GetParam(i)->GetDefault(false));
  return v;
}

/** A plug-in whose message boxes are recorded and whose replace question is answered by
 *  the test, and which records what the host is told. */
class ScriptedPlugin : public OstraTapeDelay
{
public:
  struct Message
  {
    std::string text;
    std::string title;
  };

  void tell(const std::string& message, const std::string& title) override { told.push_back({message, title}); }
  bool ask(const std::string& message, const std::string& title) override
  {
    asked.push_back({message, title});
    return answer;
  }
  void BeginInformHostOfParamChange(int idx) override { hostEvents.push_back("begin " + std::to_string(idx)); }
  void InformHostOfParamChange(int idx, double) override { hostEvents.push_back("value " + std::to_string(idx)); }
  void EndInformHostOfParamChange(int idx) override { hostEvents.push_back("end " + std::to_string(idx)); }

  bool answer = false;
  std::vector<Message> told;
  std::vector<Message> asked;
  std::vector<std::string> hostEvents;
};

/** Points XDG_DATA_HOME at a fresh temporary folder for the object's lifetime. Create it
 *  before any plug-in, so no worker thread reads the environment while it changes. */
class TempDataHome
{
public:
  TempDataHome()
  {
    char pattern[] = "/tmp/ostra-state-XXXXXX";
    const char* made = mkdtemp(pattern);
    root = made ? made : "/tmp/ostra-state-fallback";
    if (const char* old = std::getenv("XDG_DATA_HOME"))
      previous = old;
    setenv("XDG_DATA_HOME", root.c_str(), 1);
  }
  ~TempDataHome()
  {
    if (previous)
      setenv("XDG_DATA_HOME", previous->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    std::error_code ec;
    std::filesystem::permissions(presets(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root, ec);
  }
  TempDataHome(const TempDataHome&) = delete;
  TempDataHome& operator=(const TempDataHome&) = delete;

  std::filesystem::path presets() const { return root / "OstraTape-delay" / "Presets"; }

  std::filesystem::path root;
  std::optional<std::string> previous;
};

} // namespace ostra::test
