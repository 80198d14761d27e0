#include "core/app/AlarmNotifier.h"
#include "core/util/LumDates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "core/app/EventsLogic.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

bool Newer(const TOpenAlarm &a, const TOpenAlarm &b) {
  return a.time != b.time ? a.time > b.time : a.event_uid > b.event_uid;
}

std::string Number(double v) {
  if (std::isnan(v)) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return buf;
}

std::string OneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return s;
}
} // namespace

std::vector<TOpenAlarm> OpenAlarms(const std::vector<const TObjectInfo *> &objects,
                                   const std::function<const TTrapInfo *(int)> &findTrap) {
  std::vector<TOpenAlarm> r;
  for (const TObjectInfo *oi : objects) {
    if (!oi) continue;
    for (const auto &ei : oi->alarms) {
      if (!ei || DtDefined(ei->accept_dt)) continue;
      TOpenAlarm a;
      a.event_uid = ei->uid;
      a.obj_id = oi->uid;
      a.object = oi->name;
      a.time = EventTime(*ei);
      if (const TTrapInfo *ti = findTrap ? findTrap(ei->trap_id) : nullptr)
        a.text = OneLine(TrapText(*ti, *ei, oi->name));
      r.push_back(std::move(a));
    }
  }
  std::sort(r.begin(), r.end(), Newer);
  return r;
}

bool NotifyAlarmsOn(const std::string &value) {
  const std::string v = Trim(value);
  return v.empty() || std::string_view("1TtYyOo").find(v[0]) != std::string_view::npos;
}

std::string FillTrapTemplate(const std::string &tmpl, const TTrapInfo &ti, const TEventInfo &ei,
                             const std::string &object) {
  const TDateTime time = EventTime(ei);
  const std::pair<const char *, std::string> values[] = {
      {"{{.object}}", object},        {"{{.target}}", ti.TargetName()},
      {"{{.tval}}", ti.val},          {"{{.sval}}", ei.h_sval},
      {"{{.lat}}", Number(ei.h_lat)}, {"{{.lon}}", Number(ei.h_lon)},
      {"{{.time}}", DtDefined(time) ? dt2s(time) : std::string()}};
  std::string r;
  for (size_t i = 0; i < tmpl.size();) {
    bool filled = false;
    for (const auto &[key, value] : values)
      if (tmpl.compare(i, std::char_traits<char>::length(key), key) == 0) {
        r += value;
        i += std::char_traits<char>::length(key);
        filled = true;
        break;
      }
    if (!filled) r += tmpl[i++];
  }
  return r;
}

std::string TrapText(const TTrapInfo &ti, const TEventInfo &ei, const std::string &object) {
  if (!Trim(ti.subj).empty()) return FillTrapTemplate(ti.subj, ti, ei, object);
  if (!Trim(ti.msg).empty()) return FillTrapTemplate(ti.msg, ti, ei, object);
  const std::string target = ti.TargetName();
  return ti.TargetType() + (target.empty() ? "" : ":" + target) + " " + ti.Condition();
}

int TAlarmBatch::Alarms() const {
  int n = 0;
  for (const TAlarmNote &note : notes)
    n += 1 + note.more;
  return n;
}

TAlarmBatch TAlarmNotifier::Update(const std::vector<TOpenAlarm> &open, double nowSeconds) {
  std::set<int> now;
  for (const TOpenAlarm &a : open)
    now.insert(a.event_uid);
  TAlarmBatch batch;
  if (!fPrimed) {
    fPrimed = true;
    fKnown = std::move(now);
    return batch;
  }
  // What waits and is no longer open (accepted, completed) is no news any more.
  for (auto &[obj, waiting] : fWaiting)
    std::erase_if(waiting, [&](const TOpenAlarm &a) { return !now.count(a.event_uid); });
  for (const TOpenAlarm &a : open)
    if (!fKnown.count(a.event_uid)) fWaiting[a.obj_id].push_back(a);
  fKnown = std::move(now);

  for (auto it = fWaiting.begin(); it != fWaiting.end();) {
    std::vector<TOpenAlarm> &waiting = it->second;
    auto last = fLastNote.find(it->first);
    const bool due = last == fLastNote.end() || nowSeconds - last->second >= kObjectSeconds;
    if (waiting.empty() || !due) {
      it = waiting.empty() ? fWaiting.erase(it) : std::next(it);
      continue;
    }
    std::sort(waiting.begin(), waiting.end(), Newer);
    batch.notes.push_back({waiting.front(), static_cast<int>(waiting.size()) - 1});
    fLastNote[it->first] = nowSeconds;
    it = fWaiting.erase(it);
  }
  std::sort(batch.notes.begin(), batch.notes.end(),
            [](const TAlarmNote &a, const TAlarmNote &b) { return Newer(a.alarm, b.alarm); });
  return batch;
}

void TAlarmNotifier::Reset() { *this = TAlarmNotifier(); }

} // namespace kelvra
