#include "ui/widgets/Prompt.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

namespace kelvra::Prompt {

namespace {

struct TScript {
  bool on = false;
  std::deque<QVariant> answers;
  std::vector<TAsked> asked;
  std::function<void()> whileOpen;
};

TScript &Script() {
  static TScript script;
  return script;
}

int gOpen = 0; // questions being asked (nested ones count each)

// Marks a question as open while it is asked.
struct TAsking {
  TAsking() { ++gOpen; }
  ~TAsking() { --gOpen; }
  TAsking(const TAsking &) = delete;
  TAsking &operator=(const TAsking &) = delete;
};

std::optional<QVariant> NextAnswer(TKind kind, const QString &caption, const QString &text) {
  TScript &s = Script();
  if (s.whileOpen) {
    const std::function<void()> action = std::move(s.whileOpen);
    s.whileOpen = nullptr;
    action(); // may ask questions of its own
  }
  s.asked.push_back({kind, caption, text});
  if (s.answers.empty()) return std::nullopt;
  QVariant v = s.answers.front();
  s.answers.pop_front();
  return v;
}

} // namespace

QMessageBox::StandardButton Message(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
                                    const QString &text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) {
  const TAsking asking;
  if (Scripted()) {
    auto a = NextAnswer(TKind::Message, caption, text);
    return a ? static_cast<QMessageBox::StandardButton>(a->toInt()) : QMessageBox::NoButton;
  }
  QMessageBox box(icon, caption, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  int r = box.exec();
  return static_cast<QMessageBox::StandardButton>(r);
}

QString OpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) {
  const TAsking asking;
  if (Scripted()) {
    auto a = NextAnswer(TKind::OpenFile, caption, filter);
    return a ? a->toString() : QString();
  }
  return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString SaveFileName(QWidget *parent, const QString &caption, const QString &fileName,
                     const QString &filter) {
  const TAsking asking;
  QString name, chosen;
  if (Scripted()) {
    auto a = NextAnswer(TKind::SaveFile, caption, filter);
    if (!a) return {};
    const QStringList l = a->toStringList();
    name = a->typeId() == QMetaType::QStringList ? l.value(0) : a->toString();
    chosen = a->typeId() == QMetaType::QStringList ? l.value(1) : QString();
  } else {
    name = QFileDialog::getSaveFileName(parent, caption, fileName, filter, &chosen);
  }
  return WithTypeExtension(name, filter, chosen);
}

QString WithTypeExtension(const QString &name, const QString &filter, const QString &chosen) {
  if (name.isEmpty()) return name;
  // The extensions of a type: its "*.ext" patterns, lower case.
  auto extensionsOf = [](const QString &type) {
    QStringList out;
    const qsizetype open = type.lastIndexOf('('), close = type.lastIndexOf(')');
    if (open < 0 || close < open) return out;
    for (const QString &p : type.mid(open + 1, close - open - 1).split(' ', Qt::SkipEmptyParts))
      if (p.startsWith("*.") && p.size() > 2 && p.indexOf('*', 1) < 0) out << p.mid(2).toLower();
    return out;
  };
  const QStringList types = filter.split(";;", Qt::SkipEmptyParts);
  const QString base = QFileInfo(name).fileName().toLower();
  for (const QString &t : types)
    for (const QString &ext : extensionsOf(t))
      if (base.endsWith("." + ext) && base.size() > ext.size() + 1) return name;
  QString type = chosen.trimmed();
  if (type.isEmpty() && !types.isEmpty()) type = types.first();
  const QStringList ext = extensionsOf(type);
  if (ext.isEmpty()) return name;
  QString out = name;
  while (out.endsWith('.')) out.chop(1);
  return out + "." + ext.first();
}

std::optional<QColor> ChooseColor(QWidget *parent, const QColor &initial, const QString &caption) {
  const TAsking asking;
  if (Scripted()) {
    auto a = NextAnswer(TKind::Color, caption, QString());
    if (!a || !a->canConvert<QColor>()) return std::nullopt;
    return a->value<QColor>();
  }
  QColor c = QColorDialog::getColor(initial, parent, caption);
  if (!c.isValid()) return std::nullopt;
  return c;
}

int Exec(QDialog *dialog) {
  if (!dialog) return QDialog::Rejected;
  const TAsking asking;
  if (!Scripted()) return dialog->exec();
  auto a = NextAnswer(TKind::Dialog, dialog->objectName(), dialog->windowTitle());
  if (!a) return QDialog::Rejected;
  // A list of maps is applied map by map, for controls whose order matters.
  const QVariantList steps =
      a->typeId() == QMetaType::QVariantList ? a->toList() : QVariantList{*a};
  bool finished = false, clicked = false;
  const QMetaObject::Connection done =
      QObject::connect(dialog, &QDialog::finished, dialog, [&finished] { finished = true; });
  QVariantMap m;
  for (const QVariant &step : steps) {
    if (finished) break;
    if (step.canConvert<TDialogProbe>() && step.typeId() != QMetaType::QVariantMap) {
      if (const auto probe = step.value<TDialogProbe>()) probe(dialog);
      continue;
    }
    const QVariantMap fields = step.toMap();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
      m.insert(it.key(), it.value());
      if (it.key() == QLatin1String("click") || it.key() == QLatin1String("result")) continue;
      QWidget *w = dialog->findChild<QWidget *>(it.key());
      if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(it.value().toString());
      else if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setChecked(it.value().toBool());
      else if (auto *c = qobject_cast<QComboBox *>(w))
        c->setCurrentIndex(c->findText(it.value().toString()));
      else if (auto *d = qobject_cast<QDateTimeEdit *>(w)) {
        const QVariant &v = it.value();
        if (v.typeId() == QMetaType::QDate)
          d->setDate(v.toDate());
        else if (v.typeId() == QMetaType::QTime)
          d->setTime(v.toTime());
        else
          d->setDateTime(v.toDateTime());
      }
    }
    if (fields.contains(QStringLiteral("click"))) {
      clicked = true;
      dialog->setResult(QDialog::Rejected);
      if (auto *b = dialog->findChild<QAbstractButton *>(fields.value(QStringLiteral("click")).toString()))
        b->click();
    }
  }
  QObject::disconnect(done);
  if (clicked) return dialog->result();
  return m.value(QStringLiteral("result"), int(QDialog::Rejected)).toInt();
}

void StartScript(std::deque<QVariant> answers) {
  TScript &s = Script();
  s.on = true;
  s.answers = std::move(answers);
  s.asked.clear();
}

void AddAnswer(const QVariant &answer) { Script().answers.push_back(answer); }

void WhileOpen(std::function<void()> action) { Script().whileOpen = std::move(action); }

void StopScript() {
  TScript &s = Script();
  s.on = false;
  s.answers.clear();
  s.whileOpen = nullptr;
}

bool Scripted() { return Script().on; }

bool Open() { return gOpen > 0; }

const std::vector<TAsked> &Asked() { return Script().asked; }

} // namespace kelvra::Prompt

namespace kelvra {

namespace {
QStringList gOpened;
} // namespace

void OpenExportedFile(const QString &fileName) {
  if (Prompt::Scripted()) {
    gOpened << fileName;
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}

const QStringList &OpenedFiles() { return gOpened; }

} // namespace kelvra
