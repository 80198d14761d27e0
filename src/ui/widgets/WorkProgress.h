#pragma once
// Progress of long work done on the user-interface thread (building, filtering a big track): a
// modal progress bar with "Cancel", shown when the work takes longer than half a second.

#include <QProgressDialog>

#include "core/tracks/LocationFilter.h"

namespace kelvra {

class TWorkProgress {
public:
  TWorkProgress(QWidget *parent, const QString &label, const QString &cancel);
  ~TWorkProgress();
  // Reports (done, total) and keeps the window painting; false once "Cancel" was pressed.
  TProgressFunc Func();

private:
  QProgressDialog fDialog;
};

} // namespace kelvra
