#include "app/entry.h"

#include "app/about_box.h"
#include "app/main_form.h"
#include "app/session_end.h"
#include "elements/find_form.h"
#include "platform/guarded.h"
#include "platform/help_viewer.h"
#include "platform/services.h"
#include "platform/termination_signals.h"
#include "widgets/design_font.h"

#include <QApplication>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QThread>
#include <QTranslator>

#include <memory>
#include <vector>

namespace dorvin {

namespace {

std::vector<ProgramStartupStep>& startupSteps()
{
    static std::vector<ProgramStartupStep> steps;
    return steps;
}

// A QApplication for the time of a host's call, when the host has none of its own.
class HostApplication {
public:
    HostApplication()
    {
        if (QApplication::instance())
            return;
        static int argc = 1;
        static char name[] = "dorvindb";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    ~HostApplication()
    {
        if (!m_app)
            return;
        // Windows the call left behind go before the application object.
        HelpViewer::destroyInstance();
        m_app.reset();
    }

private:
    std::unique_ptr<QApplication> m_app;
};

// Ends a local event loop when the window has been hidden (closed), not when minimised.
class CloseWatch : public QObject {
public:
    CloseWatch(QWidget* window, QEventLoop* loop) : m_window(window), m_loop(loop)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Hide && !m_window->isVisible())
            m_loop->quit();
        return false;
    }

private:
    QWidget* m_window;
    QEventLoop* m_loop;
};

void showModal(QWidget* window)
{
    QEventLoop loop;
    CloseWatch watch(window, &loop);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    if (window->isVisible())
        loop.exec(QEventLoop::DialogExec);
}

} // namespace

void prepareToolkit()
{
    // The toolkit's own texts (file dialogs, Yes/No/OK) in Russian, like the program's.
    static QTranslator* translator = [] {
        auto* t = new QTranslator;
        if (!t->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete t;
            return static_cast<QTranslator*>(nullptr);
        }
        return t;
    }();
    if (translator && QCoreApplication::instance()) {
        // Installed into whichever application object runs now (a host may create one per call).
        QCoreApplication::removeTranslator(translator);
        QCoreApplication::installTranslator(translator);
    }
    // The windows are laid out in pixels for an 8-point "MS Sans Serif"; the substitute is
    // a face whose letters fit those sizes.
    substituteDesignFont();
}

void registerProgramStartupStep(ProgramStartupStep step)
{
    startupSteps().push_back(step);
}

void runProgramStartupSteps()
{
    // The program's find dialog lives as long as the message loop: it is created hidden,
    // with no parent, and goes when the loop ends, before the application object.
    runGuarded([] {
        ensureFindForm();
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { delete FindForm.data(); });
    });
    for (ProgramStartupStep step : startupSteps())
        runGuarded(step);
}

void prepareApplication()
{
    prepareToolkit();
    setApplicationTitle(QStringLiteral("Редактор базы элементов"));
    setHelpFileName(QStringLiteral("Dorvindb.hlp"));
}

int runProgram(int argc, char** argv)
{
    try {
        QApplication app(argc, argv);
        // The system's and the desktop's requests to end the program close the window as
        // "Выход" does; they outlive the window, so one that comes while the base is
        // written back waits instead of ending the process halfway.
        SessionEnd sessionEnd;
        TerminationSignals termination([&sessionEnd] { sessionEnd.request(); });
#ifndef QT_NO_SESSIONMANAGER
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &sessionEnd,
                         [&sessionEnd](QSessionManager&) { sessionEnd.request(); });
#endif
        try {
            prepareApplication();
            auto form = std::make_unique<TMainForm>();
            MainForm = form.get();
            runProgramStartupSteps();
            // Quitting by any other road still writes the open base back first.
            QObject::connect(&app, &QCoreApplication::aboutToQuit, form.get(), [window = form.get()] {
                if (window->isVisible())
                    window->close();
            });
            sessionEnd.setWindow(form.get(), 1);
            if (sessionEnd.requested()) {
                form->close(); // asked to end before the window was even shown
            } else {
                form->show();
                app.exec();
            }
            form.reset();
        } catch (const std::exception& e) {
            services().errorReport(errorText(e));
        }
        HelpViewer::destroyInstance();
    } catch (...) {
        // Nothing can be shown without an application object.
    }
    return 0;
}

void launchEditor()
{
    HostApplication app;
    prepareToolkit();
    runGuarded([] {
        // Caught only while the editor runs; the host's own dispositions come back when
        // it closes, and a signal that came meanwhile is then handed on to them.
        SessionEnd sessionEnd;
        TerminationSignals termination([&sessionEnd] { sessionEnd.request(); });
        auto form = std::make_unique<TMainForm>();
        MainForm = form.get();
        sessionEnd.setWindow(form.get(), QThread::currentThread()->loopLevel() + 1);
        if (sessionEnd.requested())
            form->close();
        else
            showModal(form.get());
        form.reset();
        termination.restoreAndForward();
    });
}

void showAbout()
{
    HostApplication app;
    prepareToolkit();
    runGuarded([] {
        TAboutBox about;
        about.exec();
    });
}

} // namespace dorvin
