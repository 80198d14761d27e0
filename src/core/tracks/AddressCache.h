#pragma once
// Street addresses the service returned for place ids, remembered across runs in
// the ".address" file so that an id is looked up over the network only once.
// One cache serves the whole program: a track built on a worker fills it while the window reads
// it, so every member takes the cache's own lock.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "core/util/LumDates.h"

namespace kelvra {

class TAddressCacheItem {
public:
  std::string OsmId;
  std::string Address;
  int ReadCount = 0;
  TDateTime LastRead = 0;

  TAddressCacheItem() = default;
  // From a file line; throws std::runtime_error ("Bad CSV [...]", "Empty OsmId [...]").
  explicit TAddressCacheItem(const std::string &aCsv) { AssignCsv(aCsv); }
  TAddressCacheItem(std::string aOsmId, std::string aAddress)
      : OsmId(std::move(aOsmId)), Address(std::move(aAddress)) {}

  // The file line without its end: id;count;last read;address;
  // Control characters are dropped so that a line always reads back as one entry.
  std::string ToCsvString() const;
  // The address is everything between the third ";" and the final ";" of the line,
  // so an address holding ";" comes back whole.
  void AssignCsv(const std::string &Csv);
};

class TAddressCache {
public:
  // Loads the file; throws std::runtime_error("Cache file name is empty") for an empty path.
  explicit TAddressCache(std::string aCacheFile);
  // Saves when anything changed since the last load or save; never throws. A failed save is
  // reported to the log callback (standard error without one): at exit nobody else hears of it.
  ~TAddressCache();
  TAddressCache(const TAddressCache &) = delete;
  TAddressCache &operator=(const TAddressCache &) = delete;

  // The stored address or "" (a hit counts as a read).
  std::string GetAddress(const std::string &OsmId);
  void SetAddress(const std::string &OsmId, const std::string &Address);
  int Count() const;
  const std::string &CacheFile() const { return fCacheFile; }

  // Entries added from the file, or -1 when the file does not exist.
  int Load();
  // Writes the file atomically (temporary file, then rename); lines written or -1 (logged).
  int Save();
  // Receives a line about a failed save.
  void SetLogCallback(std::function<void(const std::string &)> aCallback);

private:
  const std::string fCacheFile;
  std::mutex fSaveLock; // held through a whole save, taken before fLock
  mutable std::mutex fLock; // guards everything below
  std::unordered_map<std::string, std::unique_ptr<TAddressCacheItem>> fAddressCache;
  bool fModified = false;
  uint64_t fChanges = 0; // counts changes, so that a save tells whether one came meanwhile
  std::function<void(const std::string &)> fLogCallback;
};

} // namespace kelvra
