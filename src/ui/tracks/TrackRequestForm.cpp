#include "ui/tracks/TrackRequestForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/model/ObjectInfo.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/PeriodButtons.h"
#include "core/util/LumIniFiles.h"
#include "ui/widgets/DialogParts.h"
#include "ui/widgets/PeriodRequestForm.h"
#include "ui/widgets/QtDates.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {
const char *const kTrackSection = "Track";
} // namespace

TTrackRequestForm::TTrackRequestForm(QWidget *parent) : QDialog(parent) {
  setObjectName("TrackRequestForm");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fObjectName = NamedEdit(this, "EdObjectName");
  fObjectId = NamedEdit(this, "EdObjectId");
  for (QLineEdit *e : {fObjectName, fObjectId})
    e->setReadOnly(true);
  form->addRow(FormString(this, "EdObjectName_label"), fObjectName);
  form->addRow(FormString(this, "EdObjectId_label"), fObjectId);
  auto *select = new QPushButton("Select period", this);
  select->setObjectName("ButSelectPeriod");
  select->setAutoDefault(false);
  fSelectPeriod = select;
  connect(select, &QPushButton::clicked, this, &TTrackRequestForm::SelectPeriod);
  form->addRow(QString(), select);
  auto dtRow = [this, form](const char *label, const char *dateName, const char *timeName,
                            QDateEdit *&d, QTimeEdit *&t) {
    d = NewDateEdit(this, dateName);
    t = NewTimeEdit(this, timeName);
    auto *row = new QHBoxLayout;
    row->addWidget(d, 1);
    row->addWidget(t, 1);
    auto *l = new QLabel(this);
    l->setObjectName(label);
    form->addRow(l, row);
  };
  dtRow("LblFrom", "EdDate1", "EdTime1", fDate1, fTime1);
  dtRow("LblTo", "EdDate2", "EdTime2", fDate2, fTime2);
  fStyle = new QComboBox(this);
  fStyle->setObjectName("CbTrackStyle");
  for (const TGeoTrackStyle &s : GeoTrackStyles)
    fStyle->addItem(FormString(this, s.Sign));
  fStyle->setCurrentIndex(0);
  auto *styleLabel = new QLabel(this);
  styleLabel->setObjectName("LblTrackStyle");
  form->addRow(styleLabel, fStyle);
  fTrackSign = NamedEdit(this, "EdTrackSign");
  form->addRow(FormString(this, "EdTrackSign_label"), fTrackSign);
  lay->addLayout(form);
  auto check = [this, lay](const char *name) {
    auto *c = new QCheckBox(this);
    c->setObjectName(name);
    lay->addWidget(c);
    return c;
  };
  fSensors = check("CbRequestSensors");
  fBySysTime = check("CbRequestBySysTime");
  fNoMarkup = check("CbDoNotMarkup");
  lay->addWidget(OkCancelButtons(this));

  if (IniFile) {
    ShowDt(fDate1, fTime1, IniFile->ReadFloat(kTrackSection, "Dt1", 0));
    ShowDt(fDate2, fTime2, IniFile->ReadFloat(kTrackSection, "Dt2", 0));
    fTrackSign->setText(QString::fromStdString(IniFile->ReadString(kTrackSection, "Sign", "")));
  }
  TranslateForm(this);
}

TDateTime TTrackRequestForm::Dt1() const { return PickedDt(fDate1, fTime1); }
TDateTime TTrackRequestForm::Dt2() const { return PickedDt(fDate2, fTime2); }
void TTrackRequestForm::SetDt1(TDateTime dt) { ShowDt(fDate1, fTime1, dt); }
void TTrackRequestForm::SetDt2(TDateTime dt) { ShowDt(fDate2, fTime2, dt); }
int TTrackRequestForm::TrackStyle() const { return std::max(fStyle->currentIndex(), 0); }
std::string TTrackRequestForm::TrackSign() const {
  return fTrackSign->text().trimmed().toStdString();
}
void TTrackRequestForm::SetTrackSign(const std::string &sign) {
  fTrackSign->setText(QString::fromStdString(sign));
}
bool TTrackRequestForm::RequestSensors() const { return fSensors->isChecked(); }
bool TTrackRequestForm::RequestBySysTime() const { return fBySysTime->isChecked(); }
bool TTrackRequestForm::DoNotMarkup() const { return fNoMarkup->isChecked(); }

bool TTrackRequestForm::DoRequest(const TObjectInfo *oi) {
  fObjectName->setText(oi ? QString::fromStdString(oi->name) : QString());
  fObjectId->setText(oi ? QString::fromStdString(oi->id) : QString());
  if (Dt1() == 0 || Dt2() == 0) {
    const TPeriod p = DefaultPeriod(Now ? Now() : NowLocal());
    SetDt1(p.Dt1);
    SetDt2(p.Dt2);
    fTrackSign->setText(FormString(this, "six_hours"));
  }
  return Prompt::Exec(this) == QDialog::Accepted;
}

void TTrackRequestForm::SelectPeriod() {
  TPeriodRequestForm dlg(this);
  dlg.Now = Now;
  dlg.SetDt1(Dt1());
  dlg.SetDt2(Dt2());
  dlg.adjustSize();
  dlg.move(fSelectPeriod->mapToGlobal(QPoint(0, fSelectPeriod->height())));
  if (!dlg.DoRequest(true)) return;
  SetDt1(dlg.Dt1());
  SetDt2(dlg.Dt2());
  fTrackSign->setText(QString::fromStdString(dlg.Sign()));
}

void TTrackRequestForm::done(int r) {
  if (IniFile) {
    IniFile->WriteFloat(kTrackSection, "Dt1", Dt1());
    IniFile->WriteFloat(kTrackSection, "Dt2", Dt2());
    IniFile->WriteString(kTrackSection, "Sign", TrackSign());
  }
  QDialog::done(r);
}

} // namespace kelvra
