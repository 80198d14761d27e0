// Targets of the program's core: translation files, service replies, the address cache, pictures.
#include "FuzzTargets.h"

#include "core/app/Translate.h"
#include "core/client/DeviceCommands.h"
#include "core/client/JpegImage.h"
#include "core/client/client.h"
#include "core/map/PngImage.h"
#include "core/model/ZoneInfo.h"
#include "core/tracks/AddressCache.h"
#include "core/tracks/TrackFileParser.h"
#include "core/util/LumStrings.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

bool SameTrackNumber(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

// Two points with the same fields (numbers bit for bit).
bool SamePoint(const TTrackPointInfo &d, const TTrackPointInfo &s) {
  bool same = d.uid == s.uid && d.obj_id == s.obj_id && d.osm_id == s.osm_id && d.bat == s.bat &&
              d.src == s.src && d.HasEvent == s.HasEvent && d.IsParking == s.IsParking &&
              d.ParkingDuration == s.ParkingDuration && d.sensors.size() == s.sensors.size();
  for (auto [a, b] : {std::pair{d.sys_dt, s.sys_dt}, {d.obj_dt, s.obj_dt}, {d.gps_dt, s.gps_dt},
                      {d.lat, s.lat}, {d.lon, s.lon}, {d.alt, s.alt}, {d.acc, s.acc},
                      {d.speed, s.speed}, {d.angle, s.angle}})
    same = same && SameTrackNumber(a, b);
  for (std::size_t k = 0; same && k < d.sensors.size(); ++k)
    same = d.sensors[k].uid == s.sensors[k].uid && d.sensors[k].sign == s.sensors[k].sign &&
           d.sensors[k].val == s.sensors[k].val;
  return same;
}

// A track reply read in one pass over the text is the track the DOM reading makes of it, and a
// text the DOM parse refuses is never read that way.
void CheckTrackStream(const TKelvraClient &aClient, const std::string &aPadded, std::size_t aSize,
                      const TJsonReply &aParsed, bool aParsedOk) {
  TKelvraClient client("", "token", "0");
  std::vector<std::unique_ptr<TTrackPointInfo>> streamed;
  if (!client.StreamTrack(aPadded.data(), aSize, 7, streamed)) return;
  Check(aParsedOk && aParsed.Root().IsArray(), "a text the DOM refuses was read in one pass");
  std::size_t n = 0;
  for (const TJsonVal element : aParsed.Root().Elements()) {
    TTrackPointInfo d(0, 7);
    d.uid = aClient.ParseTrackPoint(element, d);
    if (d.uid == 0) continue;
    if (d.obj_id == 0) d.obj_id = 7;
    Check(n < streamed.size(), "the one-pass reading lost a point");
    Check(SamePoint(d, *streamed[n++]), "the one-pass reading made another point than the DOM");
  }
  Check(n == streamed.size(), "the one-pass reading made more points than the DOM");
}

// Two cached objects with the same fields, their last point, trail, sensors and alarms.
bool SameObject(const TObjectInfo &d, const TObjectInfo &s) {
  bool same = d.uid == s.uid && d.parent_id == s.parent_id && d.type_id == s.type_id &&
              d.user_id == s.user_id && d.id == s.id && d.name == s.name &&
              d.track_color == s.track_color && d.is_alien == s.is_alien &&
              d.users_list == s.users_list && d.has_image == s.has_image &&
              SameTrackNumber(d.image_dt, s.image_dt) && d.is_deleted == s.is_deleted &&
              SameTrackNumber(d.del_dt, s.del_dt) && d.model == s.model && d.hw_type == s.hw_type &&
              d.hw_info == s.hw_info && d.sw_ver == s.sw_ver && d.phone == s.phone &&
              d.imei == s.imei && d.address == s.address && d.trip_id == s.trip_id &&
              d.trip_status == s.trip_status && SamePoint(*d.last_point, *s.last_point) &&
              d.tail.size() == s.tail.size() && d.sensors.size() == s.sensors.size() &&
              d.alarms.size() == s.alarms.size();
  for (std::size_t k = 0; same && k < d.tail.size(); ++k)
    same = SamePoint(*d.tail[k], *s.tail[k]);
  for (std::size_t k = 0; same && k < d.sensors.size(); ++k) {
    const TSensorInfo &a = *d.sensors[k], &b = *s.sensors[k];
    same = a.uid == b.uid && a.sign == b.sign && a.name == b.name && a.unitv == b.unitv &&
           a.val == b.val && SameTrackNumber(a.obj_dt, b.obj_dt) &&
           SameTrackNumber(a.sys_dt, b.sys_dt);
  }
  for (std::size_t k = 0; same && k < d.alarms.size(); ++k) {
    const TEventInfo &a = *d.alarms[k], &b = *s.alarms[k];
    same = a.uid == b.uid && a.obj_id == b.obj_id && a.trap_id == b.trap_id &&
           a.h_point_id == b.h_point_id && a.c_point_id == b.c_point_id && a.h_bat == b.h_bat &&
           a.c_bat == b.c_bat && a.h_sval == b.h_sval && a.c_sval == b.c_sval &&
           a.accept_msg == b.accept_msg;
    for (auto [x, y] : {std::pair{a.h_sys_dt, b.h_sys_dt}, {a.h_obj_dt, b.h_obj_dt},
                        {a.h_gps_dt, b.h_gps_dt}, {a.h_lat, b.h_lat}, {a.h_lon, b.h_lon},
                        {a.h_speed, b.h_speed}, {a.c_sys_dt, b.c_sys_dt}, {a.c_obj_dt, b.c_obj_dt},
                        {a.c_gps_dt, b.c_gps_dt}, {a.c_lat, b.c_lat}, {a.c_lon, b.c_lon},
                        {a.c_speed, b.c_speed}, {a.accept_dt, b.accept_dt}})
      same = same && SameTrackNumber(x, y);
  }
  return same;
}

// An object list read in one pass over the text makes the cache that the DOM reading makes of
// it, the first time and again as a refresh of the first; a text the DOM parse refuses is never
// read that way, and a text the pass gives up on leaves the cache as it was.
void CheckObjectStream(const std::string &aPadded, std::size_t aSize, const TJsonReply &aParsed,
                       bool aParsedOk) {
  TKelvraClient streamed("", "token", "0"), dom("", "token", "0");
  for (int round = 0; round < 2; ++round) {
    int count = -1;
    if (!streamed.StreamObjects(aPadded.data(), aSize, count)) {
      Check(round == 0 && streamed.ObjList().empty() && streamed.ObjListUpdated() == 0,
            "a text the one-pass reading gave up on changed the cache");
      return;
    }
    Check(aParsedOk && aParsed.Root().IsObject() &&
              TKelvraClient::GetJvArr(aParsed.Root(), "objects"),
          "a text the DOM refuses was read in one pass");
    Check(count == dom.MergeObjects(aParsed.Root()), "the one-pass reading counted otherwise");
    Check(SameTrackNumber(streamed.ObjListUpdated(), dom.ObjListUpdated()) &&
              streamed.ObjList().size() == dom.ObjList().size(),
          "the one-pass reading made another list than the DOM");
    for (std::size_t i = 0; i < dom.ObjList().size(); ++i)
      Check(SameObject(*dom.ObjList()[i], *streamed.ObjList()[i]),
            "the one-pass reading made another object than the DOM");
  }
}

// A service reply: the JSON as the request core takes it, then every record reader on it.
void FuzzReplies(const std::uint8_t *aData, std::size_t aSize) {
  TJsonReply parsed;
  const bool parsedOk = parsed.Parse(reinterpret_cast<const char *>(aData), aSize);
  {
    std::string padded(reinterpret_cast<const char *>(aData), aSize);
    padded.append(simdjson::SIMDJSON_PADDING, '\0');
    TKelvraClient client("", "token", "0");
    CheckTrackStream(client, padded, aSize, parsed, parsedOk);
    CheckObjectStream(padded, aSize, parsed, parsedOk);
  }
  if (!parsedOk) return;
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

  // The list readers take the reply itself when it is an array, else each array under a name
  // (the trips only keep those of objects merged above).
  const auto readList = [&client](TJsonVal aArr) {
    if (!aArr.IsArray()) return;
    const int trips = client.ReadTrips(aArr);
    Check(trips == static_cast<int>(client.TripList().size()), "trips counted wrong");
    for (const auto &trip : client.TripList())
      Check(trip->uid != 0 && client.FindObject(trip->obj_id), "a trip of no known object");
    const int commands = client.ReadCommandLog(aArr);
    Check(commands == static_cast<int>(client.CommandLog().size()), "commands counted wrong");
    for (const auto &[osmId, address] : TKelvraClient::ReadAddresses(aArr)) {
      Check(!osmId.empty() && !address.empty(), "an empty address read");
      // What the address cache writes for it reads back as it was given (the cache stores no
      // id with ";" or a control character).
      if (RemoveTrash(osmId) != osmId || osmId.find(';') != std::string::npos) continue;
      const TAddressCacheItem back(TAddressCacheItem(osmId, address).ToCsvString());
      Check(back.OsmId == osmId && back.Address == RemoveTrash(address),
            "a looked-up address does not read back");
    }
    TWifiList wifi(1);
    const int points = TKelvraClient::ReadWifi(aArr, wifi);
    Check(points == static_cast<int>(wifi.size()) - 1, "access points counted wrong");
    for (std::size_t i = 1; i < wifi.size(); ++i)
      Check(!wifi[i].ssid.empty() && !wifi[i].bssid.empty(), "an access point without names");
  };
  readList(reply);
  for (const auto field : reply.Fields())
    readList(TJsonVal(field.value));
}

// A device's answer to "get config" or "get places" (the answer file of the command log), read
// as the configuration and places dialogs read it, and the commands they build from it.
void FuzzDeviceAnswers(const std::uint8_t *aData, std::size_t aSize) {
  const std::string text = Text(aData, aSize);
  const TLumHash config = ReadConfigAnswer(text);
  std::vector<TConfigChange> changes;
  for (const TConfigSetting &setting : ConfigSettings()) {
    TConfigChange change{setting.Key, setting.Control, config.AsBool(setting.Key),
                         ConfigText(config, setting.Key)};
    changes.push_back(std::move(change));
  }
  (void)SetConfigCommand(changes);

  TPlaceList places;
  TWifiList wifi;
  ParsePlacesAnswer(text, places, wifi);
  // The device splits a command at blanks: only the separators between the places may be blanks.
  const std::string set = SetPlacesCommand(places);
  std::size_t withSsids = 0;
  for (const TPlaceData &place : places)
    withSsids += place.Ssids.empty() ? 0 : 1;
  Check(std::count(set.begin(), set.end(), ' ') == static_cast<long>(1 + withSsids),
        "a blank inside a place of the set places command");
  Check(set.find_first_of("\r\n") == std::string::npos, "a line break in set places");
  for (const TPlaceData &place : places) {
    const std::string add = AddPlacesCommand(place.Sign, place.Ssids, wifi);
    Check(std::count(add.begin(), add.end(), ' ') == 2, "a blank inside the add places command");
  }
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
                                                   {"device_answers", &FuzzDeviceAnswers},
                                                   {"address_cache", &FuzzAddressCache},
                                                   {"csv_import", &FuzzCsvImport},
                                                   {"png", &FuzzPng},
                                                   {"jpeg", &FuzzJpeg}};
  return targets;
}

} // namespace kelvra::fuzz
