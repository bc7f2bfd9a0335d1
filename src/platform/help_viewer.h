#pragma once
// A small help window over the help file beside the executable.
//
// The help file is UTF-8 HTML. Its contents page is the top of the document; every topic
// begins with an anchor named "context-N", N being the topic's context number
// (<a name="context-100"></a>). Opening at a context number scrolls to that anchor;
// a number without a topic shows the contents.
#include <QDialog>
#include <QString>

class QTextBrowser;

namespace dorvin {

class HelpViewer : public QDialog {
    Q_OBJECT
public:
    // The one help window of the program, created on first use, non-modal.
    static HelpViewer* instance();

    // Loads the file (again when it differs from the one shown) and shows the contents or
    // a topic. Returns false, showing nothing, when the file cannot be read.
    bool openContents(const QString& helpFile);
    bool openContext(const QString& helpFile, int contextNumber);

    QString currentFile() const { return m_file; }
    // The anchor last scrolled to ("" for the contents).
    QString currentAnchor() const { return m_anchor; }
    QTextBrowser* browser() const { return m_browser; }

    static QString anchorForContext(int contextNumber);

    // Closes and destroys the one window (tests; a host program unloading the editor).
    static void destroyInstance();

private:
    explicit HelpViewer(QWidget* parent = nullptr);
    bool load(const QString& helpFile);
    void present();

    QTextBrowser* m_browser = nullptr;
    QString m_file;
    QString m_anchor;
};

// The message shown when the help file cannot be opened.
QString missingHelpFileMessage(const QString& path);

} // namespace dorvin
