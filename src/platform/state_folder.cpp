#include "platform/state_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace dorvin {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}

QString userStateFolder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // The base directory rules: a relative $XDG_STATE_HOME is invalid and ignored.
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg) + QStringLiteral("/dorvindb");
    return QDir::homePath() + QStringLiteral("/.local/state/dorvindb");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/dorvindb");
#endif
}
} // namespace

QString stateFolder()
{
    const QString folder = overrideFolder().isEmpty() ? userStateFolder() : overrideFolder();
    return QDir::fromNativeSeparators(QDir::cleanPath(folder));
}

void setStateFolderForTests(const QString& folder)
{
    overrideFolder() = folder;
}

} // namespace dorvin
