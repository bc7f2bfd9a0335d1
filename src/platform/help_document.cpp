#include "platform/help_document.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

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

namespace {

// The toolkit lays a table out cell by cell over the whole grid its spans make, so a
// cell spanning hundreds of rows and columns, nested in others like it, takes minutes.
// No help page needs a span this wide.
constexpr int kMaxSpan = 16;

QString withSpansLimited(const QString& html)
{
    static const QRegularExpression span(QStringLiteral("((?:row|col)span\\s*=\\s*[\"']?\\s*)(\\d+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (!html.contains(QStringLiteral("span"), Qt::CaseInsensitive))
        return html;
    QString out;
    out.reserve(html.size());
    qsizetype last = 0;
    for (auto it = span.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString digits = m.captured(2);
        bool ok = false;
        const int n = digits.size() <= 6 ? digits.toInt(&ok) : 0;
        if (ok && n <= kMaxSpan)
            continue;
        out += QStringView(html).mid(last, m.capturedStart(2) - last);
        out += QString::number(kMaxSpan);
        last = m.capturedEnd(2);
    }
    out += QStringView(html).mid(last);
    return out;
}

// Each level of tables within tables multiplies the layout work, so a page of a few
// kilobytes nesting forty of them never finishes. Tables deeper than this lose their
// table tags and their content flows as plain text; so do rows and cells found outside
// any table, which the toolkit would otherwise wrap in tables of their own.
constexpr int kMaxTableDepth = 4;

QString withTablesFlattened(const QString& html)
{
    static const QRegularExpression tag(
        QStringLiteral("<\\s*(/?)\\s*(table|tr|td|th|thead|tbody|tfoot|caption)\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    if (!html.contains(QStringLiteral("table"), Qt::CaseInsensitive))
        return html;
    QString out;
    out.reserve(html.size());
    qsizetype last = 0;
    int depth = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const bool table = m.captured(2).compare(QStringLiteral("table"), Qt::CaseInsensitive) == 0;
        bool drop;
        if (table && !closing) {
            ++depth;
            drop = depth > kMaxTableDepth;
        } else if (table) {
            drop = depth == 0 || depth > kMaxTableDepth;
            depth = std::max(0, depth - 1);
        } else {
            // Rows and cells outside any table would make tables of their own.
            drop = depth == 0 || depth > kMaxTableDepth;
        }
        if (!drop)
            continue;
        out += QStringView(html).mid(last, m.capturedStart() - last);
        out += u' ';
        last = m.capturedEnd();
    }
    out += QStringView(html).mid(last);
    return out;
}

} // namespace

void loadHelpDocument(QTextDocument& document, const QString& html)
{
    document.setHtml(withTablesFlattened(withSpansLimited(html)));
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
