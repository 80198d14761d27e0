#pragma once
// Map tiles kept in memory (as received, decoded, ready to draw) and on disk,
// so that each tile is fetched from the network at most once. Used from the
// user-interface thread only; nothing here is locked.
#include "core/map/Bitmap32.h"
#include "core/map/PngImage.h"
#include "core/map/SlippyMapUtils.h"
#include "core/map/TileFreshness.h"

#include <cstdint>
#include <deque>
#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

namespace kelvra {

// A bounded first-in first-out list of owned objects keyed by tile. Finding an
// object does not change the order.
template <class T> class TTileObjectCache {
public:
  // Capacity 0: no count limit.
  TTileObjectCache(std::uint32_t Capacity, std::uint32_t SizeLimit)
      : fCapacity(Capacity), fSizeLimit(SizeLimit) {}

  // Takes ownership of Obj and returns it, evicting the oldest records until
  // both limits hold. An object larger than the byte limit on its own is freed
  // and null returned, leaving the cache as it was.
  T *Push(const TTile &Tile, std::unique_ptr<T> Obj, std::uint32_t Size) {
    if (Size > fSizeLimit) return nullptr;
    while (fCapacity != 0 && fCache.size() >= fCapacity)
      EvictOldest();
    while (!fCache.empty() && std::uint64_t(fTotalSize) + Size > fSizeLimit)
      EvictOldest();
    T *stored = Obj.get();
    fCache.push_back(TTileObjectRec{Tile, std::move(Obj), Size});
    fTotalSize += Size;
    return stored;
  }

  // Owned by the cache; valid until the next Push into it.
  T *Find(const TTile &Tile) const {
    for (const auto &rec : fCache)
      if (rec.Tile == Tile) return rec.Obj.get();
    return nullptr;
  }

  void Clear() {
    fCache.clear();
    fTotalSize = 0;
  }
  // Raises the limits to at least these (never lowers them).
  void Grow(std::uint32_t Capacity, std::uint32_t SizeLimit) {
    if (fCapacity != 0) fCapacity = std::max(fCapacity, Capacity);
    fSizeLimit = std::max(fSizeLimit, SizeLimit);
  }

  std::size_t Count() const { return fCache.size(); }
  std::uint32_t TotalSize() const { return fTotalSize; }
  std::uint32_t Capacity() const { return fCapacity; }
  std::uint32_t SizeLimit() const { return fSizeLimit; }

private:
  struct TTileObjectRec {
    TTile Tile;
    std::unique_ptr<T> Obj;
    std::uint32_t Size;
  };

  void EvictOldest() {
    fTotalSize -= fCache.front().Size;
    fCache.pop_front();
  }

  std::deque<TTileObjectRec> fCache; // oldest first
  std::uint32_t fTotalSize = 0;
  std::uint32_t fCapacity;
  std::uint32_t fSizeLimit;
};

struct TCacheLimits {
  std::uint32_t BmpCount = 0;     // bitmaps kept
  std::uint32_t PngTotalSize = 0; // bytes of the decoded images (pixels)
  std::uint32_t PngCount = 0;     // decoded images kept
  std::uint32_t StmSize = 0;      // bytes of raw tile data kept

  // Splits one byte budget between the three caches.
  static TCacheLimits FromBudget(std::uint32_t CacheSize);
};

enum TTileStorageOption : unsigned {
  tsoNoFileCache = 1,       // never read or write tile files
  tsoReadOnlyFileCache = 2, // read tile files, never write them
};
using TTileStorageOptions = unsigned; // a set of TTileStorageOption

// The public tile server's usage policy: a tile is not fetched again within
// 7 days, so the disk cache keeps tiles at least that long.
constexpr int MinTileFileAgeDays = 7;
constexpr int DefaultTileFileAgeDays = 30;
// The age in whole days at which the clean-up deletes tile files, from the
// configured value ("map_cache_max_age"): 0 or less means the default, and
// anything below the floor is raised to it.
int TileFileMaxAgeDays(int ConfiguredDays);

// Tile files below the cache root: <root>/<zoom>/<column>/<row>.png
constexpr const char *DefaultTilePathPatt = "{z}/{x}/{y}.png";
constexpr std::uint32_t DefaultTileCacheSize = 10000000;

// The square of an ancestor tile (Levels zooms up) that covers a tile: Size
// pixels at (X, Y) of the ancestor's 256 x 256.
struct TTileAncestor {
  TTile Tile;
  int X = 0, Y = 0, Size = TileSize;
};
// False when the tile has no ancestor that far up (Levels above its zoom, or below 1).
bool TileAncestor(const TTile &Tile, int Levels, TTileAncestor &Out);

class TTileStorage {
public:
  TTileStorage(const TCacheLimits &CacheLimits,
               const std::string &TilePathPatt = DefaultTilePathPatt);
  // CacheSize 0 means DefaultTileCacheSize.
  explicit TTileStorage(std::uint32_t CacheSize,
                        const std::string &TilePathPatt = DefaultTilePathPatt);

  // The ready bitmap, or null when the tile is in no cache (then download it).
  // Owned by the storage; valid until the next call of GetTile or StoreTile.
  const TBitmap32 *GetTile(const TTile &Tile);

  // Takes ownership of a freshly downloaded tile (Ms is null on return) and
  // returns whether the tile is now in memory. False when the data is not a
  // PNG of TileSize x TileSize: nothing is cached or written then, and Error
  // says why. A tile that
  // could not be written to disk is still kept in memory; Error tells of the
  // failed write.
  bool StoreTile(const TTile &Tile, std::unique_ptr<TMemoryStream> &Ms, std::string &Error);
  // The same for a reply received at Now: the tile is fresh until its headers say (see
  // TileExpiry, with FreshFloorSeconds), and keeps the reply's validators for the next ask.
  bool StoreTile(const TTile &Tile, std::unique_ptr<TMemoryStream> &Ms, std::string &Error,
                 const THttpReplyInfo &Reply, std::int64_t Now);
  // A 304 for a tile asked for again at Now: its bytes stay, its date and expiry are renewed
  // (the tile file is touched, so that the clean-up by age keeps it). False when the tile is
  // not cached (then it has to be downloaded).
  bool RenewTile(const TTile &Tile, const THttpReplyInfo &Reply, std::int64_t Now);

  // Whether a tile that GetTile returned has gone stale at Now and should be asked for again
  // (with Validators); true once per staleness: the tile then counts as asked for until
  // StoreTile, RenewTile or RefreshFailed.
  bool NeedsRefresh(const TTile &Tile, std::int64_t Now, TTileValidators &Validators);
  // The request for a stale tile failed: it may be asked for again.
  void RefreshFailed(const TTile &Tile);
  // The moment a cached tile goes stale (seconds since 1970 UTC); 0 when unknown.
  std::int64_t TileExpires(const TTile &Tile) const;
  // The shortest time a tile is kept before it is asked for again, whatever its reply said:
  // PublicServerTileFloorSeconds for the public servers, 0 (the default) for others.
  void SetFreshFloorSeconds(std::int64_t Seconds) { fFreshFloor = Seconds; }
  std::int64_t FreshFloorSeconds() const { return fFreshFloor; }

  // The nearest ancestor of a tile (1 to MaxLevels zooms up) that is in the
  // memory caches, with the square of it that covers the tile; null when none
  // is. Never reads the disk: it is asked while a view is painted. Valid like
  // GetTile's result.
  const TBitmap32 *FindAncestorInMemory(const TTile &Tile, int MaxLevels, TTileAncestor &Found);

  // Clears the memory caches; the disk cache is kept.
  void ClearCache();

  // The ready bitmaps kept grow to at least Tiles, so that a view showing half as many tiles
  // never decodes from disk again what it showed a moment ago; nothing happens with a fixed
  // budget (one the user configured).
  void GrowForView(std::uint32_t Tiles);
  bool FixedBudget() const { return fFixedBudget; }
  void SetFixedBudget(bool Value) { fFixedBudget = Value; }

  // The tile file's content, or null when there is none. An empty or
  // unreadable file is deleted.
  std::unique_ptr<TMemoryStream> GetFromFileCache(const TTile &Tile);
  // Writes the file atomically, making its folders on demand.
  bool StoreInFileCache(const TTile &Tile, const TMemoryStream &Ms, std::string &Error);
  std::string TilePath(const TTile &Tile) const;
  // The file beside a tile's that keeps its expiry and validators.
  std::string MetaPath(const TTile &Tile) const { return TilePath(Tile) + ".meta"; }

  // Empty means the system's temporary folder + "/OsmCache".
  const std::string &FileCacheBaseDir() const { return fFileCacheBaseDir; }
  void SetFileCacheBaseDir(const std::string &Dir) { fFileCacheBaseDir = Dir; }
  TTileStorageOptions Options() const { return fOptions; }
  void SetOptions(TTileStorageOptions Options) { fOptions = Options; }

  const TTileObjectCache<TBitmap32> &BmpCache() const { return fBmpCache; }
  const TTileObjectCache<TPngImage> &PngCache() const { return fPngCache; }
  const TTileObjectCache<TMemoryStream> &StmCache() const { return fStmCache; }

private:
  const TBitmap32 *KeepDecoded(const TTile &Tile, std::unique_ptr<TPngImage> Image);
  // A PNG of exactly TileSize x TileSize, else null with Error.
  static std::unique_ptr<TPngImage> DecodeTile(const TMemoryStream &Data, std::string &Error);
  const TBitmap32 *KeepBitmap(const TTile &Tile, std::unique_ptr<TBitmap32> Bmp);

  struct TFreshness {
    std::int64_t Expires = 0;
    TTileValidators Validators;
    bool Asked = false; // asked for again, no answer yet
  };
  static std::uint64_t Key(const TTile &Tile) {
    return (std::uint64_t(Tile.Zoom) << 58) | (std::uint64_t(Tile.ParameterX) << 29) |
           std::uint64_t(Tile.ParameterY);
  }
  void KeepFreshness(const TTile &Tile, const TFreshness &F);
  // The tile file's freshness from its meta file; without one, the file's date plus the
  // default lifetime and no validators.
  TFreshness ReadFreshness(const TTile &Tile) const;
  void WriteFreshness(const TTile &Tile, const TFreshness &F);
  std::unordered_map<std::uint64_t, TFreshness> fFresh; // tiles in the memory caches
  std::int64_t fFreshFloor = 0;

  TTileObjectCache<TBitmap32> fBmpCache;
  TTileObjectCache<TPngImage> fPngCache;
  TTileObjectCache<TMemoryStream> fStmCache;
  std::string fFileCacheBaseDir;
  std::string fTilePathPatt;
  TTileStorageOptions fOptions = 0;
  bool fFixedBudget = false;
  // A bitmap that did not fit into fBmpCache, kept so that the pointer
  // handed out stays valid until the next call.
  std::unique_ptr<TBitmap32> fUncachedBmp;
};

} // namespace kelvra
