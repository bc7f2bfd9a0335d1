#pragma once
// Reading the help file, apart from the window that shows it: the file's bytes become
// the text of a document, and the document answers which topics it has. Nothing here
// needs a widget, so the reading can be tested and fuzzed on its own.
//
// The help file is UTF-8 HTML; every topic begins with an anchor named "context-N".
#include <QByteArrayView>
#include <QString>

#include <optional>

class QTextDocument;

namespace dorvin {

// Help files are small; anything larger is not a help file of ours.
constexpr qint64 maxHelpFileSize = 4 * 1024 * 1024;

// The help text of the file's bytes, or nothing when they are too many to be one.
// Bytes that are not UTF-8 become replacement characters rather than an error.
std::optional<QString> helpText(QByteArrayView bytes);
// The help text of a file, or nothing when it cannot be read or is too large.
std::optional<QString> readHelpFile(const QString& path);

// Fills the document with the help text, as the help window shows it. What would keep
// the layout busy for minutes is tamed first: a table cell spanning more than 16 rows
// or columns spans 16, and tables nested deeper than 4 lose their table tags.
void loadHelpDocument(QTextDocument& document, const QString& html);
// The document's title (its <title>), empty when it has none.
QString helpTitle(const QTextDocument& document);
// Whether the document holds an anchor of that name.
bool hasHelpAnchor(const QTextDocument& document, const QString& name);

} // namespace dorvin
