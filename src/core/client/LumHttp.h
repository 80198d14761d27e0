#pragma once
// A small synchronous HTTP/1.1 client on libcurl: one call is one complete exchange on a fresh
// connection; the outcome (status, reason, body, content type) stays in the object until the next
// call. Cookies and extra headers are carried from one request to the next.
#include "core/util/LumHash.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ctime>
#include <string>
#include <vector>

namespace kelvra {

// The engine's state for one exchange (the curl handle, header list, trace file); it lives only
// between CreateHttpCli and FreeHttpCli.
struct TLumHttpExchange;

class TLumHttpClient {
public:
  // A text body is sent only when its UTF-8 form fits in this many bytes.
  static constexpr std::size_t MaxTextBody = 8192;
  // Replies larger than this are refused unless SetMaxReply says otherwise.
  static constexpr int64_t DefaultMaxReply = 256ll * 1024 * 1024;

  TLumHttpClient();
  virtual ~TLumHttpClient();
  TLumHttpClient(const TLumHttpClient &) = delete;
  TLumHttpClient &operator=(const TLumHttpClient &) = delete;

  // Each returns the status of the reply, 0 when no reply arrived. An empty aUrl reuses URL.
  int Get(const std::string &aUrl);
  int Post(const std::string &aUrl, const void *aData, std::size_t aSize);
  // Sends aText as a URL-encoded form body; a body over MaxTextBody bytes is refused with 500.
  int Post(const std::string &aUrl, const std::string &aText);
  int Put(const std::string &aUrl, const void *aData, std::size_t aSize);
  int Put(const std::string &aUrl, const std::string &aText);
  int Delete(const std::string &aUrl);

  // Zero bytes after every received body, so that it reads as C text and a JSON parser that
  // reads ahead in blocks (simdjson) can parse it where it lies.
  static constexpr std::size_t kRcvdPadding = 64;
  // The received body, followed by kRcvdPadding zero bytes that RcvdCount does not count.
  const char *GetRcvdData() const { return fRcvdStream.Data(); }
  // The received body as text, up to its first zero byte.
  std::string GetHttpString() const;
  // Handles the value of one Set-Cookie header of a reply.
  void RcvdCookie(const std::string &aValue);

  // Connection settings. Time-outs are in milliseconds; 0 leaves the engine's default.
  void SetTimeouts(long aConnectMs, long aTotalMs) {
    fConnectTimeoutMs = aConnectMs;
    fTimeoutMs = aTotalMs;
  }
  // A reply body over aBytes ends the exchange (status 0, reason "reply too large ..."), whether
  // the server announced its length or not; 0 or less restores the default.
  long ConnectTimeoutMs() const { return fConnectTimeoutMs; }
  long TimeoutMs() const { return fTimeoutMs; }
  bool TlsVerify() const { return fTlsVerify; }
  const std::string &CaFile() const { return fCaFile; }
  void SetMaxReply(int64_t aBytes) { fMaxReply = aBytes > 0 ? aBytes : DefaultMaxReply; }
  int64_t MaxReply() const { return fMaxReply; }
  // TLS: verify the server certificate (against aCaFile when it is not empty, else the system's
  // certificate store).
  void SetTls(bool aVerify, const std::string &aCaFile) {
    fTlsVerify = aVerify;
    fCaFile = aCaFile;
  }

  TLumHash &Cookie() { return fCookie; }
  const TLumHash &Cookie() const { return fCookie; }
  TLumHash &Headers() { return fHeaders; }
  const std::string &URL() const { return fUrl; }
  void SetURL(const std::string &aUrl) { fUrl = aUrl; }
  const std::string &ContentType() const { return fContentType; }
  void SetContentType(const std::string &aValue) { fContentType = aValue; }
  const std::string &Referer() const { return fReferer; }
  void SetReferer(const std::string &aValue) { fReferer = aValue; }
  int HttpStatus() const { return fHttpStatus; }
  const std::string &HttpReason() const { return fHttpReason; }
  int64_t RcvdCount() const { return fRcvdCount; }
  const std::string &RcvdContentType() const { return fRcvdContentType; }
  // The Retry-After header of the last reply, as sent; empty when it had none.
  const std::string &RcvdRetryAfter() const { return fRcvdRetryAfter; }
  const std::string &LogFile() const { return fLogFile; }
  void SetLogFile(const std::string &aValue) { fLogFile = aValue; }
  // An empty host means a direct connection.
  void SetProxy(const std::string &aHost, const std::string &aPort, const std::string &aUser,
                const std::string &aPass) {
    fProxy = aHost;
    fProxyPort = aPort;
    fProxyUser = aUser;
    fProxyPass = aPass;
  }
  // The path of the engine's protocol trace for a request log file: "x.log" -> "x.https.log".
  static std::string TraceFileName(const std::string &aLogFile);
  // The URL without a user name and password ("https://u:p@host/x" -> "https://host/x"), for
  // logs and error texts.
  static std::string RedactUrl(const std::string &aUrl);

  // Runs the transfer of one exchange (aTransfer) and returns when it has ended. Without a runner
  // the transfer runs in place; a caller that must stay responsive (a window) runs it on another
  // thread and waits in its own way, and may call Abort meanwhile. The transfer touches only this
  // client's reply buffers. Set it between exchanges, never during one.
  using TExchangeRunner = std::function<void(const std::function<void()> &aTransfer)>;
  void SetExchangeRunner(TExchangeRunner aRunner) { fRunner = std::move(aRunner); }
  // Callable from any thread: ends the transfer in progress at once; the exchange then reports
  // status 0 with the reason "cancelled". Does nothing between exchanges.
  void Abort();
  // The last exchange ended because Abort was called (the user gave up waiting): no reply, but
  // nothing the service did wrong.
  bool Cancelled() const { return fCancelled; }

protected:
  // Builds and configures the engine's request object for one exchange.
  virtual void CreateHttpCli();
  // Harvests status and reason and releases the request object.
  virtual void FreeHttpCli();
  // The User-Agent of this kind of client.
  virtual const char *UserAgent() const { return "Moravel Client Version 0.01"; }

  std::unique_ptr<TLumHttpExchange> fCli; // owned; present only during an exchange
  long fConnectTimeoutMs = 10000;
  long fTimeoutMs = 60000;
  bool fTlsVerify = true;
  std::string fCaFile;

private:
  enum class TMethod { Get, Post, Put, Delete };
  int Exchange(TMethod aMethod, const std::string &aUrl, const void *aData, std::size_t aSize);
  int SendText(TMethod aMethod, const std::string &aUrl, const std::string &aText);
  void WriteRequestLog(const std::string &aLine) const;

  TLumHash fCookie;
  TLumHash fHeaders;
  std::string fLogFile;
  std::string fUrl;
  std::string fContentType;
  std::string fReferer;
  std::string fHttpReason;
  int fHttpStatus = 0;
  // The body as it arrives, in memory of its own that grows by remapping its pages instead of
  // copying them: a reply of unknown length costs its size, not the two or three times of
  // buffers that grow by copies. A reply of announced length gets its whole buffer at once.
  class TRcvdBuffer {
  public:
    TRcvdBuffer() = default;
    ~TRcvdBuffer();
    TRcvdBuffer(const TRcvdBuffer &) = delete;
    TRcvdBuffer &operator=(const TRcvdBuffer &) = delete;
    // The bytes, always followed by kRcvdPadding readable bytes (zero once Seal has run).
    const char *Data() const;
    std::size_t Size() const { return fSize; }
    // Room for aBytes (and the padding) without moving again; false when memory is short.
    bool Reserve(std::size_t aBytes);
    bool Append(const char *aData, std::size_t aSize);
    // Forgets the bytes; the memory stays for the next reply.
    void Clear() { fSize = 0; }
    // Zeroes the padding after the bytes, and gives memory far beyond them back to the system,
    // so that what stays held between replies is never far above the last reply's size.
    void Seal();

  private:
    char *fData = nullptr;     // mapped, fCapacity bytes
    std::size_t fCapacity = 0; // whole pages
    std::size_t fSize = 0;
  };
  TRcvdBuffer fRcvdStream;
  int64_t fRcvdCount = 0;
  int64_t fMaxReply = DefaultMaxReply;
  std::string fRcvdContentType;
  std::string fRcvdRetryAfter;
  std::string fProxy, fProxyPort, fProxyUser, fProxyPass;
  TExchangeRunner fRunner;
  std::atomic<bool> fAborted{false};
  bool fCancelled = false; // the last exchange was aborted
  std::mutex fSocketMutex; // guards fSocket between the transfer and Abort
  int fSocket = -1;        // the connection's socket while the transfer has one open

  friend struct TLumHttpExchange;
};

// The TLS variant: same exchange, plus the TLS settings and the optional protocol trace.
class TLumHttpsClient : public TLumHttpClient {
protected:
  void CreateHttpCli() override;
  void FreeHttpCli() override;
  const char *UserAgent() const override { return "Lum HTTPS Client Version 0.01"; }
};

// The seconds a Retry-After header asks for (a number of seconds, or an HTTP date read against
// aNow); 0 when absent, unreadable or past; at most a day.
int ParseRetryAfter(const std::string &aValue, std::time_t aNow);

} // namespace kelvra
