#pragma once
// Rows of events (not owned: the alarms of an object or the client's event list) in the six
// columns of the alarm and event lists.

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <vector>

namespace kelvra {

class TEventInfo;
class TObjectInfo;
class TTrapInfo;

class TEventsModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit TEventsModel(QObject *parent = nullptr);
  void SetEvents(std::vector<const TEventInfo *> events);
  void Clear() { SetEvents({}); }
  const TEventInfo *EventAt(int row) const;
  int RowOf(const TEventInfo *ei) const;
  // Repaints every row (after an acceptance changed records in place).
  void RefreshAll();
  // The icon rule of the event list (alarm traps only) instead of the alarm list's.
  bool eventList = false;

  // Where a row finds its object and trap (the client's caches).
  std::function<const TObjectInfo *(int uid)> findObject;
  std::function<const TTrapInfo *(int uid)> findTrap;

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override;

private:
  std::vector<const TEventInfo *> fEvents;
  QStringList fHeaders{"Object", "Happened", "Completion", "Condition", "Value", "Accepted"};
};

} // namespace kelvra
