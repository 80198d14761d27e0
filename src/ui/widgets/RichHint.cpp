#include "ui/widgets/RichHint.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/util/LumStrings.h"

namespace kelvra {

TRichHintForm::TRichHintForm(QWidget *parent) : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint) {
  setObjectName("RichHintForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setFrameShape(QFrame::Box);
  auto *lay = new QVBoxLayout(this);
  lay->setContentsMargins(1, 1, 1, 1);
  fBox = new QTextEdit(this);
  fBox->setReadOnly(true);
  fBox->setFrameShape(QFrame::NoFrame);
  fBox->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fBox->installEventFilter(this);
  lay->addWidget(fBox);
}

TRichHintForm *TRichHintForm::ShowHint(const QString &header, const QString &text,
                                       const QPoint &pos, QWidget *parent) {
  auto *f = new TRichHintForm(parent);
  f->setWindowTitle(header);
  const QString body = QString::fromStdString(ExpandSpecChars(text.toStdString()));
  f->fBox->setPlainText(body);
  const QFontMetrics fm(f->fBox->font());
  int w = 100, h = 2;
  for (const QString &line : body.split(QLatin1Char('\n'))) {
    w = std::max(w, fm.horizontalAdvance(line) + 16);
    h += fm.lineSpacing();
  }
  f->resize(std::min(w, 800), std::min(h + 12, 600));
  f->move(pos);
  f->show();
  return f;
}

void TRichHintForm::keyPressEvent(QKeyEvent *) { close(); }

bool TRichHintForm::eventFilter(QObject *o, QEvent *e) {
  if (e->type() == QEvent::KeyPress || e->type() == QEvent::FocusOut) {
    if (e->type() == QEvent::KeyPress || !isActiveWindow()) close();
    return e->type() == QEvent::KeyPress;
  }
  return QFrame::eventFilter(o, e);
}

} // namespace kelvra
