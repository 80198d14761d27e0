#pragma once
// Every message box, file picker and colour chooser of the program goes through here,
// so that UI tests can answer them from a script instead of blocking on a modal window.

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

namespace kelvra::Prompt {

enum class TKind { Message, OpenFile, SaveFile, Color, Dialog };

// One question as the program asked it; tests read these back.
struct TAsked {
  TKind kind;
  QString caption;
  QString text; // message text, the file filter, or a dialog's title
};

// A message box; returns the button pressed (NoButton when the box was closed).
QMessageBox::StandardButton Message(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
                                    const QString &text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// File pickers; an empty result means cancelled.
QString OpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter);
// The name returned carries the extension of the type chosen (WithTypeExtension); scripted, the
// answer is the name typed, or a QStringList of the name typed and the type chosen (the filter's
// entry, e.g. "GPX (*.gpx)"; the first entry when it is missing).
QString SaveFileName(QWidget *parent, const QString &caption, const QString &fileName,
                     const QString &filter);
// The name a save dialog's answer stands for: a name that ends with the extension of one of the
// offered types is kept as typed (its format follows that extension); any other gets the first
// extension of the chosen type (the first type when none was chosen). A type without an
// extension ("*") adds nothing.
QString WithTypeExtension(const QString &name, const QString &filter, const QString &chosen);

// Colour chooser; nothing when cancelled.
std::optional<QColor> ChooseColor(QWidget *parent, const QColor &initial, const QString &caption);

// Shows a modal dialog and returns its result (QDialog::exec). Scripted, the answer is a
// QVariantMap: each key but "click" and "result" names a child control of the dialog and gets the
// value (a line edit its text, a tick box or button its checked state, a list its current text,
// a date or time picker its QDate, QTime or QDateTime);
// then "click" names a button that is clicked, and the result is the dialog's own, or "result"
// when nothing was clicked. A QVariantList of such maps is applied map by map (for controls whose
// order matters, or for a window that stays open after a click: each map's "click" is clicked
// after its controls are set, and the steps end once the dialog closed); a TDialogProbe in the list
// is called with the dialog at its turn, to look at the window between clicks. Steps that leave the
// dialog open end as its close box would (Rejected). No answer means Rejected. The caption asked
// is the dialog's object name.
using TDialogProbe = std::function<void(QDialog *)>;
int Exec(QDialog *dialog);

// A question, file picker, colour chooser or dialog of this interface is being asked right now
// (shown, or answered from the script): what a timer brings that needs the user waits for it.
bool Open();

// Scripted mode for tests: while it is on, nothing is shown. Each question takes the next
// answer (a QMessageBox::StandardButton as int, a QString file name, a QColor, a QVariantMap for
// a dialog); when the
// script is empty the question is answered as cancelled (NoButton, "", nothing).
void StartScript(std::deque<QVariant> answers = {});
void AddAnswer(const QVariant &answer);
void StopScript();
bool Scripted();
// Scripted mode: action runs once, when the next question or dialog is asked, before its answer is
// taken (a test acting while a window is open; answers for what action asks come first).
void WhileOpen(std::function<void()> action);
// Questions asked since StartScript, oldest first.
const std::vector<TAsked> &Asked();

} // namespace kelvra::Prompt

Q_DECLARE_METATYPE(kelvra::Prompt::TDialogProbe)

namespace kelvra {

// Shows an exported file with the desktop's URL opener (never a shell command line);
// scripted UI tests only record it.
void OpenExportedFile(const QString &fileName);
// The files the scripted tests would have opened.
const QStringList &OpenedFiles();

} // namespace kelvra
