// Targets of the utility library (kelvra_util only).
#include "FuzzTargets.h"

#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"
#include "core/util/LumHash.h"
#include "core/util/LumIniFiles.h"

#include <unistd.h>

#include <cmath>
#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvra::fuzz {

namespace {

// Configuration text: the key/value grammar with comments, separators and bracketed values.
void FuzzConfig(const std::uint8_t *aData, std::size_t aSize) {
  TLumHash hash;
  hash.Assign(Text(aData, aSize));
  for (int i = 0; i < hash.Count(); ++i)
    (void)hash.GetVal(hash.GetKey(i));
  TLumHash copy;
  copy.Assign(hash.AsText("=", "\r"));
}

void FuzzAssignJson(const std::uint8_t *aData, std::size_t aSize) {
  TLumHash hash;
  hash.AssignJson(Text(aData, aSize), true);
}

// The settings file, read from disk as the program reads it.
void FuzzIniFile(const std::uint8_t *aData, std::size_t aSize) {
  static const std::string file = [] {
    const char *tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/kelvra-fuzz-" + std::to_string(::getpid()) +
           ".ini";
  }();
  if (!WriteFileAtomic(file, Text(aData, aSize))) return;
  {
    TLumIniFile ini(file);
    ini.SetAutoSave(false);
    for (const std::string &section : ini.ReadSections())
      for (const std::string &key : ini.ReadSection(section)) {
        (void)ini.ReadString(section, key, "");
        (void)ini.ReadInteger(section, key, 0);
        (void)ini.ReadDateTime(section, key, 0);
      }
  }
  std::remove(file.c_str());
}

// Dates in every notation the program reads; the fast path must agree with the general one.
void FuzzDates(const std::uint8_t *aData, std::size_t aSize) {
  const std::string text = Text(aData, aSize);
  std::uint16_t d, m, y, hh, nn, ss, ms;
  (void)ParseDate(text, d, m, y);
  (void)ParseTime(text, hh, nn, ss, ms);
  const TDateTime fast = StrToDt(text);
  const TDateTime general = StrToDtByRe(text);
  Check(fast == general || (std::isnan(fast) && std::isnan(general)),
        "StrToDt differs from StrToDtByRe");
  (void)ts2dt(text);
}

} // namespace

const std::vector<TFuzzTarget> &UtilTargets() {
  static const std::vector<TFuzzTarget> targets = {
      {"config", &FuzzConfig}, {"assign_json", &FuzzAssignJson}, {"ini", &FuzzIniFile},
      {"dates", &FuzzDates}};
  return targets;
}

} // namespace kelvra::fuzz
