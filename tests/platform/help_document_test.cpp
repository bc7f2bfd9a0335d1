// Reading the help file without its window: size limit, title and topic anchors.
#include "platform/help_document.h"

#include <QTemporaryDir>
#include <QTextDocument>
#include <QFile>
#include <gtest/gtest.h>

using namespace dorvin;

TEST(HelpDocument, TitleAndTopicsOfTheHelpText)
{
    const QByteArray html = QStringLiteral("<html><head><title>Справка</title></head><body><h1>Содержание</h1>"
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
