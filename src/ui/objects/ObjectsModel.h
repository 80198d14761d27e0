#pragma once
// The objects panel's list: the objects of the client's cache (not owned; the cache keeps them
// alive and updates them in place) as top-level rows in list order, deleted ones below one
// "Deleted" group row, each object row with a tick box. The delegate paints the status marks of a
// row: alarm and trip bars, the message age box with its clock hand, and the battery.

#include <QAbstractItemModel>
#include <QStyledItemDelegate>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "core/util/LumDates.h"
#include "core/util/TimeZones.h"

namespace kelvra {

class TObjectInfo;

class TObjectsModel : public QAbstractItemModel {
  Q_OBJECT
public:
  explicit TObjectsModel(QObject *parent = nullptr);
  ~TObjectsModel() override;

  // Rebuilds the rows from the cache in its order (sorted as CompareObjectInfo says); every tick
  // is cleared. Returns the number of object rows.
  int Load(const std::vector<const TObjectInfo *> &objects);
  void Clear();
  // Rebuilds the rows from the cache as Load does, keeping the ticks of the rows that stay (a
  // refresh brought new objects). Returns the number of object rows.
  int AddObjects(const std::vector<const TObjectInfo *> &objects);
  // Every row's texts and marks may have changed (the records changed in place).
  void RefreshAll();
  // One object's row may have changed.
  void RefreshObject(const TObjectInfo *oi);

  TObjectInfo *ObjectAt(const QModelIndex &index) const;
  QModelIndex IndexOf(int uid) const;
  QModelIndex IndexOf(const TObjectInfo *oi) const;
  bool IsChecked(const TObjectInfo *oi) const { return fChecked.count(oi) != 0; }
  // Ticks or unticks an object row as the user would (onChecking runs).
  bool SetChecked(const TObjectInfo *oi, bool on);
  // Every object row, top to bottom (deleted objects after the others).
  std::vector<TObjectInfo *> Objects() const;
  const TObjectInfo *Group() const { return fGroup.get(); }

  // Called when the user ticks or unticks a row, after the tick changed.
  std::function<void(TObjectInfo *, bool)> onChecking;

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override;

private:
  std::vector<TObjectInfo *> fTop;     // top-level rows; the group row last when present
  std::vector<TObjectInfo *> fDeleted; // children of the group row
  std::unique_ptr<TObjectInfo> fGroup; // the "Deleted" group's own record
  std::set<const TObjectInfo *> fChecked;
  std::unordered_map<const TObjectInfo *, std::pair<int, bool>> fRowOf; // row, under the group
  std::unordered_map<int, TObjectInfo *> fByUid;
  QString fHeader = QStringLiteral("Object");
};

// The colours the row painting uses.
struct TRowColors {
  QColor win;    // the list background
  QColor txt;    // outline of a normal row
  QColor txtSel; // outline of a selected row
};

class TObjectsDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit TObjectsDelegate(QObject *parent = nullptr);
  void paint(QPainter *p, const QStyleOptionViewItem &opt, const QModelIndex &index) const override;
  QSize sizeHint(const QStyleOptionViewItem &opt, const QModelIndex &index) const override;

  // The marks of one object in a cell rectangle (exposed for the rendering test).
  void PaintMarks(QPainter *p, const QRect &cell, const TObjectInfo &oi, bool selected) const;

  TRowColors colors;
  // The clock the message age is measured on (the display clock of the service's times).
  std::function<TDateTime()> now;
  std::function<TDisplayZone()> clock; // the clock of those times (UTC when unset)
};

inline constexpr int kObjectRowHeight = 40;
// The room the marks on the right of a row take; the text keeps clear of it.
inline constexpr int kObjectMarksWidth = 20;

} // namespace kelvra
