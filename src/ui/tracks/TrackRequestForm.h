#pragma once
// "Track Request": the period, style, name and options of an object's track. The period and the
// name are kept in section "Track" of the settings file.

#include <QDialog>
#include <functional>
#include <string>

#include "core/util/LumDates.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QTimeEdit;

namespace kelvra {

class TObjectInfo;

class TTrackRequestForm : public QDialog {
  Q_OBJECT
public:
  explicit TTrackRequestForm(QWidget *parent = nullptr);

  std::function<TDateTime()> Now = NowLocal;

  TDateTime Dt1() const;
  TDateTime Dt2() const;
  void SetDt1(TDateTime dt);
  void SetDt2(TDateTime dt);
  int TrackStyle() const;
  std::string TrackSign() const;
  void SetTrackSign(const std::string &sign);
  bool RequestSensors() const;
  bool RequestBySysTime() const;
  bool DoNotMarkup() const;

  // Shows the object; a missing time gives today 06:00 to 12:00 named "six_hours". True after OK.
  bool DoRequest(const TObjectInfo *oi);
  // "Select period": the period dialog below the button, closing on a quick button.
  void SelectPeriod();

public slots:
  void done(int r) override;

private:
  QLineEdit *fObjectName, *fObjectId, *fTrackSign;
  QDateEdit *fDate1, *fDate2;
  QTimeEdit *fTime1, *fTime2;
  QComboBox *fStyle;
  QCheckBox *fSensors, *fBySysTime, *fNoMarkup;
  QWidget *fSelectPeriod;
};

} // namespace kelvra
