#include "updates/HttpFetch.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace corvana::updates
{

void FetchCancel::cancel() noexcept
{
  std::lock_guard lock(mMutex);
  mCancelled = true;
  if (mMulti != nullptr)
    curl_multi_wakeup(static_cast<CURLM*>(mMulti));
}

bool FetchCancel::cancelled() const noexcept
{
  std::lock_guard lock(mMutex);
  return mCancelled;
}

bool FetchCancel::attach(void* multi) noexcept
{
  std::lock_guard lock(mMutex);
  if (mCancelled)
    return false;
  mMulti = multi;
  return true;
}

void FetchCancel::detach() noexcept
{
  std::lock_guard lock(mMutex);
  mMulti = nullptr;
}

bool networkPermission() noexcept
{
  return true;
}

namespace
{

void initialiseCurlOnce()
{
  static std::once_flag once;
  std::call_once(once,
                 []
                 {
                   curl_global_init(CURL_GLOBAL_DEFAULT);
                   // A fetch given up during a host-name lookup leaves libcurl's resolver
                   // thread running on its own (see configure); libcurl must stay mapped
                   // for it even when the host unloads the plug-in that loaded libcurl.
                   Dl_info info{};
                   if (dladdr(reinterpret_cast<void*>(&curl_easy_init), &info) != 0 &&
                       info.dli_fname != nullptr)
                     dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
                 });
}

struct Transfer
{
  std::string body;
  bool tooLong = false;
  int retryAfter = 0;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
  {
    const auto lower = [](char c)
    { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

/** Seconds from a "Retry-After" value; the date form and anything outside 1..3600 give 0. */
int parseRetryAfter(std::string_view value) noexcept
{
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!value.empty() && isSpace(value.front()))
    value.remove_prefix(1);
  while (!value.empty() && isSpace(value.back()))
    value.remove_suffix(1);
  if (value.empty() || value.size() > 9)
    return 0;
  int seconds = 0;
  for (const char c : value)
  {
    if (c < '0' || c > '9')
      return 0;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds >= 1 && seconds <= 3600 ? seconds : 0;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) noexcept
{
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (bytes > kMaxBodyBytes - transfer.body.size())
  {
    transfer.tooLong = true;
    return bytes == 0 ? 1 : 0; // any count other than `bytes` aborts the transfer
  }
  try
  {
    transfer.body.append(data, bytes);
  }
  catch (...)
  {
    return bytes == 0 ? 1 : 0;
  }
  return bytes;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) noexcept
{
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  const std::string_view line(data, bytes);
  if (line.starts_with("HTTP/"))
  {
    transfer.retryAfter = 0; // a new response (after an interim one) starts afresh
    return bytes;
  }
  const auto colon = line.find(':');
  if (colon != std::string_view::npos && equalsIgnoringCase(line.substr(0, colon), "Retry-After"))
    transfer.retryAfter = parseRetryAfter(line.substr(colon + 1));
  return bytes;
}

struct EasyDeleter
{
  void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
struct MultiDeleter
{
  void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
struct ListDeleter
{
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

bool configure(CURL* easy, const std::string& url, curl_slist* headers, Transfer& transfer,
               std::chrono::milliseconds timeout)
{
  const long timeoutMs =
      static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, timeout.count()));
  bool ok = true;
  const auto set = [&](CURLoption option, auto value)
  { ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK; };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_HTTPGET, 1L);
  set(CURLOPT_HTTPHEADER, headers);
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, 0L);
  set(CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
  set(CURLOPT_TIMEOUT_MS, timeoutMs);
  set(CURLOPT_NOSIGNAL, 1L);
  // Ending a transfer must never wait for a host-name lookup that does not answer (none of
  // the time-outs bounds it): the resolver thread is left to finish on its own, so a
  // plug-in being destroyed returns at once whatever the network does.
  set(CURLOPT_QUICK_EXIT, 1L);
  // Nothing is kept between fetches: no connection reuse, no netrc, no cookie engine
  // (it stays off unless a cookie file is given).
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_FORBID_REUSE, 1L);
  set(CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
  set(CURLOPT_WRITEFUNCTION, &onBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  set(CURLOPT_HEADERFUNCTION, &onHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
  return ok;
}

} // namespace

HttpResult httpGet(const std::string& url, std::chrono::milliseconds timeout, FetchCancel* cancel)
{
  initialiseCurlOnce();
  if (cancel != nullptr && cancel->cancelled())
    return {};

  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<curl_slist, ListDeleter> headers(
      curl_slist_append(nullptr, "Accept: application/json"));
  if (!easy || !headers)
    return {};
  Transfer transfer;
  if (!configure(easy.get(), url, headers.get(), transfer, timeout))
    return {};

  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK)
    return {};
  if (cancel != nullptr && !cancel->attach(multi.get()))
  {
    curl_multi_remove_handle(multi.get(), easy.get());
    return {};
  }

  // libcurl enforces `timeout`; the deadline is only a backstop should it not.
  const auto deadline = std::chrono::steady_clock::now() + timeout + kFetchGrace;
  bool finished = false;
  CURLcode outcome = CURLE_OK;
  for (;;)
  {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
      break;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued))
    {
      if (message->msg == CURLMSG_DONE)
      {
        finished = true;
        outcome = message->data.result;
      }
    }
    if (finished || running == 0)
      break;
    if (cancel != nullptr && cancel->cancelled())
      break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      break;
    const int waitMs =
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 1000));
    if (curl_multi_poll(multi.get(), nullptr, 0, waitMs, nullptr) != CURLM_OK)
      break;
  }
  if (cancel != nullptr)
    cancel->detach();
  curl_multi_remove_handle(multi.get(), easy.get());

  if (!finished || outcome != CURLE_OK || transfer.tooLong)
    return {};
  long status = 0;
  if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status < 100 ||
      status > 599)
    return {};
  // Redirects are not followed, and a redirect is no answer: the feed must be where we asked.
  char* redirect = nullptr;
  if (status >= 300 && status < 400)
    return {};
  if (curl_easy_getinfo(easy.get(), CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK &&
      redirect != nullptr)
    return {};

  HttpResult result;
  result.status = static_cast<int>(status);
  result.body = std::move(transfer.body);
  result.retryAfter = transfer.retryAfter;
  return result;
}

} // namespace corvana::updates
