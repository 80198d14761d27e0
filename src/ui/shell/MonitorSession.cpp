#include "ui/shell/MonitorSession.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <ctime>

#include "core/app/Common.h"
#include "core/client/client.h"
#include "core/util/LumStrings.h"
#include "ui/account/AccountForms.h"
#include "ui/events/AlarmNotify.h"
#include "ui/account/LoginForm.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/events/EventsPanel.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

// One tick of the update cycle on a worker: clients of their own with the session's token and
// cookie; their replies are taken over on the window's thread.
struct TMonitorSession::TRefreshJob {
  bool firstLoad = false;
  std::string token; // the session's token when the job started
  std::string objectsQuery;
  std::unique_ptr<TKelvraClient> objects, events; // null events: none due
  TDateTime dt1 = 0, dt2 = 0;                     // the events' period
  std::string log; // the workers' log text, shown when the job is applied
};

TMonitorSession::TMonitorSession(TMonitorMainWin &win, TKelvraClient &client)
    : QObject(&win), fWin(win), fClient(client) {
  fLoginTimer = new QTimer(this);
  fLoginTimer->setInterval(500);
  fLoginTimer->setSingleShot(true);
  connect(fLoginTimer, &QTimer::timeout, this, [this] {
    // The login dialog never comes up over a window of the user's own (or while a request the
    // user asked for is out): it is asked a little later, once that window has closed.
    if (UserWindowOpen()) {
      fLoginTimer->start();
      return;
    }
    if (fSignInDue) {
      AskSignInAgain();
      return;
    }
    if (IsLoggedIn() && fLoaded) return; // signed in meanwhile (e.g. before the window showed)
    Login(true);
  });
  fUpdateTimer = new QTimer(this);
  const int period = Config ? static_cast<int>(Config->AsInteger("update_period")) : 0;
  fHealth.SetUpdatePeriod(period > 0 ? period : 60);
  fUpdateTimer->setInterval(fHealth.UpdatePeriod() * 1000);
  connect(fUpdateTimer, &QTimer::timeout, this, &TMonitorSession::Refresh);
  fRetryTimer = new QTimer(this);
  fRetryTimer->setSingleShot(true);
  connect(fRetryTimer, &QTimer::timeout, this, &TMonitorSession::RetryTick);
  fStatusTimer = new QTimer(this); // the countdown of the status bar
  fStatusTimer->setInterval(1000);
  connect(fStatusTimer, &QTimer::timeout, this, &TMonitorSession::ShowStatus);
  fStatus = new QLabel(&win);
  fStatus->setObjectName("LblSessionStatus");
  win.statusBar()->addPermanentWidget(fStatus);
}

TMonitorSession::~TMonitorSession() { Shutdown(); }

void TMonitorSession::Shutdown() {
  DropJob();
  if (fWorker.joinable()) fWorker.join();
  fUpdateTimer->stop();
  fRetryTimer->stop();
  fLoginTimer->stop();
  fStatusTimer->stop();
}

bool TMonitorSession::IsLoggedIn() const { return !fClient.Token().empty(); }

// A refresh on its way belongs to the sign-in it was started for: once that ends, its reply is
// dropped whatever event loop runs before it arrives (saving the token store's change runs one).
void TMonitorSession::DropJob() {
  if (!fJob) return;
  fJob->objects->ApiClient().Abort();
  if (fJob->events) fJob->events->ApiClient().Abort();
  fJob.reset();
}

bool TMonitorSession::UserWindowOpen() {
  return BusyRunning() || Prompt::Open() || QApplication::activeModalWidget() != nullptr;
}

// --- signing in and out ---------------------------------------------------------------------------

void TMonitorSession::Login(bool Timer) {
  if (fSignInDue) { // the service refused the token: the sign-in that keeps everything shown
    AskSignInAgain();
    return;
  }
  fLoginTimer->stop(); // one sign-in at a time: a pending timed one is this one
  if (IsLoggedIn()) {
    fWin.Log("\rAPI token provided");
    if (LoadObjects(0) < 0) {
      fWin.ClearObjectRows();
      fClient.Clear();
      fWin.UpdateLoggedIn();
      Login(false);
    }
    fWin.UpdateLoggedIn();
    return;
  }
  TLoginForm dlg(&fWin);
  const int r = Prompt::Exec(&dlg);
  if (r == QDialog::Accepted) {
    if (SignInWith(dlg)) {
      fWin.Msg("hello", {fClient.GetUserName()}, 5);
      LoadObjects(0);
      return;
    }
    if (fClient.ResultCode() == 406) {
      const auto a = Prompt::Message(&fWin, QMessageBox::Warning, FormString(&fWin, "login"),
                                     FormString(&fWin, "login_error"),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      if (a == QMessageBox::Yes) {
        SignUp(true);
        return;
      }
    }
    if (Timer) fLoginTimer->start();
  } else if (r == TLoginForm::kRecoverResult) {
    SignUp(true);
  } else if (r == TLoginForm::kSignUpResult) {
    SignUp(false);
  }
}

bool TMonitorSession::SignInWith(const TLoginForm &dlg) {
  const std::string name = dlg.GetUser().toStdString();
  const bool ok = fClient.Login(name, dlg.GetPassword().toStdString());
  // Neither the password nor the token reaches the log: anyone reading it could act as the user.
  fWin.Log("\rLogin(%s,%s): %s", {name, "***", ok ? "success" : "error"});
  if (!ok) return false;
  fLastUser = name;
  if (dlg.GetRememberMe()) fWin.fTokenStore->Save(fClient.Token());
  fWin.UpdateLoggedIn();
  return true;
}

void TMonitorSession::SignInAgain() {
  ForgetToken();
  AskSignInAgain();
}

void TMonitorSession::ForgetToken() {
  fUpdateTimer->stop();
  fRetryTimer->stop();
  fWin.Log("\rSign in again: the service refused the token");
  // Only the token goes: the records stay, so that the list, the marks and the windows that hold
  // them are as they were once the user is back.
  fClient.SetToken("");
  fWin.fTokenStore->Clear();
  fWin.UpdateLoggedIn();
  ShowStatus();
}

void TMonitorSession::AskSignInAgain() {
  fSignInDue = false;
  fLoginTimer->stop();
  ShowStatus();
  const int prevUser = fClient.UserInfo().Uid;
  std::string user = fClient.UserInfo().Login;
  if (user.empty()) user = fLastUser;
  TLoginForm dlg(&fWin);
  if (!user.empty()) dlg.SetUser(QString::fromStdString(user));
  if (Prompt::Exec(&dlg) != QDialog::Accepted) {
    fWin.Log("\r  -> cancel");
    DropSignIn(); // signed out: the records go, the windows holding one are told
    return;
  }
  if (!SignInWith(dlg)) {
    DropSignIn();
    fLoginTimer->start(); // the login dialog again, as after a failed automatic sign-in
    return;
  }
  if (!fLoaded || (prevUser != 0 && fClient.UserInfo().Uid != prevUser)) {
    // Another user (nothing of the previous one may stay), or nothing loaded yet.
    const std::string token = fClient.Token();
    DropSignIn();
    fClient.SetToken(token);
    fWin.UpdateLoggedIn();
    LoadObjects(0);
    return;
  }
  fUpdateTimer->start();
  UpdateObjects();
}

void TMonitorSession::SignUp(bool Recovery) {
  std::string address;
  {
    TSignupForm dlg(Recovery, &fWin);
    if (Prompt::Exec(&dlg) != QDialog::Accepted) return;
    address = dlg.GetEmail().toStdString();
  }
  if (!Recovery) {
    fWin.Log("\rTry register (%s) ...", {address});
    const bool ok = fClient.Reg(address);
    fWin.Log("\r  -> %d %s", {fClient.ResultCode(), ok ? "ok" : "error"});
    if (ok) {
      PasswordMailed("signup", "signup_success", address);
      return;
    }
    if (fClient.ResultCode() != 409) return;
    Recovery = Prompt::Message(&fWin, QMessageBox::Question, FormString(&fWin, "signup"),
                               FormString(&fWin, "signup_user_exists", {address}),
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) ==
               QMessageBox::Yes;
    if (!Recovery) return;
  }
  fWin.Log("\rTry recovery (%s) ...", {address});
  const bool ok = fClient.Recovery(address);
  fWin.Log(std::string("\r  -> ") + (ok ? "ok" : "error"));
  if (ok) {
    PasswordMailed("recovery", "recovery_success", address);
    return;
  }
  const QString why = fClient.ResultCode() == 406
                          ? FormString(&fWin, "user_not_found", {address})
                          : FormString(&fWin, "error", {fClient.GetErrorMessage()});
  fWin.ShowMsg((FormString(&fWin, "recovery_error") + ": " + why + ".").toStdString(), 3);
}

void TMonitorSession::PasswordMailed(const char *caption, const char *text,
                                     const std::string &address) {
  Prompt::Message(&fWin, QMessageBox::Information, FormString(&fWin, caption),
                  FormString(&fWin, text, {address}));
  // The login dialog follows with the address as the user name.
  if (IniFile) IniFile->WriteString("Login", "user", address);
  fLoginTimer->start();
}

void TMonitorSession::DropSignIn() {
  DropJob();
  fUpdateTimer->stop();
  fRetryTimer->stop();
  fSignInDue = false;
  fLoaded = false;
  fHealth.Succeeded();
  fWin.fNotify->Reset();
  if (fWin.ClearObjectRows()) fWin.Msg("zone_reloaded", 5);
  fClient.Clear();
  fWin.UpdateLoggedIn();
  ShowStatus();
}

void TMonitorSession::Logout() {
  // The sign-in ends before anything that runs an event loop (forgetting the saved token runs
  // one): no timer or refresh may act on a half-ended sign-in.
  fLoginTimer->stop();
  fWin.SaveSelectedUid();
  DropSignIn(); // the refresh on its way too
  fWin.ClearMapAndPanels(); // the tracks and places too: the next user starts afresh
  fWin.fTokenStore->Clear(); // runs an event loop: after the sign-in has ended
  fLoginTimer->start();
}

void TMonitorSession::EditUser() {
  if (!IsLoggedIn()) {
    fWin.Msg("not_logged_in", 3);
    return;
  }
  if (fClient.UserInfo().Uid == 0) {
    fWin.Log("\rGet user info ...");
    const bool ok = fClient.GetUser();
    fWin.Log(std::string("\r  -> ") + (ok ? "ok" : "error"));
    if (!ok) return;
  }
  fWin.Log("\rEdit user info ...");
  TUserEditForm dlg(&fWin);
  dlg.EditUser(fClient.UserInfo());
  if (Prompt::Exec(&dlg) != QDialog::Accepted) {
    fWin.Log("\r  -> cancel");
    return;
  }
  if (!dlg.GetModified()) {
    fWin.Log("\r  -> no changes");
    return;
  }
  const TLumHash &fields = dlg.GetFields();
  if (fields.Count() == 0) {
    fWin.Log("\r  -> no fields");
    return;
  }
  for (int i = 0; i < fields.Count(); ++i)
    fWin.Log("\r  " + fields.GetKey(i) + "=" +
             (fields.GetKey(i) == "password" ? std::string("***") : fields.GetValByIndex(i)));
  fWin.Log("\r  -> update");
  if (fClient.UpdateUser(fields))
    fWin.Msg("success", 3);
  else
    fWin.Msg("error", {fClient.GetErrorMessage()}, 5);
}

// --- loading and the update cycle -----------------------------------------------------------------

int TMonitorSession::LoadObjects(int sel) {
  QTreeView *list = fWin.ObjList();
  list->setUpdatesEnabled(false);
  fWin.ClearObjectRows();
  fLoaded = false;
  const int selUid =
      sel > 0 ? sel : static_cast<int>(IniFile ? IniFile->ReadInteger("Main", "SelectedUid", 0) : 0);
  int n = 0;
  try {
    fWin.Log("\rLoad objects: ");
    const int got = fClient.GetObjects();
    fWin.Log("\r  -> " + std::to_string(got));
    if (got < 0) {
      list->setUpdatesEnabled(true);
      if (ClassifyFailure(fClient.ResultCode()) == TFailureKind::SignInAgain) {
        fClient.Clear();
        fWin.UpdateLoggedIn();
        return -1;
      }
      // The list stays empty for now; it is asked for again until it comes.
      fPendingSel = selUid;
      Failed("Load objects");
      return 0;
    }
    Succeeded();
    n = FillFirstLoad(selUid);
  } catch (const std::exception &e) {
    fWin.Log("\rX: " + std::string(e.what()));
  }
  list->setUpdatesEnabled(true);
  return n;
}

int TMonitorSession::FillFirstLoad(int selUid) {
  std::vector<const TObjectInfo *> all;
  for (const auto &oi : fClient.ObjList())
    all.push_back(oi.get());
  const int n = fWin.fObjects->Load(all);
  fWin.RestoreTicks();
  fWin.fNotify->Refresh();
  const TObjectInfo *s = fWin.fObjects->ObjectAt(fWin.fObjects->IndexOf(selUid));
  if (n > 0) {
    fWin.LoadZones();
    fWin.LoadTraps(0);
    fWin.LoadEvents(0, 0);
    if (!s) s = fWin.fObjects->ObjectAt(fWin.fObjects->index(0, 0));
    fWin.fSearch->Select(s, false);
    fWin.ObjList()->setFocus();
    if (fWin.fFirstStart) fWin.FitPanelsToContent();
  }
  fLoaded = true;
  fUpdateTimer->start();
  ShowStatus();
  return n;
}

void TMonitorSession::UpdateObjects() {
  if (!IsLoggedIn()) {
    fWin.Msg("not_logged_in", 3);
    return;
  }
  if (!fLoaded) { // the first load has not come yet: this is it
    LoadObjects(fPendingSel);
    return;
  }
  fWin.Log("\rUpdate objects: ");
  const int n = fClient.GetObjects();
  fWin.Log("\r  -> " + std::to_string(n));
  if (n < 0) {
    Failed("Update objects");
    return;
  }
  Succeeded();
  ObjectsReceived(n);
}

void TMonitorSession::ObjectsReceived(int n) {
  if (n <= 0) return;
  fWin.AddNewObjectRows();
  fWin.fObjects->RefreshAll();
  fWin.FollowObjects();
  fWin.BuildAlarms(nullptr);
  fWin.fNotify->Refresh();
}

void TMonitorSession::UpdateEvents() {
  if (IsLoggedIn()) fWin.fEventsPanel->UpdateEvents();
}

void TMonitorSession::Failed(const char *what, bool byTimer) {
  switch (ClassifyFailure(fClient.ResultCode(), fClient.Cancelled())) {
  case TFailureKind::SignInAgain:
    if (byTimer && UserWindowOpen()) {
      // Not over the user's window: the login dialog comes once it has closed.
      ForgetToken();
      fSignInDue = true;
      fWin.Log("\r  asked once the open window is closed");
      ShowStatus();
      fLoginTimer->start();
      return;
    }
    SignInAgain();
    return;
  case TFailureKind::Cancelled:
    // The user stopped waiting: no fault of the service, whose state stays as it was. A first
    // load that did not come is asked for again later.
    fWin.Log("\r%s: cancelled", {what});
    if (!fLoaded && !fRetryTimer->isActive()) fRetryTimer->start(fHealth.UpdatePeriod() * 1000);
    return;
  case TFailureKind::Error:
    // A refusal that asking again would not change: said, and the session goes on.
    fWin.Msg("error", {fClient.GetErrorMessage()}, 5);
    if (!fLoaded) fRetryTimer->start(fHealth.UpdatePeriod() * 1000);
    return;
  case TFailureKind::Passing: {
    const bool first = fHealth.Online();
    const int pause = fHealth.Failed(std::time(nullptr), fClient.RetryAfter());
    fWin.Log("\r%s: x: %s; next try in %d s", {what, fClient.GetErrorMessage(), pause});
    if (first) fWin.Msg("error", {fClient.GetErrorMessage()}, 5);
    fRetryTimer->start(pause * 1000);
    fStatusTimer->start();
    ShowStatus();
    return;
  }
  }
}

void TMonitorSession::Succeeded() {
  const bool wasAway = !fHealth.Online();
  fHealth.Succeeded();
  fRetryTimer->stop();
  fStatusTimer->stop();
  if (wasAway) fWin.Log("\rService reachable again");
  ShowStatus();
}

void TMonitorSession::RetryTick() {
  if (!IsLoggedIn() || fJob) return;
  if (BusyRunning()) { // the user's request first; the try follows it
    AfterBusy(this, [this] { RetryTick(); });
    return;
  }
  StartJob(!fLoaded);
}

void TMonitorSession::Refresh() {
  // While the service is away the retry timer sets the pace; while a request the user asked for
  // is out, this tick is skipped (one request at a time on behalf of the user).
  if (!IsLoggedIn() || fJob || !fLoaded || !fHealth.Online() || BusyRunning()) return;
  StartJob(false);
}

void TMonitorSession::StartJob(bool firstLoad) {
  auto job = std::make_shared<TRefreshJob>();
  job->firstLoad = firstLoad;
  job->token = fClient.Token();
  job->objectsQuery = firstLoad ? std::string() : fClient.ObjectsQuery();
  auto makeClient = [this, job] {
    auto c = std::make_unique<TKelvraClient>(fClient.ApiServer(), fClient.Token(), "");
    c->CopySession(fClient);
    // Only the worker writes here until the job is applied.
    c->SetLogCallback([raw = job.get()](const std::string &s) { raw->log += s; });
    return c;
  };
  job->objects = makeClient();
  if (!firstLoad && fWin.fEventsPanel->EventsDue(job->dt1, job->dt2)) job->events = makeClient();
  fJob = job;
  if (fWorker.joinable()) fWorker.join();
  fWorker = std::thread([this, job] {
    job->log += job->firstLoad ? "\rLoad objects: " : "\rUpdate objects: ";
    job->objects->DoGetRequest("Objects", TKelvraClient::kObjectsPath, job->objectsQuery);
    if (job->events) {
      job->log += "\rUpdate events: ";
      job->events->DoGetRequest("Events", "/user/events",
                                job->events->EventsQuery(job->dt1, job->dt2));
    }
    QMetaObject::invokeMethod(this, [this, job] { ApplyJob(job); }, Qt::QueuedConnection);
  });
}

void TMonitorSession::ApplyJob(std::shared_ptr<TRefreshJob> job) {
  if (job != fJob) return;
  if (fWorker.joinable()) fWorker.join();
  if (BusyRunning()) {
    // A request the user asked for is out, and its caller may hold records until it returns.
    AfterBusy(this, [this, job] { ApplyJob(job); });
    return;
  }
  fJob.reset();
  if (!job->log.empty()) fWin.Log(job->log);
  if (!IsLoggedIn() || fClient.Token() != job->token) return; // signed out or in again meanwhile
  fClient.TakeReply(*job->objects);
  const int n = fClient.ReadObjectsReply();
  fWin.Log("\r  -> " + std::to_string(n));
  if (n < 0) {
    Failed(job->firstLoad ? "Load objects" : "Update objects", true);
    return;
  }
  Succeeded();
  if (job->firstLoad) {
    QTreeView *list = fWin.ObjList();
    list->setUpdatesEnabled(false);
    FillFirstLoad(fPendingSel);
    list->setUpdatesEnabled(true);
    return;
  }
  ObjectsReceived(n);
  // Events asked for a period the user has left meanwhile (another period requested while the
  // reply was on its way) would put that period back: they are dropped.
  if (job->events && fClient.EventListDt1() == job->dt1 && fClient.EventListDt2() == job->dt2)
    fWin.fEventsPanel->ReloadWith([this, job] {
      fClient.TakeReply(*job->events);
      return fClient.ReadEventsReply(job->dt1, job->dt2);
    });
}

// --- status bar -------------------------------------------------------------------------------------

QString TMonitorSession::StatusText() const {
  if (fSignInDue) return FormString(&fWin, "status_sign_in_again");
  if (!IsLoggedIn()) return {};
  if (fHealth.Online()) return fLoaded ? FormString(&fWin, "status_online") : QString();
  // On the clock of every other time the window shows.
  const TDateTime since = fClient.FromService(UnixToDateTime(fHealth.Since(), false));
  return FormString(&fWin, "status_unreachable",
                    {FormatDateTime("hh:nn", since), fHealth.SecondsToNextTry(std::time(nullptr))});
}

void TMonitorSession::ShowStatus() {
  const QString text = StatusText();
  if (fStatus->text() != text) fStatus->setText(text);
}

} // namespace kelvra
