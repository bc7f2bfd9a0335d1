#pragma once
// Everything the windows ask of the desktop goes through Services: message boxes,
// questions, file dialogs, the beep, the clipboard, the desktop's open command, help
// and printing. The program runs with QtServices; tests install a fake (tests/support)
// that records what would have been shown and answers from a script.
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;

namespace dorvin {

// The caption of every message box ("Редактор базы элементов" in the program).
QString applicationTitle();
void setApplicationTitle(const QString& title);

// The help file's name, looked up in the program directory ("Dorvindb.hlp" in the
// program). Empty means no help file is set: help requests then do nothing.
QString helpFileName();
void setHelpFileName(const QString& name);

// Settings of an open or save dialog. `filter` is written as pairs of description and
// patterns separated by '|', patterns separated by ';':
//   "Метафайлы (*.emf;*.wmf)|*.emf;*.wmf|Все файлы (*.*)|*.*"
struct FileDialogOptions {
    QString title; // empty: the dialog's own default title
    QString filter;
    QString defaultExtension;     // without the dot ("exp"); appended when the user types none
    QString fileName;             // the proposed file name (may hold a directory)
    QString initialDir;           // empty: the dialog's own choice
    bool multiSelect = false;     // open: several files may be chosen
    bool picturePreview = false;  // open: show a preview of the chosen picture
    bool overwritePrompt = false; // save: ask before replacing an existing file
    bool mustExist = false;       // open: the chosen file must exist
    // Draws the preview of a picture file into an image no larger than the box; a null
    // image means "no preview". Unset: pictures that QImageReader knows are shown.
    std::function<QImage(const QString& path, const QSize& box)> previewRenderer;
};

class Services {
public:
    virtual ~Services() = default;

    // A message box captioned with the application title, an OK button and no icon.
    virtual void message(const QString& text) = 0;
    // Yes/No with the question icon; true for Yes. An empty caption means the
    // application title.
    virtual bool question(const QString& text, const QString& caption = {}) = 0;
    // OK with the warning icon; an empty caption means the application title.
    virtual void warning(const QString& text, const QString& caption = {}) = 0;
    // The default error report: OK with the stop icon, captioned with the application title.
    virtual void errorReport(const QString& text) = 0;

    // The chosen files (full paths); empty when the dialog was cancelled.
    virtual QStringList openFiles(const FileDialogOptions& options) = 0;
    // The chosen file (full path, default extension applied); empty when cancelled.
    virtual QString saveFile(const FileDialogOptions& options) = 0;

    // The system's simple beep.
    virtual void beep() = 0;

    // Plain text on the system clipboard.
    virtual bool clipboardHasText() = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;

    // Hands the text unchanged (no percent-encoding) to the desktop's open command.
    // Returns whether the command could be started; callers may ignore it.
    virtual bool openWithDesktop(const QString& target) = 0;

    // Opens the help file at its contents, or at the topic with this context number.
    virtual void showHelpContents() = 0;
    virtual void showHelpContext(int contextNumber) = 0;

    // Prints one picture as one page on the default printer, as wide as the printable area
    // with its proportions kept (less wide only where the page is too short for it).
    // render draws the picture for a width in pixels: the printable width at the printer's
    // resolution, kept within 300 to 600 dpi, so the page is sharp and the picture of a
    // reasonable size. Throws dorvin::Error when there is no printer or printing fails.
    using PictureRenderer = std::function<QImage(int widthPixels)>;
    virtual void printImage(const PictureRenderer& render, const QString& documentName) = 0;
};

// The resolution a picture is drawn at for a printer of this resolution.
int printPictureDpi(int printerDpi);
// Prints the picture that render draws (see Services::printImage) as one page on a printer
// made ready by the caller. Throws dorvin::Error when printing fails.
void printPictureOn(QPrinter& printer, const Services::PictureRenderer& render);

// Test seam: when a file name is set, QtServices prints into that PDF file instead of on
// the default printer; an empty name prints on the printer again.
void setPrintFileForTests(const QString& pdfPath);

// The services in use. Until setServices is called this is a QtServices instance.
Services& services();
// Installs other services (a test's fake); nullptr restores the Qt implementation.
// The caller keeps ownership and must uninstall before destroying them.
void setServices(Services* services);
// What setServices installed last; nullptr while the Qt implementation is in use.
Services* installedServices();

// The real desktop: QMessageBox, QFileDialog, QClipboard, the help viewer, QPrinter.
class QtServices : public Services {
public:
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
};

// "A (*.x;*.y)|*.x;*.y|B|*.z" -> {"A (*.x;*.y) (*.x *.y)", "B (*.z)"}: the name filters a
// QFileDialog understands. Pairs missing their pattern part are dropped.
QStringList qtNameFilters(const QString& filter);

// Appends ".ext" to a chosen file name that has no extension of its own.
QString applyDefaultExtension(const QString& path, const QString& extension);

} // namespace dorvin
