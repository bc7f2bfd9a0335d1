#pragma once
// Test doubles for the desktop services, and small guards for GUI tests.
//
//   dorvin::test::FakeServices fake;          // records calls, answers from scripts
//   dorvin::test::ServicesGuard guard(fake);  // installs it; uninstalls at scope end
//   fake.questionAnswers = {false};           // the next question is answered "No"
//   fake.saveAnswers = {dir.file("a.exp")};   // the next save dialog returns this path
//   ... drive the window ...
//   EXPECT_EQ(fake.texts(ServiceCall::Message), QStringList{"Нет места для вставки!"});
//   EXPECT_EQ(fake.kinds(), (std::vector<ServiceCall::Kind>{ServiceCall::Beep, ServiceCall::Message}));
//
// Nothing here blocks: every dialog returns at once with its scripted answer.
#include "platform/services.h"

#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <vector>

namespace dorvin::test {

// One request that reached the services, with what it showed or asked.
struct ServiceCall {
    enum Kind {
        Message,     // text
        Question,    // text, caption (empty: application title)
        Warning,     // text, caption (empty: application title)
        ErrorReport, // text
        OpenFiles,   // options; text = options.title
        SaveFile,    // options; text = options.title
        Beep,
        ClipboardRead,  // text = what was read
        ClipboardWrite, // text = what was written
        DesktopOpen,    // text = the target, unchanged
        HelpContents,
        HelpContext, // context
        Print,       // image, text = document name
    };
    Kind kind;
    QString text;
    QString caption;
    FileDialogOptions options;
    int context = 0;
    QImage image;
};

const char* kindName(ServiceCall::Kind kind);

class FakeServices : public Services {
public:
    // ---- scripts: consumed front first; when empty the default answer is used ----
    std::deque<bool> questionAnswers;
    bool defaultQuestionAnswer = true;
    // An empty list means the open dialog was cancelled.
    std::deque<QStringList> openAnswers;
    // An empty text means the save dialog was cancelled.
    std::deque<QString> saveAnswers;
    // When set, printImage throws dorvin::Error with this text instead of printing.
    std::optional<QString> printFailure;
    // The width in pixels a printed picture is drawn for: 8 inches at 300 dpi.
    int printWidth = 2400;
    // What openWithDesktop reports back.
    bool desktopOpenResult = true;

    // ---- the in-memory clipboard ----
    // nullopt: the clipboard holds no text at all (an image, or nothing).
    std::optional<QString> clipboard;

    // A fresh start for the next test: no calls recorded, no scripted answers left.
    void resetScript()
    {
        calls.clear();
        questionAnswers.clear();
        openAnswers.clear();
        saveAnswers.clear();
        defaultQuestionAnswer = true;
    }

    // ---- what happened, in order ----
    std::vector<ServiceCall> calls;

    void clear() { calls.clear(); }
    int count(ServiceCall::Kind kind) const;
    // The texts of the calls of one kind, in order.
    QStringList texts(ServiceCall::Kind kind) const;
    // The kinds of all calls, in order (to check that a beep came before a message).
    std::vector<ServiceCall::Kind> kinds() const;
    // The last call of a kind; nullptr when there was none.
    const ServiceCall* last(ServiceCall::Kind kind) const;
    // Readable list of every call ("Beep; Message: Нет места..."), for failure output.
    QString describe() const;

    void message(const QString& text) override;
    bool question(const QString& text, const QString& caption = {}) override;
    void warning(const QString& text, const QString& caption = {}) override;
    void errorReport(const QString& text) override;
    QStringList openFiles(const FileDialogOptions& options) override;
    QString saveFile(const FileDialogOptions& options) override;
    void beep() override;
    bool clipboardHasText() override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    bool openWithDesktop(const QString& target) override;
    void showHelpContents() override;
    void showHelpContext(int contextNumber) override;
    void printImage(const PictureRenderer& render, const QString& documentName) override;

private:
    ServiceCall& record(ServiceCall::Kind kind, const QString& text = {});
};

// Installs services for the guard's lifetime and restores the previous ones after.
class ServicesGuard {
public:
    explicit ServicesGuard(Services& services);
    ~ServicesGuard();
    ServicesGuard(const ServicesGuard&) = delete;
    ServicesGuard& operator=(const ServicesGuard&) = delete;

private:
    Services* m_previous;
};

// A fresh temporary folder used as the program directory (Dorvin.ini, Template.cds, the
// help file) for the guard's lifetime, and another one that holds the per-user state
// folder (recovery copies); both removed afterwards.
class TempProgramDir {
public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    // The folder, with '/' separators and no trailing separator.
    QString path() const;
    // A file inside the folder.
    QString file(const QString& name) const;
    // Writes raw bytes into a file of the folder (creating subfolders); false on failure.
    bool writeFile(const QString& name, const QByteArray& bytes) const;
    // The raw bytes of a file of the folder; empty when it cannot be read.
    QByteArray readFile(const QString& name) const;
    bool exists(const QString& name) const;
    // The per-user state folder in force meanwhile (it need not exist yet).
    QString stateFolder() const;

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_state;
};

// Sets the default QLocale for the guard's lifetime ("ru_RU" for a decimal comma,
// "en_US" or "C" for a decimal point) and restores the previous default after.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale);
    explicit LocaleGuard(const QString& name) : LocaleGuard(QLocale(name)) {}
    ~LocaleGuard();
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    QLocale m_previous;
};

} // namespace dorvin::test
