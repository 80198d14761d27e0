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
class TLoginForm;
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
  // The service refused the token during a timer's request while a window of the user's was
  // open: the login dialog waits for it to close.
  bool SignInDue() const { return fSignInDue; }
  // What the status bar says: empty when signed out, "Online", or how long the service has
  // been away and when the next try is (on the display clock), or that a sign-in is due.
  QString StatusText() const;

private:
  struct TRefreshJob;
  // A window of the user's own is open (a dialog, a question) or a request the user asked for is
  // out: what a timer brings that needs the user waits.
  static bool UserWindowOpen();
  // What a failed request of the session means, and what follows; byTimer: a request of the
  // update cycle (its login dialog waits for the user's window).
  void Failed(const char *what, bool byTimer = false);
  // Signs in with the login dialog's user and password; true when the service took them.
  bool SignInWith(const TLoginForm &dlg);
  // The refused token goes (the records stay); then the login dialog with the user's name.
  void ForgetToken();
  void AskSignInAgain();
  // The service mailed a password (sign-up, recovery): said, and the login dialog follows.
  void PasswordMailed(const char *caption, const char *text, const std::string &address);
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
  bool fSignInDue = false; // the token was refused; the login dialog waits for the user's window
  int fPendingSel = 0;   // the object to select once a failed first load succeeds
  std::string fLastUser; // the name of the last sign-in through the dialog
  std::shared_ptr<TRefreshJob> fJob;
  std::thread fWorker;
  QTimer *fLoginTimer, *fUpdateTimer, *fRetryTimer, *fStatusTimer; // children
  QLabel *fStatus = nullptr; // in the window's status bar
};

} // namespace kelvra
