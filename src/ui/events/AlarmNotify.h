#pragma once
// Desktop notification of new alarms. After every object refresh the open alarms go to the
// notifier (src/core/app/AlarmNotifier.h), which decides what is news; news is shown as the tray
// icon's message (or, where the desktop has no tray, as a small window of our own in the
// screen's corner), with the object, the trap's text and the time. Clicking it brings the main
// window forward and selects the alarm. The tray icon, and a badge in the menu bar, show how
// many alarms are open. Config "notify_alarms" (default true) switches the messages off.

#include <QFrame>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

#include "core/app/AlarmNotifier.h"

class QLabel;
class QSystemTrayIcon;
class QTimer;
class QToolButton;

class QMainWindow;

namespace kelvra {

// The message window used where no system tray exists: a frameless box in the bottom-right
// corner of the screen that does not take the focus and hides itself after a while.
class TAlarmToast : public QFrame {
  Q_OBJECT
public:
  explicit TAlarmToast(QWidget *parent = nullptr);
  void ShowMessage(const QString &title, const QString &body, int msecs);
  std::function<void()> onClicked;

protected:
  void mousePressEvent(QMouseEvent *) override;

private:
  QLabel *fTitle, *fBody;
  QTimer *fHide;
};

class TKelvraClient;

class TAlarmNotify : public QObject {
  Q_OBJECT
public:
  // What the window does to show an alarm: select its object (clearing a filter that hides it)
  // and the alarm's rows.
  using TSelectAlarm = std::function<void(int eventUid, int objId)>;
  // The badge goes into the window's menu bar; the window is brought forward on a click and
  // selectAlarm shows the alarm. The client outlives the notifications.
  TAlarmNotify(QMainWindow *window, TKelvraClient &client, TSelectAlarm selectAlarm);
  ~TAlarmNotify() override;

  // After a load or a refresh: the open alarms of the client's objects.
  void Refresh();
  // The open alarms after a refresh (the first list after sign-in is no news).
  void Update(const std::vector<TOpenAlarm> &open);
  // Signed out: no count, and the next list is a first list again.
  void Reset();

  // Selects the object of an alarm (clearing a filter that hides it) and the alarm's row.
  void SelectAlarm(int eventUid, int objId) { fSelectAlarm(eventUid, objId); }
  // Seconds on a clock that only moves forward (tests set their own).
  std::function<double()> clock;

  struct TShown {
    QString title, body;
    int eventUid = 0, objId = 0;
  };
  // Every message shown since the start, oldest first.
  const std::vector<TShown> &Shown() const { return fShown; }
  int OpenCount() const { return fNotifier.OpenCount(); }
  bool HasTray() const { return fTray != nullptr; }
  QToolButton *Badge() const { return fBadge; }
  TAlarmToast *Toast() const { return fToast; }
  // As a click on the last message would.
  void ActivateLast();

private:
  void Activate(int eventUid, int objId);
  void UpdateCount();
  QIcon CountIcon(int count) const;

  QMainWindow *fWindow; // not owned: the window this belongs to
  TKelvraClient &fClient;
  TSelectAlarm fSelectAlarm;
  TAlarmNotifier fNotifier;
  QSystemTrayIcon *fTray = nullptr;
  QPointer<TAlarmToast> fToast;
  QToolButton *fBadge;
  std::vector<TShown> fShown;
  std::vector<TOpenAlarm> fOpen; // newest first
};

} // namespace kelvra
