#pragma once
// The alarms and events pages of the main window: the alarms of the selected object and the
// events of a period, in the same six columns, icons and order; accepting, the period request,
// and the double-click actions (the track around an event, its trap, acceptance).

#include <QObject>
#include <QSortFilterProxyModel>
#include <functional>
#include <string>

#include "core/util/LumDates.h"
#include "core/util/LumFormat.h"

class QPoint;
class QTreeView;
class QWidget;

namespace kelvra {

class TEventInfo;
class TEventsModel;
class TKelvraClient;
class TTrapInfo;

// Orders event rows by CompareEvents of the sorted column.
class TEventsSortProxy : public QSortFilterProxyModel {
  Q_OBJECT
public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
  bool lessThan(const QModelIndex &l, const QModelIndex &r) const override;
};

struct TEventsHost {
  std::function<void(const std::string &text)> Log;
  std::function<void(const TEventInfo *ei)> RequestEventTrack;
  std::function<void(TTrapInfo *trap)> ShowTrap;
};

class TEventsPanel : public QObject {
  Q_OBJECT
public:
  // The client outlives the panel's use of it; the pages are made for the main window's tabs.
  TEventsPanel(TKelvraClient &client, TEventsHost host, QWidget *owner);

  QWidget *AlarmPage() const { return fAlarmPage; }
  QWidget *EventPage() const { return fEventPage; }
  QTreeView *AlarmList() const { return fAlarmList; }
  QTreeView *EventList() const { return fEventList; }
  TEventsModel *Alarms() const { return fAlarms; }
  TEventsModel *Events() const { return fEvents; }

  void LoadEvents(TDateTime dt1, TDateTime dt2);
  void UpdateEvents();
  // Whether the events' period still runs (the update cycle reloads them then), and that period.
  bool EventsDue(TDateTime &dt1, TDateTime &dt2) const;
  // Rebuilds the rows around request, which replaces the client's event list (or keeps it when it
  // fails) and returns what GetEvents returns; the selection is kept.
  void ReloadWith(const std::function<int()> &request);
  // The period dialog at pos (its right or bottom edge there where rel is negative), centred
  // when pos is (0, 0); confirmed, the events of that period.
  void RequestEvents(const QPoint &pos, const QPoint &rel);
  bool AcceptEvent(const TEventInfo *ei);
  // The event rows go (before the client's records do).
  void ClearEvents();
  // The selected row of a list, null when none.
  const TEventInfo *Selected(QTreeView *list) const;
  // A double click on a cell of either list.
  void CellDoubleClicked(QTreeView *list, const QModelIndex &proxyIndex);
  // The events page focuses its last row when none is focused.
  void EventsPageShown();
  // Makes the row of the event uid current in a list; false when the list does not hold it.
  bool Select(QTreeView *list, int uid);

private:
  void Log(const std::string &text) const;
  void Log(const std::string &fmt, const TFmtArgs &args) const { Log(Format(fmt, args)); }
  QTreeView *MakeList(QWidget *page, const char *name, TEventsModel *model);

  TKelvraClient &fClient;
  TEventsHost fHost;
  QWidget *fOwner;
  QWidget *fAlarmPage, *fEventPage;
  TEventsModel *fAlarms, *fEvents;
  QTreeView *fAlarmList, *fEventList;
};

} // namespace kelvra
