#pragma once
// The main window signed in as "demo" to an in-process kelvra-sim in a temporary program folder,
// for the tests of the main window and of the panels and dialogs it opens (UI tests only).
//   auto desk = std::make_unique<test::TSignedInDesk>();   // in init(); QVERIFY(desk->SimStarted())
//   TMonitorMainWin &w = desk->Start();                     // signed in through the login dialog
// The service's clock starts at a fixed time by default; tests of windows that compare the age of
// values with the display clock give options whose clock starts now (TSimOptions{}).

#include <QCoreApplication>
#include <QTreeView>
#include <QVariantMap>
#include <QtTest>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app/Common.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"
#include "support/TempDir.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"

namespace kelvra::test {

// Objects of the demo world the tests act on.
inline constexpr int kVan = 101;   // "Delivery van"
inline constexpr int kWatch = 103; // the watch: it has config and places answers

inline QVariantMap Answer(std::initializer_list<std::pair<const char *, QVariant>> fields) {
  QVariantMap m;
  for (const auto &[k, v] : fields)
    m.insert(QString::fromLatin1(k), v);
  return m;
}

// The login dialog's answer: user, password, "Remember me", then "Sign in".
inline QVariantMap SignInAnswer(const char *user = "demo", const char *pass = "demo", bool remember = false) {
  return Answer({{"UserEdit", user}, {"PassEdit", pass}, {"CbRememberMe", remember}, {"click", "ButSignIn"}});
}

// A fault rule of kelvra-sim as its command line writes it ("/api/v1/user/objects:status=502").
inline TFaultRule Fault(const std::string &text) {
  TFaultRule rule;
  std::string error;
  if (!ParseFaultRule(text, rule, &error)) qFatal("bad fault rule %s: %s", text.c_str(), error.c_str());
  return rule;
}

// Every line of the window's log page.
inline QString LogText(TMonitorMainWin &w) {
  QString s;
  for (int i = 0; i < w.LogBox()->LineCount(); ++i)
    s += w.LogBox()->Line(i) + "\n";
  return s;
}

// The service's clock starting at 2026-12-09 12:00 UTC.
inline TSimOptions FixedStartOptions() {
  TSimOptions opt;
  sim::ParseUtc("2026-12-09T12:00:00Z", opt.startTime);
  return opt;
}

class TSignedInDesk {
public:
  explicit TSignedInDesk(TSimOptions opt = FixedStartOptions()) {
    std::filesystem::create_directory_symlink(
        QCoreApplication::applicationDirPath().toStdString() + "/Translations", fDir.Path() + "Translations");
    fSim = std::make_unique<SimServer>(opt);
    fStarted = fSim->Start();
  }
  ~TSignedInDesk() {
    Prompt::StopScript();
    fWin.reset();
    Done();
  }

  bool SimStarted() const { return fStarted; }
  SimServer &Sim() { return *fSim; }
  // The service the window signs in to when it is not the in-process one (a kelvra-sim process
  // of the test's own); the in-process one still serves the map's tiles.
  void SetServer(std::string url) { fServer = std::move(url); }
  const std::string &Dir() const { return fDir.Path(); }

  // The window on the program folder, not signed in: Init with args (more command-line settings)
  // and the service's address; settings written before may be given as [section, key, value] rows.
  // The built-in map sources draw the service's own tiles (args may name another source): a test
  // never reaches out to the public tile servers, whose name look-up alone holds the end of every
  // window for seconds on a machine without a network.
  TMonitorMainWin &Open(std::vector<std::string> args = {},
                        const std::vector<std::array<std::string, 3>> &ini = {}) {
    args.insert(args.begin(), {"map_url_osm=" + TileUrl(), "map_url_cycle=" + TileUrl(),
                               "map_url_topo=" + fSim->BaseUrl() + "/tiles-topo/{z}/{x}/{y}.png"});
    args.push_back("server=" + (fServer.empty() ? fSim->BaseUrl() : fServer));
    Init(fDir.Path() + "KelvraMonitor", args);
    for (const auto &r : ini)
      IniFile->WriteString(r[0], r[1], r[2]);
    fWin = std::make_unique<TMonitorMainWin>();
    return *fWin;
  }

  // Signs in through the scripted login dialog; true when signed in.
  bool SignIn(bool remember = false) {
    Prompt::StartScript({SignInAnswer("demo", "demo", remember)});
    fWin->Login(true);
    Prompt::StopScript();
    return fWin->IsLoggedIn();
  }

  // The window, shown when asked, signed in through the scripted login dialog; args are more
  // command-line settings.
  TMonitorMainWin &Start(bool show = false, std::vector<std::string> args = {}) {
    Open(std::move(args));
    if (show) {
      fWin->resize(1200, 800);
      fWin->show();
    }
    SignIn();
    return *fWin;
  }

  // Signed in the way a user starts the program: the window is shown, its first showing opens the
  // login dialog, answered here; returns once the object list is filled (or after 30 s: the caller
  // checks the rows).
  TMonitorMainWin &StartByShowing(std::vector<std::string> args = {}, int width = 1400, int height = 900) {
    Open(std::move(args));
    fWin->resize(width, height);
    Prompt::StartScript({SignInAnswer()});
    fWin->show();
    (void)QTest::qWaitFor([this] { return fWin->Objects()->rowCount() > 0; }, 30000);
    Prompt::StopScript();
    return *fWin;
  }

  // Ends the window and the globals as the program does at its end; the folder and the service
  // stay for another start.
  void Stop() {
    Prompt::StopScript();
    fWin.reset();
    Done();
  }

  TMonitorMainWin &Win() { return *fWin; }
  TTempDir &Folder() { return fDir; }

  // Selects the object's row; the selected object, null when it is not in the list.
  TObjectInfo *Select(int uid) {
    // The list shows the objects through the search filter.
    const QModelIndex i = fWin->Search()->ViewIndex(fWin->Objects()->ObjectAt(fWin->Objects()->IndexOf(uid)));
    if (i.isValid()) fWin->ObjList()->setCurrentIndex(i);
    return fWin->SelectedObject();
  }

  QString LogText() const { return test::LogText(*fWin); }

  // The requests the service answered whose path holds `path` (the map's tiles come from the
  // service too: a test counts the requests it means by their path).
  std::vector<TSimRequest> RequestsTo(const std::string &path) {
    std::vector<TSimRequest> out;
    for (const TSimRequest &r : fSim->Requests())
      if (r.path.find(path) != std::string::npos) out.push_back(r);
    return out;
  }

  // The address pattern of the service's tiles.
  std::string TileUrl() const { return fSim->BaseUrl() + "/tiles/{z}/{x}/{y}.png"; }

private:
  TTempDir fDir;
  std::unique_ptr<SimServer> fSim;
  bool fStarted = false;
  std::string fServer; // empty: the in-process service
  std::unique_ptr<TMonitorMainWin> fWin;
};

} // namespace kelvra::test
