#include "ui/events/AcceptEventForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/DialogParts.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

TAcceptEventForm::TAcceptEventForm(QWidget *parent) : TSendingDialog(parent) {
  setObjectName("AcceptEventForm");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fMessage = NamedEdit(this, "EdAcceptMessage");
  fMessage->setMinimumWidth(320);
  form->addRow(FormString(this, "EdAcceptMessage_label"), fMessage);
  lay->addLayout(form);
  lay->addWidget(SendErrorLabel());
  lay->addWidget(OkCancelButtons(this));
  TranslateForm(this);
}

QString TAcceptEventForm::AcceptMessage() const { return fMessage->text().trimmed(); }
void TAcceptEventForm::SetAcceptMessage(const QString &text) { fMessage->setText(text); }

} // namespace kelvra
