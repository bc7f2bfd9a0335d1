#pragma once
// Settings file text as other programs write it: Windows-1251 with CR LF line ends.
#include "platform/profile_file.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace dorvin::test {

inline QByteArray iniBytes(const QString& text)
{
    const std::string bytes =
        dorvin::toCp1251(QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace dorvin::test
