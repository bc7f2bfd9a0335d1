#include "fake_services.h"

#include "platform/program_dir.h"
#include "platform/state_folder.h"
#include "storage/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace dorvin::test {

const char* kindName(ServiceCall::Kind kind)
{
    switch (kind) {
    case ServiceCall::Message: return "Message";
    case ServiceCall::Question: return "Question";
    case ServiceCall::Warning: return "Warning";
    case ServiceCall::ErrorReport: return "ErrorReport";
    case ServiceCall::OpenFiles: return "OpenFiles";
    case ServiceCall::SaveFile: return "SaveFile";
    case ServiceCall::Beep: return "Beep";
    case ServiceCall::ClipboardRead: return "ClipboardRead";
    case ServiceCall::ClipboardWrite: return "ClipboardWrite";
    case ServiceCall::DesktopOpen: return "DesktopOpen";
    case ServiceCall::HelpContents: return "HelpContents";
    case ServiceCall::HelpContext: return "HelpContext";
    case ServiceCall::Print: return "Print";
    }
    return "?";
}

ServiceCall& FakeServices::record(ServiceCall::Kind kind, const QString& text)
{
    ServiceCall call;
    call.kind = kind;
    call.text = text;
    calls.push_back(std::move(call));
    return calls.back();
}

int FakeServices::count(ServiceCall::Kind kind) const
{
    int n = 0;
    for (const ServiceCall& c : calls)
        n += c.kind == kind ? 1 : 0;
    return n;
}

QStringList FakeServices::texts(ServiceCall::Kind kind) const
{
    QStringList result;
    for (const ServiceCall& c : calls) {
        if (c.kind == kind)
            result << c.text;
    }
    return result;
}

std::vector<ServiceCall::Kind> FakeServices::kinds() const
{
    std::vector<ServiceCall::Kind> result;
    for (const ServiceCall& c : calls)
        result.push_back(c.kind);
    return result;
}

const ServiceCall* FakeServices::last(ServiceCall::Kind kind) const
{
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
        if (it->kind == kind)
            return &*it;
    }
    return nullptr;
}

QString FakeServices::describe() const
{
    QStringList parts;
    for (const ServiceCall& c : calls) {
        QString part = QString::fromLatin1(kindName(c.kind));
        if (c.kind == ServiceCall::HelpContext)
            part += QStringLiteral(": %1").arg(c.context);
        else if (!c.text.isEmpty())
            part += QStringLiteral(": ") + c.text;
        parts << part;
    }
    return parts.join(QStringLiteral("; "));
}

void FakeServices::message(const QString& text)
{
    record(ServiceCall::Message, text);
}

bool FakeServices::question(const QString& text, const QString& caption)
{
    record(ServiceCall::Question, text).caption = caption;
    if (questionAnswers.empty())
        return defaultQuestionAnswer;
    const bool answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}

void FakeServices::warning(const QString& text, const QString& caption)
{
    record(ServiceCall::Warning, text).caption = caption;
}

void FakeServices::errorReport(const QString& text)
{
    record(ServiceCall::ErrorReport, text);
}

QStringList FakeServices::openFiles(const FileDialogOptions& options)
{
    record(ServiceCall::OpenFiles, options.title).options = options;
    if (openAnswers.empty())
        return {};
    QStringList answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString FakeServices::saveFile(const FileDialogOptions& options)
{
    record(ServiceCall::SaveFile, options.title).options = options;
    if (saveAnswers.empty())
        return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void FakeServices::beep()
{
    record(ServiceCall::Beep);
}

bool FakeServices::clipboardHasText()
{
    return clipboard.has_value();
}

QString FakeServices::clipboardText()
{
    const QString text = clipboard.value_or(QString());
    record(ServiceCall::ClipboardRead, text);
    return text;
}

void FakeServices::setClipboardText(const QString& text)
{
    record(ServiceCall::ClipboardWrite, text);
    clipboard = text;
}

bool FakeServices::openWithDesktop(const QString& target)
{
    record(ServiceCall::DesktopOpen, target);
    return desktopOpenResult;
}

void FakeServices::showHelpContents()
{
    record(ServiceCall::HelpContents);
}

void FakeServices::showHelpContext(int contextNumber)
{
    record(ServiceCall::HelpContext).context = contextNumber;
}

void FakeServices::printImage(const PictureRenderer& render, const QString& documentName)
{
    ServiceCall& call = record(ServiceCall::Print, documentName);
    if (render)
        call.image = render(printWidth);
    if (printFailure)
        throw Error(printFailure->toStdString());
}

ServicesGuard::ServicesGuard(Services& services) : m_previous(installedServices())
{
    setServices(&services);
}

ServicesGuard::~ServicesGuard()
{
    setServices(m_previous);
}

TempProgramDir::TempProgramDir()
{
    if (m_dir.isValid())
        setProgramDirectoryForTests(path());
    if (m_state.isValid())
        setStateFolderForTests(stateFolder());
}

TempProgramDir::~TempProgramDir()
{
    setProgramDirectoryForTests(QString());
    setStateFolderForTests(QString());
}

QString TempProgramDir::stateFolder() const
{
    return QDir::fromNativeSeparators(m_state.path()) + QStringLiteral("/dorvindb");
}

QString TempProgramDir::path() const
{
    return QDir::fromNativeSeparators(m_dir.path());
}

QString TempProgramDir::file(const QString& name) const
{
    return path() + u'/' + name;
}

bool TempProgramDir::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString full = file(name);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size() && f.flush();
}

QByteArray TempProgramDir::readFile(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool TempProgramDir::exists(const QString& name) const
{
    return QFileInfo::exists(file(name));
}

LocaleGuard::LocaleGuard(const QLocale& locale) : m_previous(QLocale())
{
    QLocale::setDefault(locale);
}

LocaleGuard::~LocaleGuard()
{
    QLocale::setDefault(m_previous);
}

} // namespace dorvin::test
