#include "ui/tracks/TrackInfoForms.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/Common.h"
#include "core/util/LumFiles.h"
#include "ui/widgets/DialogParts.h"
#include "ui/tracks/TrackDumpForm.h"
#include "ui/widgets/LumVUtils.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {


std::string CachedAddress(const std::string &osmId) {
  return AddressCache ? AddressCache->GetAddress(osmId) : std::string();
}

void TTrackInfoForm::ShowTrackInfo(const TGeoTrack *track, const QPoint &at) {
  fTrack = track;
  SetRows(track ? TrackInfoRows(*track) : std::vector<TInfoRow>{});
  for (size_t r = 0; r < fRows.size(); ++r) {
    if (!(fRows[r].Flags & irButton)) continue;
    auto *button = new QToolButton(fTable);
    button->setObjectName("ButShowPath");
    button->setText("...");
    button->setToolTip(FormString(this, "TrackPathForm_hint"));
    connect(button, &QToolButton::clicked, this, [this] {
      const TGeoTrack *t = fTrack;
      auto *path = new TTrackPathForm(parentWidget());
      path->setAttribute(Qt::WA_DeleteOnClose);
      close();
      path->ShowPath(t);
    });
    auto *holder = new QWidget(fTable);
    auto *l = new QHBoxLayout(holder);
    l->setContentsMargins(0, 0, 0, 0);
    l->addStretch(1);
    l->addWidget(button);
    fTable->setIndexWidget(fItems->index(static_cast<int>(r), 1), holder);
  }
  MoveInsideScreen(this, at);
  show();
  activateWindow();
}

void TTrackPointInfoForm::ShowTrackPoint(const TTrackPointInfo *point, const QPoint &at) {
  SetRows(point ? TrackPointInfoRows(*point, UserLevel, CachedAddress) : std::vector<TInfoRow>{});
  MoveInsideScreen(this, at);
  show();
  activateWindow();
}

// ---------------------------------------------------------------- path

TTrackPathForm::TTrackPathForm(QWidget *parent) : QDialog(parent) {
  setObjectName("TrackPathForm");
  auto *layout = new QVBoxLayout(this);
  auto *bar = new QToolBar(this);
  QAction *copy = bar->addAction(QString(), this, &TTrackPathForm::CopyPath);
  copy->setObjectName("SbCopyPath");
  QAction *exp = bar->addAction(QString(), this, &TTrackPathForm::ExportPath);
  exp->setObjectName("SbExportPath");
  for (QAction *a : {copy, exp})
    a->setText(FormString(this, a->objectName().toStdString() + "_hint"));
  layout->addWidget(bar);
  fItems = new QStandardItemModel(this);
  fTable = MakeDetailTable(this, fItems);
  fTable->horizontalHeader()->show(); // time and address
  fTable->setObjectName("PathList");
  layout->addWidget(fTable);
  TranslateForm(this);
}

void TTrackPathForm::SetTrack(const TGeoTrack *track) {
  fTrack = track;
  fRows = track ? TrackPathRows(*track) : std::vector<int>{};
  fItems->clear();
  fItems->setHorizontalHeaderLabels(FormString(this, "PathList_columns").split('|'));
  for (int r : fRows) {
    const TTrackPointInfo &tp = *track->Points()[r];
    fItems->appendRow({new QStandardItem(Q(DumpCellText(tp, dcObjTime))),
                       new QStandardItem(Q(CachedAddress(tp.osm_id)))});
  }
  fTable->resizeColumnToContents(0);
  const int rowH = fTable->verticalHeader()->defaultSectionSize();
  int h = rowH * (static_cast<int>(fRows.size()) + 1) + 60;
  if (const QScreen *s = screen()) {
    const QRect g = s->availableGeometry();
    h = std::min(h, g.height() / 2);
    resize(std::max(width(), 640), h);
    if (y() + h > g.bottom()) move(x(), std::max(g.top(), g.bottom() - h));
  }
}

int TTrackPathForm::ShowPath(const TGeoTrack *track) {
  SetTrack(track);
  return exec();
}

QString TTrackPathForm::PathText(int fmt) const {
  if (!fTrack) return {};
  return Q(TrackPathText(*fTrack, fRows, CachedAddress, fmt));
}

void TTrackPathForm::CopyPath() {
  const QString t = PathText(1);
  if (!t.isEmpty()) QApplication::clipboard()->setText(t);
}

void TTrackPathForm::CopyAddress() {
  const QModelIndex i = fTable->currentIndex();
  if (!i.isValid()) return;
  const QString v = fItems->item(i.row(), 1)->text();
  if (!v.isEmpty()) QApplication::clipboard()->setText(v);
}

void TTrackPathForm::ExportPath() {
  if (!fTrack) return;
  const QString name = Prompt::SaveFileName(this, FormString(this, "export_path"),
                                            Q(HomeDir + PlainFileName(fTrack->Sign())), "TXT (*.txt);;CSV (*.csv)");
  if (name.isEmpty()) return;
  const int fmt = name.endsWith(".csv", Qt::CaseInsensitive) ? 2 : 1;
  std::string fn = name.toStdString();
  if (ExportTrackPath(fn, PathText(fmt).toStdString(), fmt) > 0) OpenExportedFile(Q(fn));
}

void TTrackPathForm::keyPressEvent(QKeyEvent *e) {
  if (IsCopyKey(e)) {
    CopyAddress();
    return;
  }
  QDialog::keyPressEvent(e);
}

} // namespace kelvra
