#include "core/tracks/AddressCache.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include <stdexcept>

namespace kelvra {

namespace {

const char *const kLastReadPattern = "dd.mm.yyyy hh:nn:ss";

// ";" separates the fields, so an id cannot hold one; control characters would
// break the line apart. Such ids are never stored.
bool UsableId(const std::string &id) {
  if (id.empty()) return false;
  for (char c : id)
    if (c == ';' || static_cast<unsigned char>(c) < 32) return false;
  return true;
}

} // namespace

std::string TAddressCacheItem::ToCsvString() const {
  return RemoveTrash(OsmId) + ";" + std::to_string(ReadCount) + ";" +
         ts2s(LastRead, kLastReadPattern) + ";" + RemoveTrash(Address) + ";";
}

void TAddressCacheItem::AssignCsv(const std::string &Csv) {
  size_t p1 = Csv.find(';');
  size_t p2 = p1 == std::string::npos ? p1 : Csv.find(';', p1 + 1);
  size_t p3 = p2 == std::string::npos ? p2 : Csv.find(';', p2 + 1);
  size_t last = Csv.rfind(';');
  if (p3 == std::string::npos) throw std::runtime_error("Bad CSV [" + Csv + "]");
  if (p1 == 0) throw std::runtime_error("Empty OsmId [" + Csv + "]");
  // An id the cache would never store (control characters) would come back empty from the
  // next save, and that line would then be refused.
  if (!UsableId(Csv.substr(0, p1))) throw std::runtime_error("Bad OsmId [" + Csv + "]");
  OsmId = Csv.substr(0, p1);
  ReadCount = static_cast<int>(s2i(Csv.substr(p1 + 1, p2 - p1 - 1), 0));
  // The whole "dd.mm.yyyy hh:nn:ss": a time-only reader would drop the date.
  const std::string lastRead = Trim(Csv.substr(p2 + 1, p3 - p2 - 1));
  LastRead = lastRead.empty() || lastRead == "NaN" ? 0 : StrToDt(lastRead);
  if (std::isnan(LastRead)) LastRead = 0;
  // A line without the final ";" (an older or hand-edited file) keeps its whole tail.
  Address = last == p3 ? Csv.substr(p3 + 1) : Csv.substr(p3 + 1, last - p3 - 1);
}

TAddressCache::TAddressCache(std::string aCacheFile) : fCacheFile(std::move(aCacheFile)) { Load(); }

TAddressCache::~TAddressCache() {
  bool modified;
  {
    std::lock_guard<std::mutex> lock(fLock);
    modified = fModified;
  }
  if (modified) Save();
}

int TAddressCache::Count() const {
  std::lock_guard<std::mutex> lock(fLock);
  return static_cast<int>(fAddressCache.size());
}

void TAddressCache::SetLogCallback(std::function<void(const std::string &)> aCallback) {
  std::lock_guard<std::mutex> lock(fLock);
  fLogCallback = std::move(aCallback);
}

std::string TAddressCache::GetAddress(const std::string &OsmId) {
  std::lock_guard<std::mutex> lock(fLock);
  auto it = fAddressCache.find(OsmId);
  if (it == fAddressCache.end()) return "";
  TAddressCacheItem &item = *it->second;
  ++item.ReadCount;
  item.LastRead = NowLocal();
  fModified = true;
  ++fChanges;
  return item.Address;
}

void TAddressCache::SetAddress(const std::string &OsmId, const std::string &Address) {
  if (!UsableId(OsmId)) return;
  std::lock_guard<std::mutex> lock(fLock);
  auto it = fAddressCache.find(OsmId);
  if (it != fAddressCache.end()) {
    if (Address.empty()) {
      fAddressCache.erase(it);
    } else {
      TAddressCacheItem &item = *it->second;
      item.Address = Address;
      ++item.ReadCount;
      item.LastRead = NowLocal();
    }
    fModified = true;
    ++fChanges;
  } else if (!Address.empty()) {
    fAddressCache.emplace(OsmId, std::make_unique<TAddressCacheItem>(OsmId, Address));
    fModified = true;
    ++fChanges;
  }
}

int TAddressCache::Load() {
  if (fCacheFile.empty()) throw std::runtime_error("Cache file name is empty");
  std::error_code ec;
  if (!std::filesystem::exists(fCacheFile, ec)) {
    std::lock_guard<std::mutex> lock(fLock);
    fModified = false;
    return -1;
  }
  const std::string text = ReadAsString(fCacheFile, true);
  std::lock_guard<std::mutex> lock(fLock);
  fModified = false;
  int added = 0;
  size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (pos < text.size()) {
    size_t eol = text.find_first_of("\r\n", pos);
    if (eol == std::string::npos) eol = text.size();
    const std::string line = text.substr(pos, eol - pos);
    pos = eol;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    if (line.empty()) continue;
    try {
      auto item = std::make_unique<TAddressCacheItem>(line);
      const std::string id = item->OsmId;
      if (fAddressCache.emplace(id, std::move(item)).second) ++added;
    } catch (const std::exception &) {
      // A bad line is dropped; it disappears from the file at the next save.
    }
  }
  return added;
}

int TAddressCache::Save() {
  // One save at a time, so that an older text never replaces a newer one.
  std::lock_guard<std::mutex> saving(fSaveLock);
  std::string text;
  int lines = 0;
  uint64_t changes;
  std::function<void(const std::string &)> logCallback;
  {
    // The text is taken under the lock; the file is written without holding up the readers.
    std::lock_guard<std::mutex> lock(fLock);
    for (const auto &[id, item] : fAddressCache) {
      if (item->Address.empty()) continue;
      text += item->ToCsvString();
      text += "\r\n";
      ++lines;
    }
    changes = fChanges;
    logCallback = fLogCallback;
  }
  if (!WriteFileAtomic(fCacheFile, text)) {
    const std::string reason = std::strerror(errno);
    const std::string line = "\rX: address cache not saved [" + fCacheFile + ": " + reason + "]";
    if (logCallback)
      logCallback(line);
    else
      std::fprintf(stderr, "%s\n", line.c_str() + 1);
    return -1;
  }
  std::lock_guard<std::mutex> lock(fLock);
  if (fChanges == changes) fModified = false; // what came meanwhile is saved next time
  return lines;
}

} // namespace kelvra
