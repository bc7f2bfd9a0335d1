#include "platform/help_viewer.h"

#include "platform/help_document.h"

#include <QDir>
#include <QPointer>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace dorvin {

namespace {
QPointer<HelpViewer>& theViewer()
{
    static QPointer<HelpViewer> viewer;
    return viewer;
}
} // namespace

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Справка"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setOpenLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(620, 520);
}

HelpViewer* HelpViewer::instance()
{
    if (!theViewer())
        theViewer() = new HelpViewer();
    return theViewer();
}

void HelpViewer::destroyInstance()
{
    delete theViewer().data();
    theViewer() = nullptr;
}

QString HelpViewer::anchorForContext(int contextNumber)
{
    return QStringLiteral("context-%1").arg(contextNumber);
}

bool HelpViewer::load(const QString& helpFile)
{
    if (helpFile == m_file && !m_browser->document()->isEmpty())
        return true;
    const std::optional<QString> text = readHelpFile(helpFile);
    if (!text)
        return false;
    m_browser->setHtml(*text);
    const QString title = helpTitle(*m_browser->document());
    setWindowTitle(title.isEmpty() ? QStringLiteral("Справка") : title);
    m_file = helpFile;
    return true;
}

void HelpViewer::present()
{
    show();
    raise();
    activateWindow();
}

bool HelpViewer::openContents(const QString& helpFile)
{
    if (!load(helpFile))
        return false;
    m_anchor.clear();
    m_browser->verticalScrollBar()->setValue(0);
    present();
    return true;
}

bool HelpViewer::openContext(const QString& helpFile, int contextNumber)
{
    if (!load(helpFile))
        return false;
    const QString anchor = anchorForContext(contextNumber);
    // QTextBrowser silently ignores unknown anchors; fall back to the contents then.
    if (hasHelpAnchor(*m_browser->document(), anchor)) {
        m_anchor = anchor;
        present();
        m_browser->scrollToAnchor(anchor);
    } else {
        m_anchor.clear();
        m_browser->verticalScrollBar()->setValue(0);
        present();
    }
    return true;
}

QString missingHelpFileMessage(const QString& path)
{
    return QStringLiteral("Не удалось открыть файл справки:\n'%1'").arg(QDir::toNativeSeparators(path));
}

} // namespace dorvin
