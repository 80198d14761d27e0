#pragma once
// The main window signed in as "demo" to an in-process kelvra-sim whose clock starts at this
// computer's and stands still (the windows compare ages of values with the display clock), for
// the tests of the object and device windows.

#include <QCoreApplication>
#include <QTreeView>
#include <QVariantMap>

#include <filesystem>
#include <memory>

#include "core/app/Common.h"
#include "sim/SimServer.h"
#include "support/TempDir.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/shell/ObjectSearch.h"
#include "ui/shell/ObjectsModel.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"

namespace kelvra::test {

inline QVariantMap Answer(std::initializer_list<std::pair<const char *, QVariant>> fields) {
  QVariantMap m;
  for (const auto &[k, v] : fields)
    m.insert(QString::fromLatin1(k), v);
  return m;
}

inline QString LogText(TMonitorMainWin &w) {
  QString s;
  for (int i = 0; i < w.LogBox()->LineCount(); ++i)
    s += w.LogBox()->Line(i) + "\n";
  return s;
}

struct TSignedInWindow {
  std::unique_ptr<TTempDir> fDir;
  std::unique_ptr<SimServer> fSim;
  std::unique_ptr<TMonitorMainWin> fWin;

  // The folder with the translations and a running service; false when it cannot start.
  bool Prepare() {
    fDir = std::make_unique<TTempDir>();
    std::filesystem::create_directory_symlink(
        QCoreApplication::applicationDirPath().toStdString() + "/Translations",
        fDir->Path() + "Translations");
    fSim = std::make_unique<SimServer>(TSimOptions{});
    return fSim->Start();
  }

  TMonitorMainWin &Start() {
    Init(fDir->Path() + "KelvraMonitor", {"server=" + fSim->BaseUrl()});
    fWin = std::make_unique<TMonitorMainWin>();
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

  void Finish() {
    Prompt::StopScript();
    fWin.reset();
    Done();
    fSim.reset();
    fDir.reset();
  }
};

} // namespace kelvra::test
