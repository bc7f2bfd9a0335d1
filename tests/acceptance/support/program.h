#pragma once
// The program as a user starts it: a program folder holding Dorvin.ini and a base, the
// application prepared as the program entry prepares it, and the main window shown and
// active at its design size. What was saved is read back from the base file alone, by the
// companion tool, never from the window's tables.
#include "app/main_form.h"
#include "support/fake_services.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

class TDataM;

namespace acceptance {

// The content of a saved base file, as `cbbtool dump --json` reads it.
class SavedBase {
public:
    explicit SavedBase(const QString& path);
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    // Rows of one stored table ("GROUPS", "ELEMENTS", "PARAMS", "FREQS") as column -> value.
    QList<QJsonObject> rows(const QString& table) const;
    // The element of a type by its model name; an empty object when there is none.
    QJsonObject element(int group, const QString& model) const;
    QJsonObject elementByNumber(int group, int elem) const;
    // The element of any type by its model name; an empty object when there is none.
    QJsonObject elementNamed(const QString& model) const;
    // The value at frequency point k of an element's parameter; NaN when null or missing.
    double paramValue(int group, int elem, int param, int k) const;

private:
    QJsonObject m_root;
    bool m_ok = false;
    QString m_error;
};

class Program {
public:
    // A folder whose one base "Test" is the built-in contents changed by setup; it is the
    // current base in Dorvin.ini.
    explicit Program(const std::function<void(TDataM&)>& setup = {});
    // A folder holding a copy of the bundled demo base as the current base.
    static std::unique_ptr<Program> withDemoBase();
    ~Program();

    QString basePath() const { return m_basePath; }
    dorvin::test::TempProgramDir& dir() { return m_dir; }

    // Starts the main window as the program does, shows it at 714 x 526 and waits until it
    // is active.
    TMainForm& start();
    TMainForm& window() { return *m_window; }
    bool running() const { return m_window != nullptr; }
    // Waits until the window has closed (the user chose "Вы&ход" or closed it), then
    // destroys it as the program does when its loop ends.
    bool waitUntilClosed(int timeoutMs = 5000);

    SavedBase saved() const { return SavedBase(m_basePath); }

private:
    Program(const QString& baseFile, bool copyDemo);
    void writeIni();

    dorvin::test::TempProgramDir m_dir;
    QString m_basePath;
    std::unique_ptr<TMainForm> m_window;
};

} // namespace acceptance
