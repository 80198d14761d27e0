#pragma once
// Applies the translation to Qt windows. A window's object name is the name of its section in
// the translation file; its controls are found by their object names (name + "_text",
// "_hint", "_columns", "_label", "_texthint", "_items"; "Caption" for the title).

#include <QString>
#include <string>

#include "core/app/Translate.h"

class QAction;
class QWidget;
class QLineEdit;

namespace kelvra {

// The section name of a window: its object name, or its class name without namespace and "T".
QString FormName(const QWidget *Frm);

// Title, every control below the window (in child order) and its menu bar. Uses the
// process-wide Translation unless another is given; does nothing without one.
void TranslateForm(QWidget *Frm, TTranslation *tr = nullptr);
// Every item of a menu bar, pop-up menu or tool bar (any widget holding actions), with sub-menus.
void TranslateMenu(QWidget *Frm, QWidget *Menu, TTranslation *tr = nullptr);
void TranslateMenuItem(QWidget *Frm, QAction *Item, TTranslation *tr = nullptr);
void TranslateControl(QWidget *Frm, QWidget *C, TTranslation *tr = nullptr);

// The lenient lookups the windows use: a missing text is empty, never fatal.
QString FormString(const QWidget *Frm, const std::string &Sig);
QString FormString(const QWidget *Frm, const std::string &Sig, const TFmtArgs &Args);

// At most this many characters of a control text are taken.
inline constexpr int kMaxControlText = 255;

// A line edit named as the translation keys of its window expect ("EdName").
QLineEdit *NamedEdit(QWidget *parent, const char *name);

} // namespace kelvra
