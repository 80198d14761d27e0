#pragma once
// The program's values as Qt wants them: UTF-8 std::string as QString, colours stored as
// 0x00BBGGRR as QColor.
#include <QColor>
#include <QString>
#include <cstdint>
#include <string>

namespace kelvra {

inline QString Q(const std::string &s) { return QString::fromStdString(s); }

inline QColor ToQColor(uint32_t bgr) {
  return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline uint32_t FromQColor(const QColor &c) {
  return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

} // namespace kelvra
