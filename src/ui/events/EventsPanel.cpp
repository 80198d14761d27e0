#include "ui/events/EventsPanel.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "core/app/EventsLogic.h"
#include "core/client/client.h"
#include "core/model/EventInfo.h"
#include "core/model/TrapInfo.h"
#include "ui/events/EventsModel.h"
#include "ui/events/AcceptEventForm.h"
#include "ui/widgets/PeriodRequestForm.h"
#include "ui/widgets/Prompt.h"

namespace kelvra {

bool TEventsSortProxy::lessThan(const QModelIndex &l, const QModelIndex &r) const {
  auto *m = qobject_cast<const TEventsModel *>(sourceModel());
  if (!m) return false;
  return CompareEvents(m->EventAt(l.row()), m->EventAt(r.row()), l.column()) < 0;
}

namespace {

QToolButton *PageButton(QWidget *page, const char *name, QStyle::StandardPixmap icon) {
  auto *b = new QToolButton(page);
  b->setObjectName(name);
  b->setIcon(page->style()->standardIcon(icon));
  b->setAutoRaise(true);
  return b;
}

// A page: the list with its tool buttons in a column at its right.
QWidget *Page(const char *name, QTreeView *&list, const std::vector<QToolButton *> &buttons,
              QWidget *page) {
  page->setObjectName(name);
  auto *lay = new QHBoxLayout(page);
  lay->setContentsMargins(1, 1, 1, 1);
  lay->setSpacing(1);
  lay->addWidget(list, 1);
  auto *col = new QVBoxLayout;
  col->setSpacing(0);
  for (QToolButton *b : buttons)
    col->addWidget(b);
  col->addStretch();
  lay->addLayout(col);
  return page;
}

} // namespace

TEventsPanel::TEventsPanel(TKelvraClient &client, TEventsHost host, QWidget *owner)
    : QObject(owner), fClient(client), fHost(std::move(host)), fOwner(owner) {
  fAlarms = new TEventsModel(this);
  fEvents = new TEventsModel(this);
  fEvents->eventList = true;
  for (TEventsModel *m : {fAlarms, fEvents}) {
    m->findObject = [this](int uid) -> const TObjectInfo * { return fClient.FindObject(uid); };
    m->findTrap = [this](int uid) -> const TTrapInfo * { return fClient.FindTrap(uid); };
  }
  fAlarmPage = new QWidget(owner);
  fEventPage = new QWidget(owner);
  fAlarmList = MakeList(fAlarmPage, "AlarmList", fAlarms);
  fEventList = MakeList(fEventPage, "EventList", fEvents);
  QToolButton *acceptAlarm = PageButton(fAlarmPage, "SbAcceptAlarm", QStyle::SP_DialogApplyButton);
  QToolButton *acceptEvent = PageButton(fEventPage, "SbAcceptEvent", QStyle::SP_DialogApplyButton);
  QToolButton *request =
      PageButton(fEventPage, "SbRequestEvents", QStyle::SP_FileDialogDetailedView);
  Page("TabAlarms", fAlarmList, {acceptAlarm}, fAlarmPage);
  Page("TabEvents", fEventList, {acceptEvent, request}, fEventPage);
  connect(acceptAlarm, &QToolButton::clicked, this, [this] { AcceptEvent(Selected(fAlarmList)); });
  connect(acceptEvent, &QToolButton::clicked, this, [this] { AcceptEvent(Selected(fEventList)); });
  connect(request, &QToolButton::clicked, this, [this, request] {
    RequestEvents(request->mapToGlobal(QPoint(request->width(), 0)), QPoint(-1, -1));
  });
}

QTreeView *TEventsPanel::MakeList(QWidget *page, const char *name, TEventsModel *model) {
  auto *proxy = new TEventsSortProxy(this);
  proxy->setSourceModel(model);
  proxy->setDynamicSortFilter(false);
  auto *v = new QTreeView(page);
  v->setObjectName(name);
  v->setModel(proxy);
  v->setRootIsDecorated(false);
  v->setUniformRowHeights(false);
  v->setSelectionMode(QAbstractItemView::SingleSelection);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setWordWrap(true);
  QHeaderView *h = v->header();
  h->setSectionsClickable(true);
  h->setSortIndicatorShown(true);
  h->setSortIndicator(1, Qt::DescendingOrder);
  proxy->sort(1, Qt::DescendingOrder);
  // Wide enough for a time above its coordinates, so a row wraps only between its lines; the
  // text columns get room for about 14 (name, condition) and 11 (value) characters.
  const QFontMetrics fm = v->fontMetrics();
  const int pad = 2 * fm.horizontalAdvance(QLatin1Char('W'));
  const int chars = fm.averageCharWidth();
  const int time = std::max(fm.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")),
                            fm.horizontalAdvance(QStringLiteral("00.000000,00.000000")));
  const int icon = v->style()->pixelMetric(QStyle::PM_SmallIconSize);
  const int widths[] = {14 * chars + icon + pad, time + pad, time + pad, 14 * chars + pad, 11 * chars + pad};
  for (int c = 0; c < int(std::size(widths)); ++c)
    h->resizeSection(c, widths[c]);
  // A click on a title sorts by that column and turns the direction round.
  connect(h, &QHeaderView::sectionClicked, this, [h, proxy](int column) {
    const Qt::SortOrder order =
        proxy->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    proxy->sort(column, order);
    h->setSortIndicator(column, order);
  });
  connect(model, &QAbstractItemModel::modelReset, proxy,
          [proxy] { proxy->sort(proxy->sortColumn(), proxy->sortOrder()); });
  connect(v, &QTreeView::doubleClicked, this,
          [this, v](const QModelIndex &i) { CellDoubleClicked(v, i); });
  QPalette p = v->palette();
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  v->setPalette(p);
  return v;
}

void TEventsPanel::Log(const std::string &text) const {
  if (fHost.Log) fHost.Log(text);
}

const TEventInfo *TEventsPanel::Selected(QTreeView *list) const {
  auto *proxy = qobject_cast<QSortFilterProxyModel *>(list->model());
  auto *m = proxy ? qobject_cast<TEventsModel *>(proxy->sourceModel()) : nullptr;
  const QModelIndex i = list->currentIndex();
  if (!m || !i.isValid()) return nullptr;
  return m->EventAt(proxy->mapToSource(i).row());
}

bool TEventsPanel::Select(QTreeView *list, int uid) {
  auto *proxy = qobject_cast<QSortFilterProxyModel *>(list->model());
  auto *m = proxy ? qobject_cast<TEventsModel *>(proxy->sourceModel()) : nullptr;
  if (!m || uid == 0) return false;
  for (int r = 0; r < m->rowCount(); ++r)
    if (const TEventInfo *ei = m->EventAt(r); ei && ei->uid == uid) {
      list->setCurrentIndex(proxy->mapFromSource(m->index(r, 0)));
      return true;
    }
  return false;
}

void TEventsPanel::ClearEvents() { fEvents->Clear(); }

void TEventsPanel::LoadEvents(TDateTime dt1, TDateTime dt2) {
  const TPeriod p = EventsPeriod(dt1, dt2, fClient.DisplayNow());
  Log("\rLoad events (%s .. %s) ...", {dt2s(p.Dt1), dt2s(p.Dt2)});
  ReloadWith([this, p] { return fClient.GetEvents(p.Dt1, p.Dt2); });
}

bool TEventsPanel::EventsDue(TDateTime &dt1, TDateTime &dt2) const {
  dt1 = fClient.EventListDt1();
  dt2 = fClient.EventListDt2();
  return EventsNeedReload(fClient.DisplayNow(), dt1, dt2);
}

void TEventsPanel::ReloadWith(const std::function<int()> &request) {
  const TEventInfo *sel = Selected(fEventList);
  const int selUid = sel ? sel->uid : 0;
  // The rows refer to the records the request replaces.
  fEvents->Clear();
  const int n = request();
  Log("\r  -> %d", {n});
  fEventList->setUpdatesEnabled(false);
  std::vector<const TEventInfo *> rows;
  rows.reserve(fClient.EventList().size());
  for (const auto &ei : fClient.EventList())
    rows.push_back(ei.get());
  fEvents->SetEvents(std::move(rows));
  Select(fEventList, selUid);
  fEventList->setUpdatesEnabled(true);
}

void TEventsPanel::UpdateEvents() {
  if (EventsNeedReload(fClient.DisplayNow(), fClient.EventListDt1(), fClient.EventListDt2()))
    LoadEvents(fClient.EventListDt1(), fClient.EventListDt2());
}

void TEventsPanel::RequestEvents(const QPoint &pos, const QPoint &rel) {
  TPeriodRequestForm dlg(fOwner);
  // At the mouse, on the side of it that the direction from the button gives.
  std::function<QPoint(QSize)> place;
  if (!pos.isNull())
    place = [pos, rel](QSize size) {
      return QPoint(rel.x() >= 0 ? pos.x() : pos.x() - size.width(),
                    rel.y() >= 0 ? pos.y() : pos.y() - size.height());
    };
  PreparePeriodDialog(dlg, [this] { return fClient.DisplayNow(); }, place);
  if (dlg.DoRequest(false)) LoadEvents(dlg.Dt1(), dlg.Dt2());
}

bool TEventsPanel::AcceptEvent(const TEventInfo *ei) {
  Log("\rAccept event ...");
  if (!ei) {
    Log("\r  x: no event");
    return false;
  }
  if (DtDefined(ei->accept_dt)) {
    Log("\r  x: already accepted [" + dt2s(ei->accept_dt) + "]");
    return false;
  }
  // A refresh while the dialog is open may replace the record: only its uid is used afterwards.
  const int uid = ei->uid;
  TAcceptEventForm dlg(fOwner);
  std::string msg;
  // Accepted from inside the window, which stays open with the reason when it is refused.
  dlg.Send = [this, &dlg, &msg, uid]() -> std::string {
    msg = dlg.AcceptMessage().toStdString();
    const bool ok = fClient.AcceptEvent(uid, msg);
    Log(std::string("\r  -> ") + (ok ? "ok" : "error"));
    return ok ? std::string() : fClient.ErrorMessage();
  };
  if (Prompt::Exec(&dlg) != QDialog::Accepted) {
    Log("\r  x: cancel");
    return false;
  }
  MarkEventAccepted(fClient, uid, fClient.DisplayNow(), msg);
  fAlarms->RefreshAll();
  fEvents->RefreshAll();
  return true;
}

void TEventsPanel::CellDoubleClicked(QTreeView *list, const QModelIndex &proxyIndex) {
  if (!proxyIndex.isValid()) return;
  list->setCurrentIndex(proxyIndex);
  const TEventInfo *ei = Selected(list);
  if (!ei) return;
  switch (proxyIndex.column()) {
  case 1:
  case 2:
    if (fHost.RequestEventTrack) fHost.RequestEventTrack(ei);
    break;
  case 3:
    if (TTrapInfo *ti = fClient.FindTrap(ei->trap_id); ti && fHost.ShowTrap) fHost.ShowTrap(ti);
    break;
  case 5:
    if (!DtDefined(ei->accept_dt)) AcceptEvent(ei);
    break;
  default:
    break;
  }
}

void TEventsPanel::EventsPageShown() {
  if (fEventList->currentIndex().isValid()) return;
  const int n = fEventList->model()->rowCount();
  if (n > 0) fEventList->setCurrentIndex(fEventList->model()->index(n - 1, 0));
}

} // namespace kelvra
