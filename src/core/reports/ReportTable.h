#pragma once
// A report as a table that every view of it shares: the window's model, the CSV and XLSX files
// and the printed pages read the same typed cells, column types and totals.

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/util/DisplayUnits.h"
#include "core/util/LumDates.h"

namespace kelvra {

class TReportBuilder;

enum class TReportKind { Trips = 0, Stops = 1, Summary = 2, Events = 3 };
inline constexpr int kReportKindCount = 4;

// How a column's numbers read: a date-time (days since 1899-12-30), a duration in seconds, a
// decimal number (a distance or a speed in the display units) or a whole count. Text columns have no number.
enum class TCellType { Text, DateTime, Duration, Number, Count };
// What the totals row shows under a column.
enum class TTotalKind { None, Sum, Max, Label };

struct TReportColumn {
  std::string key;   // the translation key and the CSV header
  std::string title; // the translated title
  TCellType type = TCellType::Text;
  int decimals = 0; // of a Number
  TTotalKind total = TTotalKind::None;
};

struct TReportCell {
  double num = std::numeric_limits<double>::quiet_NaN(); // NaN: no value (an empty cell)
  std::string text;                                       // for Text columns
};

// What a row shows on the map: the object's track from dt1 to dt2, or a place.
struct TReportTarget {
  int obj_id = 0;
  TDateTime dt1 = 0, dt2 = 0;
  double lat = std::numeric_limits<double>::quiet_NaN();
  double lon = std::numeric_limits<double>::quiet_NaN();
};

struct TReportTable {
  TReportKind kind = TReportKind::Trips;
  std::string title; // the report, the objects and the period
  std::vector<TReportColumn> columns;
  std::vector<std::vector<TReportCell>> rows;
  std::vector<TReportTarget> targets; // one per row
  std::string totalLabel = "Total";

  // Sums and maxima of the columns that have them; the label column says "Total" and the row
  // count. A summed duration or distance over no rows is 0; a maximum over no values is empty.
  std::vector<TReportCell> Totals() const;
  // The text of a cell as the window, the CSV and the pages show it: dates "dd.mm.yyyy
  // hh:nn:ss" (a day column without a time "dd.mm.yyyy"), durations "hh:nn:ss", numbers with
  // their decimals and ".", empty for no value.
  std::string CellText(const TReportCell &cell, size_t column) const;
};

// Looks up a translated text by key; def when none (tests pass nothing).
using TReportText = std::function<std::string(const std::string &key, const std::string &def)>;
// The address of a place id; empty when unknown (the coordinates are shown then).
using TReportAddress = std::function<std::string(const std::string &osmId)>;

// The table of a report kind from what the builder gathered, with the caption
// "<report>: <objects>, <dd.mm.yyyy hh:nn> - <dd.mm.yyyy hh:nn>". Distances and speeds are in the
// units given (their titles name them: a "%s" in the title's text is the unit).
TReportTable MakeReportTable(TReportKind kind, const TReportBuilder &b, const std::string &objects,
                             const TReportText &text = {}, const TReportAddress &address = {},
                             const TDisplayUnits &units = DisplayUnits());

// The report's name ("Trips", "Stops", "Summary", "Events"), translated.
std::string ReportKindName(TReportKind kind, const TReportText &text = {});

// The CSV of the table: UTF-8 with the byte order mark, ";" between cells, a header row, the
// rows and the totals row; a cell holding ";", a quote or a line break is quoted. Written beside
// the name and renamed over it; empty on success, else the reason.
std::string WriteReportCsv(const std::string &fileName, const TReportTable &t);
// The workbook: the caption, a bold header row that stays in view (frozen panes), typed cells
// (dates as date cells, durations as [h]:mm:ss, distances and speeds as numbers) and a totals
// row of formulas with their values, columns as wide as their texts. Empty on success, else the
// reason; a failed write leaves nothing under the name.
std::string WriteReportXlsx(const std::string &fileName, const TReportTable &t);

} // namespace kelvra
