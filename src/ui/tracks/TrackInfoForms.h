#pragma once
// "Track Info" and "TrackPoint Info" (label and value rows that close when they lose the
// focus or on Escape) and the modal "Track Path" with copy and export.

#include <QDialog>
#include <QWidget>
#include <vector>

#include "core/tracks/TrackDump.h"
#include "ui/widgets/DialogParts.h"

class QStandardItemModel;
class QTableView;

namespace kelvra {

class TTrackInfoForm : public TInfoRowsForm {
  Q_OBJECT

public:
  explicit TTrackInfoForm(QWidget *parent = nullptr) : TInfoRowsForm("TrackInfoForm", parent) {}
  // The track is not owned and must outlive the window.
  void ShowTrackInfo(const TGeoTrack *track, const QPoint &at);

private:
  const TGeoTrack *fTrack = nullptr;
};

class TTrackPointInfoForm : public TInfoRowsForm {
  Q_OBJECT

public:
  explicit TTrackPointInfoForm(QWidget *parent = nullptr)
      : TInfoRowsForm("TrackPointInfoForm", parent) {}
  void ShowTrackPoint(const TTrackPointInfo *point, const QPoint &at);
};

class TTrackPathForm : public QDialog {
  Q_OBJECT

public:
  explicit TTrackPathForm(QWidget *parent = nullptr);
  // Fills the rows; ShowPath also shows the window modally.
  void SetTrack(const TGeoTrack *track);
  int ShowPath(const TGeoTrack *track);
  QTableView *Table() const { return fTable; }
  QString PathText(int fmt) const;
  void CopyPath();
  void CopyAddress();
  void ExportPath();

protected:
  void keyPressEvent(QKeyEvent *e) override;

private:
  const TGeoTrack *fTrack = nullptr;
  std::vector<int> fRows;
  QStandardItemModel *fItems;
  QTableView *fTable;
};

// The address cache's text for a place id ("" without a cache).
std::string CachedAddress(const std::string &osmId);

} // namespace kelvra
