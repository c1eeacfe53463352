#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

namespace corvana::updates
{

/** What one GET gave: `status` is 0 when there was no usable response. */
struct HttpResult
{
  int status = 0;
  std::string body;
  int retryAfter = 0; ///< seconds from "Retry-After" when 1..3600, else 0
};

/** Largest response body accepted; a longer transfer is aborted. */
inline constexpr std::size_t kMaxBodyBytes = 65536;

/** Time allowed for the request and for the whole transfer. */
inline constexpr std::chrono::milliseconds kFetchTimeout{8000};

/** Extra time the caller grants beyond the time-out before it gives up on the transfer. */
inline constexpr std::chrono::milliseconds kFetchGrace{5000};

/**
 * Lets another thread end a running fetch at once (shutdown of the plug-in). Once
 * cancelled it stays cancelled: every later fetch given this object returns no result.
 */
class FetchCancel
{
public:
  /** Any thread. Wakes a fetch in progress; it returns status 0 promptly. */
  void cancel() noexcept;

  /** Any thread. */
  bool cancelled() const noexcept;

  // Used by the fetch itself to make its transfer wakeable; `multi` is a CURLM*.
  bool attach(void* multi) noexcept;
  void detach() noexcept;

private:
  mutable std::mutex mMutex;
  void* mMulti = nullptr;
  bool mCancelled = false;
};

/**
 * HTTP(S) GET of `url` with "Accept: application/json": `timeout` for connecting and for
 * the whole transfer; no redirects followed (a redirect gives no result); no cookies,
 * no stored credentials, no cache. The result counts only without a transport error and
 * with a body of at most kMaxBodyBytes; otherwise it is status 0 with an empty body.
 * Blocks the calling thread (a background thread; never the audio or editor thread).
 */
HttpResult httpGet(const std::string& url, std::chrono::milliseconds timeout = kFetchTimeout,
                   FetchCancel* cancel = nullptr);

/** Whether this process may use the network. Always true on Linux (no sandbox). Any thread. */
bool networkPermission() noexcept;

} // namespace corvana::updates
