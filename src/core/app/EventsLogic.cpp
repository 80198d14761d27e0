#include "core/app/EventsLogic.h"

#include <climits>
#include <cmath>

#include "core/client/client.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

template <class T> int Cmp(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

// NaN sorts as the smallest date, so that a list with unset dates keeps a total order.
int CmpDt(TDateTime a, TDateTime b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
  return Cmp(a, b);
}

} // namespace


TDateTime EventTime(const TEventInfo &ei) { return DtDefined(ei.h_obj_dt) ? ei.h_obj_dt : ei.h_sys_dt; }

int CompareEvents(const TEventInfo *ei1, const TEventInfo *ei2, int column) {
  if (!ei1 || !ei2) return 0;
  switch (column) {
  case 0:
    return Cmp(ei1->obj_id, ei2->obj_id);
  case 1:
    if (!DtDefined(ei1->h_obj_dt) || !DtDefined(ei2->h_obj_dt))
      return CmpDt(ei1->h_sys_dt, ei2->h_sys_dt);
    return CmpDt(ei1->h_obj_dt, ei2->h_obj_dt);
  case 2:
    return CmpDt(ei1->c_obj_dt, ei2->c_obj_dt);
  case 5:
    return CmpDt(ei1->accept_dt, ei2->accept_dt);
  case 3:
  case 4:
    return Cmp(ei1->uid, ei2->uid);
  default:
    return 0;
  }
}

int EventImageIndex(const TEventInfo &ei, const TTrapInfo *trap, bool eventList) {
  if (!trap || (eventList && !trap->is_alarm)) return eiPlain;
  return DtDefined(ei.accept_dt) ? eiAccepted : eiOpenAlarm;
}

int MarkEventAccepted(TKelvraClient &client, int uid, TDateTime dt, const std::string &msg) {
  int n = 0;
  auto mark = [&](TEventInfo *ei) {
    if (!ei || ei->uid != uid) return;
    ei->accept_dt = dt;
    ei->accept_msg = msg;
    ++n;
  };
  for (const auto &ei : client.EventList())
    mark(ei.get());
  for (const auto &oi : client.ObjList())
    if (oi)
      for (const auto &ei : oi->alarms)
        mark(ei.get());
  return n;
}

TPeriod EventsPeriod(TDateTime dt1, TDateTime dt2, TDateTime now) {
  if (dt1 == 0) dt1 = std::floor(now);
  if (std::isnan(dt1) || std::isnan(dt2) || !(dt1 < dt2)) {
    if (std::isnan(dt1)) dt1 = std::floor(now);
    dt2 = std::floor(dt1) + 0.999999;
  }
  return {dt1, dt2};
}

bool EventsNeedReload(TDateTime now, TDateTime dt1, TDateTime dt2) {
  if (!DtDefined(dt1) || now <= dt1) return false;
  return !DtDefined(dt2) || now < dt2;
}

TPeriod EventTrackPeriod(const TEventInfo &ei) {
  if (!DtDefined(ei.h_obj_dt)) return {};
  return {ei.h_obj_dt, DtDefined(ei.c_obj_dt) ? ei.c_obj_dt : ei.h_obj_dt + 1.0 / 24};
}

TPeriod LastHours(TDateTime now, int hours) {
  if (hours < 1) hours = 1;
  return {now - hours / 24.0, now};
}

bool TShowTrackArgs::Requestable() const { return obj_id > 0 && DtDefined(dt1) && DtDefined(dt2); }

TShowTrackArgs ParseShowTrackArgs(const std::vector<std::string> &args) {
  TShowTrackArgs r;
  auto date = [](const std::string &text) {
    const TDateTime dt = StrToDt(Trim(text));
    return dt == 0 ? std::nan("") : dt;
  };
  auto int32 = [](const std::string &text) {
    const int64_t v = s2i(Trim(text), 0);
    return v < INT_MIN || v > INT_MAX ? 0 : static_cast<int>(v);
  };
  for (size_t i = 0; i < args.size(); i += 2) {
    const std::string name = LowerCase(Trim(args[i]));
    const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
    if (name == "name")
      r.name = value;
    else if (name == "obj_id")
      r.obj_id = int32(value);
    else if (name == "dt1")
      r.dt1 = date(value);
    else if (name == "dt2")
      r.dt2 = date(value);
    else if (name == "mode")
      r.mode = int32(value);
  }
  return r;
}

int RowAfterDelete(int row, int count) {
  if (row < 0 || row >= count || count <= 1) return -1;
  return row + 1 < count ? row : row - 1; // indexes after the row is gone
}

} // namespace kelvra
