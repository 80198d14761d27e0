#include "ui/widgets/QtDates.h"

#include <QDateEdit>
#include <QTimeEdit>
#include <cmath>

namespace kelvra {

namespace {
const QDate kEpoch(1899, 12, 30);
}

QDateTime DtToQ(TDateTime dt) {
  if (std::isnan(dt) || dt == 0) return {};
  double day = std::floor(dt);
  qint64 ms = std::llround((dt - day) * 86400000.0);
  if (ms >= 86400000) { // rounded up to the next midnight
    day += 1;
    ms -= 86400000;
  }
  return QDateTime(kEpoch.addDays(static_cast<qint64>(day)),
                   QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

TDateTime QToDt(const QDateTime &t) {
  if (!t.isValid()) return 0;
  return static_cast<double>(kEpoch.daysTo(t.date())) +
         t.time().msecsSinceStartOfDay() / 86400000.0;
}

TDateTime PickedDt(const QDateEdit *d, const QTimeEdit *t) {
  if (d->date() == d->minimumDate()) return 0;
  return QToDt(QDateTime(d->date(), t->time(), Qt::UTC));
}

void ShowDt(QDateEdit *d, QTimeEdit *t, TDateTime dt) {
  const QDateTime q = DtToQ(dt);
  d->setDate(q.isValid() ? q.date() : d->minimumDate());
  t->setTime(q.isValid() ? q.time() : QTime(0, 0));
}

QDateEdit *NewDateEdit(QWidget *parent, const char *name) {
  auto *d = new QDateEdit(parent);
  d->setObjectName(name);
  d->setCalendarPopup(true);
  d->setDisplayFormat("dd.MM.yyyy");
  return d;
}

QTimeEdit *NewTimeEdit(QWidget *parent, const char *name) {
  auto *t = new QTimeEdit(parent);
  t->setObjectName(name);
  t->setDisplayFormat("HH:mm:ss");
  return t;
}

} // namespace kelvra
