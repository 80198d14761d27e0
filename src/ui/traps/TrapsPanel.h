#pragma once
// The "Traps" tree of the main window: one row per object that has traps ("GENERAL" for the
// traps of every object), the traps under it; the tool bar shows, creates, edits and deletes
// traps with the trap editor.

#include <QAbstractItemModel>
#include <QObject>
#include <QStyledItemDelegate>
#include <memory>
#include <vector>

#include "ui/widgets/PanelParts.h"
#include "core/model/TrapEdit.h"
#include "core/model/TrapInfo.h"

class QToolButton;
class QTreeView;

namespace kelvra {

class TDesk;
class TObjectInfo;

class TTrapsModel : public QAbstractItemModel {
  Q_OBJECT
public:
  explicit TTrapsModel(QObject *parent = nullptr);
  ~TTrapsModel() override;

  void Load(std::vector<TTrapGroup> groups);
  void Clear();
  // The "GENERAL" record of the traps with obj_id 0.
  const TObjectInfo *General() const { return fGeneral.get(); }
  TTrapInfo *TrapAt(const QModelIndex &index) const;
  // The group's object of a group row or of a trap row; null for no row.
  const TObjectInfo *ObjectAt(const QModelIndex &index) const;
  QModelIndex IndexOf(const TTrapInfo *ti) const;
  void RemoveTrap(const TTrapInfo *ti);
  void RefreshAll();

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override;

private:
  std::unique_ptr<TObjectInfo> fGeneral;
  std::vector<std::unique_ptr<TTrapGroup>> fGroups;
  TColumnTitle fTitle{"Target"};
};

// After a trap's text: its condition right-aligned, or for zone traps a box with an arrow
// going in (condition 1) or out.
class TTrapsDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &index) const override;
};

class TTrapsPanel : public QObject {
  Q_OBJECT
public:
  explicit TTrapsPanel(TDesk &desk);

  QTreeView *List() const { return fList; }
  TTrapsModel *Model() const { return fModel; }
  std::vector<QToolButton *> Buttons() const { return fButtons; }

  void LoadTraps(int selectedUid);
  void Clear();
  TTrapInfo *SelectedTrap() const;
  void ShowTrap(TTrapInfo *ti);
  // Whether a trap held across a modal window has gone meanwhile; the user is told.
  bool TrapGone(const TRecordRef<TTrapInfo> &held);
  void AppendTrap();
  void EditTrap();
  void DeleteTrap();

private:
  TDesk &fWin; // the window this panel sits in
  QTreeView *fList;
  TTrapsModel *fModel;
  std::vector<QToolButton *> fButtons;
};

} // namespace kelvra
