#pragma once
// "Track Parser": loads a delimited text file, shows its rows in a grid, lets the user assign
// columns to the point fields and builds a track from the rows.

#include <QAbstractTableModel>
#include <QDialog>
#include <array>
#include <memory>

#include "core/tracks/TrackFileParser.h"

class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableView;

namespace kelvra {

class TLumTtyBox;

class TTrackParserModel : public QAbstractTableModel {
  Q_OBJECT

public:
  explicit TTrackParserModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}
  // The parser is not owned; call after every parse.
  void SetParser(const TTrackFileParser *parser);
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  const TTrackFileParser *fParser = nullptr;
};

class TTrackParser : public QDialog {
  Q_OBJECT

public:
  explicit TTrackParser(QWidget *parent = nullptr);
  ~TTrackParser() override;

  // Reads the file (Rejected when the reading was cancelled), then shows the dialog.
  int ParseModal(const QString &fileName);
  // Reads the file on a worker under the busy window; false when cancelled. A reading that is
  // cancelled or fails keeps the file read before (its rows, name and grid).
  bool SetFileName(const QString &fileName);
  void ParseFile(const QString &fileName = {});
  bool MakeTrack();
  // The built track, handed over to the caller; null when none was built.
  std::unique_ptr<TGeoTrack> GetTrack();
  void TxtOut(const std::string &text);

  TColumnMap Columns() const;
  QComboBox *FieldBox(int field) const { return fFileFields[field]; }
  QLineEdit *SeparatorEdit() const { return fSeparator; }
  QLineEdit *SignEdit() const { return fSign; }
  QTableView *Grid() const { return fGrid; }
  TLumTtyBox *Log() const { return fLog; }
  const TTrackFileParser &Parser() const { return fParser; }

private:
  enum class TRead { Read, Failed, Cancelled };
  TRead ReadFile(const QString &fileName);
  void OpenFile();

  QString fFileName;
  TTrackFileParser fParser;
  std::unique_ptr<TGeoTrack> fGeoTrack;
  std::array<QComboBox *, PointFieldCount> fFileFields{};
  TTrackParserModel *fModel;
  QLineEdit *fFileNameEdit;
  QLineEdit *fSign;
  QLineEdit *fSeparator;
  QSpinBox *fLayer;
  QComboBox *fStyle;
  QTableView *fGrid;
  TLumTtyBox *fLog;
};

} // namespace kelvra
