#include "ui/tracks/TrackDumpForm.h"

#include <utility>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QShortcut>
#include <QStackedWidget>
#include <QTableView>
#include <QToolBar>
#include <QUrl>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

#include "core/app/Common.h"
#include "ui/tracks/TrackFiles.h"
#include "ui/tracks/CalculatorForm.h"
#include "ui/tracks/TrackInfoForms.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {

// Local display time as the chart's axis counts it.
double ChartX(TDateTime dt) {
  const double day = std::floor(dt);
  const QDateTime t(QDate(1899, 12, 30).addDays(static_cast<qint64>(day)),
                    QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::lround((dt - day) * 86400000.0)) % 86400000));
  return static_cast<double>(t.toMSecsSinceEpoch());
}

} // namespace

// ---------------------------------------------------------------- model

void TTrackDumpModel::SetTrack(const TGeoTrack *track) {
  beginResetModel();
  fTrack = track;
  fOrder.clear();
  if (track) {
    fOrder.resize(track->Points().size());
    for (size_t i = 0; i < fOrder.size(); ++i)
      fOrder[i] = static_cast<int>(i);
  }
  fSortColumn = -1;
  fDescending = false;
  endResetModel();
}

int TTrackDumpModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fOrder.size());
}

int TTrackDumpModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : DumpColumnCount;
}

QVariant TTrackDumpModel::data(const QModelIndex &index, int role) const {
  const TTrackPointInfo *tp = PointAt(index.row());
  if (!tp) return {};
  if (role == Qt::DisplayRole) return Q(DumpCellText(*tp, index.column()));
  if (role == Qt::TextAlignmentRole && index.column() != dcSensors && index.column() != dcGpsTime)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant TTrackDumpModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal && section >= 0 && section < DumpColumnCount)
    return QString::fromStdString(DumpColumnHeader(
        section, fTitles.size() == DumpColumnCount ? fTitles[section].toStdString() : DumpColumnTitles[section]));
  return {};
}

void TTrackDumpModel::sort(int column, Qt::SortOrder order) {
  if (!fTrack || !DumpSortable(column)) return;
  const bool descending = order == Qt::DescendingOrder;
  // A million rows take a while to sort: on a worker, while the table goes on showing the old
  // order (both only read the points). "Cancel" keeps that order.
  std::vector<int> sorted;
  std::atomic<bool> cancelled{false};
  const TGeoTrack *track = fTrack;
  RunBusy(
      [&] {
        ReportBusyProgress(BusyStageText("stage_sorting", "Sorting the rows..."), 0, 0);
        sorted = DumpSortOrder(track->Points(), column, descending);
      },
      [&cancelled] { cancelled = true; }, qobject_cast<QWidget *>(QObject::parent()));
  if (cancelled || fTrack != track) return;
  emit layoutAboutToBeChanged();
  fSortColumn = column;
  fDescending = descending;
  fOrder = std::move(sorted);
  emit layoutChanged();
}

void TTrackDumpModel::SortByTitle(int column) {
  if (!DumpSortable(column)) return;
  const bool desc = column == fSortColumn ? !fDescending : false;
  sort(column, desc ? Qt::DescendingOrder : Qt::AscendingOrder);
}

const TTrackPointInfo *TTrackDumpModel::PointAt(int row) const {
  if (!fTrack || row < 0 || row >= static_cast<int>(fOrder.size())) return nullptr;
  return fTrack->Points()[fOrder[row]].get();
}

// ---------------------------------------------------------------- window

TTrackDumpForm::TTrackDumpForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("TrackDumpForm");
  setAttribute(Qt::WA_DeleteOnClose);
  resize(1100, 600);
  auto *layout = new QVBoxLayout(this);
  auto *bar = new QToolBar(this);
  bar->setObjectName("ToolBar");
  auto add = [&](const char *name, const char *text, auto slot) {
    QAction *a = bar->addAction(text, this, slot);
    a->setObjectName(name);
    a->setToolTip(FormString(this, std::string(name) + "_hint"));
    return a;
  };
  add("SbCopyColumns", "C", &TTrackDumpForm::CopyColumns);
  add("SbCopyRows", "R", &TTrackDumpForm::CopyRows);
  bar->addSeparator();
  add("SbShowChart", "Chart", &TTrackDumpForm::ShowChart);
  add("SbShowDump", "Table", &TTrackDumpForm::ShowDump);
  add("SbShowTrackInfo", "Info", &TTrackDumpForm::ShowTrackInfo);
  add("SbExportTrack", "Export", &TTrackDumpForm::ExportTrack);
  add("SbCalculator", "Calculator", &TTrackDumpForm::AddToCalculator);
  auto *plus = new QShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus), this);
  connect(plus, &QShortcut::activated, this, &TTrackDumpForm::AddToCalculator);
  for (QAction *a : bar->actions())
    if (!a->isSeparator()) a->setText(a->toolTip());
  fChartValues = new QComboBox(this);
  fChartValues->setObjectName("CbChartValue");
  fChartValues->setMinimumContentsLength(20);
  bar->addWidget(fChartValues);
  fSummaryLabel = new QLabel(this);
  fSummaryLabel->setObjectName("LblSummary");
  fSummaryValue = new QLabel(this);
  fSummaryValue->setObjectName("LblSummaryValue");
  fSummaryValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar->addSeparator();
  bar->addWidget(fSummaryLabel);
  bar->addWidget(fSummaryValue);
  layout->addWidget(bar);

  fStack = new QStackedWidget(this);
  fModel = new TTrackDumpModel(this);
  fTable = new QTableView(this);
  fTable->setObjectName("DumpList");
  fTable->setModel(fModel);
  fModel->SetTitles(FormString(this, "DumpList_columns").split('|'));
  fTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  fTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
  fTable->verticalHeader()->setDefaultSectionSize(fTable->fontMetrics().height() + 6);
  fTable->verticalHeader()->hide();
  fTable->horizontalHeader()->setSectionsClickable(true);
  fTable->horizontalHeader()->setStretchLastSection(true);
  // Fitting a column to its contents measures 100 rows (the ones in view first), not Qt's 1,000:
  // the thousands of texts of a big track held the window for the fit.
  fTable->horizontalHeader()->setResizeContentsPrecision(100);
  connect(fTable->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
    fModel->SortByTitle(c);
    if (DumpSortable(c))
      fTable->horizontalHeader()->setSortIndicator(
          c, fModel->Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
  });
  connect(fTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TTrackDumpForm::UpdateSummary);
  connect(fTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TTrackDumpForm::UpdateSummary);
  fStack->addWidget(fTable);

  fChartView = new QChartView(this);
  fChartView->setObjectName("Chart");
  fChartView->setRenderHint(QPainter::Antialiasing);
  fChartView->chart()->legend()->hide();
  fStack->addWidget(fChartView);
  layout->addWidget(fStack, 1);
  connect(fChartValues, &QComboBox::currentIndexChanged, this, [this] {
    if (ChartShown()) FillChart();
  });

  for (auto keys : {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)})
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &TTrackDumpForm::CopyColumns);
  for (auto keys : {QKeySequence(Qt::ALT | Qt::Key_C), QKeySequence(Qt::ALT | Qt::Key_Insert)})
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &TTrackDumpForm::CopyRows);
  TranslateForm(this);
}

TTrackDumpForm::~TTrackDumpForm() {
  fModel->SetTrack(nullptr);
  if (fFreeTrackOnClose) delete fTrack;
}

void TTrackDumpForm::SetTrack(TGeoTrack *track, bool freeOnClose, TSensorNameFunc sensorName) {
  if (fFreeTrackOnClose && fTrack != track) delete fTrack;
  fTrack = track;
  fFreeTrackOnClose = freeOnClose;
  fSensorName = std::move(sensorName);
  fActivated = false;
  setWindowTitle(FormString(this, "track_dump", {track ? track->Sign() : std::string()}));
}

bool TTrackDumpForm::event(QEvent *e) {
  if (e->type() == QEvent::WindowActivate && !fActivated) BuildDump();
  return QWidget::event(e);
}

void TTrackDumpForm::BuildDump() {
  if (fActivated) return;
  fActivated = true;
  fModel->SetTrack(fTrack);
  fMinDate = 999999999;
  fMaxDate = 0;
  fValues.clear();
  fCharts.clear();
  fChartValues->clear();
  if (!fTrack) return;
  // The passes over every point (the period, the values, each value's chart) run on a worker:
  // the window answers while a big track is read. Input waits meanwhile and no timer deletes a
  // track, so the track stays until the worker has ended.
  const TGeoTrack *track = fTrack;
  TDateTime minDate = fMinDate, maxDate = fMaxDate;
  std::vector<TChartValue> values;
  std::vector<TChartData> charts;
  std::atomic<bool> cancelled{false};
  RunBusy(
      [&] {
        const std::string stage = BusyStageText("stage_dump", "Reading the points...");
        ReportBusyProgress(stage, 0, 0);
        for (const auto &p : track->Points()) {
          const TDateTime t = PointTime(*p);
          if (t == 0) continue;
          minDate = std::min(minDate, t);
          maxDate = std::max(maxDate, t);
        }
        values = DumpChartValues(track->Points(), fSensorName);
        for (size_t i = 0; i < values.size() && !cancelled; ++i) {
          ReportBusyProgress(stage, i, values.size());
          charts.push_back(ChartData(track->Points(), values[i].Key));
        }
      },
      [&cancelled] { cancelled = true; }, this);
  if (cancelled) { // the user would rather not wait: the window goes
    close();
    return;
  }
  fMinDate = minDate;
  fMaxDate = maxDate;
  fValues = std::move(values);
  fCharts = std::move(charts);
  for (const TChartValue &v : fValues)
    fChartValues->addItem(v.Key == "battery" || v.Key == "altitude" ? FormString(this, v.Key)
                                                                    : Q(v.Text));
  fChartValues->setCurrentIndex(-1);
  fTable->resizeColumnsToContents();
}

std::vector<const TTrackPointInfo *> TTrackDumpForm::SelectedPoints() const {
  QModelIndexList rows = fTable->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
  std::vector<const TTrackPointInfo *> pts;
  pts.reserve(rows.size());
  for (const QModelIndex &i : rows)
    if (const TTrackPointInfo *tp = fModel->PointAt(i.row())) pts.push_back(tp);
  return pts;
}

void TTrackDumpForm::UpdateSummary() {
  const auto sel = SelectedPoints();
  if (sel.size() < 2) return;
  const TDumpSummary s = DumpSummary(sel, fTable->currentIndex().column());
  fSummaryLabel->setText((s.LabelKey.empty() ? QString() : FormString(this, s.LabelKey)) + ":");
  QString value = Q(s.Value);
  // The days of a duration are named in the user's language.
  if (s.LabelKey == "duration") {
    value.replace(" days ", " " + FormString(this, "days") + " ");
    value.replace(" day ", " " + FormString(this, "day") + " ");
  }
  fSummaryValue->setText(value);
}

void TTrackDumpForm::CopyRows() {
  const std::string text = DumpCopyRows(SelectedPoints());
  if (!text.empty()) QApplication::clipboard()->setText(Q(text));
}

void TTrackDumpForm::CopyColumns() {
  const std::string text = DumpCopyColumn(SelectedPoints(), fTable->currentIndex().column());
  if (!text.empty()) QApplication::clipboard()->setText(Q(text));
}

bool TTrackDumpForm::ChartShown() const { return fStack->currentWidget() == fChartView; }

void TTrackDumpForm::ShowChart() {
  BuildDump();
  if (fChartValues->currentIndex() < 0 && fChartValues->count() > 0)
    fChartValues->setCurrentIndex(0);
  fStack->setCurrentWidget(fChartView);
  fSummaryLabel->hide();
  fSummaryValue->hide();
  FillChart();
}

void TTrackDumpForm::ShowDump() {
  fStack->setCurrentWidget(fTable);
  fSummaryLabel->show();
  fSummaryValue->show();
}

void TTrackDumpForm::FillChart() {
  QChart *chart = fChartView->chart();
  chart->removeAllSeries();
  for (QAbstractAxis *a : chart->axes())
    chart->removeAxis(a);
  fShown.clear();
  const int idx = fChartValues->currentIndex();
  if (!fTrack || idx < 0 || idx >= static_cast<int>(fCharts.size())) return;
  const TChartData &data = fCharts[idx];
  // A million points cannot be told apart on a few hundred pixels: keep the extremes per pixel.
  fShown = ThinSeries(data.Points, std::max(fChartView->width(), 200));
  auto *line = new QLineSeries(chart);
  auto *dots = new QScatterSeries(chart);
  dots->setMarkerSize(6);
  QList<QPointF> pts;
  pts.reserve(static_cast<qsizetype>(fShown.size()));
  for (TChartPoint &p : fShown) {
    p.X = ChartX(p.X);
    pts.append(QPointF(p.X, p.Y));
  }
  line->replace(pts);
  // Dots to click on while they can be told apart; the line alone beyond that.
  if (fShown.size() <= 300) dots->replace(pts);
  chart->addSeries(line);
  chart->addSeries(dots);
  auto *ax = new QDateTimeAxis(chart);
  const bool sameDay = std::floor(fMinDate) == std::floor(fMaxDate);
  ax->setFormat(sameDay ? "hh:mm" : "dd.MM hh:mm");
  auto *ay = new QValueAxis(chart);
  ay->setRange(0, std::max(data.AxisMax, 1e-9));
  chart->addAxis(ax, Qt::AlignBottom);
  chart->addAxis(ay, Qt::AlignLeft);
  for (QAbstractSeries *s : {static_cast<QAbstractSeries *>(line), static_cast<QAbstractSeries *>(dots)}) {
    s->attachAxis(ax);
    s->attachAxis(ay);
  }
  if (!fShown.empty())
    ax->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(fShown.front().X)),
                 QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::max(fShown.back().X, fShown.front().X + 60000))));
  const std::string unit = ChartUnit(fValues[size_t(idx)].Key);
  chart->setTitle(unit.empty() ? fChartValues->currentText()
                               : fChartValues->currentText() + ", " + QString::fromStdString(unit));
  connect(line, &QLineSeries::clicked, this, &TTrackDumpForm::ChartPointClicked);
  connect(dots, &QScatterSeries::clicked, this, &TTrackDumpForm::ChartPointClicked);
}

int TTrackDumpForm::ChartPointIndex(double x) const {
  if (fShown.empty()) return -1;
  auto it = std::lower_bound(fShown.begin(), fShown.end(), x,
                             [](const TChartPoint &p, double v) { return p.X < v; });
  if (it == fShown.end()) return fShown.back().PointIndex;
  if (it != fShown.begin() && x - std::prev(it)->X < it->X - x) --it;
  return it->PointIndex;
}

void TTrackDumpForm::ChartPointClicked(const QPointF &p) {
  const int i = ChartPointIndex(p.x());
  if (!fTrack || i < 0) return;
  auto *info = new TTrackPointInfoForm(this);
  info->ShowTrackPoint(std::as_const(*fTrack).Points()[i].get(), QCursor::pos());
}

void TTrackDumpForm::ShowTrackInfo() {
  if (!fTrack) return;
  auto *info = new TTrackInfoForm(this);
  info->ShowTrackInfo(fTrack, QCursor::pos());
}

void TTrackDumpForm::AddToCalculator() {
  const std::vector<const TTrackPointInfo *> points = SelectedPoints();
  if (points.empty() || !points.front()) return;
  ShowCalculator(this)->AppendPoint(*points.front());
}

void TTrackDumpForm::ExportTrack() {
  if (fTrack) SaveTrackAs(this, *fTrack, FormString(this, "export_track"));
}

} // namespace kelvra
