#include "ui/shell/Styles.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace kelvra {

namespace {

QString &Active() {
  static QString name;
  return name;
}

// Dark graphite surfaces, light text and a cool blue accent.
QPalette CarbonPalette() {
  QPalette p;
  const QColor window(0x2b, 0x2d, 0x30), base(0x1e, 0x1f, 0x22), text(0xe0, 0xe2, 0xe6),
      accent(0x3d, 0x7e, 0xd8), button(0x36, 0x39, 0x3d), mid(0x4a, 0x4d, 0x52);
  for (auto g : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(g, QPalette::Window, window);
    p.setColor(g, QPalette::WindowText, text);
    p.setColor(g, QPalette::Base, base);
    p.setColor(g, QPalette::AlternateBase, window);
    p.setColor(g, QPalette::ToolTipBase, QColor(0x3a, 0x3d, 0x42));
    p.setColor(g, QPalette::ToolTipText, text);
    p.setColor(g, QPalette::PlaceholderText, QColor(0x8a, 0x8e, 0x94));
    p.setColor(g, QPalette::Text, text);
    p.setColor(g, QPalette::Button, button);
    p.setColor(g, QPalette::ButtonText, text);
    p.setColor(g, QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    p.setColor(g, QPalette::Highlight, accent);
    p.setColor(g, QPalette::HighlightedText, Qt::white);
    p.setColor(g, QPalette::Link, QColor(0x6c, 0xa8, 0xff));
    p.setColor(g, QPalette::Light, mid.lighter(130));
    p.setColor(g, QPalette::Midlight, mid);
    p.setColor(g, QPalette::Mid, mid.darker(120));
    p.setColor(g, QPalette::Dark, QColor(0x18, 0x19, 0x1b));
    p.setColor(g, QPalette::Shadow, Qt::black);
  }
  const QColor dim(0x74, 0x78, 0x7e);
  p.setColor(QPalette::Disabled, QPalette::Window, window);
  p.setColor(QPalette::Disabled, QPalette::Base, base);
  p.setColor(QPalette::Disabled, QPalette::Button, button);
  p.setColor(QPalette::Disabled, QPalette::WindowText, dim);
  p.setColor(QPalette::Disabled, QPalette::Text, dim);
  p.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
  p.setColor(QPalette::Disabled, QPalette::Highlight, mid);
  p.setColor(QPalette::Disabled, QPalette::HighlightedText, dim);
  return p;
}

} // namespace

QStringList StyleNames() {
  QStringList names = QStyleFactory::keys();
  names.removeAll(QString::fromLatin1(kCarbonStyle));
  names << QString::fromLatin1(kCarbonStyle);
  return names;
}

QString ActiveStyleName() {
  if (!Active().isEmpty()) return Active();
  // Qt reports its style names in lower case; the list keeps the factory's spelling.
  if (QStyle *s = QApplication::style())
    for (const QString &k : QStyleFactory::keys())
      if (k.compare(s->name(), Qt::CaseInsensitive) == 0) return k;
  return {};
}

bool ApplyStyle(const QString &name) {
  if (!StyleNames().contains(name, Qt::CaseSensitive)) return false;
  const bool carbon = name == QLatin1String(kCarbonStyle);
  QStyle *style = QStyleFactory::create(carbon ? QStringLiteral("Fusion") : name);
  if (!style) return false;
  QApplication::setStyle(style); // the application owns it
  QApplication::setPalette(carbon ? CarbonPalette() : style->standardPalette());
  // Fusion outlines the tick boxes of lists in a shade of the window colour, which vanishes on
  // the dark background: they get a light outline of their own.
  qApp->setStyleSheet(carbon ? QStringLiteral(
                                   "QAbstractItemView::indicator { width: 12px; height: 12px;"
                                   " border: 1px solid #8a8e94; border-radius: 2px;"
                                   " background: #1e1f22; }"
                                   " QAbstractItemView::indicator:checked { background: #3d7ed8;"
                                   " border-color: #cfe0f7; }")
                             : QString());
  Active() = name;
  return true;
}

TStyleColors ActiveStyleColors() {
  const QPalette p = QApplication::palette();
  return {p.color(QPalette::Base), p.color(QPalette::Text), p.color(QPalette::HighlightedText)};
}

} // namespace kelvra
