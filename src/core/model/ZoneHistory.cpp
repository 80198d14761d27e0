#include "core/model/ZoneHistory.h"

#include <xlsxwriter.h>

#include "core/model/XlsxFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <system_error>

#include "core/model/ObjectInfo.h"
#include "core/util/LumFormat.h"
#include "core/util/LumStrings.h"
#include "core/util/TextFileWriter.h"

namespace kelvra {

int TVisitInfo::Duration() const {
  const double s = (end_dt - start_dt) * 86400;
  // A clock rounding error must not take a second off a whole duration.
  return std::isfinite(s) ? int(std::trunc(s + 1e-6)) : 0;
}

std::string TVisitInfo::ObjectName() const {
  return !obj_name.empty() ? obj_name : "#" + std::to_string(obj_id);
}

TVisitList BuildVisits(std::vector<std::unique_ptr<TTrackPointInfo>> &history,
                       const TFindObject &findObject) {
  std::stable_sort(history.begin(), history.end(),
                   [](const auto &a, const auto &b) { return a->Compare(*b) < 0; });
  TVisitList visits;
  TVisitInfo *cur = nullptr;
  for (const auto &p : history) {
    if (cur && cur->obj_id == p->obj_id && std::fabs(p->obj_dt - cur->end_dt) <= 1.0 / 24) {
      if (p->obj_dt < cur->start_dt) cur->start_dt = p->obj_dt;
      if (p->obj_dt > cur->end_dt) cur->end_dt = p->obj_dt;
    } else {
      auto v = std::make_unique<TVisitInfo>();
      v->obj_id = p->obj_id;
      if (const TObjectInfo *oi = findObject ? findObject(p->obj_id) : nullptr) v->obj_name = oi->name;
      v->start_dt = v->end_dt = p->obj_dt;
      cur = v.get();
      visits.push_back(std::move(v));
    }
    cur->points.push_back(p.get());
  }
  return visits;
}

std::string ZoneHistoryCaption(const std::string &pattern, const std::string &zoneName,
                               TDateTime dt1, TDateTime dt2) {
  const bool oneDay = std::floor(dt1) == std::floor(dt2);
  const std::string sep = oneDay ? " " : " .. ";
  const std::string rest =
      oneDay ? dt2s(dt1, "hh:nn") + ".." + dt2s(dt2, "hh:nn") : dt2s(dt2, "dd.mm.yyyy");
  return Format(pattern, {zoneName, dt2s(dt1, "dd.mm.yyyy"), sep, rest});
}

std::vector<TVisitGroup> GroupVisits(const TVisitList &visits) {
  std::vector<TVisitGroup> groups;
  std::map<int, size_t> index;
  for (size_t i = 0; i < visits.size(); ++i) {
    const int uid = visits[i]->obj_id;
    auto [it, added] = index.emplace(uid, groups.size());
    if (added) groups.push_back({uid, {}});
    groups[it->second].visits.push_back(i);
  }
  return groups;
}

std::string VisitsText(const std::string &caption, const TVisitList &visits) {
  std::string s = caption + "\r\n";
  for (const auto &v : visits)
    s += v->ObjectName() + "\t" + dt2s(v->start_dt) + "\t" + dur2s(v->Duration(), 2) + "\r\n";
  return s;
}

std::string VisitsCsv(const TVisitList &visits) {
  std::string s = "\xEF\xBB\xBF"
                  "obj_id;obj_name;start_dt;duration;\r\n";
  for (const auto &v : visits)
    s += std::to_string(v->obj_id) + ";" + v->ObjectName() + ";" + dt2s(v->start_dt) + ";" +
         std::to_string(v->Duration()) + ";\r\n";
  return s;
}

std::string WriteVisitsXlsx(const std::string &fileName, const std::string &caption,
                            const TVisitList &visits) {
  const std::string tmp = TempFileName(fileName);
  lxw_workbook *wb = workbook_new(tmp.c_str());
  if (!wb) return "cannot create " + tmp;
  lxw_worksheet *ws = workbook_add_worksheet(wb, "Visits");
  lxw_format *bold = workbook_add_format(wb);
  format_set_bold(bold);
  lxw_format *date = workbook_add_format(wb);
  format_set_num_format(date, "dd.mm.yyyy hh:mm:ss");
  lxw_format *dur = workbook_add_format(wb);
  format_set_num_format(dur, "[h]:mm:ss");

  const std::vector<std::string> header = {"obj_id", "obj_name", "start_dt", "end_dt", "duration"};
  std::vector<double> widths(header.size(), 0);
  auto fit = [&widths](size_t col, double chars) { widths[col] = std::max(widths[col], chars); };
  worksheet_write_string(ws, 0, 0, caption.c_str(), bold);
  for (size_t c = 0; c < header.size(); ++c) {
    worksheet_write_string(ws, 1, lxw_col_t(c), header[c].c_str(), bold);
    fit(c, double(header[c].size()));
  }
  lxw_row_t row = 2;
  for (const auto &v : visits) {
    const std::string name = v->ObjectName();
    // Date-times are day counts from 1899-12-30, the spreadsheet's own serial numbers.
    worksheet_write_number(ws, row, 0, v->obj_id, nullptr);
    worksheet_write_string(ws, row, 1, name.c_str(), nullptr);
    worksheet_write_number(ws, row, 2, v->start_dt, date);
    worksheet_write_number(ws, row, 3, v->end_dt, date);
    worksheet_write_number(ws, row, 4, v->Duration() / 86400.0, dur);
    fit(0, double(std::to_string(v->obj_id).size()));
    fit(1, double(Utf8Length(name)));
    fit(2, 19);
    fit(3, 19);
    fit(4, 10);
    ++row;
  }
  for (size_t c = 0; c < widths.size(); ++c)
    worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[c] + 2, nullptr);
  return CommitWorkbook(wb, fileName);
}

} // namespace kelvra
