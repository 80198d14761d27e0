#pragma once
// The search field and filter buttons above the object list, and the proxy model between the
// list and its view. The proxy only hides rows: ticks stay in the list model (so the markers of
// hidden objects stay on the map), the "Deleted" group stays while one of its objects is shown,
// and the selected object is selected again when a later filter shows it. Typing filters the
// rows of the existing view; nothing is rebuilt.

#include <QSortFilterProxyModel>
#include <QWidget>
#include <functional>
#include <string>
#include <unordered_map>

#include "core/app/ObjectFilter.h"

class QLineEdit;
class QToolButton;
class QTreeView;

namespace kelvra {

class TObjectInfo;
class TObjectsModel;

class TObjectsFilterModel : public QSortFilterProxyModel {
  Q_OBJECT
public:
  explicit TObjectsFilterModel(TObjectsModel *source, QObject *parent = nullptr);

  void SetFilter(TObjectFilter filter);
  const TObjectFilter &Filter() const { return fFilter; }
  TObjectsModel *Objects() const { return fObjects; }

  // The display clock (the message age of "moving" and "offline") and the address of a place id.
  std::function<TDateTime()> now;
  std::function<TDisplayZone()> clock; // the clock of those times (UTC when unset)
  std::function<std::string(const std::string &osmId)> address;

protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
  struct TTexts {
    std::string folded, digits;
  };
  const TTexts &TextsOf(const TObjectInfo &oi) const;

  TObjectsModel *fObjects;
  TObjectFilter fFilter;
  // Folded texts per record, made on first need and dropped whenever the records may have
  // changed (a load, a refresh), so a keystroke folds nothing.
  mutable std::unordered_map<const TObjectInfo *, TTexts> fTexts;
  mutable TDateTime fNow = 0;
  mutable TDisplayZone fClock;
};

class TObjectSearch : public QWidget {
  Q_OBJECT
public:
  TObjectSearch(TObjectsModel *objects, QWidget *parent);

  TObjectsFilterModel *Proxy() const { return fProxy; }
  // The view that shows the proxy: its selection is kept across filter changes.
  void AttachView(QTreeView *view);

  // The object of a view row, and the view row of an object (invalid while it is hidden).
  TObjectInfo *ObjectAt(const QModelIndex &viewIndex) const;
  QModelIndex ViewIndex(const TObjectInfo *oi) const;
  // Makes an object the selected one. When the filter hides it, `reveal` clears the filter;
  // otherwise the row is selected as soon as a filter shows it.
  void Select(const TObjectInfo *oi, bool reveal = true);

  // Ctrl+F: the cursor goes into the search field with its text selected.
  void FocusSearch();
  void ClearFilter();
  // Filters again with the same conditions (the clock moved, records changed).
  void Refilter();

  QLineEdit *SearchEdit() const { return fEdit; }
  QToolButton *AlarmsButton() const { return fAlarms; }
  QToolButton *MovingButton() const { return fMoving; }
  QToolButton *OfflineButton() const { return fOffline; }

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void Apply();
  void RestoreSelection();

  TObjectsFilterModel *fProxy;
  QLineEdit *fEdit;
  QToolButton *fAlarms, *fMoving, *fOffline;
  QTreeView *fView = nullptr;
  // The object the user selected last; kept while a filter hides it. Not owned.
  const TObjectInfo *fSelected = nullptr;
  bool fApplying = false;
  bool fGroupWasExpanded = false;
};

} // namespace kelvra
