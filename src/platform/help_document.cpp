#include "platform/help_document.h"

#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

namespace dorvin {

std::optional<QString> helpText(QByteArrayView bytes)
{
    if (bytes.size() > maxHelpFileSize)
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

std::optional<QString> readHelpFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxHelpFileSize)
        return std::nullopt;
    // One byte more than allowed, in case the size was not known in advance.
    const QByteArray bytes = file.read(maxHelpFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return helpText(bytes);
}

void loadHelpDocument(QTextDocument& document, const QString& html)
{
    document.setHtml(html);
}

QString helpTitle(const QTextDocument& document)
{
    return document.metaInformation(QTextDocument::DocumentTitle);
}

bool hasHelpAnchor(const QTextDocument& document, const QString& name)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(name))
                return true;
        }
    }
    return false;
}

} // namespace dorvin
