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
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include "core/util/TextFileWriter.h"

namespace kelvra {

int TVisitInfo::Duration() const {
  const double s = start_utc != 0 && end_utc != 0 ? (end_utc - start_utc) * 86400 : (end_dt - start_dt) * 86400;
  // A clock rounding error must not take a second off a whole duration: to the millisecond first.
  return std::isfinite(s) ? int(std::trunc(std::round(s * 1000) / 1000)) : 0;
}

std::string TVisitInfo::ObjectName() const {
  return !obj_name.empty() ? obj_name : "#" + std::to_string(obj_id);
}

TVisitList BuildVisits(std::vector<std::unique_ptr<TTrackPointInfo>> &history,
                       const TFindObject &findObject, const TDisplayZone &clock) {
  // The moment of each point: the times are on the display clock, where the hour repeated when
  // clocks go back comes twice. Read in the order the service sent them (each object's in time
  // order), a time of that hour after a later moment of the same object is its second pass.
  const size_t n = history.size();
  std::vector<TDateTime> moment(n);
  std::map<int, TDateTime> lastOf;
  for (size_t i = 0; i < n; ++i) {
    const TTrackPointInfo &p = *history[i];
    if (clock.IsFixed()) {
      moment[i] = p.obj_dt; // one offset: the times themselves keep order and distance
      continue;
    }
    auto it = lastOf.find(p.obj_id);
    moment[i] = it == lastOf.end() ? clock.ToUtc(p.obj_dt) : clock.ToUtc(p.obj_dt, it->second);
    if (std::isfinite(moment[i]) && (it == lastOf.end() || moment[i] > it->second)) lastOf[p.obj_id] = moment[i];
  }
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const TTrackPointInfo &pa = *history[a], &pb = *history[b];
    if (pa.obj_id != pb.obj_id) return pa.obj_id < pb.obj_id;
    if (moment[a] != moment[b]) return cmp(moment[a], moment[b]) < 0;
    return pa.Compare(pb) < 0;
  });
  std::vector<std::unique_ptr<TTrackPointInfo>> sorted(n);
  std::vector<TDateTime> sortedMoment(n);
  for (size_t i = 0; i < n; ++i) {
    sorted[i] = std::move(history[order[i]]);
    sortedMoment[i] = moment[order[i]];
  }
  history = std::move(sorted);

  TVisitList visits;
  TVisitInfo *cur = nullptr;
  for (size_t i = 0; i < n; ++i) {
    const auto &p = history[i];
    const TDateTime at = sortedMoment[i];
    if (cur && cur->obj_id == p->obj_id && std::fabs(at - cur->end_utc) <= 1.0 / 24) {
      if (at < cur->start_utc) cur->start_dt = p->obj_dt, cur->start_utc = at;
      if (at > cur->end_utc) cur->end_dt = p->obj_dt, cur->end_utc = at;
    } else {
      auto v = std::make_unique<TVisitInfo>();
      v->obj_id = p->obj_id;
      if (const TObjectInfo *oi = findObject ? findObject(p->obj_id) : nullptr) v->obj_name = oi->name;
      v->start_dt = v->end_dt = p->obj_dt;
      v->start_utc = v->end_utc = at;
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

TZoneHistory MakeZoneHistory(std::vector<std::unique_ptr<TTrackPointInfo>> &&points,
                             const std::function<std::string(int uid)> &objectName,
                             const TDisplayZone &clock) {
  TZoneHistory h;
  h.Points = std::move(points);
  h.Visits = BuildVisits(h.Points, nullptr, clock);
  if (objectName)
    for (auto &v : h.Visits)
      v->obj_name = objectName(v->obj_id);
  h.Groups = GroupVisits(h.Visits);
  return h;
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
