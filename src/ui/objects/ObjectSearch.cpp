#include "ui/objects/ObjectSearch.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/model/ObjectInfo.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

TObjectsFilterModel::TObjectsFilterModel(TObjectsModel *source, QObject *parent)
    : QSortFilterProxyModel(parent), fObjects(source) {
  // The texts are dropped before the proxy filters the changed rows again: these connections
  // are made before the proxy's own.
  connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { fTexts.clear(); });
  connect(source, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
            if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole)) return;
            fTexts.clear();
            fNow = now ? now() : NowLocal(); // "moving" and "offline" as of this refresh
            fClock = clock ? clock() : TDisplayZone();
          });
  setRecursiveFilteringEnabled(true); // the "Deleted" group stays while one of its rows does
  setDynamicSortFilter(true);         // a refresh filters the changed rows again
  setSourceModel(source);
}

void TObjectsFilterModel::SetFilter(TObjectFilter filter) {
  fFilter = std::move(filter);
  fNow = now ? now() : NowLocal();
  fClock = clock ? clock() : TDisplayZone();
  invalidateFilter();
}

const TObjectsFilterModel::TTexts &TObjectsFilterModel::TextsOf(const TObjectInfo &oi) const {
  auto it = fTexts.find(&oi);
  if (it == fTexts.end())
    it = fTexts.emplace(&oi, TTexts{ObjectSearchText(oi, address), ObjectPhoneDigits(oi)}).first;
  return it->second;
}

bool TObjectsFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const {
  if (fFilter.Empty()) return true;
  const TObjectInfo *oi = fObjects->ObjectAt(fObjects->index(sourceRow, 0, sourceParent));
  if (!oi || oi->uid <= 0) return false; // a group is shown for its rows
  const TTexts &t = TextsOf(*oi);
  return fFilter.Accepts(*oi, t.folded, t.digits, fNow, fClock);
}

// --- the search bar --------------------------------------------------------------------------

namespace {
QToolButton *FilterButton(QWidget *parent, const char *name, const char *text) {
  auto *b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(text);
  b->setCheckable(true);
  b->setAutoRaise(true);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return b;
}
} // namespace

TObjectSearch::TObjectSearch(TObjectsModel *objects, QWidget *parent) : QWidget(parent) {
  setObjectName("ObjectSearch");
  fProxy = new TObjectsFilterModel(objects, this);
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(1);
  fEdit = NamedEdit(this, "EdSearch");
  fEdit->setClearButtonEnabled(true);
  fEdit->setPlaceholderText("Search");
  fEdit->installEventFilter(this);
  lay->addWidget(fEdit);
  auto *row = new QHBoxLayout;
  row->setSpacing(0);
  fAlarms = FilterButton(this, "SbFilterAlarms", "With alarms");
  fMoving = FilterButton(this, "SbFilterMoving", "Moving");
  fOffline = FilterButton(this, "SbFilterOffline", "Offline");
  for (QToolButton *b : {fAlarms, fMoving, fOffline})
    row->addWidget(b);
  row->addStretch();
  lay->addLayout(row);

  connect(fEdit, &QLineEdit::textChanged, this, [this] { Apply(); });
  connect(fAlarms, &QToolButton::toggled, this, [this] { Apply(); });
  // Moving and offline exclude each other: one on turns the other off.
  auto exclusive = [this](QToolButton *other) {
    return [this, other](bool on) {
      if (on && other->isChecked()) {
        QSignalBlocker block(other);
        other->setChecked(false);
      }
      Apply();
    };
  };
  connect(fMoving, &QToolButton::toggled, this, exclusive(fOffline));
  connect(fOffline, &QToolButton::toggled, this, exclusive(fMoving));

  connect(objects, &QAbstractItemModel::modelAboutToBeReset, this, [this] { fSelected = nullptr; });
  // A refresh may hide the selected row: the view would move the selection to a neighbour.
  connect(fProxy, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { fApplying = true; });
  connect(fProxy, &QAbstractItemModel::rowsRemoved, this, [this] {
    if (!fView) return;
    RestoreSelection();
    fApplying = false;
  });
  connect(fProxy, &QAbstractItemModel::rowsInserted, this, [this] {
    if (!fApplying) RestoreSelection();
  });
  TranslateForm(this);
}

void TObjectSearch::AttachView(QTreeView *view) {
  fView = view;
  connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &current) {
            if (!fApplying && current.isValid()) fSelected = ObjectAt(current);
          });
}

TObjectInfo *TObjectSearch::ObjectAt(const QModelIndex &viewIndex) const {
  return fProxy->Objects()->ObjectAt(fProxy->mapToSource(viewIndex));
}

QModelIndex TObjectSearch::ViewIndex(const TObjectInfo *oi) const {
  return fProxy->mapFromSource(fProxy->Objects()->IndexOf(oi));
}

void TObjectSearch::Select(const TObjectInfo *oi, bool reveal) {
  fSelected = oi;
  if (reveal && oi && !ViewIndex(oi).isValid() && fProxy->Objects()->IndexOf(oi).isValid()) ClearFilter();
  RestoreSelection();
}

void TObjectSearch::FocusSearch() {
  fEdit->setFocus(Qt::ShortcutFocusReason);
  fEdit->selectAll();
}

void TObjectSearch::ClearFilter() {
  {
    QSignalBlocker b1(fEdit), b2(fAlarms), b3(fMoving), b4(fOffline);
    fEdit->clear();
    for (QToolButton *b : {fAlarms, fMoving, fOffline})
      b->setChecked(false);
  }
  Apply();
}

void TObjectSearch::Refilter() { fProxy->SetFilter(fProxy->Filter()); }

void TObjectSearch::Apply() {
  fApplying = true;
  if (fView && fView->currentIndex().isValid()) fSelected = ObjectAt(fView->currentIndex());
  const QModelIndex group = ViewIndex(fProxy->Objects()->Group());
  const bool wasFiltered = !fProxy->Filter().Empty();
  if (!wasFiltered && fView && group.isValid()) fGroupWasExpanded = fView->isExpanded(group);
  TObjectFilter f;
  f.query = TSearchQuery(fEdit->text().toStdString());
  f.withAlarms = fAlarms->isChecked();
  f.moving = fMoving->isChecked();
  f.offline = fOffline->isChecked();
  const bool filtered = !f.Empty();
  fProxy->SetFilter(std::move(f));
  if (fView) {
    // While filtering, matches below "Deleted" are in sight; afterwards the group is as it was.
    const QModelIndex g = ViewIndex(fProxy->Objects()->Group());
    if (g.isValid()) fView->setExpanded(g, filtered || fGroupWasExpanded);
  }
  RestoreSelection();
  fApplying = false;
}

void TObjectSearch::RestoreSelection() {
  if (!fView) return;
  const bool was = fApplying;
  fApplying = true;
  const QModelIndex vi = ViewIndex(fSelected);
  if (vi.isValid()) {
    if (vi.parent().isValid()) fView->expand(vi.parent());
    if (fView->currentIndex() != vi) fView->setCurrentIndex(vi);
  } else if (fView->currentIndex().isValid()) {
    // The selected object is hidden: no other row takes its place.
    fView->selectionModel()->clear();
  }
  fApplying = was;
}

bool TObjectSearch::eventFilter(QObject *o, QEvent *e) {
  if (o == fEdit && e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(e)->key();
    if (key == Qt::Key_Escape && !fEdit->text().isEmpty()) {
      fEdit->clear();
      return true;
    }
    if ((key == Qt::Key_Down || key == Qt::Key_Escape) && fView) {
      fView->setFocus(Qt::OtherFocusReason);
      return true;
    }
  }
  return QWidget::eventFilter(o, e);
}

} // namespace kelvra
