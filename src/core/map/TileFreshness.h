#pragma once
// How long a downloaded tile may be shown before it is asked for again, from the caching
// headers of its reply, and what a cached tile sends to be answered "not modified".
#include <cstdint>
#include <string>
#include <vector>

namespace kelvra {

// The caching headers of a tile reply; filled by the request function when asked for.
struct THttpReplyInfo {
  long Status = 0; // 200; 304: not modified, the body is empty
  std::string ETag, LastModified, CacheControl, Expires, Date;
};

// What a cached tile sends so that the server can answer 304 instead of the tile.
struct TTileValidators {
  std::string ETag, LastModified;
  bool Empty() const { return ETag.empty() && LastModified.empty(); }
  // "If-None-Match" and "If-Modified-Since" request header lines for those present.
  std::vector<std::string> HeaderLines() const;
};

// A reply that says nothing about caching keeps its tile this long.
constexpr std::int64_t DefaultTileLifetimeSeconds = 7 * 86400;
// The public OpenStreetMap servers' usage policy: never ask for a tile again within 7 days,
// whatever the reply said.
constexpr std::int64_t PublicServerTileFloorSeconds = 7 * 86400;

// The moment (seconds since 1970 UTC) the tile of this reply, received at Now, goes stale:
// Cache-Control max-age first ("no-cache" and "no-store" mean at once); else Expires, measured
// against the reply's Date when it has one (so that a server clock that is off does not
// matter); else DefaultTileLifetimeSeconds. Never earlier than Now + FloorSeconds.
std::int64_t TileExpiry(const THttpReplyInfo &Reply, std::int64_t Now, std::int64_t FloorSeconds);

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT" and the two older forms) in seconds since 1970
// UTC; -1 when it is not a date.
std::int64_t ParseHttpDate(const std::string &Text);

} // namespace kelvra
