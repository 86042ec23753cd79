#pragma once
// Windows-1251 texts at the dialog's widget boundary.
#include <QString>

#include <string>
#include <string_view>

#include "platform/cp1251.h"

namespace vrt::link {

inline QString ToQ(std::string_view cp1251Text) {
    const std::string utf8 = cp1251::toUtf8(cp1251Text);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

inline QString ToQ(const char* cp1251Text) { return ToQ(std::string_view(cp1251Text ? cp1251Text : "")); }

// A hint whose lines end in CR, as the library's hints are written: Qt breaks
// a tool tip's lines at LF only and would show CR as a blank.
inline QString HintToQ(std::string_view cp1251Text) {
    QString text = ToQ(cp1251Text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

inline std::string FromQ(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return cp1251::fromUtf8(std::string_view(utf8.constData(), size_t(utf8.size())));
}

}  // namespace vrt::link
