#pragma once
// "Accept Event": the comment with which an event or alarm is accepted. The caller shows it
// modally, with Send accepting the event, or reads AcceptMessage after "Ok".

#include "ui/widgets/DialogParts.h"

class QLineEdit;

namespace kelvra {

class TAcceptEventForm : public TSendingDialog {
  Q_OBJECT
public:
  explicit TAcceptEventForm(QWidget *parent = nullptr);
  // The trimmed text.
  QString AcceptMessage() const;
  void SetAcceptMessage(const QString &text);
  QLineEdit *MessageEdit() const { return fMessage; }

private:
  QLineEdit *fMessage;
};

} // namespace kelvra
