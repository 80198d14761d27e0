#include "ui/events/AlarmNotify.h"


#include <QApplication>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumDates.h"
#include "ui/events/EventsModel.h"
#include "core/client/client.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {
constexpr int kMessageMsecs = 10000;
constexpr int kListedNotes = 4; // a message lists this many objects, then "and N more"


bool NotifyAlarms() { return NotifyAlarmsOn(Config ? Config->GetVal("notify_alarms") : ""); }
} // namespace

// --- the corner window ---------------------------------------------------------------------

TAlarmToast::TAlarmToast(QWidget *parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("AlarmNotify"); // the section of the message texts
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
  p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ToolTipText));
  setPalette(p);
  auto *lay = new QVBoxLayout(this);
  fTitle = new QLabel(this);
  QFont f = fTitle->font();
  f.setBold(true);
  fTitle->setFont(f);
  fBody = new QLabel(this);
  fBody->setWordWrap(true);
  lay->addWidget(fTitle);
  lay->addWidget(fBody);
  fHide = new QTimer(this);
  fHide->setSingleShot(true);
  connect(fHide, &QTimer::timeout, this, &QWidget::hide);
  setFixedWidth(360);
}

void TAlarmToast::ShowMessage(const QString &title, const QString &body, int msecs) {
  fTitle->setText(title);
  fBody->setText(body);
  adjustSize();
  const QScreen *screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  move(area.right() - width() - 12, area.bottom() - height() - 12);
  show();
  raise();
  fHide->start(msecs);
}

void TAlarmToast::mousePressEvent(QMouseEvent *) {
  hide();
  if (onClicked) onClicked();
}

// --- notifications --------------------------------------------------------------------------

TAlarmNotify::TAlarmNotify(QMainWindow *window, TKelvraClient &client, TSelectAlarm selectAlarm)
    : QObject(window), fWindow(window), fClient(client), fSelectAlarm(std::move(selectAlarm)) {
  static QElapsedTimer started;
  if (!started.isValid()) started.start();
  clock = [] { return started.elapsed() / 1000.0; };

  fToast = new TAlarmToast;
  fToast->onClicked = [this] { ActivateLast(); };
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    fTray = new QSystemTrayIcon(CountIcon(0), this);
    connect(fTray, &QSystemTrayIcon::messageClicked, this, [this] { ActivateLast(); });
    connect(fTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r != QSystemTrayIcon::Trigger) return;
      if (fOpen.empty())
        Activate(0, 0);
      else
        Activate(fOpen.front().event_uid, fOpen.front().obj_id);
    });
    fTray->show();
  }
  // The count stays in sight in the window too, whether or not there is a tray.
  fBadge = new QToolButton(window);
  fBadge->setObjectName("SbOpenAlarms");
  fBadge->setAutoRaise(true);
  fBadge->setIcon(window->style()->standardIcon(QStyle::SP_MessageBoxWarning));
  fBadge->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  connect(fBadge, &QToolButton::clicked, this, [this] {
    if (!fOpen.empty()) Activate(fOpen.front().event_uid, fOpen.front().obj_id);
  });
  window->menuBar()->setCornerWidget(fBadge, Qt::TopRightCorner);
  UpdateCount();
}

TAlarmNotify::~TAlarmNotify() { delete fToast; }

QIcon TAlarmNotify::CountIcon(int count) const {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(count > 0 ? QColor(200, 0, 0) : QColor(90, 110, 140));
  p.drawEllipse(QRectF(1, 1, 30, 30));
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(count > 99 ? 12 : 17);
  p.setFont(f);
  p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter,
             count > 0 ? QString::number(std::min(count, 999)) : QStringLiteral("K"));
  return QIcon(pm);
}

void TAlarmNotify::UpdateCount() {
  const int n = fNotifier.OpenCount();
  const QString tip = FormString(fToast, "open_alarms", {std::to_string(n)});
  fBadge->setText(QString::number(n));
  fBadge->setToolTip(tip);
  fBadge->setVisible(n > 0);
  if (fTray) {
    fTray->setIcon(CountIcon(n));
    fTray->setToolTip(tip);
  }
}

void TAlarmNotify::Update(const std::vector<TOpenAlarm> &open) {
  fOpen = open;
  const TAlarmBatch batch = fNotifier.Update(open, clock());
  UpdateCount();
  if (batch.Empty() || !NotifyAlarms()) return;

  TShown m;
  const TOpenAlarm &first = batch.notes.front().alarm;
  m.eventUid = first.event_uid;
  m.objId = first.obj_id;
  if (batch.notes.size() == 1) {
    m.title = FormString(fToast, "alarm_title", {first.object});
    m.body = Q(first.text) + (first.text.empty() ? "" : "\n") + Q(dt2s(first.time));
    if (const int more = batch.notes.front().more; more > 0)
      m.body += "\n" + FormString(fToast, "alarm_more", {std::to_string(more)});
  } else {
    m.title = FormString(fToast, "alarms_title", {std::to_string(batch.Alarms())});
    QStringList lines;
    for (size_t i = 0; i < batch.notes.size() && i < kListedNotes; ++i) {
      const TOpenAlarm &a = batch.notes[i].alarm;
      QString line = Q(a.object) + ": " + (a.text.empty() ? QString() : Q(a.text) + ", ") +
                     Q(dt2s(a.time, "hh:nn:ss"));
      if (batch.notes[i].more > 0) line += " (+" + QString::number(batch.notes[i].more) + ")";
      lines << line;
    }
    if (batch.notes.size() > kListedNotes)
      lines << FormString(fToast, "alarms_more",
                          {std::to_string(batch.notes.size() - kListedNotes)});
    m.body = lines.join('\n');
  }
  fShown.push_back(m);
  if (fTray)
    fTray->showMessage(m.title, m.body, QSystemTrayIcon::Warning, kMessageMsecs);
  else
    fToast->ShowMessage(m.title, m.body, kMessageMsecs);
}

void TAlarmNotify::Reset() {
  fNotifier.Reset();
  fOpen.clear();
  if (fToast) fToast->hide();
  UpdateCount();
}

void TAlarmNotify::ActivateLast() {
  if (!fShown.empty()) Activate(fShown.back().eventUid, fShown.back().objId);
}

void TAlarmNotify::Activate(int eventUid, int objId) {
  if (fWindow->isMinimized()) fWindow->showNormal();
  fWindow->show();
  fWindow->raise();
  fWindow->activateWindow();
  if (eventUid > 0) SelectAlarm(eventUid, objId);
}

void TAlarmNotify::Refresh() {
  std::vector<const TObjectInfo *> objects;
  for (const auto &oi : fClient.ObjList())
    objects.push_back(oi.get());
  TKelvraClient &client = fClient;
  Update(OpenAlarms(objects, [&client](int uid) -> const TTrapInfo * { return client.FindTrap(uid); }));
}

} // namespace kelvra
