#include "core/map/NetworkRequestRTL.h"

#include "core/util/LumStrings.h"

#include <curl/curl.h>

#include <chrono>
#include <cctype>
#include <cstdio>
#include <mutex>

namespace kelvra {

namespace {
// The connect time-out, and the response time-out: from the connection to the reply's last byte.
constexpr long TimeoutMs = 5000;
// Both together: the hard limit libcurl enforces should the check of the response fail to.
constexpr long MaxRequestMs = 2 * TimeoutMs;
// No tile comes near this; a misconfigured address must not fill the memory.
constexpr std::size_t MaxBody = 4u << 20;
// How often a waiting request looks at its cancel flag.
constexpr int CancelPollMs = 50;

struct TReply {
  TMemoryStream *fBody = nullptr;
  std::string fReason;
  bool fTooBig = false;
  THttpReplyInfo *fInfo = nullptr; // the caller's, may be null
};

std::size_t WriteBody(char *Data, std::size_t Size, std::size_t Count, void *User) {
  auto *reply = static_cast<TReply *>(User);
  const std::size_t n = Size * Count;
  if (reply->fBody->size() + n > MaxBody) {
    reply->fTooBig = true;
    return 0;
  }
  reply->fBody->insert(reply->fBody->end(), Data, Data + n);
  return n;
}

// Keeps the reason phrase of the last status line ("HTTP/1.1 404 Not Found"; HTTP/2 has none)
// and the caching headers; after a redirect the final reply's lines come last.
std::size_t ReadHeader(char *Data, std::size_t Size, std::size_t Count, void *User) {
  auto *reply = static_cast<TReply *>(User);
  const std::size_t n = Size * Count;
  std::string line(Data, n);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
    line.pop_back();
  if (line.rfind("HTTP/", 0) == 0) {
    const auto code = line.find(' ');
    const auto reason = code == std::string::npos ? std::string::npos : line.find(' ', code + 1);
    reply->fReason = reason == std::string::npos ? std::string() : line.substr(reason + 1);
    if (reply->fInfo) *reply->fInfo = THttpReplyInfo{};
    return n;
  }
  const auto colon = line.find(':');
  if (!reply->fInfo || colon == std::string::npos) return n;
  std::string name = line.substr(0, colon);
  for (char &c : name)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  const std::string value = Trim(line.substr(colon + 1));
  THttpReplyInfo &info = *reply->fInfo;
  if (name == "etag")
    info.ETag = value;
  else if (name == "last-modified")
    info.LastModified = value;
  else if (name == "cache-control")
    info.CacheControl = info.CacheControl.empty() ? value : info.CacheControl + ", " + value;
  else if (name == "expires")
    info.Expires = value;
  else if (name == "date")
    info.Date = value;
  return n;
}

} // namespace

// One connection cache for the workers of a queue: consecutive tiles of a server travel over a
// connection that is open already (an HTTP/2 one where the server offers it) instead of a new
// TCP and TLS handshake per tile. Freeing it closes the idle connections.
class THttpConnections {
public:
  THttpConnections() : fShare(curl_share_init()) {
    if (!fShare) return;
    curl_share_setopt(fShare, CURLSHOPT_LOCKFUNC, &Lock);
    curl_share_setopt(fShare, CURLSHOPT_UNLOCKFUNC, &Unlock);
    curl_share_setopt(fShare, CURLSHOPT_USERDATA, this);
    curl_share_setopt(fShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(fShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(fShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  }
  ~THttpConnections() {
    if (fShare) curl_share_cleanup(fShare);
  }
  THttpConnections(const THttpConnections &) = delete;
  THttpConnections &operator=(const THttpConnections &) = delete;
  CURLSH *Handle() const { return fShare; }

private:
  static void Lock(CURL *, curl_lock_data Data, curl_lock_access, void *User) {
    static_cast<THttpConnections *>(User)->fLocks[Index(Data)].lock();
  }
  static void Unlock(CURL *, curl_lock_data Data, void *User) {
    static_cast<THttpConnections *>(User)->fLocks[Index(Data)].unlock();
  }
  static std::size_t Index(curl_lock_data Data) {
    return std::size_t(Data) < std::size_t(CURL_LOCK_DATA_LAST) ? std::size_t(Data) : 0;
  }
  CURLSH *fShare;
  std::mutex fLocks[CURL_LOCK_DATA_LAST];
};

namespace {

std::string UrlPart(CURLU *Url, CURLUPart Part) {
  char *value = nullptr;
  std::string out;
  if (curl_url_get(Url, Part, &value, CURLU_URLDECODE) == CURLUE_OK && value) out = value;
  curl_free(value);
  return out;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

std::shared_ptr<THttpConnections> NewHttpConnections() {
  GlobalInit();
  return std::make_shared<THttpConnections>();
}

bool NetworkRequest(const THttpRequestProps &RequestProps, TMemoryStream &ResponseStm,
                    std::string &ErrMsg) {
  ErrMsg.clear();
  GlobalInit();

  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
  std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                              &curl_multi_cleanup);
  if (!url || !easy || !multi) {
    ErrMsg = "Out of memory";
    return false;
  }
  if (const CURLUcode rc = curl_url_set(url.get(), CURLUPART_URL, RequestProps.URL.c_str(), 0);
      rc != CURLUE_OK) {
    ErrMsg = std::string(curl_url_strerror(rc)) + ": \"" + RequestProps.URL + "\"";
    return false;
  }

  CURL *h = easy.get();
  char errorBuffer[CURL_ERROR_SIZE] = {};
  TReply reply;
  reply.fBody = &ResponseStm;
  reply.fInfo = RequestProps.Reply;
  if (reply.fInfo) *reply.fInfo = THttpReplyInfo{};
  curl_easy_setopt(h, CURLOPT_CURLU, url.get());
  // A tile address comes from the configuration: never let it read files.
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // HTTP/2 when the server offers it during the TLS handshake, else HTTP/1.1 (plain HTTP
  // stays 1.1); the connection is kept for the next tile.
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
  if (RequestProps.Connections && RequestProps.Connections->Handle())
    curl_easy_setopt(h, CURLOPT_SHARE, RequestProps.Connections->Handle());
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, TimeoutMs);
  // The response time-out: give up when nothing arrives for 5 seconds.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, TimeoutMs / 1000);
  // A server that trickles a byte now and then passes the check above; the transfer loop
  // below cuts the response at TimeoutMs after the connection, and this is the backstop.
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, MaxRequestMs);
  // An announced length over the cap is refused before any byte is read; an unannounced one
  // is stopped by WriteBody.
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxBody));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &ReadHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &reply);

  std::string user = UrlPart(url.get(), CURLUPART_USER);
  std::string password = UrlPart(url.get(), CURLUPART_PASSWORD);
  if (user.empty()) user = RequestProps.HttpUserName;
  if (password.empty()) password = RequestProps.HttpPassword;
  if (!user.empty() && !password.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
  }

  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr,
                                                                      &curl_slist_free_all);
  if (RequestProps.HeaderLines)
    for (const std::string &line : *RequestProps.HeaderLines) {
      const auto colon = line.find(':');
      const std::string name = Trim(line.substr(0, colon));
      // Line breaks would let a header line smuggle in more headers.
      if (colon == std::string::npos || name.empty() ||
          line.find_first_of("\r\n") != std::string::npos)
        continue;
      const std::string value = Trim(line.substr(colon + 1));
      // "Name;" is how libcurl sends a header with an empty value.
      const std::string header = value.empty() ? name + ";" : name + ": " + value;
      curl_slist *grown = curl_slist_append(headers.get(), header.c_str());
      if (grown == nullptr) {
        ErrMsg = "Out of memory";
        return false;
      }
      headers.release();
      headers.reset(grown);
    }
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

  if (RequestProps.Proxy.empty())
    curl_easy_setopt(h, CURLOPT_PROXY, ""); // direct, whatever the environment says
  else if (RequestProps.Proxy != "http://SYSTEM")
    curl_easy_setopt(h, CURLOPT_PROXY, RequestProps.Proxy.c_str());
  // "http://SYSTEM": libcurl's default, the proxy variables of the environment.

  // Run through the multi interface so that a stop request is seen within
  // CancelPollMs even while the server keeps us waiting.
  curl_multi_add_handle(multi.get(), h);
  CURLcode result = CURLE_OK;
  bool cancelled = false, slow = false;
  const auto started = std::chrono::steady_clock::now();
  for (int running = 1;;) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) {
      int left = 0;
      while (CURLMsg *msg = curl_multi_info_read(multi.get(), &left))
        if (msg->msg == CURLMSG_DONE) result = msg->data.result;
      break;
    }
    if (RequestProps.Cancel && RequestProps.Cancel->load()) {
      cancelled = true;
      break;
    }
    // A slot held by a server that trickles its reply is a slot the visible tiles wait for.
    curl_off_t connectedUs = 0;
    if (curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectedUs) == CURLE_OK &&
        connectedUs > 0) {
      const auto elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::steady_clock::now() - started)
                                 .count();
      if (elapsedUs - connectedUs > TimeoutMs * 1000) {
        slow = true;
        break;
      }
    }
    curl_multi_poll(multi.get(), nullptr, 0, CancelPollMs, nullptr);
  }
  curl_multi_remove_handle(multi.get(), h);

  if (cancelled) {
    ErrMsg = "Request cancelled";
    return false;
  }
  if (slow) {
    ErrMsg = "Response time-out: the reply took more than " + std::to_string(TimeoutMs / 1000) +
             " s";
    return false;
  }
  if (result != CURLE_OK) {
    if (reply.fTooBig || result == CURLE_FILESIZE_EXCEEDED)
      ErrMsg = "Reply too large (more than " + std::to_string(MaxBody >> 20) + " MB)";
    else
      ErrMsg = errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(result));
    return false;
  }
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  if (reply.fInfo) reply.fInfo->Status = status;
  if (status == 304) return true; // the cached copy is still good: no body
  if (status >= 400) {
    ErrMsg = "HTTP error: " + std::to_string(status) +
             (reply.fReason.empty() ? "" : " " + reply.fReason);
    return false;
  }
  return !ResponseStm.empty();
}

} // namespace kelvra
