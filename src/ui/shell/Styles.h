#pragma once
// Visual styles by name: the platform's styles (Qt's style factory) and the program's own dark
// style "CARBON". Names compare exactly, case included.

#include <QColor>
#include <QStringList>

namespace kelvra {

inline constexpr const char *kCarbonStyle = "CARBON";

// Every style that can be applied, the program's own last.
QStringList StyleNames();
// The active style's name as StyleNames lists it.
QString ActiveStyleName();
// Applies the style to the whole application; false when there is no style of that name.
bool ApplyStyle(const QString &name);

// The list colours of the active style: background, text and selected text.
struct TStyleColors {
  QColor win, txt, txtSel;
};
TStyleColors ActiveStyleColors();

} // namespace kelvra
