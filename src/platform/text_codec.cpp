#include "platform/text_codec.h"

#include "storage/cp1251.h"

#include <QByteArray>
#include <QList>

namespace dorvin {

std::string toCp1251(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return utf8ToCp1251(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString fromCp1251(const std::string& bytes)
{
    return QString::fromStdString(cp1251ToUtf8(bytes));
}

bool fitsCp1251(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        if (unicodeToCp1251(c) < 0)
            return false;
    }
    return true;
}

} // namespace dorvin
