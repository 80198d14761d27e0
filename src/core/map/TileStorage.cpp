#include "core/map/TileStorage.h"

#include "core/map/TilesProvider.h"
#include "core/util/LumFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace kelvra {

namespace {
constexpr std::uint32_t BitmapBytes = 256 * 256 * 4;
} // namespace

TCacheLimits TCacheLimits::FromBudget(std::uint32_t CacheSize) {
  TCacheLimits l;
  l.BmpCount = std::min<std::uint32_t>(CacheSize / (3 * BitmapBytes), 750);
  l.PngTotalSize = CacheSize / 3;
  l.PngCount = (3000 - l.BmpCount) / 3;
  l.StmSize = CacheSize - l.BmpCount * BitmapBytes - CacheSize / 3;
  return l;
}

int TileFileMaxAgeDays(int ConfiguredDays) {
  if (ConfiguredDays <= 0) return DefaultTileFileAgeDays;
  return std::max(ConfiguredDays, MinTileFileAgeDays);
}

TTileStorage::TTileStorage(const TCacheLimits &CacheLimits, const std::string &TilePathPatt)
    : fBmpCache(CacheLimits.BmpCount, CacheLimits.BmpCount * BitmapBytes),
      fPngCache(CacheLimits.PngCount, CacheLimits.PngTotalSize), fStmCache(0, CacheLimits.StmSize),
      fTilePathPatt(TilePathPatt.empty() ? std::string(DefaultTilePathPatt) : TilePathPatt) {}

TTileStorage::TTileStorage(std::uint32_t CacheSize, const std::string &TilePathPatt)
    : TTileStorage(TCacheLimits::FromBudget(CacheSize == 0 ? DefaultTileCacheSize : CacheSize),
                   TilePathPatt) {}

void TTileStorage::GrowForView(std::uint32_t Tiles) {
  if (fFixedBudget) return;
  Tiles = std::min<std::uint32_t>(Tiles, 4000); // a wall of screens still has a bound (1 GB)
  fBmpCache.Grow(Tiles, Tiles * BitmapBytes);
}

const TBitmap32 *TTileStorage::KeepBitmap(const TTile &Tile, std::unique_ptr<TBitmap32> Bmp) {
  const auto size = std::uint32_t(Bmp->ByteSize());
  if (size > fBmpCache.SizeLimit()) {
    fUncachedBmp = std::move(Bmp);
    return fUncachedBmp.get();
  }
  return fBmpCache.Push(Tile, std::move(Bmp), size);
}

const TBitmap32 *TTileStorage::KeepDecoded(const TTile &Tile, std::unique_ptr<TPngImage> Image) {
  auto bmp = PngToBitmap(*Image);
  // Charged what it holds in memory, not the few bytes of PNG behind it: a
  // plain sea tile is 100 bytes of PNG and 256 KB decoded.
  const auto decoded = std::uint32_t(Image->fPixels.size() * sizeof(std::uint32_t));
  fPngCache.Push(Tile, std::move(Image), decoded);
  return KeepBitmap(Tile, std::move(bmp));
}

std::unique_ptr<TPngImage> TTileStorage::DecodeTile(const TMemoryStream &Data, std::string &Error) {
  auto image = DecodePng(Data.data(), Data.size(), Error);
  if (image && (image->fWidth != TileSize || image->fHeight != TileSize)) {
    Error = "tile is " + std::to_string(image->fWidth) + " x " + std::to_string(image->fHeight) +
            " pixels, not " + std::to_string(TileSize) + " x " + std::to_string(TileSize);
    image.reset();
  }
  return image;
}

const TBitmap32 *TTileStorage::GetTile(const TTile &Tile) {
  fUncachedBmp.reset();
  if (const TBitmap32 *bmp = fBmpCache.Find(Tile)) return bmp;
  if (const TPngImage *png = fPngCache.Find(Tile)) return KeepBitmap(Tile, PngToBitmap(*png));
  std::string error;
  if (const TMemoryStream *ms = fStmCache.Find(Tile)) {
    auto image = DecodeTile(*ms, error);
    return image ? KeepDecoded(Tile, std::move(image)) : nullptr;
  }
  if (fOptions & tsoNoFileCache) return nullptr;
  auto ms = GetFromFileCache(Tile);
  if (!ms) return nullptr;
  auto image = DecodeTile(*ms, error);
  if (!image) {
    // A damaged (or wrong-sized) file would hide the tile for good: drop it
    // so that the tile is downloaded again.
    std::error_code ec;
    fs::remove(TilePath(Tile), ec);
    return nullptr;
  }
  const auto size = std::uint32_t(ms->size());
  fStmCache.Push(Tile, std::move(ms), size);
  KeepFreshness(Tile, ReadFreshness(Tile));
  return KeepDecoded(Tile, std::move(image));
}

bool TileAncestor(const TTile &Tile, int Levels, TTileAncestor &Out) {
  if (Levels < 1 || Levels > int(Tile.Zoom)) return false;
  const unsigned mask = (1u << Levels) - 1;
  Out.Tile = TTile{TMapZoomLevel(Tile.Zoom - Levels), Tile.ParameterX >> Levels,
                   Tile.ParameterY >> Levels};
  Out.Size = TileSize >> Levels;
  Out.X = int(Tile.ParameterX & mask) * Out.Size;
  Out.Y = int(Tile.ParameterY & mask) * Out.Size;
  return true;
}

const TBitmap32 *TTileStorage::FindAncestorInMemory(const TTile &Tile, int MaxLevels,
                                                    TTileAncestor &Found) {
  fUncachedBmp.reset();
  for (int k = 1; k <= MaxLevels; ++k) {
    if (!TileAncestor(Tile, k, Found)) return nullptr;
    if (const TBitmap32 *bmp = fBmpCache.Find(Found.Tile)) return bmp;
    if (const TPngImage *png = fPngCache.Find(Found.Tile))
      return KeepBitmap(Found.Tile, PngToBitmap(*png));
  }
  return nullptr;
}

bool TTileStorage::StoreTile(const TTile &Tile, std::unique_ptr<TMemoryStream> &Ms,
                             std::string &Error) {
  return StoreTile(Tile, Ms, Error, THttpReplyInfo{}, std::time(nullptr));
}

bool TTileStorage::StoreTile(const TTile &Tile, std::unique_ptr<TMemoryStream> &Ms,
                             std::string &Error, const THttpReplyInfo &Reply, std::int64_t Now) {
  Error.clear();
  std::unique_ptr<TMemoryStream> data = std::move(Ms);
  if (!data) {
    Error = "no tile data";
    return false;
  }
  fUncachedBmp.reset();
  auto image = DecodeTile(*data, Error);
  if (!image) return false;
  TFreshness fresh;
  fresh.Expires = TileExpiry(Reply, Now, fFreshFloor);
  fresh.Validators = TTileValidators{Reply.ETag, Reply.LastModified};
  if (!(fOptions & (tsoNoFileCache | tsoReadOnlyFileCache)) &&
      StoreInFileCache(Tile, *data, Error))
    WriteFreshness(Tile, fresh);
  KeepFreshness(Tile, fresh);
  const auto size = std::uint32_t(data->size());
  fStmCache.Push(Tile, std::move(data), size);
  KeepDecoded(Tile, std::move(image));
  return true;
}

bool TTileStorage::RenewTile(const TTile &Tile, const THttpReplyInfo &Reply, std::int64_t Now) {
  auto it = fFresh.find(Key(Tile));
  if (it == fFresh.end()) return false;
  TFreshness &f = it->second;
  f.Asked = false;
  f.Expires = TileExpiry(Reply, Now, fFreshFloor);
  // A 304 may bring new validators; what it leaves out stays.
  if (!Reply.ETag.empty()) f.Validators.ETag = Reply.ETag;
  if (!Reply.LastModified.empty()) f.Validators.LastModified = Reply.LastModified;
  if (!(fOptions & (tsoNoFileCache | tsoReadOnlyFileCache))) {
    std::error_code ec;
    const fs::path path = TilePath(Tile);
    if (fs::exists(path, ec)) {
      const auto when = std::chrono::system_clock::from_time_t(std::time_t(Now));
      fs::last_write_time(path, fs::file_time_type::clock::from_sys(when), ec);
      WriteFreshness(Tile, f);
    }
  }
  return true;
}

bool TTileStorage::NeedsRefresh(const TTile &Tile, std::int64_t Now, TTileValidators &Validators) {
  auto it = fFresh.find(Key(Tile));
  if (it == fFresh.end() || it->second.Asked || Now < it->second.Expires) return false;
  it->second.Asked = true;
  Validators = it->second.Validators;
  return true;
}

void TTileStorage::RefreshFailed(const TTile &Tile) {
  if (auto it = fFresh.find(Key(Tile)); it != fFresh.end()) it->second.Asked = false;
}

std::int64_t TTileStorage::TileExpires(const TTile &Tile) const {
  const auto it = fFresh.find(Key(Tile));
  return it == fFresh.end() ? 0 : it->second.Expires;
}

void TTileStorage::KeepFreshness(const TTile &Tile, const TFreshness &F) { fFresh[Key(Tile)] = F; }

TTileStorage::TFreshness TTileStorage::ReadFreshness(const TTile &Tile) const {
  TFreshness f;
  std::error_code ec;
  const auto written = fs::last_write_time(TilePath(Tile), ec);
  if (!ec)
    f.Expires = std::int64_t(std::chrono::system_clock::to_time_t(
                    std::chrono::time_point_cast<std::chrono::system_clock::duration>(
                        fs::file_time_type::clock::to_sys(written)))) +
                std::max(DefaultTileLifetimeSeconds, fFreshFloor);
  std::string text;
  if (!ReadFileBytes(MetaPath(Tile), text, 4096).empty()) return f;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "expires") {
      char *end = nullptr;
      const long long v = std::strtoll(value.c_str(), &end, 10);
      if (end && *end == 0 && !value.empty()) f.Expires = v;
    } else if (key == "etag") {
      f.Validators.ETag = value;
    } else if (key == "last_modified") {
      f.Validators.LastModified = value;
    }
  }
  return f;
}

void TTileStorage::WriteFreshness(const TTile &Tile, const TFreshness &F) {
  // Header values are single lines (libcurl hands them over line by line).
  std::string text = "expires=" + std::to_string(F.Expires) + "\n";
  if (!F.Validators.ETag.empty()) text += "etag=" + F.Validators.ETag + "\n";
  if (!F.Validators.LastModified.empty()) text += "last_modified=" + F.Validators.LastModified + "\n";
  WriteFileAtomic(MetaPath(Tile), text);
}

void TTileStorage::ClearCache() {
  fFresh.clear();
  fBmpCache.Clear();
  fPngCache.Clear();
  fStmCache.Clear();
  fUncachedBmp.reset();
}

std::string TTileStorage::TilePath(const TTile &Tile) const {
  std::string root = fFileCacheBaseDir;
  if (root.empty()) {
    std::error_code ec;
    root = (fs::temp_directory_path(ec) / "OsmCache").string();
    if (ec) root = "/tmp/OsmCache";
  }
  if (root.back() != '/') root += '/';
  std::string rel = FormatTilePattern(fTilePathPatt, Tile);
  std::replace(rel.begin(), rel.end(), '\\', '/');
  return root + rel;
}

std::unique_ptr<TMemoryStream> TTileStorage::GetFromFileCache(const TTile &Tile) {
  const std::string path = TilePath(Tile);
  const std::int64_t size = FileSize(path);
  if (size < 0) return nullptr;
  auto ms = std::make_unique<TMemoryStream>(std::size_t(size));
  // A read error counts as an empty file.
  if (size > 0 && ReadBuffer(path, ms->data(), size) != size) ms->clear();
  if (ms->empty()) {
    std::error_code ec;
    fs::remove(path, ec);
    return nullptr;
  }
  return ms;
}

bool TTileStorage::StoreInFileCache(const TTile &Tile, const TMemoryStream &Ms,
                                    std::string &Error) {
  const fs::path path = TilePath(Tile);
  // The tiles show where the user's objects are: the cache is the user's alone.
  if (!CreatePrivateDir(path.parent_path().string())) {
    Error = "Cannot create " + path.parent_path().string() + ": " + std::strerror(errno);
    return false;
  }
  if (!WriteFileAtomic(path.string(),
                       std::string_view(reinterpret_cast<const char *>(Ms.data()), Ms.size()))) {
    Error = "Cannot write " + path.string();
    return false;
  }
  return true;
}

} // namespace kelvra
