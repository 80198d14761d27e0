#include "ui/tracks/FilterTrackForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/tracks/GeoTrack.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

void Pause(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

} // namespace

TFilterForm::TFilterForm(QWidget *parent) : QDialog(parent) {
  setObjectName("FilterForm");
  auto *layout = new QVBoxLayout(this);
  fPages = new QTabWidget(this);
  fPages->setObjectName("Pages");
  auto *median = new QWidget(fPages);
  median->setObjectName("TabMedian");
  auto *mf = new QFormLayout(median);
  fSize = NamedEdit(median, "EdSize");
  fSize->setMaxLength(2);
  fSize->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,2}"), fSize));
  mf->addRow(FormString(this, "EdSize_label"), fSize);
  auto *kalman = new QWidget(fPages);
  kalman->setObjectName("TabKalman");
  auto *kf = new QFormLayout(kalman);
  // Either decimal separator works; anything else is dropped as it is typed.
  const QRegularExpression number("[0-9.,]*");
  fError = NamedEdit(kalman, "EdError");
  fError->setValidator(new QRegularExpressionValidator(number, fError));
  fSpeed = NamedEdit(kalman, "EdSpeed");
  fSpeed->setValidator(new QRegularExpressionValidator(number, fSpeed));
  kf->addRow(FormString(this, "EdError_label"), fError);
  kf->addRow(FormString(this, "EdSpeed_label"), fSpeed);
  fPages->addTab(median, FormString(this, "TabMedian_text"));
  fPages->addTab(kalman, FormString(this, "TabKalman_text"));
  layout->addWidget(fPages);
  auto *sf = new QFormLayout();
  fStyle = new QComboBox(this);
  fStyle->setObjectName("CbTrackStyle");
  for (const TGeoTrackStyle &s : GeoTrackStyles)
    fStyle->addItem(FormString(this, s.Sign));
  fStyle->setCurrentIndex(fStyle->count() - 1);
  sf->addRow(FormString(this, "CbTrackStyle_label"), fStyle);
  layout->addLayout(sf);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ButOk");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("ButCancel");
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &TFilterForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TFilterForm::reject);
  layout->addWidget(buttons);

  TFilterSettings s;
  if (IniFile) s.Load(*IniFile);
  fPages->setCurrentIndex(s.Filter == 1 ? 1 : 0);
  fSize->setText(QString::fromStdString(s.Size));
  fError->setText(QString::fromStdString(s.Error));
  fSpeed->setText(QString::fromStdString(s.Speed));
  TranslateForm(this);
}

TFilterForm::~TFilterForm() = default;

TFilterSettings TFilterForm::Settings() const {
  TFilterSettings s;
  s.Filter = fPages->currentIndex();
  s.Size = fSize->text().toStdString();
  s.Error = fError->text().toStdString();
  s.Speed = fSpeed->text().toStdString();
  return s;
}

std::unique_ptr<TLocationFilter> TFilterForm::CreateFilter() const {
  return kelvra::CreateFilter(Settings());
}

int TFilterForm::GetTrackStyle() const { return std::max(fStyle->currentIndex(), 0); }

void TFilterForm::Flash(QLineEdit *edit) {
  const QString normal = edit->styleSheet();
  for (int k = 0; k < 3; ++k) {
    edit->setStyleSheet(k % 2 ? normal : "QLineEdit { background: #ff6060; }");
    Pause(100);
  }
  edit->setStyleSheet(normal);
}

void TFilterForm::accept() {
  TFilterCheck check;
  try {
    check = CheckFilterSettings(Settings());
  } catch (const std::exception &e) {
    check = {TFilterField::None, e.what()};
  }
  if (check.Message.empty()) {
    QDialog::accept();
    return;
  }
  QLineEdit *field = check.Field == TFilterField::Size    ? fSize
                     : check.Field == TFilterField::Error ? fError
                     : check.Field == TFilterField::Speed ? fSpeed
                                                          : nullptr;
  if (field) {
    Flash(field);
    field->setFocus();
  }
  Prompt::Message(this, QMessageBox::Warning, FormString(this, "error_title"),
                  QString::fromStdString(check.Message));
}

void TFilterForm::done(int r) {
  // Kept as typed, confirmed or not.
  if (IniFile) Settings().Save(*IniFile);
  QDialog::done(r);
}

} // namespace kelvra
