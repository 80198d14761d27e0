#include "ui/tracks/CalculatorForm.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "core/util/DisplayUnits.h"
#include "core/util/LumDates.h"
#include "core/util/LumSmallUtils.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {
QPointer<TCalculatorForm> gCalculator;
} // namespace

TCalculatorForm::TCalculatorForm(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("CalculatorForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("Calculator");
  auto *lay = new QVBoxLayout(this);
  fItems = new QStandardItemModel(0, 5, this);
  fItems->setHorizontalHeaderLabels({"time", "lat", "lon", "alt", "acc"});
  fTable = new QTableView(this);
  fTable->setObjectName("PointList");
  fTable->setModel(fItems);
  fTable->verticalHeader()->hide();
  fTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  lay->addWidget(fTable, 1);
  auto *form = new QFormLayout;
  fDistance = NamedEdit(this, "EdDistance");
  fDistance->setReadOnly(true);
  form->addRow(FormString(this, "EdDistance_label"), fDistance);
  lay->addLayout(form);
  TranslateForm(this);
  fItems->setHorizontalHeaderLabels(FormString(this, "PointList_columns").split('|'));
  resize(520, 170);
}

TCalculatorForm::~TCalculatorForm() = default;

void TCalculatorForm::AppendPoint(const TTrackPointInfo &point) {
  while (fPoints.size() > 1)
    fPoints.erase(fPoints.begin());
  fPoints.push_back(std::make_unique<TTrackPointInfo>(point));
  fItems->setRowCount(0);
  const TDisplayUnits &u = DisplayUnits();
  for (const auto &p : fPoints) {
    QList<QStandardItem *> row;
    for (const std::string &s : {dt2s(p->obj_dt), u.Latitude(p->lat), u.Longitude(p->lon),
                                 u.AltitudeText(p->alt, 2), u.AltitudeText(p->acc, 2)}) {
      auto *item = new QStandardItem(Q(s));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      row << item;
    }
    fItems->appendRow(row);
  }
  if (fPoints.size() == 2)
    fDistance->setText(Q(u.AltitudeText(fPoints[0]->DistanceTo(*fPoints[1]), 2)));
}

QString TCalculatorForm::DistanceText() const { return fDistance->text(); }

TCalculatorForm *ShowCalculator(QWidget *owner) {
  if (!gCalculator) gCalculator = new TCalculatorForm(owner);
  gCalculator->show();
  gCalculator->raise();
  return gCalculator;
}

} // namespace kelvra
