#include "updates/UpdateCheck.h"

#include "framework/JSONString.h"
#include "presets/Files.h"
#include "updates/Json.h"

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

namespace corvana::updates
{

namespace fs = std::filesystem;

namespace
{

const char* nonEmptyEnvironment(const char* name) noexcept
{
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

fs::path homeFolder()
{
  if (const char* home = nonEmptyEnvironment("HOME"))
    return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && *found->pw_dir != '\0')
    return found->pw_dir;
  return {};
}

bool isPageCharacter(char c) noexcept
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
         c == '-' || c == '_' || c == '#';
}

/** A page on the maker's site: a rooted path of a few safe characters, never another host. */
bool isSafePage(std::string_view page) noexcept
{
  if (page.empty() || page.size() > 100 || page[0] != '/' || page.starts_with("//"))
    return false;
  for (const char c : page)
    if (!isPageCharacter(c))
      return false;
  return true;
}

/** True while `lastCheck` lies less than one period before `t` (a clock set back is never recent).
 */
bool checkedRecently(std::int64_t t, std::int64_t lastCheck) noexcept
{
  if (t < lastCheck)
    return false;
  // Exact even for a crafted record whose value would overflow a signed difference.
  const auto elapsed = static_cast<std::uint64_t>(t) - static_cast<std::uint64_t>(lastCheck);
  return elapsed < static_cast<std::uint64_t>(kCheckPeriodSeconds);
}

std::uint32_t randomNumber()
{
  std::uint32_t value = 0;
  std::ifstream device("/dev/urandom", std::ios::binary);
  if (device.read(reinterpret_cast<char*>(&value), sizeof value))
    return value;
  // Only the uniqueness of the temporary name rests on this.
  std::random_device fallback;
  return static_cast<std::uint32_t>(fallback());
}

} // namespace

fs::path defaultFolder()
{
  fs::path base;
  const char* xdg = nonEmptyEnvironment("XDG_DATA_HOME");
  if (xdg != nullptr && fs::path(xdg).is_absolute())
  {
    base = xdg;
  }
  else
  {
    const fs::path home = homeFolder();
    if (home.empty())
      return {};
    base = home / ".local" / "share";
  }
  return base / "Corvana" / "Updates";
}

Config defaultConfig(std::string product, std::string version)
{
  Config config;
  config.product = std::move(product);
  config.version = std::move(version);
  config.folder = defaultFolder();
  config.feedUrl = std::string(kDefaultFeedUrl);
  return config;
}

UpdateCheck::UpdateCheck(Config config)
  : mConfig(std::move(config))
{
  if (const char* url = nonEmptyEnvironment("CORVANA_UPDATES_URL"))
    mConfig.feedUrl = url;
  if (const char* folder = nonEmptyEnvironment("CORVANA_UPDATES_FOLDER"))
    mConfig.folder = folder;
}

fs::path UpdateCheck::offFile() const
{
  return mConfig.folder / "updates-off";
}

fs::path UpdateCheck::recordFile() const
{
  return mConfig.folder / "updates.json";
}

std::int64_t UpdateCheck::now() const
{
  if (mConfig.now)
    return mConfig.now();
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void UpdateCheck::checkIfDue()
{
  // Without a folder there is nowhere to coordinate with other instances: stay quiet.
  if (mConfig.folder.empty())
    return;
  std::error_code error;
  if (fs::exists(offFile(), error) || error)
    return;
  if (!(mConfig.networkAllowed ? mConfig.networkAllowed() : networkPermission()))
    return;

  Record record = readRecord();
  const std::int64_t t = now();
  if (checkedRecently(t, record.lastCheck))
    return;
  // Claim this period before fetching, so other instances do not fetch as well.
  record.lastCheck = t;
  if (!writeRecord(record))
    return;

  const HttpResult result = mConfig.fetch ? mConfig.fetch(mConfig.feedUrl)
                                          : httpGet(mConfig.feedUrl, kFetchTimeout, &mCancel);
  if (result.status != 200 || result.body.size() > kMaxFileBytes || !isJsonObject(result.body))
    return;
  Record updated{t, result.body};
  // A feed whose record would be too long to read back would make every later check
  // look due to every instance; keep the old feed instead.
  if (recordText(updated).size() > kMaxFileBytes)
    return;
  writeRecord(updated);
}

void UpdateCheck::reload()
{
  bool on = true;
  std::optional<Notice> found;
  if (!mConfig.folder.empty())
  {
    std::error_code error;
    on = !fs::exists(offFile(), error);
    if (on)
      found = noticeFrom(readRecord());
  }
  std::lock_guard lock(mMutex);
  if (on != mEnabled || found != mNotice)
  {
    mEnabled = on;
    mNotice = std::move(found);
    ++mGeneration;
  }
}

void UpdateCheck::setEnabled(bool on)
{
  if (!mConfig.folder.empty())
  {
    if (on)
    {
      std::error_code error;
      fs::remove(offFile(), error);
    }
    else
    {
      writeFile(offFile(), kOffMarkerText);
    }
  }
  reload();
}

void UpdateCheck::cancel() noexcept
{
  mCancel.cancel();
}

std::optional<Notice> UpdateCheck::notice() const
{
  std::lock_guard lock(mMutex);
  return mNotice;
}

bool UpdateCheck::enabled() const
{
  std::lock_guard lock(mMutex);
  return mEnabled;
}

unsigned UpdateCheck::generation() const
{
  std::lock_guard lock(mMutex);
  return mGeneration;
}

UpdateCheck::Snapshot UpdateCheck::snapshot() const
{
  std::lock_guard lock(mMutex);
  return {mNotice, mEnabled, mGeneration};
}

UpdateCheck::Record UpdateCheck::readRecord() const
{
  const auto text = readFile(recordFile());
  return text ? parseRecord(*text) : Record{};
}

bool UpdateCheck::writeRecord(const Record& record) const
{
  return writeFile(recordFile(), recordText(record));
}

std::string UpdateCheck::recordText(const Record& record)
{
  std::string text = "{\"version\":1,\"checked_at\":";
  text += std::to_string(record.lastCheck);
  text += ",\"feed\":";
  plug::AppendJSONString(text, record.feed);
  text += "}\n";
  return text;
}

UpdateCheck::Record UpdateCheck::parseRecord(std::string_view text)
{
  Record record;
  if (text.size() > kMaxFileBytes)
    return record;
  const auto document = parseJson(text);
  if (!document || !document->isObject())
    return record;
  if (const JsonValue* checked = document->member("checked_at");
      checked != nullptr && checked->isNumber())
  {
    // Whole numbers only, and only those an int64 holds (2^63 is the first that does not).
    const double value = checked->number;
    if (std::isfinite(value) && std::trunc(value) == value && value >= -9223372036854775808.0 &&
        value < 9223372036854775808.0)
      record.lastCheck = static_cast<std::int64_t>(value);
  }
  if (const JsonValue* feed = document->member("feed"); feed != nullptr && feed->isString() &&
                                                        feed->string.size() <= kMaxFileBytes &&
                                                        parseJson(feed->string))
    record.feed = feed->string;
  return record;
}

std::optional<Notice> UpdateCheck::noticeFrom(const Record& record) const
{
  if (record.feed.size() > kMaxFileBytes)
    return std::nullopt;
  const auto feed = parseJson(record.feed);
  if (!feed || !feed->isObject())
    return std::nullopt;
  const JsonValue* entry = feed->member(mConfig.product);
  if (entry == nullptr || !entry->isObject())
    return std::nullopt;
  const JsonValue* version = entry->member("version");
  const JsonValue* page = entry->member("page");
  if (version == nullptr || !version->isString() || page == nullptr || !page->isString())
    return std::nullopt;
  if (!isSafePage(page->string))
    return std::nullopt;
  if (!isNewer(parseVersion(version->string), parseVersion(mConfig.version)))
    return std::nullopt;
  return Notice{version->string, std::string(kWebSite) + page->string};
}

std::optional<std::string> UpdateCheck::readFile(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::string text;
  char buffer[8192];
  for (;;)
  {
    in.read(buffer, sizeof buffer);
    const auto got = static_cast<std::size_t>(in.gcount());
    text.append(buffer, got);
    if (text.size() > kMaxFileBytes)
      return std::nullopt;
    if (!in)
      break;
  }
  if (in.bad())
    return std::nullopt;
  return text;
}

bool UpdateCheck::writeFile(const fs::path& path, std::string_view text)
{
  // Instances in other processes write the same files: each write has a temporary of its own.
  std::string error;
  return corvana::files::replaceFile(path, text, error, ".tmp-" + std::to_string(randomNumber()));
}

} // namespace corvana::updates
