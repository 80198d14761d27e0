#include "ui/tracks/AcceptEventForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/TranslateForm.h"

namespace kelvra {

TAcceptEventForm::TAcceptEventForm(QWidget *parent) : QDialog(parent) {
  setObjectName("AcceptEventForm");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fMessage = NamedEdit(this, "EdAcceptMessage");
  fMessage->setMinimumWidth(320);
  form->addRow(FormString(this, "EdAcceptMessage_label"), fMessage);
  lay->addLayout(form);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ButOk");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("ButCancel");
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(buttons);
  TranslateForm(this);
}

QString TAcceptEventForm::AcceptMessage() const { return fMessage->text().trimmed(); }
void TAcceptEventForm::SetAcceptMessage(const QString &text) { fMessage->setText(text); }

} // namespace kelvra
