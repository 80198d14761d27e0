#pragma once
// "Filter Track": chooses and sets up the median or the Kalman filter and the style of the
// filtered track. The fields live in section "Filter" of the settings file.

#include <QDialog>
#include <memory>

#include "core/tracks/FilterSettings.h"

class QComboBox;
class QLineEdit;
class QTabWidget;

namespace kelvra {

class TFilterForm : public QDialog {
  Q_OBJECT

public:
  explicit TFilterForm(QWidget *parent = nullptr);
  ~TFilterForm() override;

  // The fields as typed.
  TFilterSettings Settings() const;
  // A new filter from the fields (throws like CreateFilter); the chosen track style index.
  std::unique_ptr<TLocationFilter> CreateFilter() const;
  int GetTrackStyle() const;

  QTabWidget *Pages() const { return fPages; }
  QLineEdit *SizeEdit() const { return fSize; }
  QLineEdit *ErrorEdit() const { return fError; }
  QLineEdit *SpeedEdit() const { return fSpeed; }
  QComboBox *StyleBox() const { return fStyle; }

public slots:
  void accept() override;
  void done(int r) override;

private:
  void Flash(QLineEdit *edit);

  QTabWidget *fPages;
  QLineEdit *fSize;
  QLineEdit *fError;
  QLineEdit *fSpeed;
  QComboBox *fStyle;
};

} // namespace kelvra
