#include "ui/events/EventsModel.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

#include "core/app/Common.h"
#include "core/app/EventsLogic.h"
#include "core/app/MonitorLogic.h"
#include "core/model/EventInfo.h"

namespace kelvra {

namespace {

// The three row icons: a plain event (grey dot), an accepted alarm (green tick), an open alarm
// (red mark).
QIcon PaintEventIcon(int image) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  if (image == eiPlain) {
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    p.setBrush(QColor(0xb0, 0xb0, 0xb0));
    p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
  } else if (image == eiAccepted) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x9d, 0x3c));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5.5)}));
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0x20, 0x20));
    QPainterPath tri;
    tri.moveTo(8, 1);
    tri.lineTo(15, 14.5);
    tri.lineTo(1, 14.5);
    tri.closeSubpath();
    p.drawPath(tri);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
    p.drawPoint(QPointF(8, 12.5));
  }
  return QIcon(pm);
}

const QIcon &EventIcon(int image) {
  static const QIcon icons[] = {PaintEventIcon(eiPlain), PaintEventIcon(eiAccepted),
                                PaintEventIcon(eiOpenAlarm)};
  return icons[image == eiPlain ? 0 : image == eiAccepted ? 1 : 2];
}

} // namespace

TEventsModel::TEventsModel(QObject *parent) : QAbstractTableModel(parent) {}

void TEventsModel::SetEvents(std::vector<const TEventInfo *> events) {
  beginResetModel();
  fEvents = std::move(events);
  endResetModel();
}

const TEventInfo *TEventsModel::EventAt(int row) const {
  return row >= 0 && row < static_cast<int>(fEvents.size()) ? fEvents[row] : nullptr;
}

int TEventsModel::RowOf(const TEventInfo *ei) const {
  auto it = std::find(fEvents.begin(), fEvents.end(), ei);
  return it == fEvents.end() ? -1 : static_cast<int>(it - fEvents.begin());
}

void TEventsModel::RefreshAll() {
  if (!fEvents.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int TEventsModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fEvents.size());
}

int TEventsModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fHeaders.size());
}

QVariant TEventsModel::data(const QModelIndex &index, int role) const {
  const TEventInfo *ei = EventAt(index.row());
  if (!ei) return {};
  const TTrapInfo *ti = findTrap ? findTrap(ei->trap_id) : nullptr;
  if (role == Qt::DecorationRole && index.column() == 0)
    return EventIcon(EventImageIndex(*ei, ti, eventList));
  if (role != Qt::DisplayRole) return {};
  const TObjectInfo *oi = findObject ? findObject(ei->obj_id) : nullptr;
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
