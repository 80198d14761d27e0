#include "core/reports/ReportTable.h"

#include <xlsxwriter.h>

#include "core/model/XlsxFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "core/reports/TrackReports.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include "core/util/TextFileWriter.h"

namespace kelvra {

namespace {


std::string Tr(const TReportText &text, const std::string &key, const std::string &def) {
  return text ? text(key, def) : def;
}

TReportCell Num(double v) { return {v, {}}; }
TReportCell Txt(std::string s) { return {kNaN, std::move(s)}; }

std::string PlaceText(const TReportPlace &p, const TReportAddress &address) {
  if (!p.osm_id.empty() && address) {
    std::string a = address(p.osm_id);
    if (!a.empty()) return a;
  }
  if (std::isnan(p.lat) || std::isnan(p.lon)) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f,%.6f", p.lat, p.lon);
  return buf;
}


// An open end of a stop is marked so that nobody reads it as the arrival or departure.
constexpr const char *kOpenMark = "\xE2\x80\xA6"; // "…"

} // namespace

std::string ReportKindName(TReportKind kind, const TReportText &text) {
  switch (kind) {
  case TReportKind::Trips:
    return Tr(text, "report_trips", "Trips");
  case TReportKind::Stops:
    return Tr(text, "report_stops", "Stops");
  case TReportKind::Summary:
    return Tr(text, "report_summary", "Summary");
  case TReportKind::Events:
    return Tr(text, "report_events", "Events");
  }
  return {};
}

std::vector<TReportCell> TReportTable::Totals() const {
  std::vector<TReportCell> tot(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    const TReportColumn &col = columns[c];
    switch (col.total) {
    case TTotalKind::None:
      break;
    case TTotalKind::Label:
      tot[c].text = totalLabel + " (" + std::to_string(rows.size()) + ")";
      break;
    case TTotalKind::Sum: {
      double s = 0;
      for (const auto &r : rows)
        if (!std::isnan(r[c].num)) s += r[c].num;
      tot[c].num = s;
      break;
    }
    case TTotalKind::Max:
      for (const auto &r : rows)
        if (!std::isnan(r[c].num) && (std::isnan(tot[c].num) || r[c].num > tot[c].num))
          tot[c].num = r[c].num;
      break;
    }
  }
  return tot;
}

std::string TReportTable::CellText(const TReportCell &cell, size_t column) const {
  if (column >= columns.size()) return {};
  const TReportColumn &col = columns[column];
  if (col.type == TCellType::Text || std::isnan(cell.num)) return cell.text;
  switch (col.type) {
  case TCellType::DateTime:
    return cell.text + dt2s(cell.num, cell.num == std::floor(cell.num) && col.key == "day"
                                          ? "dd.mm.yyyy"
                                          : "dd.mm.yyyy hh:nn:ss");
  case TCellType::Duration:
    return dur2s(static_cast<int32_t>(std::clamp(std::round(cell.num), -2e9, 2e9)));
  case TCellType::Number:
    return f2s(cell.num, std::max(col.decimals, 1));
  case TCellType::Count:
    return std::to_string(static_cast<long long>(std::llround(cell.num)));
  default:
    return cell.text;
  }
}

TReportTable MakeReportTable(TReportKind kind, const TReportBuilder &b, const std::string &objects,
                             const TReportText &text, const TReportAddress &address,
                             const TDisplayUnits &units) {
  TReportTable t;
  t.kind = kind;
  t.totalLabel = Tr(text, "report_total", "Total");
  t.title = ReportKindName(kind, text) + ": " + objects + ", " + dt2s(b.Dt1(), "dd.mm.yyyy hh:nn") +
            " - " + dt2s(b.Dt2(), "dd.mm.yyyy hh:nn");
  auto col = [&](const char *key, const char *def, TCellType type, TTotalKind total,
                 int decimals = 0) {
    t.columns.push_back({key, Tr(text, key, def), type, decimals, total});
  };
  // Distances and speeds in the display units, named in the title ("Distance, %s").
  auto unitCol = [&](const char *key, const char *def, const std::string &unit, TTotalKind total,
                     int decimals) {
    col(key, def, TCellType::Number, total, decimals);
    t.columns.back().title = ReplaceSubstr(t.columns.back().title, "%s", unit);
  };
  auto distance = [&](double metres) { return Num(units.LongDistance(metres)); };
  auto speed = [&](double kmh) { return Num(units.Speed(kmh)); };
  using C = TCellType;
  using K = TTotalKind;
  switch (kind) {
  case TReportKind::Trips:
    col("col_object", "Object", C::Text, K::Label);
    col("col_start", "Start", C::DateTime, K::None);
    col("col_start_place", "Start place", C::Text, K::None);
    col("col_end", "End", C::DateTime, K::None);
    col("col_end_place", "End place", C::Text, K::None);
    unitCol("col_distance", "Distance, %s", units.LongUnit(), K::Sum, 2);
    col("col_duration", "Duration", C::Duration, K::Sum);
    unitCol("col_avg_speed", "Average speed, %s", units.SpeedUnit(), K::None, 1);
    unitCol("col_max_speed", "Maximum speed, %s", units.SpeedUnit(), K::Max, 1);
    for (const TTripRow &r : b.Trips()) {
      t.rows.push_back({Txt(r.obj_name), Num(r.start_dt), Txt(PlaceText(r.start, address)),
                        Num(r.end_dt), Txt(PlaceText(r.end, address)), distance(r.distance),
                        Num(r.duration), speed(r.AvgSpeed()), speed(r.max_speed)});
      t.targets.push_back({r.obj_id, r.start_dt, r.end_dt, r.start.lat, r.start.lon});
    }
    break;
  case TReportKind::Stops:
    col("col_object", "Object", C::Text, K::Label);
    col("col_place", "Place", C::Text, K::None);
    col("col_arrival", "Arrival", C::DateTime, K::None);
    col("col_departure", "Departure", C::DateTime, K::None);
    col("col_duration", "Duration", C::Duration, K::Sum);
    for (const TStopRow &r : b.Stops()) {
      TReportCell arrival = Num(r.arrival), departure = Num(r.departure);
      if (r.openStart) arrival.text = kOpenMark;
      if (r.openEnd) departure.text = kOpenMark;
      t.rows.push_back({Txt(r.obj_name), Txt(PlaceText(r.place, address)), arrival, departure,
                        Num(r.Duration())});
      t.targets.push_back({r.obj_id, r.arrival, r.departure, r.place.lat, r.place.lon});
    }
    break;
  case TReportKind::Summary: {
    const std::vector<TSummaryRow> rows = b.Summary();
    col("col_object", "Object", C::Text, K::Label);
    col("day", "Day", C::DateTime, K::None);
    unitCol("col_distance", "Distance, %s", units.LongUnit(), K::Sum, 2);
    col("col_driving", "Driving", C::Duration, K::Sum);
    col("col_stopped", "Stopped", C::Duration, K::Sum);
    col("col_stops", "Stops", C::Count, K::Sum);
    unitCol("col_max_speed", "Maximum speed, %s", units.SpeedUnit(), K::Max, 1);
    col("col_alarms", "Alarms", C::Count, K::Sum);
    // A zone gets a column when some object was inside it.
    std::vector<size_t> zones;
    for (size_t z = 0; z < b.Zones().size(); ++z)
      if (std::any_of(rows.begin(), rows.end(), [z](const TSummaryRow &r) { return r.zoneSeconds[z] > 0; })) {
        zones.push_back(z);
        t.columns.push_back({"zone", b.Zones()[z].name, C::Duration, 0, K::Sum});
      }
    for (const TSummaryRow &r : rows) {
      std::vector<TReportCell> cells = {Txt(r.obj_name),     Num(r.day),     distance(r.distance),
                                        Num(r.driving),      Num(r.stopped), Num(r.stops),
                                        speed(r.max_speed), Num(r.alarms)};
      for (size_t z : zones) cells.push_back(Num(r.zoneSeconds[z]));
      t.rows.push_back(std::move(cells));
      t.targets.push_back({r.obj_id, r.day, r.day + 1, kNaN, kNaN});
    }
    break;
  }
  case TReportKind::Events:
    col("col_object", "Object", C::Text, K::Label);
    col("col_time", "Time", C::DateTime, K::None);
    col("col_kind", "Kind", C::Text, K::None);
    col("col_place", "Place", C::Text, K::None);
    col("col_value", "Value", C::Text, K::None);
    col("col_accepted", "Accepted", C::DateTime, K::None);
    col("col_message", "Message", C::Text, K::None);
    for (const TEventRow &r : b.Events()) {
      const bool accepted = !std::isnan(r.accept_dt) && r.accept_dt != 0;
      t.rows.push_back({Txt(r.obj_name), Num(r.dt), Txt(r.kind), Txt(PlaceText(r.place, address)),
                        Txt(r.value), Num(accepted ? r.accept_dt : kNaN), Txt(r.accept_msg)});
      t.targets.push_back({r.obj_id, r.dt - 1.0 / 24, r.dt + 1.0 / 24, r.place.lat, r.place.lon});
    }
    break;
  }
  return t;
}

namespace {

void AppendCsvCell(std::string &out, const std::string &s) {
  if (s.find_first_of(";\"\r\n") == std::string::npos) {
    out += s;
    return;
  }
  out += '"';
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

} // namespace

std::string WriteReportCsv(const std::string &fileName, const TReportTable &t) {
  TTextFileWriter file(fileName);
  if (!file.Ok()) return "cannot write " + fileName;
  std::string &out = file.Out();
  out += "\xEF\xBB\xBF";
  auto line = [&](const std::vector<std::string> &cells) {
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c > 0) out += ';';
      AppendCsvCell(out, cells[c]);
    }
    out += "\r\n";
    file.Wrote();
  };
  std::vector<std::string> cells;
  for (const auto &c : t.columns) cells.push_back(c.title);
  line(cells);
  auto rowCells = [&](const std::vector<TReportCell> &row) {
    cells.clear();
    for (size_t c = 0; c < t.columns.size(); ++c)
      cells.push_back(c < row.size() ? t.CellText(row[c], c) : std::string());
    line(cells);
  };
  for (const auto &row : t.rows) rowCells(row);
  rowCells(t.Totals());
  return file.Commit() ? std::string() : "cannot write " + fileName;
}

namespace {

std::string ColumnName(size_t c) {
  std::string s;
  for (size_t n = c + 1; n > 0; n = (n - 1) / 26) s.insert(s.begin(), char('A' + (n - 1) % 26));
  return s;
}

} // namespace

std::string WriteReportXlsx(const std::string &fileName, const TReportTable &t) {
  const std::string tmp = TempFileName(fileName);
  // Given to CommitWorkbook, which closes it, at the end; nothing returns before.
  lxw_workbook *const wb = workbook_new(tmp.c_str());
  if (!wb) return "cannot create " + tmp;
  lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
  lxw_format *bold = workbook_add_format(wb);
  format_set_bold(bold);
  lxw_format *head = workbook_add_format(wb);
  format_set_bold(head);
  format_set_bottom(head, LXW_BORDER_THIN);
  lxw_format *date = workbook_add_format(wb);
  format_set_num_format(date, "dd.mm.yyyy hh:mm:ss");
  lxw_format *day = workbook_add_format(wb);
  format_set_num_format(day, "dd.mm.yyyy");
  lxw_format *dur = workbook_add_format(wb);
  format_set_num_format(dur, "[h]:mm:ss");
  lxw_format *durTotal = workbook_add_format(wb);
  format_set_num_format(durTotal, "[h]:mm:ss");
  format_set_bold(durTotal);
  std::vector<lxw_format *> number(4), numberTotal(4);
  for (int d = 0; d < 4; ++d) {
    const std::string pattern = d == 0 ? "0" : "0." + std::string(size_t(d), '0');
    number[size_t(d)] = workbook_add_format(wb);
    format_set_num_format(number[size_t(d)], pattern.c_str());
    numberTotal[size_t(d)] = workbook_add_format(wb);
    format_set_num_format(numberTotal[size_t(d)], pattern.c_str());
    format_set_bold(numberTotal[size_t(d)]);
  }
  // A date with a mark before it (the open end of a stop) stays a date cell: the mark is a
  // literal of its number format, so the sheet shows it as the window and the CSV do.
  std::map<std::string, lxw_format *> markedDates;
  auto dateFormat = [&](const std::string &mark, bool wholeDay) {
    if (mark.empty()) return wholeDay ? day : date;
    const std::string pattern =
        "\"" + mark + "\"" + (wholeDay ? "dd.mm.yyyy" : "dd.mm.yyyy hh:mm:ss");
    lxw_format *&f = markedDates[pattern];
    if (!f) {
      f = workbook_add_format(wb);
      format_set_num_format(f, pattern.c_str());
    }
    return f;
  };
  auto numberFormat = [&](const TReportColumn &c, bool total) {
    const size_t d = size_t(std::clamp(c.type == TCellType::Count ? 0 : c.decimals, 0, 3));
    return total ? numberTotal[d] : number[d];
  };

  const size_t cols = t.columns.size();
  std::vector<double> widths(cols, 0);
  auto fit = [&widths](size_t c, double chars) { widths[c] = std::max(widths[c], chars); };
  worksheet_write_string(ws, 0, 0, t.title.c_str(), bold);
  constexpr lxw_row_t kHeader = 1, kFirst = 2;
  for (size_t c = 0; c < cols; ++c) {
    worksheet_write_string(ws, kHeader, lxw_col_t(c), t.columns[c].title.c_str(), head);
    fit(c, double(Utf8Length(t.columns[c].title)));
  }
  lxw_row_t row = kFirst;
  for (const auto &cells : t.rows) {
    for (size_t c = 0; c < cols && c < cells.size(); ++c) {
      const TReportColumn &col = t.columns[c];
      const TReportCell &cell = cells[c];
      const lxw_col_t x = lxw_col_t(c);
      if (col.type == TCellType::Text || std::isnan(cell.num)) {
        if (!cell.text.empty()) worksheet_write_string(ws, row, x, cell.text.c_str(), nullptr);
        fit(c, double(Utf8Length(cell.text)));
        continue;
      }
      switch (col.type) {
      case TCellType::DateTime: {
        // Date-times are day counts from 1899-12-30, the spreadsheet's own serial numbers.
        const bool wholeDay = col.key == "day";
        worksheet_write_number(ws, row, x, cell.num, dateFormat(cell.text, wholeDay));
        fit(c, (wholeDay ? 10 : 19) + double(Utf8Length(cell.text)));
        break;
      }
      case TCellType::Duration:
        worksheet_write_number(ws, row, x, cell.num / 86400, dur);
        fit(c, 9);
        break;
      default:
        worksheet_write_number(ws, row, x, cell.num, numberFormat(col, false));
        fit(c, double(t.CellText(cell, c).size()));
        break;
      }
    }
    ++row;
  }
  // The totals are formulas over the rows, with their values for readers that do not compute.
  const std::vector<TReportCell> tot = t.Totals();
  const lxw_row_t last = row; // the last data row, one-based
  for (size_t c = 0; c < cols; ++c) {
    const TReportColumn &col = t.columns[c];
    const lxw_col_t x = lxw_col_t(c);
    if (col.total == TTotalKind::Label) {
      worksheet_write_string(ws, row, x, tot[c].text.c_str(), bold);
      fit(c, double(Utf8Length(tot[c].text)));
      continue;
    }
    if (col.total == TTotalKind::None || std::isnan(tot[c].num)) continue;
    const std::string range = ColumnName(c) + std::to_string(kFirst + 1) + ":" + ColumnName(c) +
                              std::to_string(last);
    const std::string formula = (col.total == TTotalKind::Sum ? "=SUM(" : "=MAX(") + range + ")";
    const bool isDuration = col.type == TCellType::Duration;
    worksheet_write_formula_num(ws, row, x, formula.c_str(),
                                isDuration ? durTotal : numberFormat(col, true),
                                isDuration ? tot[c].num / 86400 : tot[c].num);
    fit(c, double(t.CellText(tot[c], c).size()));
  }
  for (size_t c = 0; c < cols; ++c)
    worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::min(widths[c], 60.0) + 2, nullptr);
  worksheet_freeze_panes(ws, kFirst, 0);

  return CommitWorkbook(wb, fileName);
}

} // namespace kelvra
