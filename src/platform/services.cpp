#include "platform/services.h"

#include "platform/help_viewer.h"
#include "platform/program_dir.h"
#include "storage/error.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace dorvin {

namespace {

QString& titleStore()
{
    static QString title;
    return title;
}

QString& helpNameStore()
{
    static QString name;
    return name;
}

Services*& installed()
{
    static Services* current = nullptr;
    return current;
}

QWidget* dialogParent()
{
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

// A message box as wide as its caption needs, so that the title bar shows the caption
// whole ("Редактор базы элементов") even above a short text.
void fitCaption(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    // Room for the caption plus the title bar's icon and buttons.
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 120;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void showBox(QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(icon, caption.isEmpty() ? applicationTitle() : caption, text, QMessageBox::Ok,
                    dialogParent());
    fitCaption(box);
    box.exec();
}

// A picture preview beside the file list of a (non-native) file dialog.
void addPreview(QFileDialog& dialog, const FileDialogOptions& options)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid)
        return;
    auto* preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(preview, 1, grid->columnCount(), grid->rowCount() - 1, 1);
    auto renderer = options.previewRenderer;
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview, renderer](const QString& path) {
                         const QSize box = preview->size() - QSize(8, 8);
                         QImage image;
                         if (QFileInfo(path).isFile()) {
                             if (renderer) {
                                 image = renderer(path, box);
                             } else {
                                 QImageReader reader(path);
                                 reader.setAllocationLimit(64);
                                 image = reader.read();
                             }
                         }
                         if (image.isNull()) {
                             preview->clear();
                             return;
                         }
                         if (image.width() > box.width() || image.height() > box.height())
                             image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                         preview->setPixmap(QPixmap::fromImage(image));
                     });
}

void configure(QFileDialog& dialog, const FileDialogOptions& options)
{
    if (!options.title.isEmpty())
        dialog.setWindowTitle(options.title);
    const QStringList filters = qtNameFilters(options.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!options.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(options.defaultExtension);
    if (!options.initialDir.isEmpty())
        dialog.setDirectory(QDir::fromNativeSeparators(options.initialDir));
    if (!options.fileName.isEmpty())
        dialog.selectFile(QDir::fromNativeSeparators(options.fileName));
}

} // namespace

QString applicationTitle()
{
    return titleStore();
}

void setApplicationTitle(const QString& title)
{
    // Only the message boxes take it: an application display name would be appended to
    // every window's own caption on some desktops.
    titleStore() = title;
}

QString helpFileName()
{
    return helpNameStore();
}

void setHelpFileName(const QString& name)
{
    helpNameStore() = name;
}

Services& services()
{
    static QtServices qtServices;
    if (Services* s = installed())
        return *s;
    return qtServices;
}

void setServices(Services* s)
{
    installed() = s;
}

Services* installedServices()
{
    return installed();
}

QStringList qtNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        patterns.removeAll(QString());
        if (patterns.isEmpty())
            continue;
        // A description that already names its patterns in parentheses loses them: Qt
        // reads the patterns from the last parenthesised group.
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        if (description.isEmpty())
            description = patterns.join(u' ');
        result << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
    }
    return result;
}

QString applyDefaultExtension(const QString& path, const QString& extension)
{
    if (path.isEmpty() || extension.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || name.contains(u'.'))
        return path;
    return path + u'.' + extension;
}

void QtServices::message(const QString& text)
{
    showBox(QMessageBox::NoIcon, {}, text);
}

bool QtServices::question(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Question, caption.isEmpty() ? applicationTitle() : caption, text,
                    QMessageBox::Yes | QMessageBox::No, dialogParent());
    box.setDefaultButton(QMessageBox::Yes);
    fitCaption(box);
    return box.exec() == QMessageBox::Yes;
}

void QtServices::warning(const QString& text, const QString& caption)
{
    showBox(QMessageBox::Warning, caption, text);
}

void QtServices::errorReport(const QString& text)
{
    showBox(QMessageBox::Critical, {}, text);
}

QStringList QtServices::openFiles(const FileDialogOptions& options)
{
    QFileDialog dialog(dialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (options.picturePreview)
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    configure(dialog, options);
    if (options.picturePreview)
        addPreview(dialog, options);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QStringList files = dialog.selectedFiles();
    if (options.mustExist) {
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [](const QString& f) { return !QFileInfo(f).isFile(); }),
                    files.end());
    }
    return files;
}

QString QtServices::saveFile(const FileDialogOptions& options)
{
    QFileDialog dialog(dialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
    configure(dialog, options);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return {};
    return applyDefaultExtension(files.first(), options.defaultExtension);
}

void QtServices::beep()
{
    QApplication::beep();
}

bool QtServices::clipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString QtServices::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void QtServices::setClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

bool QtServices::openWithDesktop(const QString& target)
{
#if defined(Q_OS_WIN)
    return QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(QStringLiteral("open"), {target});
#else
    // xdg-open takes the text as it is; a QUrl would percent-encode spaces and line feeds.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
#endif
}

void QtServices::showHelpContents()
{
    if (helpFileName().isEmpty())
        return;
    const QString path = programFile(helpFileName());
    if (!HelpViewer::instance()->openContents(path))
        message(missingHelpFileMessage(path));
}

void QtServices::showHelpContext(int contextNumber)
{
    if (helpFileName().isEmpty())
        return;
    const QString path = programFile(helpFileName());
    if (!HelpViewer::instance()->openContext(path, contextNumber))
        message(missingHelpFileMessage(path));
}

namespace {

QString& printFileStore()
{
    static QString path;
    return path;
}

} // namespace

void setPrintFileForTests(const QString& pdfPath)
{
    printFileStore() = pdfPath;
}

int printPictureDpi(int printerDpi)
{
    return std::clamp(printerDpi, 300, 600);
}

void printPictureOn(QPrinter& printer, const Services::PictureRenderer& render)
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw Error("Не удалось начать печать на принтере " + printer.printerName().toStdString());
    const QRect page = painter.viewport();
    const int printerDpi = std::max(1, printer.resolution());
    const int dpi = printPictureDpi(printerDpi);
    const int width = std::max(1, static_cast<int>(std::lround(double(page.width()) * dpi / printerDpi)));
    const QImage image = render ? render(width) : QImage();
    if (image.isNull() || image.width() < 1 || image.height() < 1) {
        painter.end();
        throw Error("Нечего печатать");
    }
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), image);
    if (!painter.end())
        throw Error("Не удалось напечатать документ");
}

void QtServices::printImage(const PictureRenderer& render, const QString& documentName)
{
    const QString file = printFileStore();
    if (!file.isEmpty()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setDocName(documentName);
        printPictureOn(printer, render);
        return;
    }
    if (QPrinterInfo::defaultPrinter().isNull())
        throw Error("Принтер по умолчанию не выбран");
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    printer.setDocName(documentName);
    printPictureOn(printer, render);
}

} // namespace dorvin
