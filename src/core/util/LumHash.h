#pragma once
// TLumHash: the program's key/value table of strings (configuration, headers, form fields,
// flat JSON objects). Pairs keep insertion order; keys are stored trimmed and matched without
// regard to ASCII case; values are stored with trailing characters up to code 32 removed.
#include <cstdint>
#include <string>
#include <vector>

#include "core/util/LumDates.h"
#include "core/util/LumStrings.h"

namespace kelvra {

struct TLumHashItem {
  std::string key;
  std::string val;
  std::string hint;
};

class TLumHash {
public:
  // With a file name: Load(fileName, true, "=\t ").
  explicit TLumHash(const std::string &fileName = "");
  virtual ~TLumHash() = default;
  TLumHash(const TLumHash &) = default;
  TLumHash &operator=(const TLumHash &) = default;

  void Clear();
  int32_t Count() const { return static_cast<int32_t>(fKeys.size()); }
  int32_t KeyIndex(const std::string &key) const;
  bool HasKey(const std::string &key) const { return KeyIndex(key) >= 0; }
  std::string GetKey(int32_t index) const;

  // Every read and write of a value goes through these four.
  virtual std::string GetVal(const std::string &key) const;
  virtual void SetVal(const std::string &key, const std::string &value);
  virtual std::string GetValByIndex(int32_t index) const;
  virtual void SetValByIndex(int32_t index, const std::string &value);

  // The value when the key exists (even if empty), else the default.
  std::string Get(const std::string &key, const std::string &def) const;
  std::string Get(const std::string &key, const char *def) const {
    return Get(key, std::string(def));
  }
  int64_t Get(const std::string &key, int64_t def) const;

  int64_t AsInteger(const std::string &key) const;
  void SetAsInteger(const std::string &key, int64_t value);
  int64_t AsHex(const std::string &key) const;
  void SetAsHex(const std::string &key, int64_t value);
  double AsDouble(const std::string &key) const;
  void SetAsDouble(const std::string &key, double value);
  TDateTime AsDateTime(const std::string &key) const;
  void SetAsDateTime(const std::string &key, TDateTime value);
  bool AsBool(const std::string &key) const;
  void SetAsBool(const std::string &key, bool value);

  // key, keySeparator, value for every pair, joined by lineSeparator, in table order.
  std::string AsText(const std::string &keySeparator = "=",
                     const std::string &lineSeparator = "\r\n") const;
  std::string Text(const std::string &keySeparator = "=",
                   const std::string &lineSeparator = "\r\n") const {
    return AsText(keySeparator, lineSeparator);
  }
  std::string Keys(const std::string &separator = ",") const;

  // The configuration grammar; returns the number of key lines processed.
  int32_t Assign(const std::string &text, bool overwrite = true,
                 const std::string &lineSeparators = "\r",
                 const std::string &keySeparators = "=\t ");
  // Copies every pair of `other` whose value differs from ours; returns how many.
  int32_t Assign(const TLumHash &other);
  int32_t CleanAssign(const std::string &text, bool overwrite = true,
                      const std::string &lineSeparators = "\r",
                      const std::string &keySeparators = "=\t ");
  int32_t CleanAssign(const TLumHash &other);
  // ReadConfig(fileName, true) then Assign(text, overwrite, "\r", keySeparators).
  int32_t Load(const std::string &fileName, bool overwrite = true,
               const std::string &keySeparators = "=\t ");
  // Every argument one configuration line (overwrite, separators "=\t ").
  int32_t AssignCommandLine(const std::vector<std::string> &args);
  // The process's own arguments (from /proc/self/cmdline, without the program name).
  int32_t AssignCommandLine();
  // Flat JSON object (or array of objects under "0", "1", ...); returns pairs stored.
  int32_t AssignJson(const std::string &json, bool clean = false);

  // Orders the pairs by key with OnCompare, else with the string list's Compare.
  void Sort();
  bool Sorted() const { return fSorted; }
  const TLumCompareFunc &OnCompare() const { return fOnCompare; }
  void SetOnCompare(TLumCompareFunc f) { fOnCompare = std::move(f); }
  int32_t Tag() const { return fTag; }
  void SetTag(int32_t tag) { fTag = tag; }

  // Pair by index with its hint ("" unless a TLumHintHash).
  virtual TLumHashItem Item(int32_t index) const;

  class TIterator {
  public:
    TIterator(const TLumHash *hash, int32_t index) : fHash(hash), fIndex(index) {}
    TLumHashItem operator*() const { return fHash->Item(fIndex); }
    TIterator &operator++() {
      ++fIndex;
      return *this;
    }
    bool operator!=(const TIterator &o) const { return fIndex != o.fIndex; }

  private:
    const TLumHash *fHash;
    int32_t fIndex;
  };
  TIterator begin() const { return TIterator(this, 0); }
  TIterator end() const { return TIterator(this, Count()); }

protected:
  // Raw storage access for descendants (bypasses the virtual value operations).
  std::string RawVal(int32_t index) const;
  void RawSetVal(int32_t index, const std::string &value);
  // Appends a new pair or replaces the value of an existing key; returns its index (-1 for an
  // empty key).
  int32_t RawPut(const std::string &key, const std::string &value);

private:
  std::vector<std::string> fKeys;
  std::vector<std::string> fLowerKeys;
  std::vector<std::string> fVals;
  bool fSorted = false;
  TLumCompareFunc fOnCompare;
  int32_t fTag = 0;
};

// Separator between value and hint inside a TLumHintHash value slot.
inline constexpr const char *HintSep = "//";

// Keeps a second text, the hint, with every value (stored as value "//" hint).
class TLumHintHash : public TLumHash {
public:
  using TLumHash::TLumHash;

  std::string GetVal(const std::string &key) const override;
  void SetVal(const std::string &key, const std::string &value) override;
  std::string GetValByIndex(int32_t index) const override;
  void SetValByIndex(int32_t index, const std::string &value) override;

  std::string GetHint(const std::string &key) const;
  std::string GetHintByIndex(int32_t index) const;
  void SetHint(const std::string &key, const std::string &hint);
  void SetHintByIndex(int32_t index, const std::string &hint);

  TLumHashItem Item(int32_t index) const override;
};

} // namespace kelvra
