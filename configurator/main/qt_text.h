#pragma once
// Windows-1251 texts and file names at the widget boundary.
#include <QFile>
#include <QString>

#include <string>
#include <string_view>

#include "platform/cp1251.h"

namespace vrt::cfg {

inline QString ToQ(std::string_view cp1251Text) {
    const std::string utf8 = cp1251::toUtf8(cp1251Text);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

inline std::string FromQ(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return cp1251::fromUtf8(std::string_view(utf8.constData(), size_t(utf8.size())));
}

// File names keep the file system's own bytes.
inline std::string FileNameFromQ(const QString& name) { return QFile::encodeName(name).toStdString(); }
inline QString FileNameToQ(const std::string& name) {
    return QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
}

}  // namespace vrt::cfg
