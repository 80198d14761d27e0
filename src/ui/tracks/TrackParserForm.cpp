#include "ui/tracks/TrackParserForm.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <atomic>
#include <functional>

#include "core/app/Common.h"
#include "core/util/LumFormat.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {

std::string ImportStageText(TImportStage stage) {
  static const char *const kKeys[] = {"stage_reading", "stage_lines", "stage_building",
                                      "stage_statistics"};
  static const char *const kTexts[] = {"Reading the file...", "Finding the lines...",
                                       "Building the points...", "Measuring the track..."};
  const auto i = static_cast<size_t>(stage);
  return BusyStageText(kKeys[i], kTexts[i]);
}

// Runs a piece of the import on a worker while the window keeps answering; the busy window names
// the stage and shows how far it is. False when "Cancel" was pressed (the work has stopped then).
bool RunImportWork(QWidget *parent, const std::function<void(const TImportProgress &)> &work) {
  std::atomic<bool> cancelled{false};
  RunBusy(
      [&] {
        work([&cancelled](TImportStage stage, size_t done, size_t total) {
          ReportBusyProgress(ImportStageText(stage), done, total);
          return !cancelled;
        });
      },
      [&cancelled] { cancelled = true; }, parent);
  return !cancelled;
}
const char *const kFieldNames[PointFieldCount] = {"CbTime",     "CbLatitude", "CbLongitude",
                                                  "CbAltitude", "CbAccuracy", "CbSpeed",
                                                  "CbBearing"};
} // namespace

// ---------------------------------------------------------------- grid

void TTrackParserModel::SetParser(const TTrackFileParser *parser) {
  beginResetModel();
  fParser = parser;
  endResetModel();
}

int TTrackParserModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() || !fParser ? 0 : fParser->RowCount();
}

int TTrackParserModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() || !fParser ? 0 : static_cast<int>(fParser->Headers().size());
}

QVariant TTrackParserModel::data(const QModelIndex &index, int role) const {
  if (!fParser || role != Qt::DisplayRole) return {};
  return Q(fParser->Field(index.row(), index.column()));
}

QVariant TTrackParserModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!fParser || role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  const auto &h = fParser->Headers();
  return section >= 0 && section < static_cast<int>(h.size()) ? Q(h[section]) : QVariant();
}

// ---------------------------------------------------------------- dialog

TTrackParser::TTrackParser(QWidget *parent) : QDialog(parent) {
  setObjectName("TrackParser");
  resize(1000, 700);
  auto *layout = new QVBoxLayout(this);
  auto *top = new QGridLayout();
  auto label = [&](const char *name) {
    auto *l = new QLabel(this);
    l->setObjectName(name);
    return l;
  };
  fFileNameEdit = new QLineEdit(this);
  fFileNameEdit->setObjectName("EdFileName");
  fFileNameEdit->setReadOnly(true);
  auto *open = new QToolButton(this);
  open->setObjectName("ButOpenFile");
  open->setText("...");
  connect(open, &QToolButton::clicked, this, &TTrackParser::OpenFile);
  top->addWidget(label("LblFileName"), 0, 0);
  top->addWidget(fFileNameEdit, 0, 1, 1, 4);
  top->addWidget(open, 0, 5);
  fSign = new QLineEdit(this);
  fSign->setObjectName("EdSign");
  fSeparator = new QLineEdit(";", this);
  fSeparator->setObjectName("EdSeparator");
  fSeparator->setMaxLength(static_cast<int>(TTrackFileParser::MaxSeparator));
  auto *parse = new QPushButton(this);
  parse->setObjectName("ButParse");
  connect(parse, &QPushButton::clicked, this, [this] { ParseFile(); });
  top->addWidget(label("LblSign"), 1, 0);
  top->addWidget(fSign, 1, 1);
  top->addWidget(label("LblSeparator"), 1, 2);
  top->addWidget(fSeparator, 1, 3);
  top->addWidget(parse, 1, 4);
  fLayer = new QSpinBox(this);
  fLayer->setObjectName("SpLayer");
  fLayer->setRange(0, 9);
  fStyle = new QComboBox(this);
  fStyle->setObjectName("CbStyle");
  for (const TGeoTrackStyle &s : GeoTrackStyles)
    fStyle->addItem(FormString(this, s.Sign));
  fStyle->setCurrentIndex(0);
  top->addWidget(label("LblLayer"), 2, 0);
  top->addWidget(fLayer, 2, 1);
  top->addWidget(label("LblStyle"), 2, 2);
  top->addWidget(fStyle, 2, 3);
  layout->addLayout(top);

  auto *fields = new QGridLayout();
  for (int f = 0; f < PointFieldCount; ++f) {
    auto *name = new QLabel(FormString(this, PointFieldLabels[f]), this);
    auto *box = new QComboBox(this);
    box->setObjectName(kFieldNames[f]);
    box->setMinimumContentsLength(12);
    auto *clear = new QToolButton(this);
    clear->setText("x");
    clear->setToolTip(FormString(this, "clear_hint"));
    connect(clear, &QToolButton::clicked, box, [box] { box->setCurrentIndex(-1); });
    fFileFields[f] = box;
    const int row = f % 4, col = f / 4 * 3;
    fields->addWidget(name, row, col);
    fields->addWidget(box, row, col + 1);
    fields->addWidget(clear, row, col + 2);
  }
  layout->addLayout(fields);

  auto *split = new QSplitter(Qt::Vertical, this);
  fModel = new TTrackParserModel(this);
  fGrid = new QTableView(split);
  fGrid->setObjectName("Grid");
  fGrid->setModel(fModel);
  fGrid->verticalHeader()->setDefaultSectionSize(fGrid->fontMetrics().height() + 6);
  // Fitting a column to its contents measures 100 rows, not Qt's 1,000 (the grid is fitted before
  // it is shown, when Qt cannot limit itself to the rows in view).
  fGrid->horizontalHeader()->setResizeContentsPrecision(100);
  fLog = new TLumTtyBox(split);
  fLog->setObjectName("Log");
  split->addWidget(fGrid);
  split->addWidget(fLog);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  layout->addWidget(split, 1);

  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto *make = buttons->addButton(QString(), QDialogButtonBox::ActionRole);
  make->setObjectName("ButMakeTrack");
  connect(make, &QPushButton::clicked, this, [this] { MakeTrack(); });
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ButOk");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("ButCancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  TranslateForm(this);
}

TTrackParser::~TTrackParser() { fModel->SetParser(nullptr); }

void TTrackParser::TxtOut(const std::string &text) { fLog->PutString(text); }

int TTrackParser::ParseModal(const QString &fileName) {
  const TRead read = ReadFile(fileName);
  if (read == TRead::Cancelled) return QDialog::Rejected;
  if (read == TRead::Read) ParseFile();
  return Prompt::Exec(this); // a file that could not be read is said in the log
}

bool TTrackParser::SetFileName(const QString &fileName) {
  return ReadFile(fileName) != TRead::Cancelled;
}

TTrackParser::TRead TTrackParser::ReadFile(const QString &fileName) {
  if (fileName == fFileName) return TRead::Read;
  // Read into a parser of its own: the grid and the file read before stay until the new one is
  // whole, and stay for good when the reading is cancelled or fails.
  TTrackFileParser next;
  int n = -1;
  const std::string file = fileName.toStdString();
  const bool done =
      RunImportWork(this, [&](const TImportProgress &progress) { n = next.LoadFromFile(file, progress); });
  if (!done || n < 0) {
    TxtOut("\rX: " + (done ? next.LoadError() : std::string("cancelled")));
    return done ? TRead::Failed : TRead::Cancelled;
  }
  fModel->SetParser(nullptr);
  fFileName = fileName;
  fFileNameEdit->setText(fileName);
  if (fSign->text().isEmpty()) fSign->setText(QFileInfo(fileName).fileName());
  fParser = std::move(next);
  TxtOut(Format("\r%d lines loaded", {n}));
  return TRead::Read;
}

void TTrackParser::ParseFile(const QString &fileName) {
  if (!fileName.isEmpty() && ReadFile(fileName) != TRead::Read) return;
  fParser.SetSeparator(fSeparator->text().toStdString());
  fSeparator->setText(Q(fParser.Separator()));
  std::string error;
  const bool ok = fParser.Parse(error);
  fModel->SetParser(&fParser);
  if (!ok) {
    TxtOut("\rX: " + error);
    return;
  }
  TxtOut(Format("\rParsed: columns:%d lines:%d",
                {static_cast<int64_t>(fParser.Headers().size()), fParser.RowCount()}));
  if (!fParser.ParseNote().empty()) TxtOut("\rW: " + fParser.ParseNote());
  const TColumnMap guess = GuessColumns(fParser.Headers());
  for (int f = 0; f < PointFieldCount; ++f) {
    QComboBox *box = fFileFields[f];
    box->clear();
    for (const std::string &h : fParser.Headers())
      box->addItem(Q(h));
    box->setCurrentIndex(guess[f]);
  }
  if (fGrid->model()->columnCount() > 0) {
    fGrid->resizeColumnsToContents();
    fGrid->setColumnWidth(0, fGrid->columnWidth(0) + 40);
  }
}

TColumnMap TTrackParser::Columns() const {
  TColumnMap m;
  for (int f = 0; f < PointFieldCount; ++f)
    m[f] = fFileFields[f]->currentIndex();
  return m;
}

bool TTrackParser::MakeTrack() {
  const std::string sign = fSign->text().toStdString();
  TxtOut("\rMake track [" + sign + "]");
  TTrackBuild b;
  const TColumnMap columns = Columns();
  const int layer = fLayer->value(), style = fStyle->currentIndex();
  // The grid reads the same rows meanwhile; neither changes them.
  const bool done = RunImportWork(this, [&](const TImportProgress &progress) {
    b = fParser.MakeTrack(columns, sign, layer, style, progress);
  });
  if (!done || b.Cancelled) { // a track made before stays
    TxtOut("\rX: cancelled");
    return false;
  }
  fGeoTrack.reset();
  if (!b.Track) {
    TxtOut(b.Row > 0 ? Format("\rX[%d]: %s", {b.Row, b.Error}) : "\rX: " + b.Error);
    if (!b.Detail.empty()) TxtOut("\r  x: " + b.Detail);
    return false;
  }
  fGeoTrack = std::move(b.Track);
  TxtOut(TrackBuildLog(*fGeoTrack));
  return true;
}

std::unique_ptr<TGeoTrack> TTrackParser::GetTrack() { return std::move(fGeoTrack); }

void TTrackParser::OpenFile() {
  const QString name = Prompt::OpenFileName(this, FormString(this, "open_file"), Q(HomeDir),
                                            "CSV (*.csv);;ALL (*)");
  if (!name.isEmpty()) ParseFile(name);
}

} // namespace kelvra
