#pragma once
// Which open alarms are news for the desktop notification. An alarm is news when it was not in
// the previous list; the alarms open at sign-in are the first list and are not news (the list
// shows them). No object notifies more than once a minute: what comes sooner waits and is told
// with the object's next notification as "and N more".

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/util/LumDates.h"

namespace kelvra {

class TEventInfo;
class TObjectInfo;
class TTrapInfo;

// The setting "notify_alarms": on unless it says otherwise ("false", "0", "no").
bool NotifyAlarmsOn(const std::string &value);

struct TOpenAlarm {
  int event_uid = 0;
  int obj_id = 0;
  std::string object; // the object's name
  std::string text;   // TrapText, on one line
  TDateTime time = 0; // when it happened (device time, else service time)
};

// A trap's notification template with its placeholders ("{{.object}}", "{{.target}}", "{{.tval}}",
// "{{.sval}}", "{{.lat}}", "{{.lon}}", "{{.time}}") filled from the event; other text stays.
std::string FillTrapTemplate(const std::string &tmpl, const TTrapInfo &ti, const TEventInfo &ei,
                             const std::string &object);
// What a notification says of an alarm: the trap's subject filled in, else its message, else
// its target and condition as the lists show them.
std::string TrapText(const TTrapInfo &ti, const TEventInfo &ei, const std::string &object);

// The open (not accepted) alarms of the objects, newest first; `findTrap` may give null.
std::vector<TOpenAlarm> OpenAlarms(const std::vector<const TObjectInfo *> &objects,
                                   const std::function<const TTrapInfo *(int uid)> &findTrap);

// One notification: an object's newest alarm, and how many more of its alarms it stands for.
struct TAlarmNote {
  TOpenAlarm alarm;
  int more = 0;
};

struct TAlarmBatch {
  std::vector<TAlarmNote> notes; // at most one per object, newest alarm first
  bool Empty() const { return notes.empty(); }
  int Alarms() const; // notes plus their "more"
};

class TAlarmNotifier {
public:
  static constexpr double kObjectSeconds = 60;

  // The open alarms after a refresh, on a clock in seconds that only moves forward.
  TAlarmBatch Update(const std::vector<TOpenAlarm> &open, double nowSeconds);
  // After sign-out the next list is a first list again.
  void Reset();
  int OpenCount() const { return static_cast<int>(fKnown.size()); }

private:
  bool fPrimed = false;
  std::set<int> fKnown;                            // event uids of the previous list
  std::map<int, double> fLastNote;                 // object uid -> its last notification
  std::map<int, std::vector<TOpenAlarm>> fWaiting; // object uid -> news held back
};

} // namespace kelvra
