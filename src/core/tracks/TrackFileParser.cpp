#include "core/tracks/TrackFileParser.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"
#include "core/util/LumFormat.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

const std::array<const char *, PointFieldCount> PointFieldLabels = {
    "Time", "Latitude", "Longitude", "Altitude", "Accuracy", "Speed", "Bearing"};

namespace {

constexpr size_t kParseProgressStep = 16384;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool HasLetters(std::string_view s) {
  return std::any_of(s.begin(), s.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

size_t FindNoCase(std::string_view s, std::string_view what, size_t from) {
  if (what.size() > s.size()) return std::string_view::npos;
  for (size_t i = from; i + what.size() <= s.size(); ++i) {
    size_t k = 0;
    while (k < what.size() && LowerAscii(s[i + k]) == LowerAscii(what[k]))
      ++k;
    if (k == what.size()) return i;
  }
  return std::string_view::npos;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32)
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
    s.remove_suffix(1);
  return s;
}

} // namespace

void SplitFields(std::string_view line, std::string_view separator,
                 std::vector<std::string_view> &out) {
  out.clear();
  if (separator.empty()) {
    if (!line.empty()) out.push_back(line);
    return;
  }
  const bool noCase = HasLetters(separator);
  size_t start = 0;
  while (start < line.size()) {
    const size_t p = noCase ? FindNoCase(line, separator, start) : line.find(separator, start);
    if (p == std::string_view::npos) {
      out.push_back(line.substr(start));
      return;
    }
    out.push_back(line.substr(start, p - start));
    start = p + separator.size();
  }
}

TColumnMap GuessColumns(const std::vector<std::string> &headers) {
  TColumnMap map;
  map.fill(-1);
  for (int f = 0; f < PointFieldCount; ++f) {
    const std::string label = LowerCase(PointFieldLabels[f]);
    for (size_t c = 0; c < headers.size(); ++c) {
      const std::string h = LowerCase(Trim(headers[c]));
      // An empty title says nothing about its column: it would match every field.
      if (h.empty()) continue;
      const size_t n = std::min(h.size(), label.size());
      if (h.compare(0, n, label, 0, n) == 0) {
        map[f] = static_cast<int>(c);
        break;
      }
    }
  }
  return map;
}

int TTrackFileParser::LoadFromFile(const std::string &fileName, const TImportProgress &progress) {
  fText.clear();
  fLines.clear();
  fHeaders.clear();
  fLoadError.clear();
  // The size is checked before the file is read: a huge (or sparse) file costs nothing.
  std::string bytes;
  std::function<bool(size_t, size_t)> reading;
  if (progress)
    reading = [&progress](size_t done, size_t total) {
      return progress(TImportStage::Reading, done, total);
    };
  if (const std::string why = ReadFileBytes(fileName, bytes, kMaxLocalFileSize, reading);
      !why.empty()) {
    if (why == "cancelled") {
      fLoadError = why;
      return -4;
    }
    fLoadError = why == "cannot open" || why == "not a file" ? "cannot read the file" : why;
    return -1;
  }
  if (bytes.find('\0') != std::string::npos) {
    fLoadError = "not a text file";
    return -2;
  }
  // Most exports are plain ASCII: such a file needs no decoding pass.
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return LoadFromText(ascii ? std::move(bytes) : DecodeText(bytes), progress);
}

int TTrackFileParser::LoadFromText(std::string text, const TImportProgress &progress) {
  fText = std::move(text);
  if (fText.starts_with("\xEF\xBB\xBF")) fText.erase(0, 3);
  fLines.clear();
  fHeaders.clear();
  fLoadError.clear();
  const std::string_view all(fText);
  size_t start = 0, nextReport = 0;
  while (start <= all.size()) {
    if (progress && start >= nextReport) {
      if (!progress(TImportStage::Lines, start, all.size())) {
        fLoadError = "cancelled";
        fText.clear();
        fLines.clear();
        return -4;
      }
      nextReport = start + (1u << 20); // a report per megabyte of text
    }
    size_t end = start;
    while (end < all.size() && all[end] != '\n' && all[end] != '\r')
      ++end;
    if (end - start > MaxLineBytes) {
      fLoadError = "line " + std::to_string(fLines.size() + 1) + " is longer than " +
                   std::to_string(MaxLineBytes >> 20) + " MB";
      fText.clear();
      fLines.clear();
      return -3;
    }
    const std::string_view line = TrimView(all.substr(start, end - start));
    if (!line.empty()) fLines.push_back({static_cast<size_t>(line.data() - all.data()), line.size()});
    start = end + 1;
  }
  if (progress && !progress(TImportStage::Lines, all.size(), all.size())) {
    fLoadError = "cancelled";
    fText.clear();
    fLines.clear();
    return -4;
  }
  return LineCount();
}

std::string_view TTrackFileParser::Line(int i) const {
  if (i < 0 || i >= LineCount()) return {};
  return std::string_view(fText).substr(fLines[i].start, fLines[i].size);
}

void TTrackFileParser::SetSeparator(const std::string &separator) {
  fSeparator = Utf8Copy(Trim(separator), 0, MaxSeparator);
}

bool TTrackFileParser::Parse(std::string &error) {
  fHeaders.clear();
  fParseNote.clear();
  if (fLines.empty()) {
    error = "No data";
    return false;
  }
  std::vector<std::string_view> fields;
  SplitFields(Line(0), fSeparator, fields);
  if (fields.size() > MaxColumns) {
    fParseNote = std::to_string(fields.size() - MaxColumns) + " columns after the first " +
                 std::to_string(MaxColumns) + " left out";
    fields.resize(MaxColumns);
  }
  size_t cut = 0;
  for (std::string_view f : fields) {
    std::string h = Utf8Copy(f, 0, MaxHeaderChars);
    cut += h.size() < f.size();
    fHeaders.push_back(std::move(h));
  }
  if (cut > 0)
    fParseNote += std::string(fParseNote.empty() ? "" : "; ") + std::to_string(cut) +
                  " header fields cut to " + std::to_string(MaxHeaderChars) + " characters";
  error.clear();
  return true;
}

std::vector<std::string> TTrackFileParser::RowFields(int row) const {
  std::vector<std::string_view> fields;
  SplitFields(Line(row + 1), fSeparator, fields);
  return {fields.begin(), fields.end()};
}

std::string TTrackFileParser::Field(int row, int column) const {
  std::vector<std::string_view> fields;
  SplitFields(Line(row + 1), fSeparator, fields);
  return column >= 0 && column < static_cast<int>(fields.size())
             ? Utf8Copy(fields[column], 0, MaxFieldChars)
             : std::string();
}

TTrackBuild TTrackFileParser::MakeTrack(const TColumnMap &columns, const std::string &sign,
                                        int layer, int styleIndex,
                                        const TImportProgress &progress) const {
  TTrackBuild result;
  auto stopped = [&result] {
    result.Cancelled = true;
    result.Error = "cancelled";
    return std::move(result);
  };
  const int rows = RowCount();
  if (rows == 0) {
    result.Error = "No data";
    return result;
  }
  for (int f : {pfTime, pfLatitude, pfLongitude}) {
    if (columns[f] < 0) {
      result.Error = std::string("no column for ") + PointFieldLabels[f];
      return result;
    }
  }
  auto track = std::make_unique<TGeoTrack>();
  track->SetSign(sign);
  track->SetLayer(static_cast<uint8_t>(std::clamp(layer, 0, 9)));
  track->SetStyle(GeoTrackStyles[std::clamp(styleIndex, 0, static_cast<int>(GeoTrackStyles.size()) - 1)]);
  TTrackPointList points;
  points.reserve(static_cast<size_t>(rows));
  std::vector<std::string_view> fields;
  auto text = [&](int f) -> std::string {
    const int c = columns[f];
    return c >= 0 && c < static_cast<int>(fields.size()) ? std::string(TrimView(fields[c]))
                                                         : std::string();
  };
  for (int r = 0; r < rows; ++r) {
    if (progress && r % kParseProgressStep == 0 &&
        !progress(TImportStage::Building, static_cast<size_t>(r), static_cast<size_t>(rows))) {
      return stopped();
    }
    SplitFields(Line(r + 1), fSeparator, fields);
    const std::string timeText = text(pfTime), latText = text(pfLatitude),
                      lonText = text(pfLongitude);
    const TDateTime dt = ts2dt(timeText);
    const double lat = s2f(latText, 0);
    const double lon = s2f(lonText, 0);
    const char *bad = !(dt >= 1) ? "time" : lat == 0 ? "latitude" : lon == 0 ? "longitude" : nullptr;
    if (bad) {
      result.Row = r + 1;
      result.Error = "no data";
      const std::string &value = !(dt >= 1) ? timeText : lat == 0 ? latText : lonText;
      result.Detail = std::string(bad) + " \"" + value + "\"";
      return result;
    }
    auto p = std::make_unique<TTrackPointInfo>();
    p->gps_dt = dt;
    p->lat = lat;
    p->lon = lon;
    if (columns[pfAltitude] >= 0) p->alt = s2f(text(pfAltitude), 0);
    if (columns[pfAccuracy] >= 0) p->acc = s2f(text(pfAccuracy), 0);
    // Speed and bearing keep their fraction: "12.5" is 12.5.
    if (columns[pfSpeed] >= 0) p->speed = s2f(text(pfSpeed), 0);
    if (columns[pfBearing] >= 0) p->angle = s2f(text(pfBearing), 0);
    points.push_back(std::move(p));
  }
  if (progress &&
      !progress(TImportStage::Building, static_cast<size_t>(rows), static_cast<size_t>(rows))) {
    return stopped();
  }
  track->Points() = std::move(points);
  const bool measured = track->UpdateInfo([&progress](size_t done, size_t total) {
    return !progress || progress(TImportStage::Statistics, done, total);
  });
  if (!measured) {
    return stopped();
  }
  result.Track = std::move(track);
  return result;
}

std::string TrackBuildLog(const TGeoTrack &track) {
  const TGeoTrackInfo &i = track.Info();
  return Format("\r  == %d track points", {static_cast<int64_t>(track.Points().size())}) +
         "\rTrack info:" + "\r  distance: " + f2s(i.Distance, 2) +
         Format("\r  sys duration: %d", {i.SysDuration}) +
         Format("\r  obj duration: %d", {i.ObjDuration}) +
         Format("\r  gps duration: %d", {i.GpsDuration});
}

} // namespace kelvra
