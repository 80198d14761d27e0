// Targets of the program's core: translation files, service replies, the address cache, pictures.
#include "FuzzTargets.h"

#include "core/app/Translate.h"
#include "core/client/JpegImage.h"
#include "core/client/client.h"
#include "core/map/PngImage.h"
#include "core/model/ZoneInfo.h"
#include "core/tracks/AddressCache.h"
#include "core/tracks/TrackFileParser.h"

#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvra::fuzz {

namespace {

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

// A service reply: the JSON as the request core takes it, then every record reader on it.
void FuzzReplies(const std::uint8_t *aData, std::size_t aSize) {
  TJsonReply parsed;
  if (!parsed.Parse(reinterpret_cast<const char *>(aData), aSize)) return;
  const TJsonVal reply = parsed.Root();
  TKelvraClient client("", "token", "0");
  client.MergeObjects(reply);
  client.MergeObjects(reply); // a second refresh merges into the records of the first
  client.ParseUserInfo(reply);
  const auto readElement = [&client](TJsonVal aElement) {
    (void)client.ParseTrackPoint(aElement);
    (void)client.ParseEvent(aElement);
    (void)client.ParseObject(aElement);
    (void)client.ParseTrap(aElement);
    TZoneGeom geom;
    const std::string text = TKelvraClient::GetJvStr(aElement, "geom");
    geom.ReadJsonString(text, 1);
    geom.ReadJsonString(text, 2);
    (void)client.GetJvDt(aElement, "dt");
    (void)TKelvraClient::GetJvDbl(aElement, "lat");
    (void)TKelvraClient::GetJvSignedInt(aElement, "t_chat_id");
  };
  readElement(reply);
  for (const TJsonVal element : reply.Elements())
    readElement(element);
  for (const auto field : reply.Fields())
    for (const TJsonVal element : TJsonVal(field.value).Elements())
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

// A track file as the import reads it: the first byte picks the separator, the rest is the
// file; the columns are guessed from its header, as the import dialog does first.
void FuzzCsvImport(const std::uint8_t *aData, std::size_t aSize) {
  if (aSize == 0) return;
  static const char *const separators[] = {";", ",", "\t", " ", "|", ";;", "sep"};
  TTrackFileParser parser;
  parser.SetSeparator(separators[aData[0] % (sizeof separators / sizeof *separators)]);
  if (parser.LoadFromText(Text(aData + 1, aSize - 1)) < 0) return;
  std::string error;
  if (!parser.Parse(error)) return;
  for (int r = 0; r < parser.RowCount() && r < 5; ++r)
    (void)parser.RowFields(r);
  const TTrackBuild build = parser.MakeTrack(GuessColumns(parser.Headers()), "fuzz", 1, 0);
  if (build.Track) {
    Check(build.Error.empty(), "a built track with an error");
    (void)TrackBuildLog(*build.Track);
  } else {
    Check(!build.Error.empty(), "a failed build without a reason");
  }
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

const std::vector<TFuzzTarget> &CoreTargets() {
  static const std::vector<TFuzzTarget> targets = {{"translation", &FuzzTranslation},
                                                   {"replies", &FuzzReplies},
                                                   {"address_cache", &FuzzAddressCache},
                                                   {"csv_import", &FuzzCsvImport},
                                                   {"png", &FuzzPng},
                                                   {"jpeg", &FuzzJpeg}};
  return targets;
}

} // namespace kelvra::fuzz
