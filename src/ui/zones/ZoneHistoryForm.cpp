#include "ui/zones/ZoneHistoryForm.h"

#include <QHeaderView>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/model/ZoneEdit.h"
#include "core/model/ZoneInfo.h"
#include "core/util/LumFiles.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {

std::string Lower(std::string s) {
  for (char &c : s)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

// ---------------------------------------------------------------- model

TZoneHistoryModel::TZoneHistoryModel(QObject *parent) : QAbstractItemModel(parent) {}

void TZoneHistoryModel::SetHistory(const TZoneHistory *history) {
  beginResetModel();
  fHistory = history;
  fVisitRow.clear();
  fVisitGroup.clear();
  if (history) {
    fVisitRow.assign(history->Visits.size(), 0);
    fVisitGroup.assign(history->Visits.size(), 0);
    for (size_t g = 0; g < history->Groups.size(); ++g)
      for (size_t r = 0; r < history->Groups[g].visits.size(); ++r) {
        const size_t v = history->Groups[g].visits[r];
        fVisitRow[v] = int(r);
        fVisitGroup[v] = int(g);
      }
  }
  endResetModel();
}

bool TZoneHistoryModel::setHeaderData(int section, Qt::Orientation orientation,
                                      const QVariant &value, int role) {
  if (orientation != Qt::Horizontal || role != Qt::EditRole || section < 0 || section > 1)
    return false;
  fTitles[section] = value.toString();
  emit headerDataChanged(Qt::Horizontal, section, section);
  return true;
}

QModelIndex TZoneHistoryModel::index(int row, int column, const QModelIndex &parent) const {
  if (!hasIndex(row, column, parent)) return {};
  if (!parent.isValid()) return createIndex(row, column, quintptr(0));
  const quintptr id = parent.internalId();
  if (id == 0) return createIndex(row, column, kVisit | quintptr(parent.row()));
  if (id & kVisit) {
    const size_t v = fHistory->Groups[id & kIndexMask].visits[parent.row()];
    return createIndex(row, column, kPoint | quintptr(v));
  }
  return {};
}

QModelIndex TZoneHistoryModel::parent(const QModelIndex &child) const {
  if (!child.isValid() || !fHistory) return {};
  const quintptr id = child.internalId();
  if (id == 0) return {};
  if (id & kVisit) return createIndex(int(id & kIndexMask), 0, quintptr(0));
  const size_t v = id & kIndexMask;
  return createIndex(fVisitRow[v], 0, kVisit | quintptr(fVisitGroup[v]));
}

int TZoneHistoryModel::rowCount(const QModelIndex &parent) const {
  if (!fHistory) return 0;
  if (!parent.isValid()) return int(fHistory->Groups.size());
  if (parent.column() != 0) return 0;
  const quintptr id = parent.internalId();
  if (id == 0) return int(fHistory->Groups[parent.row()].visits.size());
  if (id & kVisit) {
    const size_t v = fHistory->Groups[id & kIndexMask].visits[parent.row()];
    return int(fHistory->Visits[v]->points.size());
  }
  return 0;
}

int TZoneHistoryModel::columnCount(const QModelIndex &) const { return 2; }

QVariant TZoneHistoryModel::data(const QModelIndex &index, int role) const {
  if (role != Qt::DisplayRole || !fHistory || !checkIndex(index, CheckIndexOption::IndexIsValid))
    return {};
  const quintptr id = index.internalId();
  const bool first = index.column() == 0;
  if (id == 0) {
    const TVisitGroup &g = fHistory->Groups[index.row()];
    return first ? Q(fHistory->Visits[g.visits.front()]->ObjectName())
                 : QString::number(g.visits.size());
  }
  if (id & kVisit) {
    const TVisitInfo &v = *fHistory->Visits[fHistory->Groups[id & kIndexMask].visits[index.row()]];
    return Q(first ? dt2s(v.start_dt) : dur2s(v.Duration(), 1));
  }
  const TTrackPointInfo &p = *fHistory->Visits[id & kIndexMask]->points[index.row()];
  return Q(first ? dt2s(p.obj_dt) : ShownLatLon(TGeoPoint{p.lon, p.lat}));
}

QVariant TZoneHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
    return {};
  return fTitles[section];
}

// ---------------------------------------------------------------- window

TZoneHistoryForm::TZoneHistoryForm(QWidget *parent) : QDialog(parent) {
  setObjectName("ZoneHistoryForm");
  setWindowTitle("Zone History");
  setMinimumSize(200, 200);
  resize(480, 420);
  auto *bar = new QToolBar(this);
  bar->setObjectName("TbHistory");
  QAction *close = bar->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), "Close");
  close->setObjectName("SbClose");
  connect(close, &QAction::triggered, this, &QDialog::accept);
  QAction *exp = bar->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), "Export history");
  exp->setObjectName("SbExport");
  connect(exp, &QAction::triggered, this, &TZoneHistoryForm::Export);
  fModel = new TZoneHistoryModel(this);
  fList = new QTreeView(this);
  fList->setObjectName("HistoryList");
  fList->setModel(fModel);
  fList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fList->setUniformRowHeights(true); // the view lays out only the rows it shows
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->addWidget(bar);
  lay->addWidget(fList, 1);
  TranslateForm(this);
  TranslateMenu(this, bar);
}

TZoneHistoryForm::~TZoneHistoryForm() { fModel->SetHistory(nullptr); }

void TZoneHistoryForm::SetHistory(const std::string &aZoneName, TDateTime Dt1, TDateTime Dt2,
                                  TZoneHistory aHistory) {
  setWindowTitle(
      Q(ZoneHistoryCaption(FormString(this, "Caption_info").toStdString(), aZoneName, Dt1, Dt2)));
  fModel->SetHistory(nullptr);
  fHistory = std::move(aHistory);
  fModel->SetHistory(&fHistory);
  fList->expandToDepth(0);
  fList->header()->resizeSections(QHeaderView::ResizeToContents);
}

std::string TZoneHistoryForm::ExportTo(const std::string &fileName) {
  if (Trim(fileName).empty()) return {};
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string ext = hasExt ? Lower(fileName.substr(dot)) : "";
  const std::string base = hasExt ? fileName.substr(0, dot) : fileName;
  const std::string caption = windowTitle().toStdString();
  if (ext == ".xlsx") {
    const std::string err = WriteVisitsXlsx(fileName, caption, fHistory.Visits);
    if (!err.empty()) {
      Prompt::Message(this, QMessageBox::Warning, FormString(this, "export_title"),
                      FormString(this, "export_error", {err}));
      return {};
    }
    return fileName;
  }
  const bool txt = ext == ".txt";
  const std::string fn = base + (txt ? ".txt" : ".csv");
  const std::string text = txt ? VisitsText(caption, fHistory.Visits) : VisitsCsv(fHistory.Visits);
  if (!WriteFileAtomic(fn, text)) {
    Prompt::Message(this, QMessageBox::Warning, FormString(this, "export_title"),
                    FormString(this, "export_error", {fn}));
    return {};
  }
  return fn;
}

void TZoneHistoryForm::Export() {
  const QString fn = Prompt::SaveFileName(this, FormString(this, "export_title"), Q(HomeDir),
                                          "TXT (*.txt);;CSV (*.csv);;XLSX (*.xlsx)");
  const std::string written = ExportTo(fn.toStdString());
  if (!written.empty()) OpenExportedFile(Q(written));
}

} // namespace kelvra
