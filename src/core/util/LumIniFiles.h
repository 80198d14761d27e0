#pragma once
// INI-style text held in memory, and the program's settings file.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/util/LumDates.h"
#include "core/util/LumHash.h"
#include "core/util/LumStrings.h"

namespace kelvra {

// The lines of section `section` (trimmed, each followed by CR); `first`/`last` receive the
// indices of its first and last line.
std::string FindSection(const TLumStringList &lines, const std::string &section, int32_t &first,
                        int32_t &last);
// FindSection over the text; key=value lines of the section also go into `hash` when given.
std::string GetIniSection(const std::string &iniText, const std::string &section,
                          TLumHash *hash = nullptr);
// The value of the first line (any section) whose key matches; the key ends at the earliest of
// the separator characters.
std::string GetIniItem(const std::string &iniText, const std::string &key,
                       const std::string &def = "", const std::string &separators = "=");

// The sectioned settings file. Sections and keys match without regard to ASCII case; values
// are text, date-times are written "dd.mm.yyyy hh:nn:ss". A missing file reads as empty.
// Changes are saved atomically, at once when AutoSave is on (the default), else by UpdateFile
// and at destruction. Comments in the file are kept.
class TLumIniFile {
public:
  explicit TLumIniFile(const std::string &fileName);
  ~TLumIniFile();
  TLumIniFile(const TLumIniFile &) = delete;
  TLumIniFile &operator=(const TLumIniFile &) = delete;

  const std::string &FileName() const { return fFileName; }
  bool AutoSave() const { return fAutoSave; }
  void SetAutoSave(bool on) { fAutoSave = on; }
  bool Modified() const { return fModified; }

  bool SectionExists(const std::string &section) const;
  bool ValueExists(const std::string &section, const std::string &key) const;
  std::vector<std::string> ReadSections() const;
  // Key names of the section, in file order.
  std::vector<std::string> ReadSection(const std::string &section) const;
  // Every key=value of the section into the table; returns how many.
  int32_t ReadSectionValues(const std::string &section, TLumHash &hash) const;

  std::string ReadString(const std::string &section, const std::string &key,
                         const std::string &def = "") const;
  int64_t ReadInteger(const std::string &section, const std::string &key, int64_t def = 0) const;
  bool ReadBool(const std::string &section, const std::string &key, bool def = false) const;
  double ReadFloat(const std::string &section, const std::string &key, double def = 0) const;
  // Missing or empty gives the default.
  TDateTime ReadDateTime(const std::string &section, const std::string &key,
                         TDateTime def = 0) const;

  // Line breaks inside a value become spaces (a value is one line of the file).
  void WriteString(const std::string &section, const std::string &key, const std::string &value);
  void WriteInteger(const std::string &section, const std::string &key, int64_t value);
  void WriteBool(const std::string &section, const std::string &key, bool value);
  void WriteFloat(const std::string &section, const std::string &key, double value);
  void WriteDateTime(const std::string &section, const std::string &key, TDateTime value);
  void DeleteKey(const std::string &section, const std::string &key);
  void EraseSection(const std::string &section);

  // Saves pending changes atomically; true when the file is up to date. A failed save keeps the
  // changes for the next one and the old file whole; LastError() says why.
  bool UpdateFile();
  const std::string &LastError() const { return fLastError; }
  // Told "Settings could not be saved: <reason>" at the first failed save, and again only after
  // a save has worked since: a full disk gives one message, not one per change.
  void SetOnSaveError(std::function<void(const std::string &text)> handler) {
    fOnSaveError = std::move(handler);
  }
  // Re-reads the file, dropping unsaved changes.
  void Reload();
  // The file's text as it would be saved.
  std::string Text() const;

private:
  struct TEntry {
    std::string key; // empty for a comment line kept as it stands
    std::string value;
  };
  struct TSection {
    std::string name;
    std::vector<TEntry> entries;
  };
  const TSection *FindSec(const std::string &section) const;
  TSection *FindSec(const std::string &section);
  TSection &AddSec(const std::string &name);
  void RebuildIndex();
  const TEntry *FindEntry(const std::string &section, const std::string &key) const;
  void Changed();

  std::string fFileName;
  std::vector<std::string> fPrelude; // comment lines before the first section
  std::vector<TSection> fSections;
  // Position of each section in fSections by its upper-cased name, so that reading a file of
  // many sections stays linear.
  std::unordered_map<std::string, size_t> fSectionIndex;
  bool fAutoSave = true;
  bool fModified = false;
  std::string fLastError;
  bool fSaveErrorTold = false;
  std::function<void(const std::string &text)> fOnSaveError;
};

} // namespace kelvra
