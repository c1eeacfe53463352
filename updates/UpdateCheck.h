#pragma once

#include "updates/HttpFetch.h"
#include "updates/Version.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace corvana::updates
{

/** The maker's feed address, used unless "CORVANA_UPDATES_URL" names another. */
inline constexpr std::string_view kDefaultFeedUrl = "https://updates.corvana.example/updates.json";

/** The maker's web site; a notice's URL is this followed by the feed's page. */
inline constexpr std::string_view kWebSite = "https://corvana.example";

/** Seconds between two fetches of the feed, counted across all instances of one user. */
inline constexpr std::int64_t kCheckPeriodSeconds = 600;

/** Largest record or feed text that is read. */
inline constexpr std::size_t kMaxFileBytes = 65536;

/** The marker's text; only its existence matters. */
inline constexpr std::string_view kOffMarkerText =
    "The Corvana plug-ins do not check for updates while this file is here.\n";

struct Config
{
  std::string product;          ///< this product's key in the feed
  std::string version;          ///< the running version, MAJOR.MINOR.PATCH
  std::filesystem::path folder; ///< the maker's shared folder
  std::string feedUrl;
  std::function<std::int64_t()> now;                   ///< empty: system clock, seconds
  std::function<HttpResult(const std::string&)> fetch; ///< empty: httpGet with kFetchTimeout
  std::function<bool()> networkAllowed;                ///< empty: networkPermission()
};

struct Notice
{
  std::string version; ///< as the feed gives it
  std::string url;

  bool operator==(const Notice&) const = default;
};

/**
 * The maker's shared folder: $XDG_DATA_HOME/Corvana/Updates, with ~/.local/share standing
 * in for an unset or relative XDG_DATA_HOME. Empty when no home folder can be found.
 * Any thread.
 */
std::filesystem::path defaultFolder();

/** A configuration for `product` at `version` with the default folder and feed address. */
Config defaultConfig(std::string product, std::string version);

/**
 * The background update check shared by all of the maker's plug-ins of one user: at most
 * one fetch of the feed per kCheckPeriodSeconds across instances (coordinated through the
 * record file), a notice when the feed names a newer version, and a marker file that
 * switches it all off. Every failure is silent.
 */
class UpdateCheck
{
public:
  struct Record
  {
    std::int64_t lastCheck = 0; ///< seconds; 0 when there was none
    std::string feed;           ///< raw text of the last good feed; empty when none
  };

  struct Snapshot
  {
    std::optional<Notice> notice;
    bool enabled = true;
    unsigned generation = 0;
  };

  /** "CORVANA_UPDATES_URL" and "CORVANA_UPDATES_FOLDER", when set and non-empty, replace
      the feed address and the folder. Any thread. */
  explicit UpdateCheck(Config config);

  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  /**
   * Fetches the feed when no instance of this user did so in the last period, the marker
   * is absent and the network is allowed. Blocks for the fetch: background thread only.
   */
  void checkIfDue();

  /** Re-reads the marker and the record and publishes the notice. Any non-audio thread. */
  void reload();

  /** Removes (true) or writes (false) the marker, then reloads. Any non-audio thread. */
  void setEnabled(bool on);

  /** Ends a fetch in progress and refuses later ones; for shutdown. Any thread. */
  void cancel() noexcept;

  /** The guarded state, read under the check's mutex. Any non-audio thread. */
  std::optional<Notice> notice() const;
  bool enabled() const;
  unsigned generation() const;
  Snapshot snapshot() const;

  /** The folder and feed address in use after the environment was applied. */
  const std::filesystem::path& folder() const noexcept { return mConfig.folder; }
  const std::string& feedUrl() const noexcept { return mConfig.feedUrl; }

private:
  friend class UpdateCheckProbe; // tests reach the file and feed rules directly

  std::filesystem::path offFile() const;
  std::filesystem::path recordFile() const;
  Record readRecord() const;
  bool writeRecord(const Record& record) const;
  std::optional<Notice> noticeFrom(const Record& record) const;
  std::int64_t now() const;

  /** The record's exact file text, and its reading (no record: {0, ""}). */
  static std::string recordText(const Record& record);
  static Record parseRecord(std::string_view text);

  static std::optional<std::string> readFile(const std::filesystem::path& path);
  static bool writeFile(const std::filesystem::path& path, std::string_view text);

  Config mConfig;
  FetchCancel mCancel;

  mutable std::mutex mMutex;
  std::optional<Notice> mNotice;
  bool mEnabled = true;
  unsigned mGeneration = 0;
};

} // namespace corvana::updates
