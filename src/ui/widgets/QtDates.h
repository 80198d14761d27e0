#pragma once
// The program's date-times (days since 30 December 1899, local display time) as Qt's, without a
// time zone: what the date pickers and the chart axis show is the program's own clock reading.

#include <QDateTime>

#include "core/util/LumDates.h"

class QDateEdit;
class QTimeEdit;

namespace kelvra {

// To the millisecond; an invalid QDateTime for 0 or NaN.
QDateTime DtToQ(TDateTime dt);
// 0 for an invalid QDateTime.
TDateTime QToDt(const QDateTime &t);

// A date picker and a time picker showing one date-time; the picker's lowest date stands for
// "no date" (0).
TDateTime PickedDt(const QDateEdit *d, const QTimeEdit *t);
void ShowDt(QDateEdit *d, QTimeEdit *t, TDateTime dt);
// The pickers as the period dialogs show them.
QDateEdit *NewDateEdit(QWidget *parent, const char *name);
QTimeEdit *NewTimeEdit(QWidget *parent, const char *name);

} // namespace kelvra
