// A host program that loads the editor's library at run time and calls its two exported
// entry points, first without a Qt application object of its own, then with one. The
// modal windows are closed by a timer that starts as soon as an application exists.
#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int failures = 0;
int closedWindows = 0;
QString shownTitles;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what);
        ++failures;
    } else {
        std::printf("PASS: %s\n", what);
    }
}

// Closes the modal window the entry point shows, once it is up.
void closeModalSoon()
{
    QTimer::singleShot(100, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            closeModalSoon();
            return;
        }
        shownTitles += modal->objectName() + u';';
        ++closedWindows;
        modal->close();
    });
}

// Runs when an application object is created, also the one an entry point makes.
void applicationStarted()
{
    closeModalSoon();
}

std::string libraryPath()
{
    const char* dir = std::getenv("DORVIN_BIN_DIR");
    return std::string(dir ? dir : ".") + "/libdorvindb.so";
}

} // namespace

int main()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string path = libraryPath();

    // The two entry points are the only functions exported under plain C names (global
    // variables such as the main window's pointer are C++ names that need no mangling).
    QProcess nm;
    nm.start(QStringLiteral("nm"),
             {QStringLiteral("-D"), QStringLiteral("--defined-only"), QString::fromStdString(path)});
    if (nm.waitForFinished(30000)) {
        QStringList cNames;
        for (const QByteArray& line : nm.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() == 3 && (parts[1] == "T" || parts[1] == "W" || parts[1] == "i")
                && !parts[2].startsWith("_Z"))
                cNames << QString::fromLatin1(parts[2]);
        }
        cNames.sort();
        check(cNames == QStringList({QStringLiteral("_LaunchEditor"), QStringLiteral("_ShowAbout")}),
              "the exported C functions are exactly _LaunchEditor and _ShowAbout");
        if (cNames != QStringList({QStringLiteral("_LaunchEditor"), QStringLiteral("_ShowAbout")}))
            std::fprintf(stderr, "  exported: %s\n", qPrintable(cNames.join(u' ')));
    }

    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    check(lib != nullptr, "the library loads");
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    using Entry = void (*)();
    auto launch = reinterpret_cast<Entry>(dlsym(lib, "_LaunchEditor"));
    auto about = reinterpret_cast<Entry>(dlsym(lib, "_ShowAbout"));
    check(launch && about, "both entry points are found by name");
    if (!launch || !about)
        return 1;

    qAddPreRoutine(applicationStarted);

    // Without an application object: the entry points make one and take it away again.
    check(QCoreApplication::instance() == nullptr, "the host has no application");
    about();
    check(closedWindows == 1, "_ShowAbout showed a modal window and returned when it closed");
    check(QCoreApplication::instance() == nullptr, "_ShowAbout left no application behind");
    launch();
    check(closedWindows == 2, "_LaunchEditor showed a modal window and returned when it closed");
    check(QCoreApplication::instance() == nullptr, "_LaunchEditor left no application behind");
    launch();
    check(closedWindows == 3, "_LaunchEditor works a second time");

    // With the host's own application object, which the entry points leave alone.
    {
        static int argc = 1;
        static char name[] = "host";
        static char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        closeModalSoon(); // the pre-routine ran already; this closes the first window
        about();
        check(closedWindows == 4, "_ShowAbout under the host's application");
        closeModalSoon();
        launch();
        check(closedWindows == 5, "_LaunchEditor under the host's application");
        check(QCoreApplication::instance() == &app, "the host's application is untouched");
        check(
            QApplication::topLevelWidgets().isEmpty() ||
                [] {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (w->isVisible())
                            return false;
                    return true;
                }(),
            "no window of the editor stays open");
    }
    check(shownTitles == QStringLiteral("AboutBox;MainForm;MainForm;AboutBox;MainForm;"),
          "the windows shown were the About box and the main window");
    std::printf("%s\n", qPrintable(shownTitles));
    return failures == 0 ? 0 : 1;
}
