#include "ui/reports/ReportsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

#include "core/app/Common.h"
#include "core/app/ObjectFilter.h"
#include "core/app/Translate.h"
#include "core/client/CancellableWork.h"
#include "core/client/client.h"
#include "core/model/TrapEdit.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumFormat.h"
#include "ui/reports/ReportPrint.h"
#include "ui/reports/ReportsModel.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/PeriodRequestForm.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {

constexpr int kUidRole = Qt::UserRole + 1;
constexpr int kFoldedRole = Qt::UserRole + 2;
constexpr int kDigitsRole = Qt::UserRole + 3;

} // namespace

// The object list of the window through the search and filters of the main object list. The
// states (alarms, moving, offline) are read from the client's record of the moment.
class TReportObjectsFilter : public QSortFilterProxyModel {
public:
  TReportObjectsFilter(TKelvraClient &client, QObject *parent)
      : QSortFilterProxyModel(parent), fClient(client) {}
  void SetFilter(TObjectFilter f) {
    fFilter = std::move(f);
    invalidateFilter();
  }

protected:
  bool filterAcceptsRow(int row, const QModelIndex &parent) const override {
    if (fFilter.Empty()) return true;
    const QModelIndex i = sourceModel()->index(row, 0, parent);
    const TObjectInfo *oi = fClient.FindObject(i.data(kUidRole).toInt());
    if (!oi) return false;
    return fFilter.Accepts(*oi, i.data(kFoldedRole).toString().toStdString(),
                           i.data(kDigitsRole).toString().toStdString(), fClient.DisplayNow());
  }

private:
  TKelvraClient &fClient;
  TObjectFilter fFilter;
};

TReportsForm::TReportsForm(TKelvraClient &client, TReportsHost host, QWidget *parent)
    : QDialog(parent), fClient(client), fHost(std::move(host)) {
  setObjectName("ReportsForm");
  setWindowTitle("Reports");
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  resize(1000, 600);

  // The objects: search, filters, the list with ticks.
  auto *left = new QWidget(this);
  auto *leftLay = new QVBoxLayout(left);
  leftLay->setContentsMargins(0, 0, 0, 0);
  fSearch = NamedEdit(left, "EdSearch");
  fSearch->setPlaceholderText("Search");
  fSearch->setClearButtonEnabled(true);
  leftLay->addWidget(fSearch);
  auto *filters = new QHBoxLayout;
  auto box = [left, filters](const char *name, const char *text) {
    auto *b = new QCheckBox(text, left);
    b->setObjectName(name);
    filters->addWidget(b);
    return b;
  };
  fWithAlarms = box("CbWithAlarms", "Alarms");
  fMoving = box("CbMoving", "Moving");
  fOffline = box("CbOffline", "Offline");
  leftLay->addLayout(filters);
  fObjects = new QStandardItemModel(this);
  fObjectsFilter = new TReportObjectsFilter(fClient, this);
  fObjectsFilter->setSourceModel(fObjects);
  fObjectsView = new QListView(left);
  fObjectsView->setObjectName("ObjectList");
  fObjectsView->setModel(fObjectsFilter);
  fObjectsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  leftLay->addWidget(fObjectsView, 1);
  auto *ticks = new QHBoxLayout;
  auto *all = new QPushButton("All", left);
  all->setObjectName("BtnTickAll");
  auto *none = new QPushButton("None", left);
  none->setObjectName("BtnTickNone");
  ticks->addWidget(all);
  ticks->addWidget(none);
  leftLay->addLayout(ticks);
  connect(all, &QPushButton::clicked, this, [this] { TickShown(true); });
  connect(none, &QPushButton::clicked, this, [this] { TickShown(false); });
  connect(fSearch, &QLineEdit::textChanged, this, [this] { UpdateFilter(); });
  for (QCheckBox *b : {fWithAlarms, fMoving, fOffline})
    connect(b, &QCheckBox::toggled, this, [this] { UpdateFilter(); });

  // The report: kind, period, run, exports; the table and its totals.
  auto *right = new QWidget(this);
  auto *rightLay = new QVBoxLayout(right);
  rightLay->setContentsMargins(0, 0, 0, 0);
  auto *bar = new QHBoxLayout;
  fKind = new QComboBox(right);
  fKind->setObjectName("CbKind");
  auto *period = new QPushButton("Period...", right);
  period->setObjectName("BtnPeriod");
  fPeriodLabel = new QLabel(right);
  fPeriodLabel->setObjectName("LblPeriod");
  fRun = new QPushButton("Make report", right);
  fRun->setObjectName("BtnRun");
  fRun->setDefault(true);
  fExport = new QPushButton("Export...", right);
  fExport->setObjectName("BtnExport");
  fPrint = new QPushButton("Print...", right);
  fPrint->setObjectName("BtnPrint");
  bar->addWidget(fKind);
  bar->addWidget(period);
  bar->addWidget(fPeriodLabel, 1);
  bar->addWidget(fRun);
  bar->addWidget(fExport);
  bar->addWidget(fPrint);
  rightLay->addLayout(bar);
  connect(period, &QPushButton::clicked, this, [this] { AskPeriod(); });
  connect(fRun, &QPushButton::clicked, this, [this] { Run(); });
  connect(fExport, &QPushButton::clicked, this, [this] { Export(); });
  connect(fPrint, &QPushButton::clicked, this, [this] { Print(); });

  fModel = new TReportsModel(false, this);
  fTotals = new TReportsModel(true, this);
  fSort = new QSortFilterProxyModel(this);
  fSort->setSourceModel(fModel);
  fSort->setSortRole(TReportsModel::kSortRole);
  fView = new QTableView(right);
  fView->setObjectName("ReportTable");
  fView->setModel(fSort);
  fView->setSortingEnabled(true);
  fView->setSelectionBehavior(QAbstractItemView::SelectRows);
  fView->setSelectionMode(QAbstractItemView::SingleSelection);
  fView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fView->verticalHeader()->hide();
  fView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  connect(fView, &QTableView::doubleClicked, this,
          [this](const QModelIndex &i) { ShowRow(i.row()); });
  fTotalsView = new QTableView(right);
  fTotalsView->setObjectName("ReportTotals");
  fTotalsView->setModel(fTotals);
  fTotalsView->horizontalHeader()->hide();
  fTotalsView->verticalHeader()->hide();
  fTotalsView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fTotalsView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fTotalsView->setFocusPolicy(Qt::NoFocus);
  fTotalsView->setFixedHeight(fTotalsView->verticalHeader()->defaultSectionSize() + 4);
  // The totals stand under their columns however the table is sized or scrolled.
  connect(fView->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int c, int, int w) { fTotalsView->setColumnWidth(c, w); });
  connect(fView->horizontalScrollBar(), &QScrollBar::valueChanged,
          fTotalsView->horizontalScrollBar(), &QScrollBar::setValue);
  rightLay->addWidget(fView, 1);
  rightLay->addWidget(fTotalsView);
  fStatus = new QLabel(right);
  fStatus->setObjectName("LblStatus");
  rightLay->addWidget(fStatus);

  auto *split = new QSplitter(this);
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(1, 1);
  split->setSizes({240, 760});
  auto *lay = new QVBoxLayout(this);
  lay->addWidget(split);

  TranslateForm(this);
  const TReportText text = Texts();
  for (int k = 0; k < kReportKindCount; ++k)
    fKind->addItem(Q(ReportKindName(static_cast<TReportKind>(k), text)));
  LoadObjects();
  ShowPeriod();
}

TReportsForm::~TReportsForm() {
  // The views go before the table they show.
  fModel->SetTable(nullptr);
  fTotals->SetTable(nullptr);
}

TReportText TReportsForm::Texts() const {
  return [this](const std::string &key, const std::string &def) {
    const QString s = FormString(this, key);
    return s.isEmpty() ? def : s.toStdString();
  };
}

void TReportsForm::LoadObjects() {
  std::vector<int> ticked;
  for (const TReportObject &o : TickedObjects()) ticked.push_back(o.uid);
  fObjects->clear();
  for (const auto &oi : fClient.ObjList()) {
    if (oi->uid <= 0) continue;
    auto *item = new QStandardItem(Q(oi->name));
    item->setCheckable(true);
    item->setEditable(false);
    item->setData(oi->uid, kUidRole);
    item->setData(Q(ObjectSearchText(*oi, fHost.Address)), kFoldedRole);
    item->setData(Q(ObjectPhoneDigits(*oi)), kDigitsRole);
    fObjects->appendRow(item);
  }
  TickObjects(ticked);
}

void TReportsForm::TickObjects(const std::vector<int> &uids) {
  for (int r = 0; r < fObjects->rowCount(); ++r) {
    QStandardItem *item = fObjects->item(r);
    const int uid = item->data(kUidRole).toInt();
    const bool on = std::find(uids.begin(), uids.end(), uid) != uids.end();
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

void TReportsForm::TickShown(bool on) {
  for (int r = 0; r < fObjectsFilter->rowCount(); ++r) {
    const QModelIndex src = fObjectsFilter->mapToSource(fObjectsFilter->index(r, 0));
    fObjects->itemFromIndex(src)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

std::vector<TReportObject> TReportsForm::TickedObjects() const {
  std::vector<TReportObject> out;
  for (int r = 0; r < fObjects->rowCount(); ++r) {
    const QStandardItem *item = fObjects->item(r);
    if (item->checkState() == Qt::Checked)
      out.push_back({item->data(kUidRole).toInt(), item->text().toStdString()});
  }
  return out;
}

void TReportsForm::UpdateFilter() {
  TObjectFilter f;
  f.query = TSearchQuery(SearchFold(fSearch->text().toStdString()));
  f.withAlarms = fWithAlarms->isChecked();
  f.moving = fMoving->isChecked();
  f.offline = fOffline->isChecked();
  fObjectsFilter->SetFilter(std::move(f));
}

void TReportsForm::SetPeriod(TDateTime dt1, TDateTime dt2) {
  fDt1 = dt1;
  fDt2 = dt2;
  ShowPeriod();
}

bool TReportsForm::AskPeriod() {
  TPeriodRequestForm dlg(this, "ReportPeriod");
  PreparePeriodDialog(dlg, [this] { return fClient.DisplayNow(); });
  if (fDt2 > fDt1) {
    dlg.SetDt1(fDt1);
    dlg.SetDt2(fDt2);
  }
  if (!dlg.DoRequest(false)) return false;
  SetPeriod(dlg.Dt1(), dlg.Dt2());
  return true;
}

void TReportsForm::ShowPeriod() {
  fPeriodLabel->setText(fDt2 > fDt1 ? Q(dt2s(fDt1, "dd.mm.yyyy hh:nn") + " - " +
                                        dt2s(fDt2, "dd.mm.yyyy hh:nn"))
                                    : FormString(this, "no_period"));
}

void TReportsForm::SetKind(TReportKind kind) { fKind->setCurrentIndex(static_cast<int>(kind)); }

TReportKind TReportsForm::Kind() const {
  return static_cast<TReportKind>(std::clamp(fKind->currentIndex(), 0, kReportKindCount - 1));
}

void TReportsForm::SetStatus(const QString &text) { fStatus->setText(text); }

QString TReportsForm::StageText(const QWidget *form, TReportStage stage,
                                const std::string &object) {
  static const char *const kKeys[] = {"stage_track", "stage_reduce", "stage_events",
                                      "stage_places"};
  const QString s = FormString(form, kKeys[static_cast<int>(stage)], {object});
  return s.isEmpty() ? Q(kKeys[static_cast<int>(stage)]) : s;
}

bool TReportsForm::Run() {
  TReportJob job;
  job.objects = TickedObjects();
  if (job.objects.empty()) {
    Prompt::Message(this, QMessageBox::Information, windowTitle(), FormString(this, "no_objects"));
    return false;
  }
  if (!(fDt2 > fDt1) && !AskPeriod()) return false;
  job.kind = Kind();
  job.dt1 = fDt1;
  job.dt2 = fDt2;
  // What the worker reads is copied here, on this thread: the zones, the traps' texts, the
  // stage texts. The client's records may be replaced while the work runs.
  std::vector<TZoneInfo> zones;
  if (job.kind == TReportKind::Summary)
    for (const auto &z : fClient.ZoneList()) zones.push_back(*z);
  for (const auto &t : fClient.TrapList()) job.trapKinds[t->uid] = TrapRowText(*t) + " " + t->Condition();
  std::array<std::string, 4> stagePatterns;
  for (int s = 0; s < 4; ++s)
    stagePatterns[size_t(s)] = StageText(this, static_cast<TReportStage>(s), "%s").toStdString();

  auto builder = std::make_unique<TReportBuilder>(fDt1, fDt2, std::move(zones));
  auto worker = std::make_unique<TKelvraClient>(fClient.ApiServer(), fClient.Token(), "");
  worker->CopySession(fClient);
  std::string log;
  worker->SetLogCallback([&log](const std::string &s) { log += s; });
  std::atomic<bool> cancelled{false};
  TReportOutcome outcome;
  if (fHost.Log)
    fHost.Log("\rReport " + ReportKindName(job.kind) + ": " + std::to_string(job.objects.size()) +
              " objects, " + dt2s(fDt1) + " - " + dt2s(fDt2));
  const TCancellableWork work(worker->ApiClient()); // a Cancel between two fetches is never lost
  RunBusy(
      [&] {
        outcome = RunReportJob(
            *worker, job, *builder, fHost.Addresses,
            [&](TReportStage stage, const std::string &object, size_t done, size_t total) {
              ReportBusyProgress(Format(stagePatterns[size_t(stage)], {object}), done, total);
              return !cancelled;
            });
      },
      [&] {
        cancelled = true;
        worker->ApiClient().Abort();
      },
      this);
  if (fHost.Log && !log.empty()) fHost.Log(log);
  if (cancelled || outcome.cancelled) {
    if (fHost.Log) fHost.Log("\r  cancelled");
    SetStatus(FormString(this, "cancelled"));
    return false;
  }
  if (!outcome.error.empty()) {
    if (fHost.Log) fHost.Log("\r  x: " + outcome.error);
    SetStatus(FormString(this, "failed", {outcome.error}));
    Prompt::Message(this, QMessageBox::Warning, windowTitle(),
                    FormString(this, "failed", {outcome.error}));
    return false;
  }
  if (fHost.Log)
    fHost.Log("\r  trips " + std::to_string(builder->Trips().size()) + ", stops " +
              std::to_string(builder->Stops().size()) + ", events " +
              std::to_string(builder->Events().size()));
  std::string objects;
  if (job.objects.size() <= 3) {
    for (const TReportObject &o : job.objects) objects += (objects.empty() ? "" : ", ") + o.name;
  } else {
    objects = FormString(this, "objects_count", {std::to_string(job.objects.size())}).toStdString();
  }
  const TReportText text = Texts();
  auto table = std::make_unique<TReportTable>(
      MakeReportTable(job.kind, *builder, objects, text, fHost.Address));
  fModel->SetTable(table.get());
  fTotals->SetTable(table.get());
  fTable = std::move(table);
  fView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  fSort->sort(-1);
  fView->resizeColumnsToContents();
  for (int c = 0; c < fModel->columnCount(); ++c)
    fTotalsView->setColumnWidth(c, fView->columnWidth(c));
  SetStatus(Q(fTable->title));
  if (fHost.Log) fHost.Log("\r  -> " + std::to_string(fTable->rows.size()) + " rows");
  return true;
}

QString TReportsForm::ExportTo(const QString &fileName) {
  if (!fTable) return FormString(this, "no_report");
  const QString ext = QFileInfo(fileName).suffix().toLower();
  std::string err;
  if (ext == "xlsx") {
    err = WriteReportXlsx(fileName.toStdString(), *fTable);
  } else if (ext == "pdf") {
    return WriteReportPdf(fileName, *fTable, FormString(this, "page_of"));
  } else {
    err = WriteReportCsv(fileName.toStdString(), *fTable);
  }
  return Q(err);
}

void TReportsForm::Export() {
  if (!fTable) {
    Prompt::Message(this, QMessageBox::Information, windowTitle(), FormString(this, "no_report"));
    return;
  }
  QString fn = Prompt::SaveFileName(this, FormString(this, "export_title"),
                                    Q(HomeDir + "report.xlsx"),
                                    "Excel (*.xlsx);;CSV (*.csv);;PDF (*.pdf)");
  if (fn.isEmpty()) return;
  if (QFileInfo(fn).suffix().isEmpty()) fn += ".xlsx";
  const QString err = ExportTo(fn);
  if (!err.isEmpty()) {
    Prompt::Message(this, QMessageBox::Warning, FormString(this, "export_title"),
                    FormString(this, "export_error", {err.toStdString()}));
    return;
  }
  if (fHost.Log) fHost.Log("\rReport written to " + fn.toStdString());
  OpenExportedFile(fn);
}

void TReportsForm::Print() {
  if (!fTable) {
    Prompt::Message(this, QMessageBox::Information, windowTitle(), FormString(this, "no_report"));
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(Q(fTable->title));
  QPrintDialog dlg(&printer, this);
  dlg.setObjectName("PrintDialog");
  if (Prompt::Exec(&dlg) != QDialog::Accepted) return;
  if (PaintReport(printer, *fTable, FormString(this, "page_of")) == 0)
    Prompt::Message(this, QMessageBox::Warning, windowTitle(),
                    FormString(this, "export_error", {"printer"}));
}

void TReportsForm::ShowRow(int viewRow) {
  if (!fTable || !fHost.ShowOnMap) return;
  const QModelIndex src = fSort->mapToSource(fSort->index(viewRow, 0));
  if (!src.isValid() || size_t(src.row()) >= fTable->targets.size()) return;
  const TReportTarget &t = fTable->targets[size_t(src.row())];
  const std::string name = fTable->rows[size_t(src.row())][0].text;
  fHost.ShowOnMap(t, name + "-" + ReportKindName(fTable->kind) + " " + dt2s(t.dt1, "dd.mm hh:nn"));
}

} // namespace kelvra
