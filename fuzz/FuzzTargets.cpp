#include "FuzzTargets.h"

#include "core/app/Translate.h"
#include "core/client/JpegImage.h"
#include "core/client/client.h"
#include "core/map/PngImage.h"
#include "core/model/ZoneInfo.h"
#include "core/tracks/AddressCache.h"
#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"
#include "core/util/LumHash.h"
#include "core/util/LumJson.h"
#include "core/util/LumIniFiles.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvra::fuzz {

namespace {

std::string Text(const std::uint8_t *aData, std::size_t aSize) {
  return std::string(reinterpret_cast<const char *>(aData), aSize);
}

// A fault the sanitizers cannot see: the input broke a promise of the code.
void Check(bool aOk, const char *aWhat) {
  if (aOk) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", aWhat);
  std::abort();
}

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

// A translation file, with the "$" references between its items resolved by the lookups.
void FuzzTranslation(const std::uint8_t *aData, std::size_t aSize) {
  TTranslation translation;
  translation.LoadText(Text(aData, aSize));
  (void)translation.GetLang();
  TLumHash &strings = translation.GetSection("Strings");
  for (int i = 0; i < strings.Count() && i < 50; ++i)
    (void)translation.GetString("Main", strings.GetKey(i), "-");
  (void)translation.GetString("Main", "Caption", "-");
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

// A service reply: the JSON as the request core takes it, then every record reader on it.
void FuzzReplies(const std::uint8_t *aData, std::size_t aSize) {
  const char *begin = reinterpret_cast<const char *>(aData);
  if (!JsonNestingWithin(std::string_view(begin, aSize))) return;
  const TJson reply = TJson::parse(begin, begin + aSize, nullptr, false);
  if (reply.is_discarded()) return;
  TKelvraClient client("", "token", "0");
  client.MergeObjects(&reply);
  client.MergeObjects(&reply); // a second refresh merges into the records of the first
  client.ParseUserInfo(&reply);
  const auto readElement = [&client](const TJson &aElement) {
    (void)client.ParseTrackPoint(&aElement);
    (void)client.ParseEvent(&aElement);
    (void)client.ParseObject(&aElement);
    (void)client.ParseTrap(&aElement);
    TZoneGeom geom;
    const std::string text = TKelvraClient::GetJvStr(&aElement, "geom");
    geom.ReadJsonString(text, 1);
    geom.ReadJsonString(text, 2);
    (void)client.GetJvDt(&aElement, "dt");
    (void)TKelvraClient::GetJvDbl(&aElement, "lat");
    (void)TKelvraClient::GetJvSignedInt(&aElement, "t_chat_id");
  };
  readElement(reply);
  if (reply.is_array())
    for (const TJson &element : reply)
      readElement(element);
  else if (reply.is_object())
    for (const auto &[key, value] : reply.items())
      if (value.is_array())
        for (const TJson &element : value)
          readElement(element);
}

// One line of the address cache file; what it writes must read back the same.
void FuzzAddressCache(const std::uint8_t *aData, std::size_t aSize) {
  TAddressCacheItem item;
  try {
    item.AssignCsv(Text(aData, aSize));
  } catch (const std::exception &) {
    return;
  }
  const std::string line = item.ToCsvString();
  TAddressCacheItem again(line);
  Check(again.ToCsvString() == line, "address cache line does not read back");
}

void FuzzPng(const std::uint8_t *aData, std::size_t aSize) {
  std::string error;
  if (auto png = DecodePng(aData, aSize, error)) (void)PngToBitmap(*png);
}

void FuzzJpeg(const std::uint8_t *aData, std::size_t aSize) {
  std::string error;
  (void)DecodeJpeg(aData, aSize, error);
}

} // namespace

const std::vector<TFuzzTarget> &Targets() {
  static const std::vector<TFuzzTarget> targets = {
      {"config", &FuzzConfig},   {"assign_json", &FuzzAssignJson}, {"translation", &FuzzTranslation},
      {"ini", &FuzzIniFile},     {"dates", &FuzzDates},            {"replies", &FuzzReplies},
      {"address_cache", &FuzzAddressCache}, {"png", &FuzzPng},     {"jpeg", &FuzzJpeg},
  };
  return targets;
}

} // namespace kelvra::fuzz
