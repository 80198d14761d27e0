#include "ui/traps/TrapsPanel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

#include "core/client/client.h"
#include "core/model/ObjectInfo.h"
#include "ui/traps/TrapEditForm.h"
#include "ui/widgets/Desk.h"
#include "ui/widgets/PanelParts.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

// --- model --------------------------------------------------------------------------------------

TTrapsModel::TTrapsModel(QObject *parent) : QAbstractItemModel(parent) {
  fGeneral = std::make_unique<TObjectInfo>();
  fGeneral->uid = 0;
  fGeneral->name = "GENERAL";
}

TTrapsModel::~TTrapsModel() = default;

void TTrapsModel::Load(std::vector<TTrapGroup> groups) {
  beginResetModel();
  fGroups.clear();
  for (TTrapGroup &g : groups)
    fGroups.push_back(std::make_unique<TTrapGroup>(std::move(g)));
  endResetModel();
}

void TTrapsModel::Clear() { Load({}); }

TTrapInfo *TTrapsModel::TrapAt(const QModelIndex &index) const {
  if (!index.isValid() || !index.internalPointer()) return nullptr;
  auto *g = static_cast<TTrapGroup *>(index.internalPointer());
  return index.row() < int(g->traps.size()) ? g->traps[size_t(index.row())] : nullptr;
}

const TObjectInfo *TTrapsModel::ObjectAt(const QModelIndex &index) const {
  if (!index.isValid()) return nullptr;
  if (auto *g = static_cast<TTrapGroup *>(index.internalPointer())) return g->obj;
  return index.row() < int(fGroups.size()) ? fGroups[size_t(index.row())]->obj : nullptr;
}

QModelIndex TTrapsModel::IndexOf(const TTrapInfo *ti) const {
  for (const auto &g : fGroups)
    for (size_t i = 0; i < g->traps.size(); ++i)
      if (g->traps[i] == ti) return createIndex(int(i), 0, g.get());
  return {};
}

void TTrapsModel::RemoveTrap(const TTrapInfo *ti) {
  const QModelIndex i = IndexOf(ti);
  if (!i.isValid()) return;
  auto *g = static_cast<TTrapGroup *>(i.internalPointer());
  beginRemoveRows(i.parent(), i.row(), i.row());
  g->traps.erase(g->traps.begin() + i.row());
  endRemoveRows();
}

void TTrapsModel::RefreshAll() {
  if (!fGroups.empty()) emit dataChanged(index(0, 0), index(int(fGroups.size()) - 1, 0));
  for (size_t r = 0; r < fGroups.size(); ++r) {
    const QModelIndex p = index(int(r), 0);
    const int n = rowCount(p);
    if (n > 0) emit dataChanged(index(0, 0, p), index(n - 1, 0, p));
  }
}

QModelIndex TTrapsModel::index(int row, int column, const QModelIndex &parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid())
    return row < int(fGroups.size()) ? createIndex(row, 0, nullptr) : QModelIndex();
  if (parent.internalPointer() || parent.row() >= int(fGroups.size())) return {};
  TTrapGroup *g = fGroups[size_t(parent.row())].get();
  return row < int(g->traps.size()) ? createIndex(row, 0, g) : QModelIndex();
}

QModelIndex TTrapsModel::parent(const QModelIndex &child) const {
  if (!child.isValid() || !child.internalPointer()) return {};
  for (size_t i = 0; i < fGroups.size(); ++i)
    if (fGroups[i].get() == child.internalPointer()) return createIndex(int(i), 0, nullptr);
  return {};
}

int TTrapsModel::rowCount(const QModelIndex &parent) const {
  if (!parent.isValid()) return int(fGroups.size());
  if (parent.internalPointer() || parent.row() >= int(fGroups.size())) return 0;
  return int(fGroups[size_t(parent.row())]->traps.size());
}

int TTrapsModel::columnCount(const QModelIndex &) const { return 1; }

QVariant TTrapsModel::data(const QModelIndex &index, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (const TTrapInfo *ti = TrapAt(index)) return QString::fromStdString(TrapRowText(*ti));
  if (!index.internalPointer())
    if (const TObjectInfo *oi = ObjectAt(index)) return QString::fromStdString(oi->name);
  return {};
}

QVariant TTrapsModel::headerData(int section, Qt::Orientation o, int role) const {
  return fTitle.Get(section, o, role);
}

bool TTrapsModel::setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) {
  if (!fTitle.Set(section, o, value, role)) return false;
  emit headerDataChanged(o, 0, 0);
  return true;
}

// --- painting -----------------------------------------------------------------------------------

void TTrapsDelegate::paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &index) const {
  QStyledItemDelegate::paint(p, o, index);
  const auto *model = qobject_cast<const TTrapsModel *>(index.model());
  const TTrapInfo *ti = model ? model->TrapAt(index) : nullptr;
  if (!ti) return;
  const bool selected = o.state & QStyle::State_Selected;
  const QColor pen = o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  p->save();
  p->setPen(pen);
  const QRect r = o.rect;
  if (ti->target_type_id != 1) {
    p->drawText(r.adjusted(0, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter,
                QString::fromStdString(ti->Condition()));
  } else {
    // A square as tall as the cell at its right edge: a box open on one side, an arrow through it.
    const int s = r.height();
    const QRectF sq(r.right() - s + 1, r.top(), s, s);
    const QRectF box = sq.adjusted(s * 0.35, s * 0.2, -s * 0.1, -s * 0.2);
    QPen line(pen, std::max(1.0, s / 12.0));
    p->setPen(line);
    p->setRenderHint(QPainter::Antialiasing);
    const bool in = ti->condition_id == 1;
    const QPointF tl = box.topLeft(), tr = box.topRight(), bl = box.bottomLeft(), br = box.bottomRight();
    if (in) { // open on the left
      p->drawPolyline(QPolygonF({tl, tr, br, bl}));
    } else { // open on the right
      p->drawPolyline(QPolygonF({tr, tl, bl, br}));
    }
    const double y = box.center().y();
    const double x1 = in ? sq.left() + s * 0.08 : box.left() + box.width() * 0.3;
    const double x2 = in ? box.left() + box.width() * 0.6 : sq.right() - s * 0.02;
    p->drawLine(QPointF(x1, y), QPointF(x2, y));
    const double h = s * 0.15;
    p->drawLine(QPointF(x2, y), QPointF(x2 - h, y - h));
    p->drawLine(QPointF(x2, y), QPointF(x2 - h, y + h));
  }
  p->restore();
}

// --- panel --------------------------------------------------------------------------------------

TTrapsPanel::TTrapsPanel(TDesk &desk) : QObject(desk.DeskWidget()), fWin(desk) {
  fModel = new TTrapsModel(this);
  fList = new QTreeView;
  fList->setObjectName("TrapList");
  fList->setModel(fModel);
  fList->setItemDelegate(new TTrapsDelegate(fList));
  fList->setSelectionMode(QAbstractItemView::SingleSelection);
  fList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(fList->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &cur) {
            if (cur.isValid() && !cur.parent().isValid()) fList->expand(cur);
          });
  connect(fList, &QTreeView::doubleClicked, this, [this] { EditTrap(); });
  fButtons = {PanelButton(desk.DeskWidget(), "SbTrapInfo", QStyle::SP_MessageBoxInformation, [this] { ShowTrap(nullptr); }),
              PanelButton(desk.DeskWidget(), "SbAppendTrap", QStyle::SP_FileDialogNewFolder, [this] { AppendTrap(); }),
              PanelButton(desk.DeskWidget(), "SbEditTrap", QStyle::SP_FileDialogContentsView, [this] { EditTrap(); }),
              PanelButton(desk.DeskWidget(), "SbDeleteTrap", QStyle::SP_TrashIcon, [this] { DeleteTrap(); })};
}

void TTrapsPanel::Clear() { fModel->Clear(); }

TTrapInfo *TTrapsPanel::SelectedTrap() const { return fModel->TrapAt(fList->currentIndex()); }

void TTrapsPanel::LoadTraps(int selectedUid) {
  fList->setUpdatesEnabled(false);
  fModel->Clear();
  try {
    fWin.Log("\rLoad traps: ");
    TKelvraClient &c = fWin.Client();
    const int n = c.GetTraps();
    fWin.Log("\r  -> " + std::to_string(n));
    std::vector<const TObjectInfo *> objects;
    for (const auto &oi : c.ObjList())
      objects.push_back(oi.get());
    fModel->Load(GroupTraps(c.TrapList(), objects, fModel->General()));
    if (fModel->rowCount() > 0) {
      QModelIndex sel = selectedUid > 0 ? fModel->IndexOf(c.FindTrap(selectedUid)) : QModelIndex();
      if (!sel.isValid()) sel = fModel->index(0, 0);
      if (sel.parent().isValid()) fList->expand(sel.parent());
      fList->setCurrentIndex(sel);
      fList->setFocus();
    }
  } catch (const std::exception &e) {
    fWin.Log("\rX: " + std::string(e.what()));
  }
  fList->setUpdatesEnabled(true);
}

void TTrapsPanel::ShowTrap(TTrapInfo *ti) {
  fWin.Log("\rShow trap ...");
  try {
    if (!ti) ti = SelectedTrap();
    if (!ti) {
      fWin.Msg("trap_not_selected", 3);
      return;
    }
    const TRecordRef<TTrapInfo> held(ti);
    TTrapEditForm dlg(fWin.DeskWidget());
    dlg.ShowTrap(&fWin.Client(), ti);
    TrapGone(held);
  } catch (const std::exception &e) {
    fWin.Log("\r  X:" + std::string(e.what()));
  }
}

void TTrapsPanel::AppendTrap() {
  fWin.Log("\rAppend trap ...");
  try {
    const QModelIndex cur = fList->currentIndex();
    int objId = 0;
    if (const TTrapInfo *ti = fModel->TrapAt(cur)) objId = ti->obj_id;
    else if (const TObjectInfo *oi = fModel->ObjectAt(cur)) objId = oi->uid;
    else if (const TObjectInfo *sel = fWin.SelectedObject()) objId = sel->uid;
    TTrapEditForm dlg(fWin.DeskWidget());
    int uid = 0;
    // Created from inside the window, which stays open with the reason when it is refused.
    dlg.Send = [this, &dlg, &uid]() -> std::string {
      if (!dlg.GetModified()) return {};
      TTrapInfo ti = dlg.TrapInfo();
      uid = fWin.Client().CreateTrap(ti);
      return uid > 0 ? std::string() : fWin.Client().ErrorMessage();
    };
    if (!dlg.EditTrap(&fWin.Client(), nullptr, objId)) {
      fWin.Log("\r  cancel");
      return;
    }
    if (uid > 0) LoadTraps(uid);
  } catch (const std::exception &e) {
    fWin.Log("\r  X:" + std::string(e.what()));
  }
}

void TTrapsPanel::EditTrap() {
  try {
    if (fModel->rowCount() == 0) LoadTraps(0);
    if (fModel->rowCount() == 0) return;
    const TRecordRef<TTrapInfo> held(SelectedTrap());
    if (!held.Alive()) {
      fWin.Msg("trap_not_selected", 3);
      return;
    }
    fWin.Log("\rEdit trap (%d) ...", {held.Uid()});
    TTrapEditForm dlg(fWin.DeskWidget());
    // Updated from inside the window, which stays open with the reason when it is refused; a trap
    // reloaded meanwhile gets nothing (said below).
    dlg.Send = [this, &dlg, &held]() -> std::string {
      if (!held.Alive() || !dlg.GetModified()) return {};
      const TLumHash &fields = dlg.GetFields();
      for (int i = 0; i < fields.Count(); ++i)
        fWin.Log("\r  " + fields.GetKey(i) + "->" + fields.GetValByIndex(i));
      return fWin.Client().UpdateTrap(held.Uid(), fields) ? std::string() : fWin.Client().ErrorMessage();
    };
    const bool changed = dlg.EditTrap(&fWin.Client(), held.Get(), held->obj_id);
    if (TrapGone(held)) return;
    if (!changed) {
      fWin.Log("\r  cancel");
      return;
    }
    fModel->RefreshAll();
  } catch (const std::exception &e) {
    fWin.Log("\r  X:" + std::string(e.what()));
  }
}

void TTrapsPanel::DeleteTrap() {
  const TRecordRef<TTrapInfo> held(SelectedTrap());
  if (!held.Alive()) return;
  fWin.Log("\rDelete trap ...");
  const auto answer = Prompt::Message(fWin.DeskWidget(), QMessageBox::Question, FormString(fWin.DeskWidget(), "delete_trap"),
                                      FormString(fWin.DeskWidget(), "delete_trap_prompt", {held->TrapName()}),
                                      QMessageBox::Yes | QMessageBox::No);
  if (TrapGone(held)) return;
  if (answer != QMessageBox::Yes) {
    fWin.Log("\r  cancel");
    return;
  }
  TTrapInfo *ti = held.Get();
  const int uid = ti->uid;
  // The row goes before the record: the client frees it with the deletion.
  const QModelIndex i = fModel->IndexOf(ti);
  const QModelIndex group = i.parent();
  const int n = fModel->rowCount(group);
  QModelIndex next = i.row() > 0 ? fModel->index(i.row() - 1, 0, group)
                     : i.row() + 1 < n ? fModel->index(i.row() + 1, 0, group) : group;
  // The neighbour by uid: the deletion waits for the service, and a record may go meanwhile.
  const TTrapInfo *nextTrap = fModel->TrapAt(next);
  const int nextUid = nextTrap ? nextTrap->uid : 0;
  const int groupRow = group.row();
  fModel->RemoveTrap(ti);
  if (!fWin.Client().DeleteTrap(uid)) {
    LoadTraps(uid); // the service kept it: show it again
    return;
  }
  const TTrapInfo *after = nextUid > 0 ? fWin.Client().FindTrap(nextUid) : nullptr;
  fList->setCurrentIndex(after ? fModel->IndexOf(after) : fModel->index(groupRow, 0));
}

bool TTrapsPanel::TrapGone(const TRecordRef<TTrapInfo> &held) {
  if (!held.Gone()) return false;
  fWin.Log("\r  x: trap %d reloaded meanwhile", {held.Uid()});
  fWin.Msg("trap_reloaded", 5);
  return true;
}

} // namespace kelvra
