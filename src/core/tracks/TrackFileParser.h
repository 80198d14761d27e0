#pragma once
// Reading a track from a delimited text file: the lines, their fields split at a separator,
// the guess of which column holds which point field, and the track built from the rows.
// The file's text is kept once and rows are split when read, so a file of a million rows
// costs its size plus two numbers per line.

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/tracks/GeoTrack.h"
#include "core/tracks/LocationFilter.h"

namespace kelvra {

enum TPointField { pfTime, pfLatitude, pfLongitude, pfAltitude, pfAccuracy, pfSpeed, pfBearing };
inline constexpr int PointFieldCount = 7;
// "Time", "Latitude", "Longitude", "Altitude", "Accuracy", "Speed", "Bearing".
extern const std::array<const char *, PointFieldCount> PointFieldLabels;

// File column of each point field, -1 when not assigned.
using TColumnMap = std::array<int, PointFieldCount>;

// Fields of a line split at every occurrence of the separator (found without regard to
// case); a separator at the end gives no empty field after it. An empty separator
// leaves the line whole.
void SplitFields(std::string_view line, std::string_view separator,
                 std::vector<std::string_view> &out);

// The first header field that matches each label, compared in lower case over the
// length of the shorter of the two ("lat" and "latitude_deg" match "Latitude").
TColumnMap GuessColumns(const std::vector<std::string> &headers);

// The stages of an import, in the order they run: the file read in pieces, its lines found, the
// points built from the rows, the track measured.
enum class TImportStage { Reading, Lines, Building, Statistics };
// How far a stage is (done of total); false stops the work at the next step.
using TImportProgress = std::function<bool(TImportStage stage, size_t done, size_t total)>;

struct TTrackBuild {
  std::unique_ptr<TGeoTrack> Track; // null on failure; nothing half-built is kept
  int Row = 0;                      // the failing data row counted from 1; 0 for the file as a whole
  std::string Error;                // "no data", "No data", ... empty on success
  std::string Detail;               // what was wrong with the row
  bool Cancelled = false;
};

class TTrackFileParser {
public:
  static constexpr size_t MaxSeparator = 8;
  // Bounds of what a file may hold, checked before the work: a line longer than MaxLineBytes
  // refuses the file; header fields are cut to MaxHeaderChars characters (code points) and
  // columns beyond MaxColumns are left out, so that no window is asked to paint them.
  static constexpr size_t MaxLineBytes = 1u << 20;
  static constexpr size_t MaxHeaderChars = 1000;
  static constexpr size_t MaxColumns = 1000;
  // A cell's text as Field returns it is cut to this many characters.
  static constexpr size_t MaxFieldChars = 1000;

  // The file's lines, trimmed, empty ones dropped. -1 when it cannot be read or is larger than
  // kMaxLocalFileSize (refused by its size, before any byte is read), -2 when it is not text
  // (it holds NUL bytes), -3 when a line is longer than MaxLineBytes, -4 when progress said
  // stop ("cancelled"); LoadError() then says why and no lines are kept. The file is read in
  // pieces (stage Reading), then its lines are found (stage Lines).
  int LoadFromFile(const std::string &fileName, const TImportProgress &progress = {});
  int LoadFromText(std::string text, const TImportProgress &progress = {});
  const std::string &LoadError() const { return fLoadError; }
  int LineCount() const { return static_cast<int>(fLines.size()); }
  std::string_view Line(int i) const;

  // Trimmed and cut to 8 characters; default ";".
  void SetSeparator(const std::string &separator);
  const std::string &Separator() const { return fSeparator; }

  // Splits the header line. False with "No data" when no lines are loaded. What was cut or left
  // out of the header is said by ParseNote() ("" when nothing was).
  bool Parse(std::string &error);
  const std::string &ParseNote() const { return fParseNote; }
  const std::vector<std::string> &Headers() const { return fHeaders; }
  // Data rows: every line after the header.
  int RowCount() const { return LineCount() > 0 ? LineCount() - 1 : 0; }
  std::vector<std::string> RowFields(int row) const;
  // One cell for showing: cut to MaxFieldChars characters.
  std::string Field(int row, int column) const;

  // Builds the track from every row (stage Building), then measures it (stage Statistics).
  // Time, latitude and longitude must be assigned; a row whose time is below 1 or whose latitude
  // or longitude is 0 or unreadable fails the whole build with its row number. Stopped by
  // progress, the result is Cancelled and holds no track.
  TTrackBuild MakeTrack(const TColumnMap &columns, const std::string &sign, int layer,
                        int styleIndex, const TImportProgress &progress = {}) const;

private:
  struct TSpan {
    size_t start;
    size_t size;
  };
  std::string fText;
  std::vector<TSpan> fLines;
  std::vector<std::string> fHeaders;
  std::string fSeparator = ";";
  std::string fLoadError;
  std::string fParseNote;
};

// The log lines after a successful build: "\r  == %d track points", "\rTrack info:", the
// distance with two decimals and the three durations.
std::string TrackBuildLog(const TGeoTrack &track);

} // namespace kelvra
