// The Qt services (message boxes as the user sees them), filter conversion, the services
// switch, and the help window over the shipped help file.
#include "platform/help_viewer.h"
#include "platform/program_dir.h"
#include "platform/services.h"
#include "storage/error.h"

#include "qt_printers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace dorvin;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString shippedHelpFile()
{
    // The test data folder need not exist: resolve ".." in the text, not on disk.
    return QDir::cleanPath(QString::fromUtf8(DORVIN_TEST_DATA) + q("/../../data/help/Dorvindb.hlp"));
}

// What the next modal message box showed; the box is answered by clicking `button`.
struct SeenBox {
    bool seen = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

void answerNextBox(SeenBox& seen, QMessageBox::StandardButton button)
{
    // Polls until the box is up, records it, and presses the button.
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.seen = true;
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen.buttons << box->standardButton(b);
        timer->stop();
        timer->deleteLater();
        box->button(button)->click();
    });
    timer->start();
}

class TitleGuard {
public:
    explicit TitleGuard(const QString& title) : m_previous(applicationTitle()) { setApplicationTitle(title); }
    ~TitleGuard() { setApplicationTitle(m_previous); }

private:
    QString m_previous;
};

} // namespace

TEST(QtServicesBoxes, PlainMessageHasTheTitleOkAndNoIcon)
{
    TitleGuard title(q("Редактор базы элементов"));
    QtServices qt;
    SeenBox seen;
    answerNextBox(seen, QMessageBox::Ok);
    qt.message(q("Нет места для вставки!"));
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.caption, q("Редактор базы элементов"));
    EXPECT_EQ(seen.text, q("Нет места для вставки!"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

TEST(QtServicesBoxes, QuestionAnswersYesOrNo)
{
    TitleGuard title(q("Редактор базы элементов"));
    QtServices qt;
    SeenBox yes;
    answerNextBox(yes, QMessageBox::Yes);
    EXPECT_TRUE(qt.question(q("Удалить элемент: X?")));
    EXPECT_EQ(yes.icon, QMessageBox::Question);
    EXPECT_EQ(yes.caption, q("Редактор базы элементов"));
    EXPECT_TRUE(yes.buttons.contains(QMessageBox::Yes));
    EXPECT_TRUE(yes.buttons.contains(QMessageBox::No));
    EXPECT_EQ(yes.buttons.size(), 2);
    SeenBox no;
    answerNextBox(no, QMessageBox::No);
    EXPECT_FALSE(qt.question(q("Удалить элемент: X?")));
    EXPECT_TRUE(no.seen);
}

TEST(QtServicesBoxes, WarningKeepsItsCaptionAndErrorsShowTheStopIcon)
{
    TitleGuard title(q("Редактор базы элементов"));
    QtServices qt;
    SeenBox warn;
    answerNextBox(warn, QMessageBox::Ok);
    qt.warning(q("Файл с УГО элемента должен быть метафайлом ('*.WMF','*.EMF')."),
               q("Неверный формат файла!"));
    EXPECT_EQ(warn.caption, q("Неверный формат файла!"));
    EXPECT_EQ(warn.icon, QMessageBox::Warning);
    SeenBox error;
    answerNextBox(error, QMessageBox::Ok);
    qt.errorReport(q("Floating point division by zero"));
    EXPECT_EQ(error.caption, q("Редактор базы элементов"));
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_EQ(error.text, q("Floating point division by zero"));
}

TEST(QtServicesClipboard, PlainTextRoundTrip)
{
    QtServices qt;
    const QString text = q("**Параметры**\r1,000\r2,000");
    qt.setClipboardText(text);
    EXPECT_TRUE(qt.clipboardHasText());
    EXPECT_EQ(qt.clipboardText(), text);
}

TEST(FileDialogFilters, PairsBecomeQtNameFilters)
{
    EXPECT_EQ(qtNameFilters(q("Метафайлы (*.emf;*.wmf)|*.emf;*.wmf")),
              QStringList{q("Метафайлы (*.emf *.wmf)")});
    EXPECT_EQ(qtNameFilters(q("Файлы экспорта (*.exp)|*.exp|Все|*.*")),
              (QStringList{q("Файлы экспорта (*.exp)"), q("Все (*.*)")}));
    EXPECT_EQ(qtNameFilters(q("Картинки|*.bmp")), QStringList{q("Картинки (*.bmp)")});
    EXPECT_EQ(qtNameFilters(q("|*.CBB")), QStringList{q("*.CBB (*.CBB)")});
    // A description without its patterns, or nothing at all, gives no filter.
    EXPECT_TRUE(qtNameFilters(q("Без шаблона")).isEmpty());
    EXPECT_TRUE(qtNameFilters(q("A|")).isEmpty());
    EXPECT_TRUE(qtNameFilters(QString()).isEmpty());
}

TEST(FileDialogFilters, DefaultExtensionOnlyWhenTheNameHasNone)
{
    EXPECT_EQ(applyDefaultExtension(q("/d/Main"), q("CBB")), q("/d/Main.CBB"));
    EXPECT_EQ(applyDefaultExtension(q("/d/Main.cbb"), q("CBB")), q("/d/Main.cbb"));
    EXPECT_EQ(applyDefaultExtension(q("/d.x/Main"), q("exp")), q("/d.x/Main.exp"));
    EXPECT_EQ(applyDefaultExtension(q("/d/Main"), QString()), q("/d/Main"));
    EXPECT_EQ(applyDefaultExtension(QString(), q("exp")), QString());
}

namespace {
class CountingServices : public QtServices {
public:
    void beep() override { ++beeps; }
    int beeps = 0;
};
} // namespace

TEST(ServicesSwitch, InstalledServicesReceiveTheCallsUntilRemoved)
{
    ASSERT_EQ(installedServices(), nullptr);
    Services* real = &services();
    CountingServices counting;
    setServices(&counting);
    EXPECT_EQ(&services(), &counting);
    EXPECT_EQ(installedServices(), &counting);
    services().beep();
    services().beep();
    EXPECT_EQ(counting.beeps, 2);
    setServices(nullptr);
    EXPECT_EQ(&services(), real);
    EXPECT_EQ(installedServices(), nullptr);
}

TEST(HelpViewer, OpensTheShippedFileAtItsContentsAndTopics)
{
    const QString file = shippedHelpFile();
    ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
    HelpViewer* viewer = HelpViewer::instance();
    ASSERT_TRUE(viewer->openContents(file));
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(viewer->isModal());
    EXPECT_EQ(viewer->currentAnchor(), QString());
    EXPECT_TRUE(viewer->browser()->toPlainText().contains(q("База элементов"))
                || viewer->browser()->toPlainText().contains(q("база элементов")));
    for (int context : {100, 101, 102}) {
        ASSERT_TRUE(viewer->openContext(file, context));
        EXPECT_EQ(viewer->currentAnchor(), HelpViewer::anchorForContext(context));
    }
    // One window for every request.
    EXPECT_EQ(HelpViewer::instance(), viewer);
    // Unknown numbers show the contents.
    ASSERT_TRUE(viewer->openContext(file, 4711));
    EXPECT_EQ(viewer->currentAnchor(), QString());
    HelpViewer::destroyInstance();
}

TEST(HelpViewer, EveryShortcutOfTheCommandsIsDocumented)
{
    QFile f(shippedHelpFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    for (const char* s : {"Ctrl+N", "Ctrl+Del", "Ctrl+A", "Ctrl+Z", "Ctrl+F", "Ctrl+S", "Ctrl+D", "Ctrl+U",
                          "Ctrl+I", "Ctrl+C", "Ctrl+V", "Alt+F4", "F1"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s;
    }
    for (int context : {100, 101, 102})
        EXPECT_TRUE(text.contains(QStringLiteral("name=\"context-%1\"").arg(context))) << context;
}

TEST(HelpViewer, MissingFileIsReportedThroughTheServices)
{
    QTemporaryDir dir;
    setProgramDirectoryForTests(dir.path());
    const QString previousName = helpFileName();
    setHelpFileName(q("Dorvindb.hlp"));
    HelpViewer::destroyInstance();
    QtServices qt;
    SeenBox seen;
    answerNextBox(seen, QMessageBox::Ok);
    qt.showHelpContext(101);
    EXPECT_TRUE(seen.seen);
    EXPECT_TRUE(seen.text.contains(q("Dorvindb.hlp"))) << seen.text.toStdString();
    EXPECT_FALSE(HelpViewer::instance()->isVisible());

    // Once the file is there, the same request opens it.
    ASSERT_TRUE(QFile::copy(shippedHelpFile(), dir.path() + q("/Dorvindb.hlp")));
    qt.showHelpContext(101);
    EXPECT_TRUE(HelpViewer::instance()->isVisible());
    EXPECT_EQ(HelpViewer::instance()->currentAnchor(), q("context-101"));

    HelpViewer::destroyInstance();
    setHelpFileName(previousName);
    setProgramDirectoryForTests(QString());
}

TEST(HelpViewer, OversizedOrGarbageFilesDoNotHurt)
{
    QTemporaryDir dir;
    const QString big = dir.path() + q("/big.hlp");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5 * 1024 * 1024, 'x'));
    }
    EXPECT_FALSE(HelpViewer::instance()->openContents(big));
    const QString garbage = dir.path() + q("/garbage.hlp");
    {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i)
            bytes.append(static_cast<char>((i * 131) % 256));
        f.write(bytes);
    }
    EXPECT_TRUE(HelpViewer::instance()->openContext(garbage, 100));
    EXPECT_EQ(HelpViewer::instance()->currentAnchor(), QString());
    HelpViewer::destroyInstance();
}

TEST(QtServicesPrinting, NoPrinterOrNothingToPrintIsAnErrorNotASilentSuccess)
{
    QtServices qt;
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a printer is installed here; printing would produce paper";
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    EXPECT_THROW(qt.printImage([&](int) { return image; }, q("АЧХ")), Error);
}
