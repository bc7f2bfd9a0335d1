// GoogleTest entry for the platform tests: a QApplication exists for the whole run,
// since fonts, painting, the clipboard and widgets need one. Runs headless unless a
// platform is chosen explicitly.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
