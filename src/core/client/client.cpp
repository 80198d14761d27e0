#include "core/client/client.h"


#include "core/util/LumFiles.h"
#include "core/util/LumJson.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <ctime>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace kelvra {

namespace {


bool IsDigits(std::string_view aText) {
  if (aText.empty()) return false;
  for (char c : aText)
    if (c < '0' || c > '9') return false;
  return true;
}

// Decimal digits as a non-negative 64-bit value; aDef on overflow.
int64_t DigitsToInt(std::string_view aDigits, int64_t aDef) {
  uint64_t v = 0;
  for (char c : aDigits) {
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return aDef;
  }
  return static_cast<int64_t>(v);
}

std::string VFormat(const char *aFmt, va_list aArgs) {
  va_list copy;
  va_copy(copy, aArgs);
  int n = std::vsnprintf(nullptr, 0, aFmt, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, aFmt, aArgs);
  return out;
}

// Reads a whole local file for an upload; an error text on failure.
std::string ReadUploadFile(const std::string &aPath, std::vector<char> &aBytes) {
  char buf[64];
  FILE *raw = std::fopen(aPath.c_str(), "rb");
  if (!raw) {
    std::snprintf(buf, sizeof buf, ": %d]", errno);
    return "error at read file [" + aPath + buf;
  }
  std::unique_ptr<FILE, int (*)(FILE *)> file(raw, &std::fclose);
  std::error_code ec;
  auto size = std::filesystem::file_size(aPath, ec);
  if (ec) {
    std::snprintf(buf, sizeof buf, ": %d]", ec.value());
    return "error at read file [" + aPath + buf;
  }
  // Read whole into memory: a file beyond the cap is refused before it is read.
  if (static_cast<int64_t>(size) > kMaxLocalFileSize) {
    std::snprintf(buf, sizeof buf, ": %llu > %lld]", static_cast<unsigned long long>(size),
                  static_cast<long long>(kMaxLocalFileSize));
    return "error at read file [" + aPath + buf;
  }
  aBytes.resize(static_cast<std::size_t>(size));
  std::size_t got = std::fread(aBytes.data(), 1, aBytes.size(), file.get());
  if (got != aBytes.size()) {
    std::snprintf(buf, sizeof buf, ": %llu/%zu]", static_cast<unsigned long long>(size), got);
    return "error at read file [" + aPath + buf;
  }
  return std::string();
}

// A server reached without TLS anywhere but on this computer.
bool IsPlainRemoteHttp(const std::string &aServer) {
  std::string s = LowerCase(aServer);
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
    s.erase(0, 1);
  if (s.rfind("http://", 0) != 0) return false;
  std::string host = s.substr(7, s.find_first_of("/?#", 7) == std::string::npos
                                     ? std::string::npos
                                     : s.find_first_of("/?#", 7) - 7);
  if (const std::size_t at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
  if (!host.empty() && host[0] == '[') {
    host = host.substr(1, host.find(']') == std::string::npos ? std::string::npos
                                                                : host.find(']') - 1);
  } else if (const std::size_t colon = host.rfind(':'); colon != std::string::npos) {
    host.erase(colon);
  }
  return !(host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0 ||
           host.ends_with(".localhost"));
}

} // namespace

// --- free functions ------------------------------------------------------------------------------

std::string ContentType2Ext(const std::string &aContentType) {
  static const std::pair<const char *, const char *> table[] = {{"text", "txt"},  {"zip", "zip"},
                                                                {"html", "html"}, {"jpg", "jpg"},
                                                                {"jpeg", "jpg"},  {"png", "png"}};
  for (const auto &[part, ext] : table)
    if (aContentType.find(part) != std::string::npos) return ext;
  return "dat";
}

std::string Ext2ContentType(const std::string &aExt) {
  std::string ext = LowerCase(!aExt.empty() && aExt[0] == '.' ? aExt.substr(1) : aExt);
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "png") return "image/png";
  if (ext == "zip") return "application/zip";
  return "application/octet-stream";
}

// --- life ----------------------------------------------------------------------------------------

TKelvraClient::TKelvraClient(const std::string &aServer, const std::string &aToken,
                             const std::string &aTimeZone, TKelvraClientEnv aEnv)
    : fApiServer(aServer), fApiToken(aToken), fTranslate(std::move(aEnv.Translate)),
      fRandom(std::random_device{}()) {
  fTimeZone = s2f(aTimeZone, 0);
  if (!std::isfinite(fTimeZone) || fTimeZone == 0) fTimeZone = aEnv.SystemTimeZone;
  if (aEnv.Config) ApplyConfig(*aEnv.Config);
  auto folder = [](std::string aDir) {
    if (!aDir.empty() && aDir.back() != '/') aDir += '/';
    return aDir;
  };
  const std::string home = folder(aEnv.HomeDir);
  if (!home.empty()) fResponseDir = home + "Responses/";
  fPhotoDir = folder(aEnv.PhotoDir);
  if (fPhotoDir.empty() && !home.empty()) fPhotoDir = home + "PhotoCache/";
  // Command answers and photos are the user's own: their folders are private.
  for (const std::string *dir : {&fResponseDir, &fPhotoDir})
    if (!dir->empty()) CreatePrivateDir(*dir);
}

TKelvraClient::~TKelvraClient() {
  // The log's receiver may already be gone while its owner is torn down.
  fLogCallback = nullptr;
  Clear();
}

void TKelvraClient::ApplyConfig(const TLumHash &aConfig) {
  auto millis = [&aConfig](const char *aKey, double aDefSeconds) {
    const std::string text = aConfig.GetVal(aKey);
    double seconds = text.empty() ? aDefSeconds : s2f(text, aDefSeconds);
    if (!(seconds > 0) || !std::isfinite(seconds)) seconds = aDefSeconds;
    return static_cast<long>(std::lround(seconds * 1000));
  };
  fApiClient.SetTimeouts(millis("http_connect_timeout", 10), millis("http_timeout", 60));
  // "http_max_reply" in megabytes; unreadable or not positive keeps the default.
  const double maxReplyMb = s2f(aConfig.GetVal("http_max_reply"), 0);
  fApiClient.SetMaxReply(std::isfinite(maxReplyMb) && maxReplyMb > 0 && maxReplyMb < 1e6
                             ? static_cast<int64_t>(maxReplyMb * 1024 * 1024)
                             : TLumHttpClient::DefaultMaxReply);
  const std::string verify = LowerCase(aConfig.GetVal("tls_verify"));
  const bool off = verify == "false" || verify == "0" || verify == "no" || verify == "off";
  fApiClient.SetTls(!off, aConfig.GetVal("ca_file"));
}

namespace {
// The cookies of another connection of the same session, set over (or beside) these.
void SetCookies(TLumHash &aTo, const TLumHash &aFrom) {
  for (int i = 0; i < aFrom.Count(); ++i)
    aTo.SetVal(aFrom.GetKey(i), aFrom.GetValByIndex(i));
}
} // namespace

void TKelvraClient::CopySession(const TKelvraClient &aFrom) {
  fApiServer = aFrom.fApiServer;
  fApiToken = aFrom.fApiToken;
  fTimeZone = aFrom.fTimeZone;
  fDisplayZone = aFrom.fDisplayZone;
  fUserInfo = aFrom.fUserInfo;
  fPlainHttpWarned = true; // the other client warned already
  fApiClient.Cookie().Clear();
  SetCookies(fApiClient.Cookie(), aFrom.fApiClient.Cookie());
  fApiClient.SetTimeouts(aFrom.fApiClient.ConnectTimeoutMs(), aFrom.fApiClient.TimeoutMs());
  fApiClient.SetMaxReply(aFrom.fApiClient.MaxReply());
  fApiClient.SetTls(aFrom.fApiClient.TlsVerify(), aFrom.fApiClient.CaFile());
}

void TKelvraClient::TakeReply(TKelvraClient &aFrom) {
  fResultCode = aFrom.fResultCode;
  fCancelled = aFrom.fCancelled;
  fErrorMessage = aFrom.fErrorMessage;
  fRetryAfter = aFrom.fRetryAfter;
  fResult = std::move(aFrom.fResult);
  fResultSource = aFrom.fResultSource;
  fReplyPending.clear();
  // A cookie the service set on the other connection belongs to the session.
  SetCookies(fApiClient.Cookie(), aFrom.fApiClient.Cookie());
  aFrom.fResult = TJsonReply();
  aFrom.fResultCode = -1;
}

void TKelvraClient::Clear() {
  Log("\rKelvraClient.Clear");
  fApiToken.clear();
  fUserInfo.Uid = 0;
  fUserInfo.Login.clear();
  fUserInfo.Name.clear();
  fUserInfo.Email.clear();
  fUserInfo.TimeZone = 0;
  fResult.Release(); // signed out: the parser's buffers go too
  // One user's session cookie never travels with the next user's requests.
  fApiClient.Cookie().Clear();
  fObjList.clear();
  fObjListUpdated = 0;
  ClearModelCaches();
  fTripList.clear(); // one user's trips never show in the next one's window
  if (fResponseDir.empty()) return;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(fResponseDir, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string path = it->path().string();
    // Removed as a file only: a folder someone put there stays.
    const bool ok = ::unlink(path.c_str()) == 0;
    LogFmt("\r del %s -> %s", path.c_str(), ok ? "ok" : "error");
  }
}

// --- logging -------------------------------------------------------------------------------------

void TKelvraClient::Log(const std::string &aMsg) const {
  if (!fLogCallback) return;
  std::string text = aMsg;
  for (char &c : text)
    if (c == '%') c = '#';
  fLogCallback(text);
}

void TKelvraClient::Log(const std::string &aSrc, const std::string &aMsg) const {
  Log("\r" + fLogTag + "." + aSrc + ": " + aMsg);
}

void TKelvraClient::LogFmt(const char *aFmt, ...) const {
  if (!fLogCallback) return;
  va_list args;
  va_start(args, aFmt);
  std::string text = VFormat(aFmt, args);
  va_end(args);
  fLogCallback(text);
}

void TKelvraClient::LogSrcFmt(const std::string &aSrc, const char *aFmt, ...) const {
  if (!fLogCallback) return;
  va_list args;
  va_start(args, aFmt);
  std::string text = VFormat(aFmt, args);
  va_end(args);
  fLogCallback("\r" + fLogTag + "." + aSrc + ": " + text);
}

std::string TKelvraClient::DataForLog(const std::string &aData) {
  static const char *const secret[] = {"password", "upass", "pass", "token", "cookie"};
  std::string out;
  std::size_t pos = 0;
  while (pos <= aData.size()) {
    std::size_t amp = aData.find('&', pos);
    if (amp == std::string::npos) amp = aData.size();
    std::string pair = aData.substr(pos, amp - pos);
    const std::size_t eq = pair.find('=');
    if (eq != std::string::npos) {
      const std::string key = LowerCase(pair.substr(0, eq));
      for (const char *s : secret)
        if (key == s) {
          pair = pair.substr(0, eq) + "=***";
          break;
        }
    }
    if (pos) out += ' ';
    out += pair;
    pos = amp + 1;
  }
  return out;
}

// --- the request core ----------------------------------------------------------------------------

int TKelvraClient::DoRequest(const std::string &aHttpMethod, const std::string &aSource,
                             const std::string &aApiMethod, const std::string &aData) {
  fErrorMessage.clear();
  const int requestId = std::uniform_int_distribution<int>(1000, 10999)(fRandom);
  if (!fPlainHttpWarned && IsPlainRemoteHttp(fApiServer)) {
    fPlainHttpWarned = true;
    Log("\r" + fLogTag + ": warning: the server address uses plain http://, the password and "
        "the token travel unencrypted");
  }
  LogFmt("\r%s.%s(%d, %s %s", fLogTag.c_str(), aSource.c_str(), requestId, aHttpMethod.c_str(),
         aApiMethod.c_str());
  // The sign-in body holds the password: it never reaches the log.
  if (aSource != "Login" && !aData.empty()) Log(" " + DataForLog(aData));
  Log("): ");

  std::string error;
  fRetryAfter = 0;
  fCancelled = false;
  try {
    fResult.Clear();
    fReplyPending.clear();
    if (fApiServer.empty())
      error = "no API server specified";
    else if (aApiMethod.empty())
      error = "no API method specified";
    else if (fApiToken.empty() && aSource != "Login" && aSource != "Reg" && aSource != "Recovery")
      error = "no API token specified";
    if (error.empty()) {
      auto &headers = fApiClient.Headers();
      headers.SetVal("X-Auth-Token", fApiToken);
      headers.SetVal("X-Request-ID", std::to_string(requestId));
      headers.SetVal("X-Requested-With", "xmlhttprequest");

      std::string url = fApiServer;
      while (!url.empty() && (static_cast<unsigned char>(url.back()) <= ' ' || url.back() == '/'))
        url.pop_back();
      url += "/api/v1";
      if (aApiMethod[0] != '/') url += '/';
      url += aApiMethod;

      int status = 0;
      if (aHttpMethod == "GET") {
        if (!aData.empty()) url += '?' + EncodeQuery(aData);
        status = fApiClient.Get(url);
      } else if (aHttpMethod == "POST" && aData.rfind("file://", 0) == 0) {
        const std::string path = aData.substr(7);
        std::vector<char> bytes;
        error = ReadUploadFile(path, bytes);
        if (error.empty()) {
          const std::size_t dot = path.rfind('.');
          fApiClient.SetContentType(
              Ext2ContentType(dot == std::string::npos ? std::string() : path.substr(dot)));
          status = fApiClient.Post(url, bytes.data(), bytes.size());
        }
      } else if (aHttpMethod == "POST") {
        fApiClient.SetContentType("application/x-www-form-urlencoded; charset=UTF-8");
        status = fApiClient.Post(url, aData);
      } else if (aHttpMethod == "PUT") {
        fApiClient.SetContentType("application/x-www-form-urlencoded; charset=UTF-8");
        status = fApiClient.Put(url, aData);
      } else if (aHttpMethod == "DEL") {
        status = fApiClient.Delete(url);
      } else {
        error = "unknow HttpMethod [" + aHttpMethod + "]";
      }

      if (error.empty()) {
        fResultCode = status;
        fCancelled = status == 0 && fApiClient.Cancelled();
        fRetryAfter = ParseRetryAfter(fApiClient.RcvdRetryAfter(), std::time(nullptr));
        LogFmt("%d", status);
        // No reply at all: why (refused, timed out, cancelled by the user) is the error text.
        if (status == 0 && !fApiClient.HttpReason().empty()) {
          fErrorMessage = fApiClient.HttpReason();
          Log(" [" + fErrorMessage + "]");
        }
        // A track's points are read in one pass over the text when it is there (ReadTrack).
        if (fStreamReply && status == 200 && HasJsonBody())
          fReplyPending = aSource;
        else
          ParseReply(aSource);
        // A refusal says why in its "text": it goes with the status to the user and the log.
        if (status >= 400 && fErrorMessage.empty()) {
          fErrorMessage = GetJvText(ResultData(), "text");
          if (!fErrorMessage.empty()) Log("\r  X: " + fErrorMessage);
        }
      }
    }
  } catch (const std::exception &e) {
    error = e.what();
  }
  if (!error.empty()) {
    Log("\r  X: " + error);
    fResultCode = -1;
    return -1;
  }
  return fResultCode;
}

bool TKelvraClient::HasJsonBody() const {
  return fApiClient.RcvdCount() > 0 &&
         fApiClient.RcvdContentType().find("json") != std::string::npos;
}

void TKelvraClient::ParseReply(const std::string &aSource) {
  if (!HasJsonBody()) return;
  // Parsed straight from the receive buffer, whose padding the parser may read past the end: the
  // reply is never copied as text. An array reply is found under the operation's name
  // (ResultArray).
  static_assert(TLumHttpClient::kRcvdPadding >= simdjson::SIMDJSON_PADDING);
  if (fResult.Parse(fApiClient.GetRcvdData(), std::size_t(fApiClient.RcvdCount()), true))
    fResultSource = aSource;
  else
    Log("\r  x: malformed JSON reply");
}

int TKelvraClient::DoGetRequest(const std::string &aSource, const std::string &aMethod,
                                const std::string &aData) {
  return DoRequest("GET", aSource, aMethod, aData);
}

int TKelvraClient::DoPostRequest(const std::string &aSource, const std::string &aMethod,
                                 const std::string &aData) {
  return DoRequest("POST", aSource, aMethod, aData);
}

int TKelvraClient::DoPutRequest(const std::string &aSource, const std::string &aMethod,
                                const std::string &aData) {
  return DoRequest("PUT", aSource, aMethod, aData);
}

int TKelvraClient::DoDelRequest(const std::string &aSource, const std::string &aMethod) {
  return DoRequest("DEL", aSource, aMethod, std::string());
}

std::string TKelvraClient::GetErrorMessage() const {
  std::string text = fErrorMessage;
  if (text.empty() && fResultCode == 204) text = fTranslate ? fTranslate("no_data") : "no_data";
  text += " [" + std::to_string(fResultCode) + "]";
  std::size_t first = text.find_first_not_of(' ');
  std::size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

void TKelvraClient::ReadErrorText() {
  if (!fErrorMessage.empty()) return;
  fErrorMessage = GetJvText(ResultData(), "text");
  if (!fErrorMessage.empty()) Log("\r  X: " + fErrorMessage);
}

void TKelvraClient::MalformedReply(const std::string &aSource) {
  fErrorMessage = "malformed reply";
  Log("\r  X: malformed reply: " + aSource + " " + TLumHttpClient::RedactUrl(fApiClient.URL()));
}

TJsonVal TKelvraClient::ResultArray(std::string_view aName) const {
  const TJsonVal root = fResult.Root();
  if (root.IsArray()) return aName == fResultSource ? root : TJsonVal();
  return GetJvArr(root, aName);
}

TJsonVal TKelvraClient::ReplyArray(const std::string &aSource) {
  const TJsonVal arr = ResultArray(aSource);
  if (!arr) MalformedReply(aSource);
  return arr;
}

// --- JSON readers --------------------------------------------------------------------------------

namespace {

using simdjson::dom::element_type;

} // namespace

TJsonVal TKelvraClient::GetJvArr(TJsonVal aObj, std::string_view aName) {
  const TJsonVal v = aObj.Get(aName);
  return v.IsArray() ? v : TJsonVal();
}

std::string TKelvraClient::JvStr(TJsonScalar aVal) {
  switch (aVal.Kind()) {
  case TJsonScalar::kString:
    return std::string(aVal.Text());
  case TJsonScalar::kInt64:
    return std::to_string(aVal.AsInt64());
  case TJsonScalar::kUint64:
    return std::to_string(aVal.AsUint64());
  case TJsonScalar::kDouble:
    // The shortest text that reads back as the same number, as the program writes numbers.
    return JsonNumberText(aVal.AsDouble());
  case TJsonScalar::kBool:
    return aVal.AsBool() ? "true" : "false";
  default:
    return std::string();
  }
}

bool TKelvraClient::JvStrTo(TJsonScalar aVal, std::string &aField, size_t aMax) {
  if (aVal.Kind() == TJsonScalar::kString) {
    std::string_view text = aVal.Text();
    if (text.size() <= aMax) {
      aField.assign(text);
      return false;
    }
    size_t end = aMax;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      --end;
    aField.assign(text.substr(0, end));
    return true;
  }
  aField = JvStr(aVal);
  if (aField.size() <= aMax) return false;
  aField.resize(aMax); // a number's text: digits only
  return true;
}

std::string TKelvraClient::JvText(TJsonScalar aVal, std::string_view aWhat) const {
  std::string text;
  if (JvStrTo(aVal, text, kMaxObjectText))
    LogFmt("\r  W: %.*s longer than %d bytes, cut", static_cast<int>(aWhat.size()), aWhat.data(),
           static_cast<int>(kMaxObjectText));
  return text;
}

bool TKelvraClient::JvBool(TJsonScalar aVal) {
  if (aVal.Kind() == TJsonScalar::kBool) return aVal.AsBool();
  return aVal.Text() == "true";
}

int64_t TKelvraClient::JvInt(TJsonScalar aVal, int64_t aDef) {
  switch (aVal.Kind()) {
  case TJsonScalar::kInt64:
    return aVal.AsInt64() >= 0 ? aVal.AsInt64() : aDef;
  case TJsonScalar::kUint64: // only numbers beyond the signed range are kept unsigned
    return aDef;
  case TJsonScalar::kString: {
    const std::string_view s = aVal.Text();
    return IsDigits(s) ? DigitsToInt(s, aDef) : aDef;
  }
  default:
    return aDef; // nothing, fractions, booleans, objects, arrays
  }
}

int TKelvraClient::JvInt32(TJsonScalar aVal, int aDef) {
  const int64_t v = JvInt(aVal, aDef);
  return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()
             ? aDef
             : static_cast<int>(v);
}

int64_t TKelvraClient::JvSignedInt(TJsonScalar aVal, int64_t aDef) {
  if (aVal.Kind() == TJsonScalar::kInt64) return aVal.AsInt64();
  if (aVal.Kind() == TJsonScalar::kString) {
    std::string_view s = aVal.Text();
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
    if (!IsDigits(s)) return aDef;
    const int64_t magnitude = DigitsToInt(s, -1);
    if (magnitude < 0) return aDef;
    return negative ? -magnitude : magnitude;
  }
  return JvInt(aVal, aDef);
}

double TKelvraClient::JvDbl(TJsonScalar aVal) {
  switch (aVal.Kind()) {
  case TJsonScalar::kNone:
    return kNaN;
  case TJsonScalar::kDouble:
    return aVal.AsDouble();
  case TJsonScalar::kInt64:
    return double(aVal.AsInt64());
  case TJsonScalar::kUint64:
    return double(aVal.AsUint64());
  default: {
    const std::string text = JvStr(aVal);
    return text.empty() ? kNaN : s2f(text, 0);
  }
  }
}

TDateTime TKelvraClient::JvDt(TJsonScalar aVal) const {
  if (!aVal) return kNaN;
  TDateTime dt = 0;
  if (aVal.Kind() == TJsonScalar::kString) {
    const std::string_view text = aVal.Text();
    if (text.empty()) return kNaN;
    dt = StrToDt(text); // read where it lies in the reply: three dates a point, no copies
  } else {
    const std::string text = JvStr(aVal);
    if (text.empty()) return kNaN;
    dt = StrToDt(text);
  }
  // Unreadable text parses as 0, "no date": it stays a missing value instead of 1899-12-30.
  if (dt == 0) return kNaN;
  return FromService(dt);
}

// --- time ----------------------------------------------------------------------------------------

double TKelvraClient::GetTimeZone() const {
  return fUserInfo.TimeZone != 0 ? fUserInfo.TimeZone : fTimeZone;
}

bool TKelvraClient::SetDisplayZone(const std::string &aSetting) {
  const std::string name = Trim(aSetting);
  fDisplayZone.reset();
  if (name.empty() || name == kZoneAccount) return true;
  if (name == kZoneSystem) {
    fDisplayZone = TDisplayZone::System();
    return true;
  }
  auto rules = LoadTimeZone(name);
  if (!rules) {
    Log("\r  x: unknown time zone \"" + name + "\", the account's offset is used");
    return false;
  }
  fDisplayZone = TDisplayZone::Named(std::move(rules));
  return true;
}

TDisplayZone TKelvraClient::DisplayZone() const {
  return fDisplayZone ? *fDisplayZone : TDisplayZone::Fixed(GetTimeZone());
}

TDateTime TKelvraClient::FromService(TDateTime aUtc) const {
  return fDisplayZone ? fDisplayZone->FromUtc(aUtc) : aUtc + GetTimeZone();
}

TDateTime TKelvraClient::ToService(TDateTime aLocal) const {
  return fDisplayZone ? fDisplayZone->ToUtc(aLocal) : aLocal - GetTimeZone();
}

std::string TKelvraClient::DtToService(TDateTime aLocal) const {
  return dt2webutc(ToService(aLocal), 0);
}

TDateTime TKelvraClient::DisplayNow() const { return FromService(NowUtc()); }

} // namespace kelvra
