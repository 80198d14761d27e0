#include "ui/objects/ObjectsModel.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "core/app/MonitorLogic.h"
#include "core/model/ObjectInfo.h"

namespace kelvra {

namespace {
constexpr quintptr kTopRow = 0;
constexpr quintptr kChildRow = 1;

bool HasTime(const TObjectInfo &oi) {
  const double dt = oi.last_point ? oi.last_point->sys_dt : NAN;
  return !std::isnan(dt) && dt != 0;
}
} // namespace

TObjectsModel::TObjectsModel(QObject *parent) : QAbstractItemModel(parent) {}
TObjectsModel::~TObjectsModel() = default;

int TObjectsModel::Load(const std::vector<const TObjectInfo *> &objects) {
  beginResetModel();
  fTop.clear();
  fDeleted.clear();
  fChecked.clear();
  fGroup.reset();
  for (const TObjectInfo *c : objects) {
    auto *oi = const_cast<TObjectInfo *>(c); // rows hand the cached record on to the actions
    if (oi->is_deleted) {
      if (!fGroup) fGroup = std::make_unique<TObjectInfo>(0, std::string());
      fGroup->name = "Deleted"; // the word as written, never translated
      fDeleted.push_back(oi);
    } else {
      fTop.push_back(oi);
    }
  }
  auto less = [](const TObjectInfo *a, const TObjectInfo *b) { return CompareObjectInfo(a, b) < 0; };
  std::stable_sort(fTop.begin(), fTop.end(), less);
  std::stable_sort(fDeleted.begin(), fDeleted.end(), less);
  if (fGroup) fTop.push_back(fGroup.get());
  // Rows are found by record and by uid in one lookup, however long the list.
  fRowOf.clear();
  fByUid.clear();
  fRowOf.reserve(fTop.size() + fDeleted.size());
  for (int i = 0; i < static_cast<int>(fTop.size()); ++i)
    fRowOf[fTop[i]] = {i, false};
  for (int i = 0; i < static_cast<int>(fDeleted.size()); ++i)
    fRowOf[fDeleted[i]] = {i, true};
  for (const auto *rows : {&fTop, &fDeleted})
    for (TObjectInfo *oi : *rows)
      if (oi != fGroup.get() && oi->uid > 0) fByUid.emplace(oi->uid, oi); // the first row wins
  endResetModel();
  return static_cast<int>(objects.size());
}

void TObjectsModel::Clear() { Load({}); }

int TObjectsModel::AddObjects(const std::vector<const TObjectInfo *> &objects) {
  const auto kept = fChecked;
  const int n = Load(objects);
  for (const TObjectInfo *oi : kept)
    if (IndexOf(oi).isValid()) fChecked.insert(oi);
  if (!fChecked.empty()) RefreshAll(); // the tick boxes
  return n;
}

void TObjectsModel::RefreshAll() {
  if (fTop.empty()) return;
  emit dataChanged(index(0, 0), index(static_cast<int>(fTop.size()) - 1, 0));
  if (fGroup && !fDeleted.empty()) {
    const QModelIndex g = IndexOf(fGroup.get());
    emit dataChanged(index(0, 0, g), index(static_cast<int>(fDeleted.size()) - 1, 0, g));
  }
}

void TObjectsModel::RefreshObject(const TObjectInfo *oi) {
  const QModelIndex i = IndexOf(oi);
  if (i.isValid()) emit dataChanged(i, i);
}

TObjectInfo *TObjectsModel::ObjectAt(const QModelIndex &i) const {
  if (!i.isValid()) return nullptr;
  const auto &rows = i.internalId() == kChildRow ? fDeleted : fTop;
  return i.row() < static_cast<int>(rows.size()) ? rows[i.row()] : nullptr;
}

QModelIndex TObjectsModel::IndexOf(int uid) const {
  if (uid <= 0) return {};
  auto it = fByUid.find(uid);
  return it == fByUid.end() ? QModelIndex() : IndexOf(it->second);
}

QModelIndex TObjectsModel::IndexOf(const TObjectInfo *oi) const {
  if (!oi) return {};
  auto it = fRowOf.find(oi);
  if (it == fRowOf.end()) return {};
  return createIndex(it->second.first, 0, it->second.second ? kChildRow : kTopRow);
}

bool TObjectsModel::SetChecked(const TObjectInfo *oi, bool on) {
  return setData(IndexOf(oi), on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

std::vector<TObjectInfo *> TObjectsModel::Objects() const {
  std::vector<TObjectInfo *> r;
  for (TObjectInfo *oi : fTop)
    if (oi != fGroup.get()) r.push_back(oi);
  r.insert(r.end(), fDeleted.begin(), fDeleted.end());
  return r;
}

QModelIndex TObjectsModel::index(int row, int column, const QModelIndex &parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid())
    return row < static_cast<int>(fTop.size()) ? createIndex(row, 0, kTopRow) : QModelIndex();
  if (parent.internalId() == kTopRow && fGroup && fTop[parent.row()] == fGroup.get() &&
      row < static_cast<int>(fDeleted.size()))
    return createIndex(row, 0, kChildRow);
  return {};
}

QModelIndex TObjectsModel::parent(const QModelIndex &child) const {
  if (!child.isValid() || child.internalId() != kChildRow || !fGroup) return {};
  return IndexOf(fGroup.get());
}

int TObjectsModel::rowCount(const QModelIndex &parent) const {
  if (!parent.isValid()) return static_cast<int>(fTop.size());
  if (parent.internalId() == kTopRow && fGroup && ObjectAt(parent) == fGroup.get())
    return static_cast<int>(fDeleted.size());
  return 0;
}

int TObjectsModel::columnCount(const QModelIndex &) const { return 1; }

QVariant TObjectsModel::data(const QModelIndex &i, int role) const {
  const TObjectInfo *oi = ObjectAt(i);
  if (!oi) return {};
  switch (role) {
  case Qt::DisplayRole: {
    QString s = QString::fromStdString(oi->name);
    if (oi->uid > 0)
      s += QLatin1Char('\n') +
           (HasTime(*oi) ? QString::fromStdString(dt2s(oi->last_point->sys_dt)) : QString());
    return s;
  }
  case Qt::CheckStateRole:
    if (oi->uid <= 0) return {};
    return IsChecked(oi) ? Qt::Checked : Qt::Unchecked;
  case Qt::UserRole:
    return oi->uid;
  default:
    return {};
  }
}

bool TObjectsModel::setData(const QModelIndex &i, const QVariant &value, int role) {
  TObjectInfo *oi = ObjectAt(i);
  if (!oi || oi->uid <= 0 || role != Qt::CheckStateRole) return false;
  const bool on = value.toInt() == Qt::Checked;
  if (on == IsChecked(oi)) return true;
  if (on)
    fChecked.insert(oi);
  else
    fChecked.erase(oi);
  emit dataChanged(i, i, {Qt::CheckStateRole});
  if (onChecking) onChecking(oi, on);
  return true;
}

Qt::ItemFlags TObjectsModel::flags(const QModelIndex &i) const {
  const TObjectInfo *oi = ObjectAt(i);
  if (!oi) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (oi->uid > 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant TObjectsModel::headerData(int section, Qt::Orientation o, int role) const {
  if (section == 0 && o == Qt::Horizontal && role == Qt::DisplayRole) return fHeader;
  return {};
}

bool TObjectsModel::setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) {
  if (section != 0 || o != Qt::Horizontal || role != Qt::EditRole) return false;
  fHeader = value.toString();
  emit headerDataChanged(o, 0, 0);
  return true;
}

// --- painting ---------------------------------------------------------------------------------

TObjectsDelegate::TObjectsDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QSize TObjectsDelegate::sizeHint(const QStyleOptionViewItem &opt, const QModelIndex &index) const {
  QSize s = QStyledItemDelegate::sizeHint(opt, index);
  const QString text = index.data(Qt::DisplayRole).toString();
  const int textHeight = opt.fontMetrics.lineSpacing() * (int(text.count(QLatin1Char('\n'))) + 1);
  s.setHeight(std::max(kObjectRowHeight, textHeight + 4));
  s.setWidth(s.width() + kObjectMarksWidth); // so that a column fitted to it shows the whole text
  return s;
}

void TObjectsDelegate::paint(QPainter *p, const QStyleOptionViewItem &opt,
                             const QModelIndex &index) const {
  QStyleOptionViewItem o = opt;
  o.rect.setRight(o.rect.right() - kObjectMarksWidth); // the text keeps clear of the marks
  QStyledItemDelegate::paint(p, o, index);
  // The view may show the list through a filter model.
  QModelIndex source = index;
  while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(source.model()))
    source = proxy->mapToSource(source);
  const auto *model = qobject_cast<const TObjectsModel *>(source.model());
  const TObjectInfo *oi = model ? model->ObjectAt(source) : nullptr;
  if (oi && index.column() == 0)
    PaintMarks(p, opt.rect, *oi, opt.state & QStyle::State_Selected);
}

void TObjectsDelegate::PaintMarks(QPainter *p, const QRect &cell, const TObjectInfo &oi,
                                  bool selected) const {
  if (!HasTime(oi)) return;
  constexpr int W = 16, H = 8;
  const int top = cell.top(), bottom = cell.bottom() + 1, right = cell.right() + 1;
  const int h = cell.height(), half = h / 2, quarter = h / 4;
  const QColor outline = selected ? colors.txtSel : colors.txt;
  p->save();
  p->setRenderHint(QPainter::Antialiasing, false);

  const int left = cell.left();
  if (!oi.alarms.empty()) p->fillRect(QRect(QPoint(left, top + 4), QPoint(left + 2, bottom - 5)), Qt::red);
  if (oi.trip_id > 0 && oi.trip_status < 2)
    p->fillRect(QRect(QPoint(left + 4, top + 4), QPoint(left + 6, bottom - 5)),
                oi.trip_status == 0 ? QColor(Qt::gray) : QColor(0, 0, 128));

  const TDateTime t = now ? now() : NowLocal();
  const int minutes = MessageAgeMinutes(t, oi.last_point->sys_dt, clock ? clock() : TDisplayZone());
  QColor age;
  switch (MessageAgeColor(minutes)) {
  case TAgeColor::Green: age = QColor(0, 128, 0); break;
  case TAgeColor::Blue: age = QColor(0, 0, 255); break;
  case TAgeColor::Gray: age = QColor(128, 128, 128); break;
  case TAgeColor::Background: age = colors.win; break;
  }
  QPainterPath box;
  box.addRoundedRect(QRectF(QPointF(right - W - 2, top + half + 1), QPointF(right - 1, bottom - 2)),
                     2, 2);
  p->setPen(QPen(outline, 1));
  p->setBrush(age);
  p->drawPath(box);
  const QPoint hand[] = {{right - H - 2, top + half + 3},
                         {right - H - 2, top + half + quarter + 1},
                         {right - H + 3, top + half + quarter + 4}};
  p->setPen(QPen(outline, 1));
  p->drawPolyline(hand, 3);

  // Battery body with the nub on its left, outlined by filling (pixel-exact at any scale).
  const QRect body(QPoint(right - W - 2, top + 2), QPoint(right - 3, top + half - 2));
  const QRect inner = body.adjusted(1, 1, -1, -1);
  const QRect nub(QPoint(body.left() - 2, top + 5), QPoint(body.left() - 1, top + half - 5));
  p->fillRect(body, outline);
  p->fillRect(inner, colors.win);
  p->fillRect(nub, outline);
  const TBatteryFill fill = BatteryFill(oi.last_point->bat, minutes);
  QColor fc;
  switch (fill.color) {
  case TBatteryColor::Green: fc = QColor(0, 128, 0); break;
  case TBatteryColor::Blue: fc = QColor(0, 0, 255); break;
  case TBatteryColor::Orange: fc = QColor(255, 165, 0); break;
  case TBatteryColor::Red: fc = QColor(255, 0, 0); break;
  case TBatteryColor::None: break;
  }
  if (fill.width > 0) {
    const int w = std::min(fill.width, inner.width());
    p->fillRect(QRect(inner.right() - w + 1, inner.top(), w, inner.height()), fc);
    if (fill.nub) p->fillRect(nub.adjusted(0, 1, 0, -1), fc);
  }
  p->restore();
}

} // namespace kelvra
