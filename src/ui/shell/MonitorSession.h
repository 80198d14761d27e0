#pragma once
// The main window's session with the service: signing in and out, the first load of the objects,
// the update cycle and the way back after a fault. Its rules are the core's (SessionPolicy.h):
// a passing fault keeps the list and tries again after a growing pause, shown in the status bar;
// a refused token asks for the password with the user's name filled and keeps everything shown;
// any other refusal is shown and the session goes on. Timer-driven refreshes run on a worker
// with a connection of their own and are applied on this thread in one short step: no busy
// window and no nested event loop for what the user did not ask for.

#include <QObject>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "core/app/SessionPolicy.h"
#include "core/util/LumDates.h"

class QLabel;
class QTimer;

namespace kelvra {

class TKelvraClient;
class TMonitorMainWin;

class TMonitorSession : public QObject {
  Q_OBJECT
public:
  // win owns the session, the client and the status bar the session writes to.
  TMonitorSession(TMonitorMainWin &win, TKelvraClient &client);
  ~TMonitorSession() override;
  // Ends a background request in flight (the window is closing).
  void Shutdown();

  bool IsLoggedIn() const;
  void Login(bool Timer);
  void SignUp(bool Recovery);
  // The service refused the token: the login dialog with the user's name; after the sign-in the
  // list, ticks, marks and open windows are as they were. Cancelled, the sign-in state goes.
  void SignInAgain();
  void Logout();
  // The lists go, then the client's sign-in state (its records).
  void DropSignIn();
  void EditUser();

  // The full load; the number of rows, -1 when the token was refused. A passing fault leaves the
  // list empty and tries again by itself until the load succeeds.
  int LoadObjects(int sel);
  // A refresh now, waited for (F5, tests).
  void UpdateObjects();
  // One tick of the update cycle: objects and events on a worker, applied when they are in.
  void Refresh();
  void UpdateEvents();

  const TSessionHealth &Health() const { return fHealth; }
  bool Loaded() const { return fLoaded; }
  bool Refreshing() const { return fJob != nullptr; }
  QTimer *LoginTimer() const { return fLoginTimer; }
  QTimer *UpdateTimer() const { return fUpdateTimer; }
  QTimer *RetryTimer() const { return fRetryTimer; }
  QLabel *StatusLabel() const { return fStatus; }
  // What the status bar says: empty when signed out, "Online", or how long the service has
  // been away and when the next try is.
  QString StatusText() const;

private:
  struct TRefreshJob;
  // What a failed request of the session means, and what follows.
  void Failed(const char *what);
  void Succeeded();
  // The object list was received (n >= 0): rows, marks, panels.
  void ObjectsReceived(int n);
  // Fills the list and the panels after the first successful load.
  int FillFirstLoad(int selUid);
  void RetryTick();
  void StartJob(bool firstLoad);
  void DropJob();
  void ApplyJob(std::shared_ptr<TRefreshJob> job);
  void ShowStatus();

  TMonitorMainWin &fWin;
  TKelvraClient &fClient;
  TSessionHealth fHealth;
  bool fLoaded = false;  // the first object load succeeded
  int fPendingSel = 0;   // the object to select once a failed first load succeeds
  std::string fLastUser; // the name of the last sign-in through the dialog
  std::shared_ptr<TRefreshJob> fJob;
  std::thread fWorker;
  QTimer *fLoginTimer, *fUpdateTimer, *fRetryTimer, *fStatusTimer; // children
  QLabel *fStatus = nullptr; // in the window's status bar
};

} // namespace kelvra
