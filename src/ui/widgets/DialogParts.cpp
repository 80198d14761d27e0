#include "ui/widgets/DialogParts.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/widgets/LumLed.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

TSendingDialog::TSendingDialog(QWidget *parent) : QDialog(parent) {
  fSendError = FieldProblemLabel(this, "LblSendError");
  fSendError->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

QString TSendingDialog::SendError() const { return fSendError->text(); }

void TSendingDialog::ShowSendError(const QString &reason) { ShowFieldProblem(fSendError, reason); }

void TSendingDialog::accept() {
  if (!FieldsReady()) return;
  if (Send) {
    const std::string reason = Send();
    if (!reason.empty()) {
      ShowSendError(FormString(this, "send_refused", {reason}));
      return; // the window and its edits stay
    }
  }
  ShowSendError({});
  QDialog::accept();
}

QLabel *FieldProblemLabel(QWidget *parent, const QString &name) {
  auto *l = new QLabel(parent);
  l->setObjectName(name);
  l->setWordWrap(true);
  l->setStyleSheet("color: #b00000;");
  l->hide();
  return l;
}

void ShowFieldProblem(QLabel *label, const QString &problem) {
  label->setText(problem);
  label->setVisible(!problem.isEmpty());
}

TLumLed *ChangeLed(QWidget *parent, const char *name) {
  auto *l = new TLumLed(parent);
  l->setObjectName(name);
  l->SetColorOn(QColor(0, 200, 0));
  return l;
}

void AddRow(QFormLayout *form, QWidget *parent, const char *label, QWidget *control, TLumLed *led) {
  auto *l = new QLabel(label, parent);
  l->setBuddy(control);
  if (!led) {
    form->addRow(l, control);
    return;
  }
  auto *h = new QHBoxLayout;
  h->addWidget(control, 1);
  h->addWidget(led);
  form->addRow(l, h);
}

QHBoxLayout *ButtonRow(QDialog *d, std::initializer_list<TButtonSpec> buttons) {
  auto *h = new QHBoxLayout;
  h->addStretch();
  for (const TButtonSpec &b : buttons) {
    auto *p = new QPushButton(b.Text, d);
    p->setObjectName(b.Name);
    p->setDefault(b.Default);
    p->setAutoDefault(b.Default);
    h->addWidget(p);
    if (b.Result >= 0) {
      const int result = b.Result;
      // accept() and reject() are the dialog's own: a sending dialog sends before it closes.
      QObject::connect(p, &QPushButton::clicked, d, [d, result] {
        if (result == QDialog::Accepted)
          d->accept();
        else if (result == QDialog::Rejected)
          d->reject();
        else
          d->done(result);
      });
    }
  }
  return h;
}

QDialogButtonBox *OkCancelButtons(QDialog *d) {
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ButOk");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("ButCancel");
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return buttons;
}

QString RowLabel(const QWidget *form, const std::string &key) {
  const QString s = FormString(form, key);
  return s.trimmed().isEmpty() ? QString::fromStdString(key) : s;
}

QTableView *MakeDetailTable(QWidget *parent, QStandardItemModel *model) {
  auto *t = new QTableView(parent);
  t->setModel(model);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setWordWrap(true);
  t->verticalHeader()->hide();
  t->horizontalHeader()->hide();
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

void FillDetailTable(const QWidget *form, QTableView *table, QStandardItemModel *model,
                     const std::vector<TInfoRow> &rows) {
  model->removeRows(0, model->rowCount());
  model->setColumnCount(2);
  const int line = table->fontMetrics().height() + 6;
  for (const TInfoRow &r : rows) {
    auto *value = new QStandardItem(QString::fromStdString(r.Value));
    value->setToolTip(value->text());
    model->appendRow({new QStandardItem(r.Sensor ? QString::fromStdString(r.Key) : RowLabel(form, r.Key)),
                      value});
    table->setRowHeight(model->rowCount() - 1, line * InfoRowLines(r));
  }
  table->resizeColumnToContents(0);
}

void PutButtonAtRight(QTableView *table, const QModelIndex &cell, QWidget *button) {
  auto *holder = new QWidget(table);
  auto *l = new QHBoxLayout(holder);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  l->addStretch(1);
  button->setParent(holder);
  button->setMinimumHeight(table->rowHeight(cell.row()));
  l->addWidget(button);
  table->setIndexWidget(cell, holder);
}

void CopyDetailValue(QTableView *table, QStandardItemModel *model) {
  const QModelIndex i = table->currentIndex();
  if (!i.isValid()) return;
  const QString v = model->item(i.row(), 1)->text();
  if (!v.isEmpty()) QApplication::clipboard()->setText(v);
}

bool IsCopyKey(const QKeyEvent *e) {
  return (e->modifiers() & Qt::ControlModifier) &&
         (e->key() == Qt::Key_C || e->key() == Qt::Key_Insert);
}

// ---------------------------------------------------------------- info rows

TInfoRowsForm::TInfoRowsForm(const char *name, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
  setObjectName(name);
  setAttribute(Qt::WA_DeleteOnClose);
  fItems = new QStandardItemModel(this);
  fTable = MakeDetailTable(this, fItems);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(fTable);
  TranslateForm(this);
}

void TInfoRowsForm::SetRows(std::vector<TInfoRow> rows) {
  fRows = std::move(rows);
  fItems->clear();
  fItems->setColumnCount(2);
  const int line = fTable->fontMetrics().height() + 6;
  int height = 0;
  for (const TInfoRow &r : fRows) {
    QString label = FormString(this, r.Key);
    // A sensor is shown by its sign unless the translation knows it.
    if (r.Sensor && label.trimmed().isEmpty()) label = QString::fromStdString(r.Key);
    auto *value = new QStandardItem(QString::fromStdString(r.Value));
    value->setToolTip(QString::fromStdString(r.Value));
    fItems->appendRow({new QStandardItem(label), value});
    const int h = line * InfoRowLines(r);
    fTable->setRowHeight(fItems->rowCount() - 1, h);
    height += h; // a row's height holds its grid line
  }
  fTable->resizeColumnToContents(0);
  fTable->setColumnWidth(1, std::max(fTable->fontMetrics().horizontalAdvance(QString(22, 'W')), 160));
  // The table's frame and the layout's margin around it, and not a pixel more.
  const int rim = 2 * (fTable->frameWidth() + 1);
  resize(fTable->columnWidth(0) + fTable->columnWidth(1) + rim, height + rim);
}

void TInfoRowsForm::CopyValue() { CopyDetailValue(fTable, fItems); }

void TInfoRowsForm::keyPressEvent(QKeyEvent *e) {
  if (e->key() == Qt::Key_Escape) {
    close();
    return;
  }
  if (IsCopyKey(e)) {
    CopyValue();
    return;
  }
  QWidget::keyPressEvent(e);
}

bool TInfoRowsForm::event(QEvent *e) {
  // Like a hint: gone as soon as the user looks elsewhere.
  if (e->type() == QEvent::WindowDeactivate) close();
  return QWidget::event(e);
}

} // namespace kelvra
