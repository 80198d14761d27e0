#include "ui/widgets/WorkProgress.h"

#include <QApplication>
#include <algorithm>

namespace kelvra {

TWorkProgress::TWorkProgress(QWidget *parent, const QString &label, const QString &cancel)
    : fDialog(label, cancel, 0, 1000, parent) {
  fDialog.setObjectName("WorkProgress");
  fDialog.setWindowModality(Qt::WindowModal);
  fDialog.setMinimumDuration(500);
  fDialog.setAutoClose(false);
  fDialog.setAutoReset(false);
}

TWorkProgress::~TWorkProgress() { fDialog.reset(); }

TProgressFunc TWorkProgress::Func() {
  return [this](size_t done, size_t total) {
    fDialog.setValue(static_cast<int>(done * 1000 / std::max<size_t>(total, 1)));
    QApplication::processEvents();
    return !fDialog.wasCanceled();
  };
}

} // namespace kelvra
