#pragma once
// Conversions between the station's texts and colours and Qt's. The station's texts are
// UTF-8; bytes that are not are shown as replacement characters.

#include <QColor>
#include <QString>
#include <string>

#include "host/colour.h"

inline QString toQt(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string fromQt(const QString& text) {
  return text.toUtf8().toStdString();
}

inline QColor toQColor(host::Rgb colour) {
  return QColor(colour.r, colour.g, colour.b);
}
