#include "ui/shell/EventsModel.h"

#include "core/app/Common.h"
#include "core/app/MonitorLogic.h"
#include "core/model/EventInfo.h"

namespace kelvra {

TEventsModel::TEventsModel(QObject *parent) : QAbstractTableModel(parent) {}

void TEventsModel::SetEvents(std::vector<const TEventInfo *> events) {
  beginResetModel();
  fEvents = std::move(events);
  endResetModel();
}

const TEventInfo *TEventsModel::EventAt(int row) const {
  return row >= 0 && row < static_cast<int>(fEvents.size()) ? fEvents[row] : nullptr;
}

int TEventsModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fEvents.size());
}

int TEventsModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fHeaders.size());
}

QVariant TEventsModel::data(const QModelIndex &index, int role) const {
  const TEventInfo *ei = EventAt(index.row());
  if (!ei || role != Qt::DisplayRole) return {};
  const TObjectInfo *oi = findObject ? findObject(ei->obj_id) : nullptr;
  const TTrapInfo *ti = findTrap ? findTrap(ei->trap_id) : nullptr;
  return QString::fromStdString(EventText(*ei, oi, ti, index.column(), UserLevel));
}

QVariant TEventsModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < fHeaders.size())
    return fHeaders[section];
  return {};
}

bool TEventsModel::setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) {
  if (o != Qt::Horizontal || role != Qt::EditRole || section < 0 || section >= fHeaders.size())
    return false;
  fHeaders[section] = value.toString();
  emit headerDataChanged(o, section, section);
  return true;
}

} // namespace kelvra
