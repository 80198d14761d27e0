#include "ui/widgets/PeriodRequestForm.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cmath>

#include "core/app/Common.h"
#include "core/util/LumIniFiles.h"
#include "ui/widgets/DialogParts.h"
#include "ui/widgets/LumVUtils.h"
#include "ui/widgets/QtDates.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

const std::array<const char *, PeriodButtonCount> PeriodButtonNames = {
    "SbHour1", "SbHours2",    "SbHours3",       "SbHours6",   "SbHours12",
    "SbToday", "SbYesterday", "SbPreYesterday", "SbDays3",    "SbDays7",
    "SbWeek",  "SbPreWeek",   "SbMonth",        "SbPreMonth", "SbQuarter"};

TPeriodRequestForm::TPeriodRequestForm(QWidget *parent, const std::string &section)
    : QDialog(parent), fSection(section) {
  setObjectName("PeriodRequestForm");
  auto *lay = new QVBoxLayout(this);
  auto *dates = new QGridLayout;
  auto named = [this](auto *w, const char *name) {
    w->setObjectName(name);
    return w;
  };
  fDate1 = NewDateEdit(this, "EdDate1");
  fTime1 = NewTimeEdit(this, "EdTime1");
  fDate2 = NewDateEdit(this, "EdDate2");
  fTime2 = NewTimeEdit(this, "EdTime2");
  dates->addWidget(named(new QLabel("From:", this), "LblFrom"), 0, 0);
  dates->addWidget(fDate1, 0, 1);
  dates->addWidget(fTime1, 0, 2);
  dates->addWidget(named(new QLabel("To:", this), "LblTo"), 1, 0);
  dates->addWidget(fDate2, 1, 1);
  dates->addWidget(fTime2, 1, 2);
  lay->addLayout(dates);
  // A date typed by hand is no longer the quick button's period.
  for (QDateTimeEdit *e :
       {static_cast<QDateTimeEdit *>(fDate1), static_cast<QDateTimeEdit *>(fTime1),
        static_cast<QDateTimeEdit *>(fDate2), static_cast<QDateTimeEdit *>(fTime2)})
    connect(e, &QDateTimeEdit::dateTimeChanged, this, [this] {
      if (!fSetting) fSign.clear();
    });

  auto *quick = new QGridLayout;
  for (int i = 0; i < PeriodButtonCount; ++i) {
    auto *b = named(new QPushButton(PeriodButtonCaptions[static_cast<size_t>(i)], this),
                    PeriodButtonNames[static_cast<size_t>(i)]);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, i] { QuickButton(i); });
    quick->addWidget(b, i / 5, i % 5);
    fButtons[static_cast<size_t>(i)] = b;
  }
  lay->addLayout(quick);
  lay->addWidget(OkCancelButtons(this));

  if (IniFile)
    ShowPeriod({IniFile->ReadFloat(fSection, "Dt1", 0), IniFile->ReadFloat(fSection, "Dt2", 0)});
  TranslateForm(this);
}

void TPeriodRequestForm::ShowPeriod(const TPeriod &p) {
  fSetting = true;
  ShowDt(fDate1, fTime1, p.Dt1);
  ShowDt(fDate2, fTime2, p.Dt2);
  fSetting = false;
}

TDateTime TPeriodRequestForm::Dt1() const { return PickedDt(fDate1, fTime1); }
TDateTime TPeriodRequestForm::Dt2() const { return PickedDt(fDate2, fTime2); }

void TPeriodRequestForm::SetDt1(TDateTime dt) {
  const bool keep = fSetting;
  ShowPeriod({dt, Dt2()});
  fSetting = keep;
}

void TPeriodRequestForm::SetDt2(TDateTime dt) {
  const bool keep = fSetting;
  ShowPeriod({Dt1(), dt});
  fSetting = keep;
}

std::string TPeriodRequestForm::Sign() {
  if (fSign.empty()) fSign = PeriodSign({Dt1(), Dt2()});
  return fSign;
}

void TPeriodRequestForm::QuickButton(int button) {
  if (button < 0 || button >= PeriodButtonCount) return;
  ShowPeriod(QuickPeriod(button, Now ? Now() : NowLocal()));
  fSign = fButtons[static_cast<size_t>(button)]->text().remove(QLatin1Char('&')).toStdString();
  if (fCloseAfterClick) accept();
}

bool TPeriodRequestForm::DoRequest(bool closeAfterClick) {
  fCloseAfterClick = closeAfterClick;
  if (Dt1() == 0 || Dt2() == 0) ShowPeriod(DefaultPeriod(Now ? Now() : NowLocal()));
  const int r = Prompt::Exec(this);
  return r == QDialog::Accepted && PeriodValid({Dt1(), Dt2()});
}

void TPeriodRequestForm::done(int r) {
  if (IniFile) {
    IniFile->WriteFloat(fSection, "Dt1", Dt1());
    IniFile->WriteFloat(fSection, "Dt2", Dt2());
  }
  QDialog::done(r);
}

void PreparePeriodDialog(TPeriodRequestForm &dlg, std::function<TDateTime()> now,
                         const std::function<QPoint(QSize)> &place) {
  dlg.Now = std::move(now);
  dlg.adjustSize();
  if (place) {
    MoveInsideScreen(&dlg, place(dlg.frameGeometry().size()));
    return;
  }
  const QWidget *owner = dlg.parentWidget();
  if (const QScreen *s = owner ? owner->screen() : QGuiApplication::primaryScreen())
    dlg.move(s->availableGeometry().center() - dlg.rect().center());
}

} // namespace kelvra
