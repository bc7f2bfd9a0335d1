// The window opened on a screen scaled by 2, which leaves less room than the design size:
// the whole window, its title bar included, is inside the screen area free for windows.
#include "support/program.h"
#include "support/user.h"

#include "dbaware/table_grid.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

using namespace acceptance;

class HighDpiTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowOpensInsideTheScreen()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        const QRect area = w.screen()->availableGeometry();
        QVERIFY2(area.contains(w.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                                  .arg(w.frameGeometry().x())
                                                                  .arg(w.frameGeometry().y())
                                                                  .arg(w.frameGeometry().width())
                                                                  .arg(w.frameGeometry().height())
                                                                  .arg(area.width())
                                                                  .arg(area.height())));
        QVERIFY(w.geometry().top() >= area.top());
        // The panes are usable: the element list shows its rows.
        QVERIFY(w.ElemDBGrid->isVisible());
        QVERIFY(w.ElemDBGrid->viewport()->height() > 0);
        w.close();
        QVERIFY(program->waitUntilClosed());
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    HighDpiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "high_dpi_test.moc"
