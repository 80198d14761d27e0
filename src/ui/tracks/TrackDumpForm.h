#pragma once
// "Track Dump": every point of a track in a sortable table, the summary of the selection,
// copying, a chart of one value over time with clickable points, export and track info.

#include <QAbstractTableModel>
#include <QWidget>
#include <vector>

#include "core/tracks/TrackDump.h"

class QAction;
class QChartView;
class QComboBox;
class QLabel;
class QStackedWidget;
class QTableView;

namespace kelvra {

class TTrackDumpModel : public QAbstractTableModel {
  Q_OBJECT

public:
  explicit TTrackDumpModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}
  // The track is not owned.
  void SetTrack(const TGeoTrack *track);
  // Translated column titles (the plain names when the list does not fit).
  void SetTitles(const QStringList &titles) { fTitles = titles; }
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // A click on a sortable title: by it, and reversed on a second click.
  void sort(int column, Qt::SortOrder order) override;
  void SortByTitle(int column);
  const TTrackPointInfo *PointAt(int row) const;
  int SortColumn() const { return fSortColumn; }
  bool Descending() const { return fDescending; }

private:
  const TGeoTrack *fTrack = nullptr;
  QStringList fTitles;
  std::vector<int> fOrder;
  int fSortColumn = -1;
  bool fDescending = false;
};

class TTrackDumpForm : public QWidget {
  Q_OBJECT

public:
  explicit TTrackDumpForm(QWidget *parent = nullptr);
  ~TTrackDumpForm() override;

  // The track is owned when freeOnClose is set; sensorName names the object's sensors.
  void SetTrack(TGeoTrack *track, bool freeOnClose, TSensorNameFunc sensorName = {});
  // Builds the table (once; also done on the first activation).
  void BuildDump();

  QTableView *Table() const { return fTable; }
  TTrackDumpModel *Model() const { return fModel; }
  QLabel *SummaryLabel() const { return fSummaryLabel; }
  QLabel *SummaryValue() const { return fSummaryValue; }
  QComboBox *ChartValues() const { return fChartValues; }
  QChartView *Chart() const { return fChartView; }
  bool ChartShown() const;

  // The selected points in table order.
  std::vector<const TTrackPointInfo *> SelectedPoints() const;
  void CopyRows();
  void CopyColumns();
  void ShowChart();
  void ShowDump();
  void ShowTrackInfo();
  void ExportTrack();
  // "Calculator [+]": the first selected point goes to the calculator window.
  void AddToCalculator();
  // Opens "TrackPoint Info" for the track point a chart point was made from.
  void ChartPointClicked(const QPointF &p);
  // The track point index of the chart point nearest to time x (msecs since the epoch).
  int ChartPointIndex(double x) const;

protected:
  bool event(QEvent *e) override;

private:
  void UpdateSummary();
  void FillChart();

  TGeoTrack *fTrack = nullptr;
  bool fFreeTrackOnClose = false;
  bool fActivated = false;
  double fMinDate = 999999999;
  double fMaxDate = 0;
  TSensorNameFunc fSensorName;
  std::vector<TChartValue> fValues;
  std::vector<TChartData> fCharts; // one per value, made on the worker with the dump
  std::vector<TChartPoint> fShown; // the chart's points, thinned, in time order
  TTrackDumpModel *fModel;
  QTableView *fTable;
  QLabel *fSummaryLabel;
  QLabel *fSummaryValue;
  QComboBox *fChartValues;
  QChartView *fChartView;
  QStackedWidget *fStack;
};


} // namespace kelvra
