#include "core/tracks/TrackExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "core/tracks/GeoTrack.h"
#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include "core/util/TextFileWriter.h"
#include "core/util/XmlText.h"

namespace kelvra {

namespace {


// The time a point was taken: the fix time, else the device's, else the service's.
TDateTime TakenTime(const TTrackPointInfo &tp) {
  if (DtDefined(tp.gps_dt)) return tp.gps_dt;
  if (DtDefined(tp.obj_dt)) return tp.obj_dt;
  return tp.sys_dt;
}

std::string Text(const std::string &s) { return XmlEscape(Utf8Valid(s)); }

void AppendCoord(std::string &aOut, double aValue) { AppendFixed(aOut, aValue, 6); }

// MarkParking puts a copy of a stay's first point (at the stay's centre) before it: that copy
// stands for the stop and is not a message of the device.
bool IsStopCopy(const TTrackPointList &pts, size_t i) {
  return i + 1 < pts.size() && pts[i]->IsParking && pts[i + 1]->uid == pts[i]->uid &&
         pts[i + 1]->obj_dt == pts[i]->obj_dt;
}

} // namespace

namespace {

// The KML of a track into aOut, calling aWrote after every line of the text (where a file
// writer may send out what has gathered).
template <class TWrote>
void WriteTrackKml(const TGeoTrack &track, const TKmlOptions &options, std::string &aOut,
                   TWrote &&aWrote) {
  const TTrackPointList &pts = track.Points();
  const std::string sign = Text(track.Sign());
  const TDisplayZone &clock = track.Clock();
  auto utc = [&](std::string &aTo, TDateTime dt) { AppendWebUtc(aTo, clock.ToUtc(dt)); };

  bool allAltitudes = true;
  size_t fixes = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    const TTrackPointInfo &tp = *pts[i];
    if (!tp.HasLatLon() || !DtDefined(TakenTime(tp)) || IsStopCopy(pts, i)) continue;
    ++fixes;
    if (!tp.HasAltitude()) allAltitudes = false;
  }

  aOut += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
          "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
          "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\r\n<Document>\r\n<name>" +
          sign + "</name>\r\n";
  // KML colours are aabbggrr, the program's are 00bbggrr: the line keeps the track's colour
  // (a system colour has no fixed value and is left to the viewer).
  const uint32_t line = track.Style().LineColor;
  const bool ownColor = (line & 0xFF000000u) == 0;
  if (ownColor) {
    char color[16];
    std::snprintf(color, sizeof color, "ff%06x", line & 0xFFFFFFu);
    aOut += "<Style id=\"track\"><LineStyle><color>" + std::string(color) + "</color><width>" +
            std::to_string(std::max(1, track.Style().LineWidth)) + "</width></LineStyle></Style>\r\n";
  }
  aOut += "<Placemark>\r\n<name>" + sign + "</name>\r\n";
  if (ownColor) aOut += "<styleUrl>#track</styleUrl>\r\n";
  aOut += "<gx:Track>\r\n<altitudeMode>";
  aOut += allAltitudes && fixes > 0 ? "absolute" : "clampToGround";
  aOut += "</altitudeMode>\r\n";

  // The times of the fixes, then their places, each written as it is made.
  const auto isFix = [&](size_t i) {
    const TTrackPointInfo &tp = *pts[i];
    return tp.HasLatLon() && DtDefined(TakenTime(tp)) && !IsStopCopy(pts, i);
  };
  TDateTime lastWhen = std::numeric_limits<double>::quiet_NaN(); // in order: the repeated hour
  for (size_t i = 0; i < pts.size(); ++i) {
    if (!isFix(i)) continue;
    aOut += "<when>";
    lastWhen = clock.ToUtc(TakenTime(*pts[i]), lastWhen);
    AppendWebUtc(aOut, lastWhen);
    aOut += "</when>\r\n";
    aWrote();
  }
  for (size_t i = 0; i < pts.size(); ++i) {
    if (!isFix(i)) continue;
    const TTrackPointInfo &tp = *pts[i];
    aOut += "<gx:coord>";
    AppendCoord(aOut, tp.lon);
    aOut += ' ';
    AppendCoord(aOut, tp.lat);
    aOut += ' ';
    if (allAltitudes)
      AppendFixed(aOut, tp.alt, 1);
    else
      aOut += '0';
    aOut += "</gx:coord>\r\n";
    aWrote();
  }
  aOut += "</gx:Track>\r\n</Placemark>\r\n";

  std::string stops;
  int stopNo = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    const TTrackPointInfo &tp = *pts[i];
    if (!tp.HasLatLon()) continue;
    // A run of parking points is one stop; its first point holds the stop's place and duration.
    if (!tp.IsParking || (i > 0 && pts[i - 1]->IsParking)) continue;
    ++stopNo;
    stops += "<Placemark><name>" + Text(options.parkingLabel) + ' ' + std::to_string(stopNo) +
             "</name>";
    const std::string address = options.address && !tp.osm_id.empty() ? options.address(tp.osm_id) : "";
    if (!address.empty()) stops += "<address>" + Text(address) + "</address>";
    stops += "<description>" + Text(options.durationLabel) + ": " + dur2s(tp.ParkingDuration, 2);
    if (!address.empty()) stops += "\n" + Text(options.addressLabel) + ": " + Text(address);
    stops += "</description>";
    const TDateTime begin = TakenTime(tp);
    if (DtDefined(begin)) {
      stops += "<TimeSpan><begin>";
      utc(stops, begin);
      stops += "</begin><end>";
      // The duration is real time: the end is counted from the beginning's UTC moment.
      AppendWebUtc(stops, clock.ToUtc(begin) + tp.ParkingDuration / 86400.0);
      stops += "</end></TimeSpan>";
    }
    stops += "<Point><coordinates>";
    AppendCoord(stops, tp.lon);
    stops += ',';
    AppendCoord(stops, tp.lat);
    stops += "</coordinates></Point></Placemark>\r\n";
  }
  if (!stops.empty()) {
    aOut += "<Folder>\r\n<name>" + Text(options.parkingLabel) + "</name>\r\n";
    aOut += stops;
    aOut += "</Folder>\r\n";
  }
  aOut += "</Document>\r\n</kml>\r\n";
  aWrote();
}

} // namespace

std::string TrackKml(const TGeoTrack &track, const TKmlOptions &options) {
  std::string kml;
  WriteTrackKml(track, options, kml, [] {});
  return kml;
}

int ExportTrackKml(const TGeoTrack &track, std::string &fn, const TKmlOptions &options) {
  if (fn.empty()) return -1;
  if (!std::filesystem::path(fn).filename().has_extension()) fn += ".kml";
  // Written in blocks as it is made, beside the name and renamed over it once complete.
  TTextFileWriter file(fn);
  if (!file.Ok()) return -2;
  WriteTrackKml(track, options, file.Out(), [&file] { file.Wrote(); });
  const int64_t size = file.Size();
  if (size > std::numeric_limits<int>::max()) return -4;
  return file.Commit() ? static_cast<int>(size) : -2;
}

const std::string &TrackFileFilter() {
  static const std::string filter = "CSV (*.csv);;GPX (*.gpx);;KML (*.kml)";
  return filter;
}

TTrackFileFormat TrackFileFormatOf(const std::string &fileName, const std::string &chosenFilter) {
  const std::string ext = LowerCase(std::filesystem::path(fileName).extension().string());
  if (ext == ".gpx") return TTrackFileFormat::Gpx;
  if (ext == ".kml") return TTrackFileFormat::Kml;
  if (ext == ".csv") return TTrackFileFormat::Csv;
  const std::string f = LowerCase(chosenFilter);
  if (f.find("*.gpx") != std::string::npos) return TTrackFileFormat::Gpx;
  if (f.find("*.kml") != std::string::npos) return TTrackFileFormat::Kml;
  return TTrackFileFormat::Csv;
}

int ExportTrackFile(const TGeoTrack &track, std::string &fn, TTrackFileFormat fmt,
                    const TKmlOptions &options) {
  if (fmt == TTrackFileFormat::Kml) return ExportTrackKml(track, fn, options);
  return track.ExportTrack(fn, static_cast<int>(fmt));
}

} // namespace kelvra
