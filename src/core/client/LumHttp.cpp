#include "core/client/LumHttp.h"
#include "core/util/LumStrings.h"
#include "core/client/CancellableWork.h"
#include <algorithm>
#include <ctime>
#include <cstdlib>
#include <cctype>

#include "core/map/TileFreshness.h"
#include "core/util/LumFiles.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace kelvra {

// Closes the exchange's trace file (a member of TLumHttpExchange, which the header declares, so
// not in the unnamed namespace).
struct TTraceFileCloser {
  void operator()(FILE *aFile) const noexcept { std::fclose(aFile); }
};

namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string TrimCrLf(std::string aText) {
  while (!aText.empty() && (aText.back() == '\r' || aText.back() == '\n' || aText.back() == ' '))
    aText.pop_back();
  return aText;
}

// Number of code points in UTF-8 text: every byte that does not continue a sequence.
std::size_t CodePoints(const std::string &aText) {
  std::size_t n = 0;
  for (unsigned char c : aText)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Header lines of the trace keep their names but not the secrets they carry.
std::string MaskSecretHeaders(const char *aData, std::size_t aSize) {
  static const char *const secret[] = {"x-auth-token", "cookie", "set-cookie", "authorization",
                                       "proxy-authorization"};
  std::string out;
  std::size_t pos = 0;
  while (pos < aSize) {
    const char *nl = static_cast<const char *>(std::memchr(aData + pos, '\n', aSize - pos));
    std::size_t end = nl ? static_cast<std::size_t>(nl - aData) + 1 : aSize;
    std::string line(aData + pos, end - pos);
    std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string name = LowerCase(line.substr(0, colon));
      for (const char *s : secret)
        if (name == s) {
          line = line.substr(0, colon) + ": ***\r\n";
          break;
        }
    }
    out += line;
    pos = end;
  }
  return out;
}

} // namespace

struct TLumHttpExchange {
  explicit TLumHttpExchange(TLumHttpClient &aOwner) : owner(aOwner) { error[0] = 0; }

  TLumHttpClient &owner; // not owned: the client this exchange reports to
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl{nullptr, &curl_easy_cleanup};
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers{nullptr,
                                                                      &curl_slist_free_all};
  std::unique_ptr<FILE, TTraceFileCloser> trace;
  std::vector<char> send; // the request body; curl reads it during the exchange
  bool tooLarge = false;  // the body went over the owner's MaxReply
  char error[CURL_ERROR_SIZE];
  int status = 0;
  std::string reason;

  void AddHeader(const std::string &aLine) {
    if (curl_slist *list = curl_slist_append(headers.get(), aLine.c_str())) {
      (void)headers.release();
      headers.reset(list);
    }
  }

  static size_t OnBody(char *aData, size_t aSize, size_t aCount, void *aUser) {
    auto *self = static_cast<TLumHttpExchange *>(aUser);
    auto &stream = self->owner.fRcvdStream;
    const std::size_t bytes = aSize * aCount;
    // Checked as the bytes arrive: a server that sends no Content-Length is stopped here.
    if (static_cast<int64_t>(stream.Size() + bytes) > self->owner.fMaxReply) {
      self->tooLarge = true;
      return 0;
    }
    // A reply of known length gets its whole buffer at once (with the padding the JSON parser
    // reads past the end).
    curl_off_t length = -1;
    if (stream.Size() == 0 &&
        curl_easy_getinfo(self->curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
            CURLE_OK &&
        length > 0 && length <= self->owner.fMaxReply)
      stream.Reserve(std::size_t(length));
    return stream.Append(aData, bytes) ? bytes : 0;
  }

  static size_t OnHeader(char *aData, size_t aSize, size_t aCount, void *aUser) {
    auto *self = static_cast<TLumHttpExchange *>(aUser);
    std::string line = TrimCrLf(std::string(aData, aSize * aCount));
    if (line.rfind("HTTP/", 0) == 0) {
      // Status line: "HTTP/1.1 200 OK". Every new status line (after 100 Continue) starts over.
      std::size_t sp1 = line.find(' ');
      std::size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
      self->reason = sp2 == std::string::npos ? std::string() : line.substr(sp2 + 1);
    } else {
      std::size_t colon = line.find(':');
      const std::string name = colon == std::string::npos ? std::string() : LowerCase(line.substr(0, colon));
      const std::size_t v = colon == std::string::npos ? colon : line.find_first_not_of(' ', colon + 1);
      const std::string value = v == std::string::npos ? std::string() : line.substr(v);
      if (name == "set-cookie") self->owner.RcvdCookie(value);
      else if (name == "retry-after") self->owner.fRcvdRetryAfter = value;
    }
    return aSize * aCount;
  }

  // A non-zero answer makes curl end the transfer (CURLE_ABORTED_BY_CALLBACK).
  static int OnProgress(void *aUser, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TLumHttpExchange *>(aUser)->owner.fAborted ? 1 : 0;
  }

  // The socket is remembered so that Abort can wake a transfer that waits for a silent server.
  static curl_socket_t OnOpenSocket(void *aUser, curlsocktype, curl_sockaddr *aAddr) {
    auto &owner = static_cast<TLumHttpExchange *>(aUser)->owner;
    if (owner.fAborted) return CURL_SOCKET_BAD;
    const int fd = ::socket(aAddr->family, aAddr->socktype | SOCK_CLOEXEC, aAddr->protocol);
    std::lock_guard<std::mutex> lock(owner.fSocketMutex);
    owner.fSocket = fd;
    return fd < 0 ? CURL_SOCKET_BAD : fd;
  }

  static int OnCloseSocket(void *aUser, curl_socket_t aFd) {
    auto &owner = static_cast<TLumHttpExchange *>(aUser)->owner;
    std::lock_guard<std::mutex> lock(owner.fSocketMutex);
    if (owner.fSocket == aFd) owner.fSocket = -1;
    return ::close(aFd);
  }

  static int OnTrace(CURL *, curl_infotype aType, char *aData, size_t aSize, void *aUser) {
    auto *self = static_cast<TLumHttpExchange *>(aUser);
    if (!self->trace) return 0;
    // Bodies are left out: a sign-in body holds the password.
    switch (aType) {
    case CURLINFO_TEXT:
      std::fputs("* ", self->trace.get());
      std::fwrite(aData, 1, aSize, self->trace.get());
      break;
    case CURLINFO_HEADER_OUT:
    case CURLINFO_HEADER_IN: {
      std::string text = MaskSecretHeaders(aData, aSize);
      std::fputs(aType == CURLINFO_HEADER_OUT ? "> " : "< ", self->trace.get());
      std::fwrite(text.data(), 1, text.size(), self->trace.get());
      break;
    }
    default:
      break;
    }
    return 0;
  }
};

TLumHttpClient::TLumHttpClient() = default;

namespace {
// What an empty buffer reads: no bytes, then the padding.
const char kNoBytes[TLumHttpClient::kRcvdPadding] = {};

std::size_t PageSize() {
  static const std::size_t size = std::size_t(::sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t WholePages(std::size_t aBytes) {
  const std::size_t page = PageSize();
  return (aBytes + page - 1) / page * page;
}
} // namespace

TLumHttpClient::TRcvdBuffer::~TRcvdBuffer() {
  if (fData) ::munmap(fData, fCapacity);
}

const char *TLumHttpClient::TRcvdBuffer::Data() const { return fData ? fData : kNoBytes; }

bool TLumHttpClient::TRcvdBuffer::Reserve(std::size_t aBytes) {
  if (aBytes > std::numeric_limits<std::size_t>::max() / 2) return false;
  const std::size_t needed = aBytes + kRcvdPadding;
  if (needed <= fCapacity) return true;
  const std::size_t capacity = WholePages(needed);
  // Only touched pages take memory, and remapping moves pages, not bytes.
  void *data = fData ? ::mremap(fData, fCapacity, capacity, MREMAP_MAYMOVE)
                     : ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return false;
  fData = static_cast<char *>(data);
  fCapacity = capacity;
  return true;
}

bool TLumHttpClient::TRcvdBuffer::Append(const char *aData, std::size_t aSize) {
  // Growing by half again (at least a megabyte): few remaps, and the address space reserved
  // beyond the bytes is never touched.
  if (fSize + aSize + kRcvdPadding > fCapacity &&
      !Reserve(std::max(fSize + aSize, fSize + fSize / 2 + (std::size_t(1) << 20))))
    return false;
  std::memcpy(fData + fSize, aData, aSize);
  fSize += aSize;
  return true;
}

void TLumHttpClient::TRcvdBuffer::Seal() {
  constexpr std::size_t kKept = std::size_t(1) << 20;
  if (fData && fCapacity / 8 > std::max(fSize, kKept)) {
    const std::size_t capacity = WholePages(std::max(fSize, kKept) + kRcvdPadding);
    void *data = ::mremap(fData, fCapacity, capacity, 0); // shrinks in place
    if (data != MAP_FAILED) fCapacity = capacity;
  }
  if (fData) std::memset(fData + fSize, 0, kRcvdPadding);
}

TLumHttpClient::~TLumHttpClient() = default;

std::string TLumHttpClient::GetHttpString() const { return std::string(fRcvdStream.Data()); }

namespace {

// "user:password@" of a URL, or "" when it has none.
std::string UserInfoOf(const std::string &aUrl) {
  const std::size_t scheme = aUrl.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const std::size_t end = aUrl.find_first_of("/?#", start);
  const std::size_t at = aUrl.rfind('@', end == std::string::npos ? aUrl.size() : end);
  if (at == std::string::npos || at < start) return "";
  return aUrl.substr(start, at + 1 - start);
}

// An engine's error text may quote the address it was given; the credentials in it never show.
std::string StripUserInfo(std::string aText, const std::string &aUrl) {
  const std::string info = UserInfoOf(aUrl);
  if (info.size() <= 1) return aText;
  for (std::size_t p; (p = aText.find(info)) != std::string::npos;)
    aText.erase(p, info.size());
  const std::string bare = info.substr(0, info.size() - 1);
  for (std::size_t p = 0; (p = aText.find(bare, p)) != std::string::npos; p += 3)
    aText.replace(p, bare.size(), "***");
  return aText;
}

} // namespace

std::string TLumHttpClient::RedactUrl(const std::string &aUrl) {
  const std::string info = UserInfoOf(aUrl);
  if (info.empty()) return aUrl;
  const std::size_t scheme = aUrl.find("://");
  std::string out = aUrl;
  out.erase(scheme == std::string::npos ? 0 : scheme + 3, info.size());
  return out;
}

std::string TLumHttpClient::TraceFileName(const std::string &aLogFile) {
  std::size_t slash = aLogFile.find_last_of("/\\");
  std::size_t dot = aLogFile.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return aLogFile + ".https.log";
  return aLogFile.substr(0, dot) + ".https.log";
}

void TLumHttpClient::RcvdCookie(const std::string &aValue) {
  std::string pair = aValue.substr(0, aValue.find(';'));
  std::size_t eq = pair.find('=');
  if (eq == std::string::npos) return;
  fCookie.SetVal(pair.substr(0, eq), pair.substr(eq + 1, 999));
}

void TLumHttpClient::CreateHttpCli() {
  InitCurlOnce();
  fHttpStatus = 0;
  fHttpReason.clear();
  fCancelled = false;
  fCli = std::make_unique<TLumHttpExchange>(*this);
  CURL *c = curl_easy_init();
  fCli->curl.reset(c);
  if (!c) return;
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, fCli->error);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  // Nothing is shared between exchanges: every request opens its own connection.
  curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, UserAgent());
  curl_easy_setopt(c, CURLOPT_URL, fUrl.c_str());
  if (fConnectTimeoutMs > 0) curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, fConnectTimeoutMs);
  if (fTimeoutMs > 0) curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, fTimeoutMs);
  // Bulk replies (a month's track is hundreds of megabytes) arrive in fewer, larger reads.
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 512L * 1024);
  // An announced length over the cap is refused before any of the body is read.
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(fMaxReply));

  std::string cookie;
  for (int i = 0; i < fCookie.Count(); ++i) {
    if (i) cookie += "; ";
    cookie += fCookie.GetKey(i) + "=" + fCookie.GetValByIndex(i);
  }
  if (!cookie.empty()) curl_easy_setopt(c, CURLOPT_COOKIE, cookie.c_str());

  for (int i = 0; i < fHeaders.Count(); ++i) {
    const std::string value = fHeaders.GetValByIndex(i);
    // "Name;" is how curl sends a header with an empty value ("Name:" would remove it).
    fCli->AddHeader(value.empty() ? fHeaders.GetKey(i) + ";" : fHeaders.GetKey(i) + ": " + value);
  }
  fCli->AddHeader("Expect:"); // no 100-continue round trip for small bodies

  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &TLumHttpExchange::OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, fCli.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &TLumHttpExchange::OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, fCli.get());
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &TLumHttpExchange::OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, fCli.get());
  curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &TLumHttpExchange::OnOpenSocket);
  curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, fCli.get());
  curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &TLumHttpExchange::OnCloseSocket);
  curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, fCli.get());

  if (!fProxy.empty()) {
    curl_easy_setopt(c, CURLOPT_PROXY, fProxy.c_str());
    if (!fProxyPort.empty()) curl_easy_setopt(c, CURLOPT_PROXYPORT, std::atol(fProxyPort.c_str()));
    if (!fProxyUser.empty()) curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, fProxyUser.c_str());
    if (!fProxyPass.empty()) curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, fProxyPass.c_str());
  } else {
    curl_easy_setopt(c, CURLOPT_PROXY, ""); // ignore proxy variables of the environment
  }
}

void TLumHttpClient::FreeHttpCli() {
  if (!fCli) return;
  fHttpStatus = fCli->status;
  fHttpReason = fCli->reason;
  fCli.reset();
}

void TLumHttpsClient::CreateHttpCli() {
  TLumHttpClient::CreateHttpCli();
  CURL *c = fCli->curl.get();
  if (!c) return;
  // At least TLS 1.2, up to the highest version both ends support.
  curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, fTlsVerify ? 1L : 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, fTlsVerify ? 2L : 0L);
  if (!fCaFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, fCaFile.c_str());
  if (!LogFile().empty()) {
    // The trace shows every address asked for: readable by the user only.
    const int fd = ::open(TraceFileName(LogFile()).c_str(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fCli->trace.reset(::fdopen(fd, "ab"));
      if (!fCli->trace) ::close(fd);
    }
    if (fCli->trace) {
      curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &TLumHttpExchange::OnTrace);
      curl_easy_setopt(c, CURLOPT_DEBUGDATA, fCli.get());
      curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    }
  }
}

void TLumHttpsClient::FreeHttpCli() {
  if (fCli && fCli->trace) std::fflush(fCli->trace.get());
  TLumHttpClient::FreeHttpCli();
}

int TLumHttpClient::Exchange(TMethod aMethod, const std::string &aUrl, const void *aData,
                             std::size_t aSize) {
  if (!aUrl.empty()) fUrl = aUrl;
  CreateHttpCli();
  static const char *const names[] = {"GET", "POST", "PUT", "DELETE"};
  std::string line =
      std::string(names[static_cast<int>(aMethod)]) + " " + RedactUrl(fUrl) + " -> ";

  fRcvdStream.Clear();
  fRcvdCount = 0;
  fRcvdContentType.clear();
  fRcvdRetryAfter.clear();

  CURL *c = fCli->curl.get();
  if (aMethod != TMethod::Get) {
    fCli->AddHeader("Content-Type: " + fContentType);
    if (!fReferer.empty()) curl_easy_setopt(c, CURLOPT_REFERER, fReferer.c_str());
  }
  switch (aMethod) {
  case TMethod::Get:
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    break;
  case TMethod::Post:
  case TMethod::Put:
    fCli->send.assign(static_cast<const char *>(aData), static_cast<const char *>(aData) + aSize);
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    // An empty body still needs a buffer: without one curl would read the body from stdin.
    fCli->send.push_back('\0');
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, fCli->send.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(aSize));
    if (aMethod == TMethod::Put) curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "PUT");
    break;
  case TMethod::Delete:
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "DELETE");
    break;
  }
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, fCli->headers.get());

  const auto started = std::chrono::steady_clock::now();
  CURLcode rc = CURLE_FAILED_INIT;
  // An Abort before this exchange belongs to an earlier one, unless a cancellable work is open
  // and was cancelled: then it was meant for the work's remaining exchanges, this one included.
  // (Read after the reset: an Abort marks the work before it sets the flag.)
  fAborted = false;
  if (TCancellableWork::Cancelled(*this)) fAborted = true;
  if (c) {
    const auto transfer = [&rc, c] { rc = curl_easy_perform(c); };
    if (fRunner)
      fRunner(transfer);
    else
      transfer();
  }
  const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
  if (rc == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    fCli->status = static_cast<int>(status);
    fRcvdCount = static_cast<int64_t>(fRcvdStream.Size());
    char *type = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
      fRcvdContentType = type;
    line += std::to_string(fCli->status) + " " + fCli->reason;
  } else {
    // No complete reply: whatever arrived is dropped and the status is 0, so that a slow or broken
    // network is never mistaken for a refusal by the service.
    fRcvdStream.Clear();
    fCli->status = 0;
    fCancelled = fAborted;
    if (fCancelled)
      fCli->reason = "cancelled";
    else if (fCli->tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
      fCli->reason = "reply too large (more than " + std::to_string(fMaxReply) + " bytes)";
    else
      fCli->reason = fCli->error[0] ? fCli->error : curl_easy_strerror(rc);
    fCli->reason = StripUserInfo(fCli->reason, fUrl);
    line += "0 [" + fCli->reason + "]";
  }
  fRcvdStream.Seal();
  if (aMethod != TMethod::Get) line += " [" + std::to_string(elapsedMs) + "]";
  WriteRequestLog(line);
  FreeHttpCli();
  return fHttpStatus;
}

void TLumHttpClient::WriteRequestLog(const std::string &aLine) const {
  if (!fLogFile.empty()) WriteLog(fLogFile, "\r\n" + aLine, "");
}

int TLumHttpClient::SendText(TMethod aMethod, const std::string &aUrl, const std::string &aText) {
  fContentType = "application/x-www-form-urlencoded; charset=utf-8";
  if (!aText.empty() && aText.size() > MaxTextBody) {
    if (!aUrl.empty()) fUrl = aUrl;
    fHttpReason = "Data too long [" + std::to_string(CodePoints(aText)) +
                  "], max=" + std::to_string(MaxTextBody);
    return 500;
  }
  return Exchange(aMethod, aUrl, aText.data(), aText.size());
}

namespace {
// The cancellable works that are open, by client: how many (nested) and whether an Abort came.
struct TOpenWork {
  int depth = 0;
  bool cancelled = false;
};
std::mutex gOpenWorkLock;
std::unordered_map<const TLumHttpClient *, TOpenWork> &OpenWork() {
  static std::unordered_map<const TLumHttpClient *, TOpenWork> works;
  return works;
}
} // namespace

TCancellableWork::TCancellableWork(TLumHttpClient &aClient) : fClient(aClient) {
  std::lock_guard<std::mutex> lock(gOpenWorkLock);
  ++OpenWork()[&fClient].depth; // a new work starts uncancelled; an inner one keeps the outer's
}

TCancellableWork::~TCancellableWork() {
  std::lock_guard<std::mutex> lock(gOpenWorkLock);
  auto it = OpenWork().find(&fClient);
  if (it != OpenWork().end() && --it->second.depth <= 0) OpenWork().erase(it);
}

bool TCancellableWork::Cancelled(const TLumHttpClient &aClient) {
  std::lock_guard<std::mutex> lock(gOpenWorkLock);
  auto it = OpenWork().find(&aClient);
  return it != OpenWork().end() && it->second.cancelled;
}

void TCancellableWork::MarkCancelled(const TLumHttpClient &aClient) {
  std::lock_guard<std::mutex> lock(gOpenWorkLock);
  auto it = OpenWork().find(&aClient);
  if (it != OpenWork().end()) it->second.cancelled = true;
}

void TLumHttpClient::Abort() {
  TCancellableWork::MarkCancelled(*this); // first: an exchange starting now then sees it
  fAborted = true;
  std::lock_guard<std::mutex> lock(fSocketMutex);
  if (fSocket >= 0) ::shutdown(fSocket, SHUT_RDWR);
}

int TLumHttpClient::Get(const std::string &aUrl) {
  return Exchange(TMethod::Get, aUrl, nullptr, 0);
}

int TLumHttpClient::Post(const std::string &aUrl, const void *aData, std::size_t aSize) {
  return Exchange(TMethod::Post, aUrl, aData, aSize);
}

int TLumHttpClient::Post(const std::string &aUrl, const std::string &aText) {
  return SendText(TMethod::Post, aUrl, aText);
}

int TLumHttpClient::Put(const std::string &aUrl, const void *aData, std::size_t aSize) {
  return Exchange(TMethod::Put, aUrl, aData, aSize);
}

int TLumHttpClient::Put(const std::string &aUrl, const std::string &aText) {
  return SendText(TMethod::Put, aUrl, aText);
}

int TLumHttpClient::Delete(const std::string &aUrl) {
  return Exchange(TMethod::Delete, aUrl, nullptr, 0);
}

int ParseRetryAfter(const std::string &aValue, std::time_t aNow) {
  std::size_t b = 0, e = aValue.size();
  while (b < e && std::isspace(static_cast<unsigned char>(aValue[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(aValue[e - 1]))) --e;
  if (b == e) return 0;
  const std::string v = aValue.substr(b, e - b);
  if (std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    if (v.size() > 7) return 86400; // absurdly long: a day
    return std::min(std::atoi(v.c_str()), 86400);
  }
  const std::int64_t at = ParseHttpDate(v);
  if (at < 0 || at <= aNow) return 0;
  return static_cast<int>(std::min<std::time_t>(at - aNow, 86400));
}


} // namespace kelvra
