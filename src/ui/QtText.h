#pragma once

#include <QString>
#include <string>

// The core speaks UTF-16 as std::u16string; Qt speaks QString. Both hold UTF-16 code units,
// so the conversions copy without transcoding.

inline QString ToQString(const std::u16string& text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

inline std::u16string FromQString(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}
