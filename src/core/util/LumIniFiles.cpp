#include "core/util/LumIniFiles.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <climits>

#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {

std::string FindSection(const TLumStringList &lines, const std::string &section, int32_t &first,
                        int32_t &last) {
  std::string name = UpperCase(Trim(section));
  if (!name.starts_with("[")) name = "[" + name + "]";
  first = 0;
  last = -1;
  int32_t at = -1;
  for (int32_t i = 0; i < lines.Count() && at < 0; ++i)
    if (UpperCase(Trim(lines[i])) == name) at = i;
  if (at < 0) return "";
  first = at + 1;
  std::string r;
  for (int32_t j = first; j < lines.Count(); ++j) {
    const std::string t = Trim(lines[j]);
    if (t.starts_with("[")) {
      last = j - 1;
      return r;
    }
    r += t + '\r';
  }
  last = lines.Count() - 1;
  return r;
}

std::string GetIniSection(const std::string &iniText, const std::string &section, TLumHash *hash) {
  int32_t first = 0, last = 0;
  const std::string r = FindSection(TLumStringList(iniText), section, first, last);
  if (!r.empty() && hash) {
    for (const auto &line : TLumStringList(r)) {
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      const size_t p = line.find('=');
      if (p == std::string::npos) continue;
      hash->SetVal(line.substr(0, p), Trim(line.substr(p + 1)));
    }
  }
  return r;
}

std::string GetIniItem(const std::string &iniText, const std::string &key, const std::string &def,
                       const std::string &separators) {
  const std::string k = UpperCase(Trim(key));
  for (const auto &raw : TLumStringList(iniText)) {
    const std::string t = Trim(raw);
    if (t.empty() || t[0] == ';') continue;
    const size_t p = t.find_first_of(separators);
    if (p == std::string::npos) continue;
    if (UpperCase(Trim(t.substr(0, p))) == k) return Trim(t.substr(p + 1));
  }
  return def;
}

// ---------------------------------------------------------------------------------------------
// TLumIniFile

namespace {
bool ValidSection(const std::string &s) {
  return !s.empty() && s.find_first_of("[]\r\n") == std::string::npos;
}
bool ValidKey(const std::string &k) {
  return !k.empty() && k.find_first_of("=\r\n") == std::string::npos && k[0] != '[' &&
         k[0] != ';' && k[0] != '#';
}
} // namespace

TLumIniFile::TLumIniFile(const std::string &fileName) : fFileName(fileName) { Reload(); }

TLumIniFile::~TLumIniFile() {
  if (fModified) UpdateFile();
}

void TLumIniFile::Reload() {
  fPrelude.clear();
  fSections.clear();
  fSectionIndex.clear();
  fModified = false;
  TSection *current = nullptr;
  for (const auto &raw : TLumStringList(ReadAsString(fFileName))) {
    const std::string t = Trim(raw);
    if (t.empty()) continue;
    if (t.front() == '[' && t.back() == ']') {
      const std::string name = Trim(t.substr(1, t.size() - 2));
      current = FindSec(name);
      if (!current) current = &AddSec(name);
      continue;
    }
    const size_t p = t.find('=');
    const bool comment = t[0] == ';' || t[0] == '#' || p == std::string::npos;
    TEntry e;
    if (comment || Trim(t.substr(0, p)).empty())
      e.value = t; // kept as it stands
    else
      e = TEntry{Trim(t.substr(0, p)), Trim(t.substr(p + 1))};
    if (current)
      current->entries.push_back(std::move(e));
    else
      fPrelude.push_back(t);
  }
}

const TLumIniFile::TSection *TLumIniFile::FindSec(const std::string &section) const {
  const auto it = fSectionIndex.find(UpperCase(Trim(section)));
  return it == fSectionIndex.end() ? nullptr : &fSections[it->second];
}

TLumIniFile::TSection *TLumIniFile::FindSec(const std::string &section) {
  return const_cast<TSection *>(static_cast<const TLumIniFile *>(this)->FindSec(section));
}

TLumIniFile::TSection &TLumIniFile::AddSec(const std::string &name) {
  fSectionIndex.emplace(UpperCase(name), fSections.size());
  return fSections.emplace_back(TSection{name, {}});
}

void TLumIniFile::RebuildIndex() {
  fSectionIndex.clear();
  for (size_t i = 0; i < fSections.size(); ++i)
    fSectionIndex.emplace(UpperCase(fSections[i].name), i);
}

const TLumIniFile::TEntry *TLumIniFile::FindEntry(const std::string &section,
                                                  const std::string &key) const {
  const TSection *sec = FindSec(section);
  const std::string k = Trim(key);
  if (!sec || k.empty()) return nullptr;
  for (const auto &e : sec->entries)
    if (!e.key.empty() && SameText(e.key, k)) return &e;
  return nullptr;
}

void TLumIniFile::Changed() {
  fModified = true;
  if (fAutoSave) UpdateFile();
}

bool TLumIniFile::SectionExists(const std::string &section) const {
  return FindSec(section) != nullptr;
}

bool TLumIniFile::ValueExists(const std::string &section, const std::string &key) const {
  return FindEntry(section, key) != nullptr;
}

std::vector<std::string> TLumIniFile::ReadSections() const {
  std::vector<std::string> r;
  for (const auto &s : fSections)
    r.push_back(s.name);
  return r;
}

std::vector<std::string> TLumIniFile::ReadSection(const std::string &section) const {
  std::vector<std::string> r;
  if (const TSection *sec = FindSec(section))
    for (const auto &e : sec->entries)
      if (!e.key.empty()) r.push_back(e.key);
  return r;
}

int32_t TLumIniFile::ReadSectionValues(const std::string &section, TLumHash &hash) const {
  int32_t n = 0;
  if (const TSection *sec = FindSec(section))
    for (const auto &e : sec->entries)
      if (!e.key.empty()) hash.SetVal(e.key, e.value), ++n;
  return n;
}

std::string TLumIniFile::ReadString(const std::string &section, const std::string &key,
                                    const std::string &def) const {
  const TEntry *e = FindEntry(section, key);
  return e ? e->value : def;
}

int64_t TLumIniFile::ReadInteger(const std::string &section, const std::string &key,
                                 int64_t def) const {
  return s2i(ReadString(section, key), def);
}

bool TLumIniFile::ReadBool(const std::string &section, const std::string &key, bool def) const {
  const std::string v = ReadString(section, key);
  if (v.empty()) return def;
  const int64_t n = s2i(v, LLONG_MIN);
  if (n != LLONG_MIN) return n != 0;
  const char c = Lower(v[0]);
  return c == 't' || c == 'y' ? true : c == 'f' || c == 'n' ? false : def;
}

double TLumIniFile::ReadFloat(const std::string &section, const std::string &key,
                              double def) const {
  return s2f(ReadString(section, key), def);
}

TDateTime TLumIniFile::ReadDateTime(const std::string &section, const std::string &key,
                                    TDateTime def) const {
  const std::string v = ReadString(section, key);
  return v.empty() ? def : StrToDt(v);
}

void TLumIniFile::WriteString(const std::string &section, const std::string &key,
                              const std::string &value) {
  const std::string s = Trim(section), k = Trim(key);
  if (!ValidSection(s) || !ValidKey(k)) return;
  // One line per value: a line break inside would start a new key or section on reading.
  std::string v = value;
  for (char &c : v)
    if (c == '\r' || c == '\n') c = ' ';
  v = Trim(v);
  TSection *sec = FindSec(s);
  if (!sec) sec = &AddSec(s);
  for (auto &e : sec->entries) {
    if (!e.key.empty() && SameText(e.key, k)) {
      if (e.value == v) return;
      e.value = v;
      Changed();
      return;
    }
  }
  sec->entries.push_back(TEntry{k, v});
  Changed();
}

void TLumIniFile::WriteInteger(const std::string &section, const std::string &key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TLumIniFile::WriteBool(const std::string &section, const std::string &key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TLumIniFile::WriteFloat(const std::string &section, const std::string &key, double value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, key, std::string(buf, res.ptr));
}

void TLumIniFile::WriteDateTime(const std::string &section, const std::string &key,
                                TDateTime value) {
  WriteString(section, key, dt2s(value, DefaultDtPattern));
}

void TLumIniFile::DeleteKey(const std::string &section, const std::string &key) {
  TSection *sec = FindSec(section);
  const std::string k = Trim(key);
  if (!sec || k.empty()) return;
  const size_t before = sec->entries.size();
  std::erase_if(sec->entries,
                [&](const TEntry &e) { return !e.key.empty() && SameText(e.key, k); });
  if (sec->entries.size() != before) Changed();
}

void TLumIniFile::EraseSection(const std::string &section) {
  const std::string s = Trim(section);
  const size_t before = fSections.size();
  std::erase_if(fSections, [&](const TSection &sec) { return SameText(sec.name, s); });
  if (fSections.size() == before) return;
  RebuildIndex();
  Changed();
}

std::string TLumIniFile::Text() const {
  std::string r;
  for (const auto &l : fPrelude)
    r += l + "\n";
  for (const auto &sec : fSections) {
    if (!r.empty()) r += "\n";
    r += "[" + sec.name + "]\n";
    for (const auto &e : sec.entries)
      r += (e.key.empty() ? e.value : e.key + "=" + e.value) + "\n";
  }
  return r;
}

bool TLumIniFile::UpdateFile() {
  if (!fModified) return true;
  // The settings file holds the sign-in token: it stays readable by the user only, whatever
  // mode it was given meanwhile.
  if (fFileName.empty() || !WriteFileAtomic(fFileName, Text(), 0600)) {
    fLastError = fFileName.empty() ? std::string("no file name") : std::string(std::strerror(errno));
    if (!fSaveErrorTold) {
      fSaveErrorTold = true;
      const std::string text = "Settings could not be saved: " + fLastError;
      if (fOnSaveError)
        fOnSaveError(text);
      else
        std::fprintf(stderr, "%s (%s)\n", text.c_str(), fFileName.c_str());
    }
    return false;
  }
  fLastError.clear();
  fSaveErrorTold = false;
  fModified = false;
  return true;
}

} // namespace kelvra
