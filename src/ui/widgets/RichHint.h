#pragma once
// A pop-up hint: a borderless window with a read-only rich text that closes itself when it loses
// the focus or on any key.

#include <QFrame>

class QTextEdit;

namespace kelvra {

class TRichHintForm : public QFrame {
  Q_OBJECT
public:
  explicit TRichHintForm(QWidget *parent = nullptr);
  // Escape sequences of text ("\n", "\t") are expanded; shown at pos (screen), deleted on close.
  static TRichHintForm *ShowHint(const QString &header, const QString &text, const QPoint &pos,
                                 QWidget *parent = nullptr);
  QTextEdit *Box() const { return fBox; }

protected:
  void keyPressEvent(QKeyEvent *) override;
  bool eventFilter(QObject *, QEvent *) override;

private:
  QTextEdit *fBox; // child
};

} // namespace kelvra
