#include "ui/widgets/TranslateForm.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>

#include "core/app/Common.h"

namespace kelvra {

QLineEdit *NamedEdit(QWidget *parent, const char *name) {
  auto *e = new QLineEdit(parent);
  e->setObjectName(name);
  return e;
}

namespace {

TTranslation *Use(TTranslation *tr) { return tr ? tr : Translation.get(); }

// A blank default makes a missing key an empty text instead of a fatal error.
QString Lookup(TTranslation *tr, QWidget *Frm, const QString &key) {
  return QString::fromStdString(tr->GetString(FormName(Frm).toStdString(), key.toStdString(), " "));
}

QString CutText(const QString &s) {
  QList<uint> cps = s.toUcs4();
  if (cps.size() <= kMaxControlText) return s;
  cps.resize(kMaxControlText);
  return QString::fromUcs4(reinterpret_cast<const char32_t *>(cps.constData()), cps.size());
}

// The names Qt gives its own inner widgets are nobody's keys.
bool Named(const QObject *o) {
  return !o->objectName().isEmpty() && !o->objectName().startsWith(QLatin1String("qt_"));
}

QTabWidget *TabOwner(QWidget *page) {
  auto *stack = qobject_cast<QStackedWidget *>(page->parentWidget());
  return stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
}

void SetControlText(QWidget *C, const QString &text) {
  if (QTabWidget *tabs = TabOwner(C)) {
    tabs->setTabText(tabs->indexOf(C), text);
  } else if (auto *b = qobject_cast<QAbstractButton *>(C)) {
    b->setText(text);
  } else if (auto *l = qobject_cast<QLabel *>(C)) {
    l->setText(text);
  } else if (auto *g = qobject_cast<QGroupBox *>(C)) {
    g->setTitle(text);
  } else if (auto *e = qobject_cast<QLineEdit *>(C)) {
    e->setText(text);
  } else if (auto *d = qobject_cast<QDockWidget *>(C)) {
    d->setWindowTitle(text);
  } else if (auto *m = qobject_cast<QMenu *>(C)) {
    m->setTitle(text);
  } else if (auto *t = qobject_cast<QToolBar *>(C)) {
    t->setWindowTitle(text);
  }
}

void SetPlaceholder(QWidget *C, const QString &text) {
  if (auto *e = qobject_cast<QLineEdit *>(C))
    e->setPlaceholderText(text);
  else if (auto *cb = qobject_cast<QComboBox *>(C))
    cb->setPlaceholderText(text);
  else if (auto *pe = qobject_cast<QPlainTextEdit *>(C))
    pe->setPlaceholderText(text);
  else if (auto *te = qobject_cast<QTextEdit *>(C))
    te->setPlaceholderText(text);
}

void TranslateActions(QWidget *Frm, QWidget *holder, TTranslation *tr) {
  for (QAction *a : holder->actions())
    TranslateMenuItem(Frm, a, tr);
}

void TranslateChildren(QWidget *Frm, QWidget *parent, TTranslation *tr) {
  for (QObject *o : parent->children()) {
    auto *w = qobject_cast<QWidget *>(o);
    if (!w || w->isWindow()) continue;         // other windows translate themselves
    if (qobject_cast<QMenuBar *>(w)) continue; // the main menu comes last
    TranslateControl(Frm, w, tr);
  }
}

} // namespace

QString FormName(const QWidget *Frm) {
  if (!Frm) return {};
  if (!Frm->objectName().isEmpty()) return Frm->objectName();
  QString cls = QString::fromLatin1(Frm->metaObject()->className());
  cls = cls.mid(cls.lastIndexOf(QLatin1Char(':')) + 1);
  if (cls.size() > 1 && cls[0] == QLatin1Char('T') && cls[1].isUpper()) cls.remove(0, 1);
  return cls;
}

void TranslateForm(QWidget *Frm, TTranslation *tr) {
  tr = Use(tr);
  if (!Frm || !tr) return;
  Frm->setWindowTitle(QString::fromStdString(
      tr->GetString(FormName(Frm).toStdString(), "Caption", Frm->windowTitle().toStdString())));
  TranslateChildren(Frm, Frm, tr);
  if (auto *mw = qobject_cast<QMainWindow *>(Frm)) {
    if (QMenuBar *bar = mw->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly))
      TranslateMenu(Frm, bar, tr);
  } else if (QMenuBar *bar = Frm->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly)) {
    TranslateMenu(Frm, bar, tr);
  }
}

void TranslateMenu(QWidget *Frm, QWidget *Menu, TTranslation *tr) {
  tr = Use(tr);
  if (!Frm || !Menu || !tr) return;
  TranslateActions(Frm, Menu, tr);
}

void TranslateMenuItem(QWidget *Frm, QAction *Item, TTranslation *tr) {
  tr = Use(tr);
  if (!Frm || !Item || !tr) return;
  if (Named(Item)) {
    const QString n = Item->objectName();
    if (QString s = Lookup(tr, Frm, n + "_text"); !s.isEmpty()) Item->setText(s);
    if (QString s = Lookup(tr, Frm, n + "_hint"); !s.isEmpty()) {
      Item->setToolTip(s);
      Item->setStatusTip(s);
    }
  }
  if (QMenu *sub = Item->menu()) TranslateActions(Frm, sub, tr);
}

void TranslateControl(QWidget *Frm, QWidget *C, TTranslation *tr) {
  tr = Use(tr);
  if (!Frm || !C || !tr) return;
  const QString n = C->objectName();
  const bool named = Named(C);
  auto key = [&](const char *suffix) {
    return named ? Lookup(tr, Frm, n + QLatin1String(suffix)) : QString();
  };
  if (QString s = key("_text"); !s.isEmpty()) SetControlText(C, CutText(s));
  if (QString s = key("_hint"); !s.isEmpty()) C->setToolTip(s);

  if (auto *view = qobject_cast<QAbstractItemView *>(C)) {
    if (QAbstractItemModel *model = view->model()) {
      const QStringList pieces = key("_columns").split(QLatin1Char('|'));
      for (int i = 0; i < model->columnCount() && i < pieces.size(); ++i)
        if (!pieces[i].isEmpty()) model->setHeaderData(i, Qt::Horizontal, pieces[i]);
    }
    TranslateActions(Frm, view, tr); // its pop-up menu items
  } else if (auto *tabs = qobject_cast<QTabWidget *>(C)) {
    for (int i = 0; i < tabs->count(); ++i)
      TranslateControl(Frm, tabs->widget(i), tr);
  } else if (auto *edit = qobject_cast<QLineEdit *>(C)) {
    if (QString s = key("_label"); !s.isEmpty()) {
      // The label of an edit is the QLabel whose buddy it is.
      for (QLabel *l : Frm->findChildren<QLabel *>())
        if (l->buddy() == edit) l->setText(s);
    }
    if (QString s = key("_texthint"); !s.isEmpty()) SetPlaceholder(C, s);
  } else if (auto *combo = qobject_cast<QComboBox *>(C)) {
    if (QString s = key("_items"); !s.isEmpty()) {
      QStringList items = s.split(QLatin1Char('|'));
      if (items.size() > 1 && items.back().isEmpty()) items.removeLast(); // a closing "|"
      const int index = combo->currentIndex();
      combo->clear();
      combo->addItems(items);
      if (index < combo->count()) combo->setCurrentIndex(index);
    }
    if (QString s = key("_texthint"); !s.isEmpty()) SetPlaceholder(C, s);
  } else if (qobject_cast<QPlainTextEdit *>(C) || qobject_cast<QTextEdit *>(C)) {
    if (QString s = key("_texthint"); !s.isEmpty()) SetPlaceholder(C, s);
  } else if (qobject_cast<QMenu *>(C) || qobject_cast<QToolBar *>(C)) {
    TranslateActions(Frm, C, tr);
  } else {
    TranslateChildren(Frm, C, tr);
  }
}

QString FormString(const QWidget *Frm, const std::string &Sig) {
  TTranslation *tr = Translation.get();
  if (!tr) return {};
  return QString::fromStdString(tr->GetString(FormName(Frm).toStdString(), Sig, " "));
}

QString FormString(const QWidget *Frm, const std::string &Sig, const TFmtArgs &Args) {
  TTranslation *tr = Translation.get();
  if (!tr) return {};
  return QString::fromStdString(tr->GetString(FormName(Frm).toStdString(), Sig, Args, " "));
}

} // namespace kelvra
