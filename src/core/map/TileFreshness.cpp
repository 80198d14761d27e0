#include "core/map/TileFreshness.h"

#include "core/util/LumStrings.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

namespace kelvra {

std::vector<std::string> TTileValidators::HeaderLines() const {
  std::vector<std::string> lines;
  if (!ETag.empty()) lines.push_back("If-None-Match: " + ETag);
  if (!LastModified.empty()) lines.push_back("If-Modified-Since: " + LastModified);
  return lines;
}

std::int64_t ParseHttpDate(const std::string &Text) {
  const std::string t = Trim(Text);
  if (t.empty()) return -1;
  // curl_getdate reads every form RFC 9110 allows; a lone number is no date here.
  if (std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c) || c == '-'; }))
    return -1;
  const time_t v = curl_getdate(t.c_str(), nullptr);
  return v == time_t(-1) ? -1 : std::int64_t(v);
}

namespace {

// The directives of a Cache-Control value: max-age in seconds (-1 when absent), and whether
// the tile must be asked for again at once.
void ReadCacheControl(const std::string &Value, std::int64_t &MaxAge, bool &Now) {
  MaxAge = -1;
  Now = false;
  std::size_t pos = 0;
  while (pos <= Value.size()) {
    std::size_t end = Value.find(',', pos);
    if (end == std::string::npos) end = Value.size();
    std::string item = Trim(Value.substr(pos, end - pos));
    std::transform(item.begin(), item.end(), item.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (item == "no-cache" || item == "no-store") {
      Now = true;
    } else if (item.rfind("max-age", 0) == 0) {
      const std::size_t eq = item.find('=');
      std::string num = eq == std::string::npos ? std::string() : Trim(item.substr(eq + 1));
      if (num.size() >= 2 && num.front() == '"' && num.back() == '"') num = num.substr(1, num.size() - 2);
      if (!num.empty() && num.size() <= 12 &&
          std::all_of(num.begin(), num.end(), [](unsigned char c) { return std::isdigit(c); }))
        MaxAge = std::stoll(num);
    }
    pos = end + 1;
  }
}

} // namespace

std::int64_t TileExpiry(const THttpReplyInfo &Reply, std::int64_t Now, std::int64_t FloorSeconds) {
  std::int64_t expiry = Now + DefaultTileLifetimeSeconds;
  std::int64_t maxAge = -1;
  bool atOnce = false;
  ReadCacheControl(Reply.CacheControl, maxAge, atOnce);
  if (atOnce) {
    expiry = Now;
  } else if (maxAge >= 0) {
    expiry = Now + maxAge;
  } else if (!Trim(Reply.Expires).empty()) {
    // An Expires that is no date ("0", "-1") means already expired.
    const std::int64_t expires = ParseHttpDate(Reply.Expires);
    const std::int64_t date = ParseHttpDate(Reply.Date);
    if (expires < 0)
      expiry = Now;
    else
      expiry = date >= 0 ? Now + std::max<std::int64_t>(0, expires - date) : std::max(Now, expires);
  }
  return std::max(expiry, Now + FloorSeconds);
}

} // namespace kelvra
