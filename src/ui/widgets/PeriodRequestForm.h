#pragma once
// "Time period selection": a start and an end, typed in or set by one of fifteen quick buttons,
// and the short name of the chosen span. The period is kept in section "Period" of the settings
// file between runs.

#include <QDialog>
#include <array>
#include <QPoint>
#include <QSize>
#include <functional>
#include <string>

#include "core/tracks/PeriodButtons.h"

class QDateEdit;
class QTimeEdit;
class QPushButton;

namespace kelvra {

class TPeriodRequestForm : public QDialog {
  Q_OBJECT
public:
  // section: where the period is kept ("Period"; the zone history and trips use their own).
  explicit TPeriodRequestForm(QWidget *parent = nullptr, const std::string &section = "Period");

  // The local time the quick buttons count from (the client's display time in the program).
  std::function<TDateTime()> Now = NowLocal;

  TDateTime Dt1() const;
  TDateTime Dt2() const;
  void SetDt1(TDateTime dt);
  void SetDt2(TDateTime dt);
  // The caption of the quick button used last; otherwise the span's length ("6h 0m 0s"), computed
  // once and kept; empty when the end is not after the start.
  std::string Sign();
  bool CloseAfterClick() const { return fCloseAfterClick; }
  void SetCloseAfterClick(bool v) { fCloseAfterClick = v; }

  // Today 06:00 to 12:00 when a time is missing, then modal; true only after OK with the end
  // after the start.
  bool DoRequest(bool closeAfterClick);
  // What a quick button does.
  void QuickButton(int button);
  QPushButton *Button(int button) const { return fButtons[static_cast<size_t>(button)]; }

public slots:
  void done(int r) override;

private:
  void ShowPeriod(const TPeriod &p);
  std::string fSection;
  std::string fSign;
  bool fCloseAfterClick = false;
  bool fSetting = false; // the fields are being filled, not edited
  QDateEdit *fDate1, *fDate2;
  QTimeEdit *fTime1, *fTime2;
  std::array<QPushButton *, PeriodButtonCount> fButtons{};
};

// The object names of the quick buttons, in button order.
extern const std::array<const char *, PeriodButtonCount> PeriodButtonNames;

// The period dialog made ready as its callers want it: the clock of the display time zone, its
// own size (not the default one), and its place: centred on the screen, or at the top-left corner
// `place` gives for the dialog's size, moved inside the screen.
void PreparePeriodDialog(TPeriodRequestForm &dlg, std::function<TDateTime()> now,
                         const std::function<QPoint(QSize)> &place = {});

} // namespace kelvra
