#pragma once
// Pieces the object, trip, command, configuration, places and track dialogs share: form rows with a
// change lamp, button rows, and a table of label / value detail rows.

#include <QDialog>
#include <QString>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/tracks/TrackDump.h"

class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QModelIndex;
class QStandardItemModel;
class QTableView;
class QWidget;

namespace kelvra {

class TLumLed;

// A green change lamp named as the translation expects.
TLumLed *ChangeLed(QWidget *parent, const char *name);
// The widget, named (tests and the layout's saved state find it by that name).
template <class T> T *Named(T *w, const char *name) {
  w->setObjectName(name);
  return w;
}
// A row of a form: a label (the buddy of the control, so that "<edit>_label" translates it), the
// control and, when given, its lamp.
void AddRow(QFormLayout *form, QWidget *parent, const char *label, QWidget *control,
            TLumLed *led = nullptr);

struct TButtonSpec {
  const char *Name;
  const char *Text;
  int Result; // the dialog closes with this result; -1: the button only emits clicked
  bool Default;
};
// Buttons at the right of a row.
QHBoxLayout *ButtonRow(QDialog *d, std::initializer_list<TButtonSpec> buttons);
// OK (default, "ButOk") and Cancel ("ButCancel") that accept and reject the dialog.
QDialogButtonBox *OkCancelButtons(QDialog *d);

// The label of a detail row: the translation of its key, the key itself when there is none.
QString RowLabel(const QWidget *form, const std::string &key);

QTableView *MakeDetailTable(QWidget *parent, QStandardItemModel *model);
// Label and value rows, a multi-line row (length / 20 + 1) lines high.
void FillDetailTable(const QWidget *form, QTableView *table, QStandardItemModel *model,
                     const std::vector<TInfoRow> &rows);
// A small button at the right end of a cell; the view hides it with its row.
void PutButtonAtRight(QTableView *table, const QModelIndex &cell, QWidget *button);
// The selected row's value to the clipboard.
void CopyDetailValue(QTableView *table, QStandardItemModel *model);
// Ctrl+C or Ctrl+Insert.
bool IsCopyKey(const QKeyEvent *e);

// A dialog that sends what it holds when it is confirmed and closes only once the service accepted
// it: a refusal or a failure shows its reason in the window ("LblSendError") and keeps every edit,
// so that the user can put it right and confirm again. Without Send it is a plain dialog.
class TSendingDialog : public QDialog {
  Q_OBJECT

public:
  explicit TSendingDialog(QWidget *parent = nullptr);
  // Sends what the window holds: an empty text when the service accepted it, else the reason.
  std::function<std::string()> Send;
  // The reason shown for the last refusal; empty when there is none.
  QString SendError() const;
  void ShowSendError(const QString &reason);
  void accept() override;

protected:
  // Checks the fields before anything is sent; false keeps the window open (each field that
  // cannot be sent shows why next to it).
  virtual bool FieldsReady() { return true; }
  // The line of the reason; the window puts it above its buttons.
  QLabel *SendErrorLabel() const { return fSendError; }

private:
  QLabel *fSendError;
};

// The red line under a field that says why its value cannot be sent; hidden while empty.
QLabel *FieldProblemLabel(QWidget *parent, const QString &name);
void ShowFieldProblem(QLabel *label, const QString &problem);

// A tool window of label / value rows that closes when it loses the focus or on Escape.
class TInfoRowsForm : public QWidget {
  Q_OBJECT

public:
  explicit TInfoRowsForm(const char *name, QWidget *parent = nullptr);
  QTableView *Table() const { return fTable; }
  // Ctrl+C / Ctrl+Insert: the selected row's value.
  void CopyValue();
  const std::vector<TInfoRow> &Rows() const { return fRows; }

protected:
  void SetRows(std::vector<TInfoRow> rows);
  void keyPressEvent(QKeyEvent *e) override;
  bool event(QEvent *e) override;
  QStandardItemModel *fItems;
  QTableView *fTable;
  std::vector<TInfoRow> fRows;
};

} // namespace kelvra
