// Reading the help file without its window: size limit, title and topic anchors.
#include "platform/help_document.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <gtest/gtest.h>

#include <algorithm>

using namespace dorvin;

TEST(HelpDocument, TitleAndTopicsOfTheHelpText)
{
    const QByteArray html =
        QStringLiteral("<html><head><title>Справка</title></head><body><h1>Содержание</h1>"
                       "<h2><a name=\"context-100\"></a>Типы</h2></body></html>")
            .toUtf8();
    const std::optional<QString> text = helpText(html);
    ASSERT_TRUE(text);
    QTextDocument document;
    loadHelpDocument(document, *text);
    EXPECT_EQ(helpTitle(document), QStringLiteral("Справка"));
    EXPECT_TRUE(hasHelpAnchor(document, QStringLiteral("context-100")));
    EXPECT_FALSE(hasHelpAnchor(document, QStringLiteral("context-10")));
}

TEST(HelpDocument, TooLargeOrMissingFilesAreNotRead)
{
    EXPECT_FALSE(helpText(QByteArray(maxHelpFileSize + 1, 'a')));
    EXPECT_TRUE(helpText(QByteArray(16, '\xFF'))); // not UTF-8: replacement characters, no failure
    QTemporaryDir dir;
    EXPECT_FALSE(readHelpFile(dir.path() + QStringLiteral("/missing.hlp")));
    QFile big(dir.path() + QStringLiteral("/big.hlp"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(maxHelpFileSize + 1, ' '));
    big.close();
    EXPECT_FALSE(readHelpFile(big.fileName()));
    const std::string real = std::string(DORVIN_TEST_DATA) + "/../../data/help/Dorvindb.hlp";
    const std::optional<QString> help = readHelpFile(QString::fromStdString(real));
    ASSERT_TRUE(help);
    QTextDocument document;
    loadHelpDocument(document, *help);
    EXPECT_TRUE(hasHelpAnchor(document, QStringLiteral("context-100")));
}

// Found by fuzzing: tables whose cells span hundreds of rows and columns, nested in one
// another, kept the layout busy for minutes. Spans are cut to 16; smaller ones stay.
TEST(HelpDocument, TableSpansAreLimited)
{
    QString html = QStringLiteral("a");
    for (int i = 0; i < 4; ++i)
        html = QStringLiteral(
                   "<table><tr><td rowspan=300 COLSPAN = \"300\">%1</td><td colspan=2>b</td></tr></table>")
                   .arg(html);
    QTextDocument document;
    loadHelpDocument(document, *helpText(html.toUtf8()));
    QTextTable* outer = nullptr;
    for (QTextFrame* frame : document.rootFrame()->childFrames())
        if ((outer = qobject_cast<QTextTable*>(frame)))
            break;
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->columns(), 18); // the spanning cell's 16 and the next cell's 2
    EXPECT_EQ(outer->cellAt(0, 0).columnSpan(), 16);
    EXPECT_EQ(outer->cellAt(0, 16).columnSpan(), 2);
}

namespace {
int tableDepth(QTextFrame* frame)
{
    int deepest = 0;
    for (QTextFrame* child : frame->childFrames())
        deepest = std::max(deepest, tableDepth(child) + (qobject_cast<QTextTable*>(child) ? 1 : 0));
    return deepest;
}
} // namespace

// Found by fuzzing: forty tables nested in one another (three kilobytes of text) never
// finished their layout. Tables deeper than four lose their table tags; the text stays.
TEST(HelpDocument, DeeplyNestedTablesAreFlattened)
{
    QString html = QStringLiteral("innermost");
    for (int i = 0; i < 40; ++i)
        html = QStringLiteral("<TABLE border=1><tr><td>%1</td><td>b</td></tr></table >").arg(html);
    QTextDocument document;
    loadHelpDocument(document, *helpText(html.toUtf8()));
    EXPECT_EQ(tableDepth(document.rootFrame()), 4);
    EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("innermost")));
    document.setTextWidth(600);
    EXPECT_GT(document.size().height(), 0);
}

// Found by fuzzing: rows and cells after their tables had closed (or before any opened)
// made the toolkit wrap them in tables of their own, nested again and again.
TEST(HelpDocument, CellsOutsideTablesAreText)
{
    QString html = QStringLiteral("<table><tr><td>kept</td></tr></table>");
    for (int i = 0; i < 40; ++i)
        html += QStringLiteral("</td><td>b</td></tr><tr><td>c</td></table>");
    QTextDocument document;
    loadHelpDocument(document, *helpText(html.toUtf8()));
    EXPECT_EQ(tableDepth(document.rootFrame()), 1);
    EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("kept")));
    EXPECT_EQ(document.toPlainText().count(u'c'), 40);
}
