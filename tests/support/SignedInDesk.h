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

inline QVariantMap Answer(std::initializer_list<std::pair<const char *, QVariant>> fields) {
  QVariantMap m;
  for (const auto &[k, v] : fields)
    m.insert(QString::fromLatin1(k), v);
  return m;
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
  const std::string &Dir() const { return fDir.Path(); }

  // The window, shown when asked, signed in through the scripted login dialog; args are more
  // command-line settings.
  TMonitorMainWin &Start(bool show = false, std::vector<std::string> args = {}) {
    args.push_back("server=" + fSim->BaseUrl());
    Init(fDir.Path() + "KelvraMonitor", args);
    fWin = std::make_unique<TMonitorMainWin>();
    if (show) {
      fWin->resize(1200, 800);
      fWin->show();
    }
    Prompt::StartScript({Answer({{"UserEdit", "demo"}, {"PassEdit", "demo"}, {"click", "ButSignIn"}})});
    fWin->Login(true);
    Prompt::StopScript();
    return *fWin;
  }

  // Selects the object's row; the selected object, null when it is not in the list.
  TObjectInfo *Select(int uid) {
    // The list shows the objects through the search filter.
    const QModelIndex i = fWin->Search()->ViewIndex(fWin->Objects()->ObjectAt(fWin->Objects()->IndexOf(uid)));
    if (i.isValid()) fWin->ObjList()->setCurrentIndex(i);
    return fWin->SelectedObject();
  }

  QString LogText() const { return test::LogText(*fWin); }

private:
  TTempDir fDir;
  std::unique_ptr<SimServer> fSim;
  bool fStarted = false;
  std::unique_ptr<TMonitorMainWin> fWin;
};

} // namespace kelvra::test
