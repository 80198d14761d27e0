#include "ui/widgets/StallMeter.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <atomic>
#include <chrono>

namespace kelvra {

namespace {

std::atomic<TStallMeter *> gCurrent{nullptr};

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

QString Quoted(const QString &text) { return QLatin1Char('"') + Plain(text) + QLatin1Char('"'); }

// The name a user or a log reader knows an object by: its object name, else its class.
QString NameOf(const QObject *o) {
  if (!o) return QStringLiteral("?");
  if (!o->objectName().isEmpty()) return o->objectName();
  return QString::fromLatin1(o->metaObject()->className());
}

// A widget inside an unnamed part is known by the nearest named ancestor.
QString WidgetName(const QObject *o) {
  for (const QObject *p = o; p; p = p->parent())
    if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
      return p->objectName();
  return NameOf(o);
}

bool IsActivationKey(const QEvent *e) {
  const auto *k = static_cast<const QKeyEvent *>(e);
  return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter || k->key() == Qt::Key_Space;
}

} // namespace

TStallMeter::TStallMeter(int thresholdMs, TSink sink, TClock clock)
    : fThreshold(thresholdMs), fSink(std::move(sink)), fClock(std::move(clock)) {
  if (!fClock)
    fClock = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  fLastTurn = fClock();
  if (auto *d = QAbstractEventDispatcher::instance()) {
    connect(d, &QAbstractEventDispatcher::aboutToBlock, this, &TStallMeter::Asleep,
            Qt::DirectConnection);
    connect(d, &QAbstractEventDispatcher::awake, this, &TStallMeter::Awake, Qt::DirectConnection);
  }
}

TStallMeter::~TStallMeter() {
  TStallMeter *self = this;
  gCurrent.compare_exchange_strong(self, nullptr);
}

TStallMeter *TStallMeter::Current() { return gCurrent.load(std::memory_order_relaxed); }

void TStallMeter::SetCurrent(TStallMeter *meter) { gCurrent = meter; }

QString TStallMeter::DescribeAction(QObject *receiver, QEvent *event) {
  if (!receiver || !event) return {};
  switch (event->type()) {
  case QEvent::Shortcut:
    if (auto *a = qobject_cast<QAction *>(receiver)) return QStringLiteral("shortcut ") + Quoted(a->text());
    return QStringLiteral("shortcut in ") + WidgetName(receiver);
  case QEvent::MouseButtonRelease:
  case QEvent::KeyPress: {
    const bool isKey = event->type() == QEvent::KeyPress;
    if (auto *menu = qobject_cast<QMenu *>(receiver)) {
      QAction *a = isKey ? menu->activeAction()
                         : menu->actionAt(static_cast<QMouseEvent *>(event)->position().toPoint());
      if (a && (!isKey || IsActivationKey(event))) return QStringLiteral("menu ") + Quoted(a->text());
      return {};
    }
    if (auto *b = qobject_cast<QAbstractButton *>(receiver)) {
      if (isKey && !IsActivationKey(event)) return {};
      if (auto *tb = qobject_cast<QToolButton *>(b); tb && tb->defaultAction())
        return QStringLiteral("button ") + Quoted(tb->defaultAction()->text());
      if (!b->text().isEmpty()) return QStringLiteral("button ") + Quoted(b->text());
      if (!b->toolTip().isEmpty()) return QStringLiteral("button ") + Quoted(b->toolTip());
      return QStringLiteral("button ") + NameOf(b);
    }
    if (!receiver->isWidgetType()) return {};
    if (isKey) {
      const auto *k = static_cast<QKeyEvent *>(event);
      const QString key = QKeySequence(k->keyCombination()).toString();
      return QStringLiteral("key ") + key + QStringLiteral(" in ") + WidgetName(receiver);
    }
    return QStringLiteral("click in ") + WidgetName(receiver);
  }
  case QEvent::MouseButtonDblClick:
    if (receiver->isWidgetType()) return QStringLiteral("double click in ") + WidgetName(receiver);
    return {};
  case QEvent::Wheel:
    if (receiver->isWidgetType()) return QStringLiteral("wheel in ") + WidgetName(receiver);
    return {};
  case QEvent::Timer:
    if (auto *t = qobject_cast<QTimer *>(receiver)) {
      if (!t->objectName().isEmpty()) return QStringLiteral("timer ") + t->objectName();
      if (t->parent()) return QStringLiteral("timer of ") + NameOf(t->parent());
      return QStringLiteral("timer");
    }
    return QStringLiteral("timer of ") + NameOf(receiver);
  case QEvent::MetaCall:
    return QStringLiteral("queued call to ") + NameOf(receiver);
  case QEvent::Close:
    if (receiver->isWidgetType()) return QStringLiteral("close ") + WidgetName(receiver);
    return {};
  default:
    return {};
  }
}

void TStallMeter::Enter(QObject *receiver, QEvent *event) {
  if (fThreshold <= 0) return;
  if (fSleeping)
    Awake(); // a dispatcher that delivers without announcing its wake-up
  else
    Turn();
  fStack.push_back({DescribeAction(receiver, event), receiver->metaObject()->className()});
}

void TStallMeter::Leave() {
  if (fThreshold <= 0 || fStack.empty()) return;
  Turn();
  fStack.pop_back();
}

QString TStallMeter::Blame() const {
  for (auto it = fStack.rbegin(); it != fStack.rend(); ++it)
    if (!it->action.isEmpty()) return it->action;
  if (!fStack.empty())
    return QStringLiteral("event of ") + QString::fromLatin1(fStack.back().kind);
  return QStringLiteral("event loop");
}

void TStallMeter::Turn() {
  const int64_t now = fClock();
  const int64_t gap = now - fLastTurn;
  if (gap > fMaxStall) {
    fMaxStall = gap;
    fMaxAction = Blame();
  }
  if (gap > fThreshold) {
    ++fCount;
    if (fSink)
      fSink("\rStall " + std::to_string(gap) + " ms: " + Blame().toStdString());
    // What the log line cost is not the action's.
    fLastTurn = fClock();
    return;
  }
  fLastTurn = now;
}

void TStallMeter::Asleep() {
  if (fThreshold <= 0) return;
  Turn();
  fSleeping = true;
}

void TStallMeter::Awake() {
  fSleeping = false;
  fLastTurn = fClock();
}

} // namespace kelvra
