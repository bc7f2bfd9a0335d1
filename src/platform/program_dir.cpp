#include "platform/program_dir.h"

#include <QCoreApplication>
#include <QDir>

namespace dorvin {

namespace {
QString& overrideDirectory()
{
    static QString directory;
    return directory;
}
} // namespace

QString programDirectory()
{
    QString dir = overrideDirectory();
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    dir = QDir::fromNativeSeparators(dir);
    // Keep a bare root ("/" or "C:/") as it is; strip the separator from anything longer.
    while (dir.size() > 1 && dir.endsWith(u'/') && !(dir.size() == 3 && dir.at(1) == u':'))
        dir.chop(1);
    return dir;
}

QString programFile(const QString& fileName)
{
    QString dir = programDirectory();
    if (dir.isEmpty())
        return fileName;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir + fileName;
}

void setProgramDirectoryForTests(const QString& directory)
{
    overrideDirectory() = directory;
}

} // namespace dorvin
