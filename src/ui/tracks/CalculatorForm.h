#pragma once
// "Calculator": a small window above the track dump showing the last two points handed to it and
// the distance between them.

#include <QWidget>
#include <memory>
#include <vector>

#include "core/model/TrackPointInfo.h"

class QLineEdit;
class QStandardItemModel;
class QTableView;

namespace kelvra {

class TCalculatorForm : public QWidget {
  Q_OBJECT
public:
  explicit TCalculatorForm(QWidget *owner = nullptr);
  ~TCalculatorForm() override;
  // Keeps at most one older point, appends a copy of this one and updates the distance.
  void AppendPoint(const TTrackPointInfo &point);
  const std::vector<std::unique_ptr<TTrackPointInfo>> &Points() const { return fPoints; }
  QString DistanceText() const;
  QTableView *Table() const { return fTable; }

private:
  std::vector<std::unique_ptr<TTrackPointInfo>> fPoints;
  QStandardItemModel *fItems;
  QTableView *fTable;
  QLineEdit *fDistance;
};

// The one calculator window, made when there is none; closing it frees it.
TCalculatorForm *ShowCalculator(QWidget *owner);

} // namespace kelvra
