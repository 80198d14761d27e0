#include "ui/zones/ZoneHistoryForm.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/client/client.h"
#include "core/model/ObjectInfo.h"
#include "core/model/ZoneEdit.h"
#include "core/model/ZoneInfo.h"
#include "core/util/LumFiles.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

QList<QStandardItem *> Row(const std::string &a, const std::string &b) {
  auto *x = new QStandardItem(Q(a));
  auto *y = new QStandardItem(Q(b));
  x->setEditable(false);
  y->setEditable(false);
  return {x, y};
}

std::string Lower(std::string s) {
  for (char &c : s)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

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
  fModel = new QStandardItemModel(0, 2, this);
  fModel->setHorizontalHeaderLabels({"Object/Time", "Data"});
  fList = new QTreeView(this);
  fList->setObjectName("HistoryList");
  fList->setModel(fModel);
  fList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->addWidget(bar);
  lay->addWidget(fList, 1);
  TranslateForm(this);
  TranslateMenu(this, bar);
}

TZoneHistoryForm::~TZoneHistoryForm() = default;

void TZoneHistoryForm::BuildHistory(TKelvraClient &aClient, TZoneInfo &aZoneInfo, TDateTime Dt1,
                                    TDateTime Dt2,
                                    std::vector<std::unique_ptr<TTrackPointInfo>> &aHistory) {
  SetVisits(aZoneInfo.name, Dt1, Dt2, BuildVisits(aHistory, [&aClient](int uid) -> const TObjectInfo * {
              return aClient.FindObject(uid);
            }, aClient.DisplayZone()));
}

void TZoneHistoryForm::SetVisits(const std::string &aZoneName, TDateTime Dt1, TDateTime Dt2,
                                 TVisitList aVisits) {
  setWindowTitle(
      Q(ZoneHistoryCaption(FormString(this, "Caption_info").toStdString(), aZoneName, Dt1, Dt2)));
  fVisits = std::move(aVisits);
  fModel->removeRows(0, fModel->rowCount());
  for (const TVisitGroup &g : GroupVisits(fVisits)) {
    const TVisitInfo &first = *fVisits[g.visits.front()];
    QList<QStandardItem *> obj = Row(first.ObjectName(), std::to_string(g.visits.size()));
    for (size_t vi : g.visits) {
      const TVisitInfo &v = *fVisits[vi];
      QList<QStandardItem *> visit = Row(dt2s(v.start_dt), dur2s(v.Duration(), 1));
      for (const TTrackPointInfo *p : v.points)
        visit.front()->appendRow(Row(dt2s(p->obj_dt), ShownLatLon(TGeoPoint{p->lon, p->lat})));
      obj.front()->appendRow(visit);
    }
    fModel->appendRow(obj);
  }
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
    const std::string err = WriteVisitsXlsx(fileName, caption, fVisits);
    if (!err.empty()) {
      Prompt::Message(this, QMessageBox::Warning, FormString(this, "export_title"),
                      FormString(this, "export_error", {err}));
      return {};
    }
    return fileName;
  }
  const bool txt = ext == ".txt";
  const std::string fn = base + (txt ? ".txt" : ".csv");
  const std::string text = txt ? VisitsText(caption, fVisits) : VisitsCsv(fVisits);
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
