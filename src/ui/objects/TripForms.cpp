#include "ui/objects/TripForms.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/model/ObjectRows.h"
#include "ui/widgets/DialogParts.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

TTripInfoForm *gActiveTrips = nullptr; // the one open trips window

constexpr int kTripRole = Qt::UserRole + 1;
constexpr int kObjectRole = Qt::UserRole + 2;

} // namespace

TTripInfoForm::TTripInfoForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("TripInfoForm");
  setWindowTitle("Trips");
  setAttribute(Qt::WA_DeleteOnClose);
  gActiveTrips = this;
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  auto *split = new QSplitter(Qt::Vertical, this);
  lay->addWidget(split);
  fTreeModel = new QStandardItemModel(0, 4, this);
  fTreeModel->setHorizontalHeaderLabels({"Trip", "Status", "Start", "Length"});
  fTree = new QTreeView(split);
  fTree->setObjectName("TripTree");
  fTree->setModel(fTreeModel);
  fTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fTree->setSelectionMode(QAbstractItemView::SingleSelection);
  fDetailModel = new QStandardItemModel(0, 2, this);
  fDetails = MakeDetailTable(split, fDetailModel);
  fDetails->setObjectName("DetailList");
  split->addWidget(fTree);
  split->addWidget(fDetails);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  connect(fTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &i) { OnSelect(i); });
  connect(fTree, &QTreeView::doubleClicked, this, [this] { ShowTrack(); });
  TranslateForm(this);
  resize(560, 520);
}

TTripInfoForm::~TTripInfoForm() {
  if (gActiveTrips == this) gActiveTrips = nullptr;
}

TTripInfoForm *TTripInfoForm::Active() { return gActiveTrips; }

void TTripInfoForm::ShowTrips(TKelvraClient *aClient, TCmdCallback aCmdCallBack) {
  fClient = aClient;
  fCmdCallBack = std::move(aCmdCallBack);
  fTreeModel->removeRows(0, fTreeModel->rowCount());
  const QString noData = FormString(this, "no_object");
  fTrip = nullptr;
  fTrips.clear();
  for (const auto &ti : fClient->TripList())
    fTrips.push_back(std::make_unique<TTripInfo>(*ti));
  std::vector<std::pair<int, QStandardItem *>> nodes;
  for (const auto &ti : fTrips) {
    QStandardItem *node = nullptr;
    for (auto &[uid, item] : nodes)
      if (uid == ti->obj_id) node = item;
    if (!node) {
      const TObjectInfo *oi = fClient->FindObject(ti->obj_id);
      node = new QStandardItem(oi ? QString::fromStdString(oi->name) : noData);
      node->setData(ti->obj_id, kObjectRole);
      QList<QStandardItem *> row{node};
      for (int c = 1; c < 4; ++c)
        row << new QStandardItem;
      fTreeModel->appendRow(row);
      nodes.push_back({ti->obj_id, node});
    }
    QList<QStandardItem *> row;
    for (const std::string &cell : TripTreeCells(*ti, fClient->DisplayZone()))
      row << new QStandardItem(QString::fromStdString(cell));
    row[0]->setData(QVariant::fromValue(static_cast<const void *>(ti.get())), kTripRole);
    node->appendRow(row);
  }
  fTree->expandAll();
  for (int c = 0; c < 4; ++c)
    fTree->resizeColumnToContents(c);
  show();
  raise();
  activateWindow();
}

const TTripInfo *TTripInfoForm::TripAt(const QModelIndex &i) const {
  if (!i.isValid()) return nullptr;
  const QModelIndex first = i.siblingAtColumn(0);
  return static_cast<const TTripInfo *>(first.data(kTripRole).value<const void *>());
}

void TTripInfoForm::OnSelect(const QModelIndex &i) {
  fTrip = TripAt(i);
  if (fTrip) {
    SetDetails(TripInfoRows(*fTrip, UserLevel));
    return;
  }
  const TObjectInfo *oi =
      i.isValid() && fClient ? fClient->FindObject(i.siblingAtColumn(0).data(kObjectRole).toInt()) : nullptr;
  SetDetails(oi ? TripObjectRows(*oi, UserLevel) : std::vector<TInfoRow>{});
}

void TTripInfoForm::SetDetails(std::vector<TInfoRow> rows) {
  fRows = std::move(rows);
  FillDetailTable(this, fDetails, fDetailModel, fRows);
  for (size_t r = 0; r < fRows.size(); ++r) {
    if (!(fRows[r].Flags & irButton)) continue;
    auto *button = new QToolButton;
    button->setObjectName("ButShowTrack");
    button->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    button->setToolTip(FormString(this, "show_track"));
    button->setFixedWidth(24);
    connect(button, &QToolButton::clicked, this, [this] { ShowTrack(); });
    PutButtonAtRight(fDetails, fDetailModel->index(static_cast<int>(r), 1), button);
  }
}

bool TTripInfoForm::ShowTrack() {
  if (!fTrip || !fCmdCallBack) return false;
  const std::vector<std::string> args = ShowTrackArgs(*fTrip);
  if (args.empty()) return false;
  fCmdCallBack(this, "show", "track", args);
  return true;
}

void TTripInfoForm::CopyValue() { CopyDetailValue(fDetails, fDetailModel); }

void TTripInfoForm::keyPressEvent(QKeyEvent *e) {
  if (IsCopyKey(e)) {
    CopyValue();
    return;
  }
  QWidget::keyPressEvent(e);
}

// --- start trip ---------------------------------------------------------------------------------

TStartTripForm::TStartTripForm(QWidget *parent) : QDialog(parent) {
  setObjectName("StartTripForm");
  setWindowTitle("Start trip");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fName = NamedEdit(this, "EdTripName");
  fName->setMinimumWidth(260);
  AddRow(form, this, "Trip name:", fName);
  lay->addLayout(form);
  lay->addLayout(ButtonRow(this, {{"ButStart", "Start", QDialog::Accepted, true},
                                  {"ButCancel", "Cancel", QDialog::Rejected, false}}));
  TranslateForm(this);
}

void TStartTripForm::SetTripName(const std::string &name) {
  fName->setText(QString::fromStdString(name));
}

std::string TStartTripForm::GetTripName() const { return fName->text().trimmed().toStdString(); }

} // namespace kelvra
