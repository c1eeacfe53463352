// The update feed and the shared record come from outside (a web server, another process):
// the JSON reader, the record reader and the notice rules must hold for any bytes.
#include "../updates/UpdateCheckProbe.h"
#include "framework/JSONString.h"
#include "updates/Json.h"
#include "updates/UpdateCheck.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace corvana::updates;

namespace
{

void require(bool condition)
{
  if (!condition)
    std::abort();
}

bool safeUrlTail(std::string_view page)
{
  for (const char c : page)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
          c == '-' || c == '_' || c == '#'))
      return false;
  return true;
}

const UpdateCheck& check()
{
  static const UpdateCheck instance(
      []
      {
        Config config;
        config.product = "ostratape-delay";
        config.version = "1.0.0";
        config.folder = "/nonexistent/fuzz";
        config.feedUrl = "http://127.0.0.1:1/updates.json";
        return config;
      }());
  return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Any bytes survive the writer and reader unchanged.
  std::string quoted;
  plug::AppendJSONString(quoted, text);
  const auto back = parseJson(quoted);
  require(back && back->isString() && back->string == text);

  // A document that reads, re-written string by string, reads the same way.
  if (const auto value = parseJson(text); value && value->isString())
  {
    std::string again;
    plug::AppendJSONString(again, value->string);
    const auto reread = parseJson(again);
    require(reread && reread->string == value->string);
  }

  // Records: reading never fails loudly, and what was read writes back to the same record.
  const auto record = UpdateCheckProbe::parseRecord(text);
  const std::string written = UpdateCheckProbe::recordText(record);
  if (written.size() <= kMaxFileBytes)
  {
    const auto reread = UpdateCheckProbe::parseRecord(written);
    require(reread.lastCheck == record.lastCheck && reread.feed == record.feed);
  }

  // Notices: only newer valid versions, only pages on the maker's site of safe characters.
  for (const auto& feed : {std::string(text), record.feed})
  {
    if (const auto notice = UpdateCheckProbe::noticeFrom(check(), {0, feed}))
    {
      require(isNewer(parseVersion(notice->version), parseVersion("1.0.0")));
      const std::string_view url = notice->url;
      require(url.starts_with(kWebSite));
      const auto page = url.substr(kWebSite.size());
      require(page.size() >= 1 && page.size() <= 100 && page[0] == '/' && !page.starts_with("//"));
      require(safeUrlTail(page));
    }
  }
  return 0;
}
