#include "platform/file_names.h"

#include "platform/program_dir.h"

namespace dorvin {

namespace {

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// The length of the drive part: "C:" or "\\server\share" (also with '/').
qsizetype drivePartLength(const QString& path)
{
    if (path.size() >= 2 && path[1] == u':' && path[0].unicode() < 128 && path[0].isLetter())
        return 2;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        qsizetype i = 2;
        while (i < path.size() && !isSeparator(path[i])) // server
            ++i;
        if (i < path.size())
            ++i;
        while (i < path.size() && !isSeparator(path[i])) // share
            ++i;
        return i;
    }
    return 0;
}

} // namespace

QString cleanFileName(const QString& name)
{
    QString result = name;
    for (QChar& c : result) {
        switch (c.unicode()) {
        case u'/':
        case u'\\':
        case u':':
        case u'*':
        case u'?':
        case u'<':
        case u'>':
        case u'"': c = u'_'; break;
        default: break;
        }
    }
    return result;
}

QString removeFileExtension(const QString& name)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        const QChar c = name[i];
        if (c == u'.')
            return name.left(i);
        if (c == u'\\' || c == u':')
            break;
    }
    return name;
}

QString nameFromFileName(const QString& path)
{
    qsizetype start = path.size();
    while (start > 0 && !isSeparator(path[start - 1]) && path[start - 1] != u':')
        --start;
    return removeFileExtension(path.mid(start));
}

QString ResolveBasePath(const QString& storedPath)
{
    const QString prefix = QString::fromUtf16(programDirectoryPrefix);
    QString path = storedPath;
    if (path.startsWith(prefix, Qt::CaseSensitive)) {
        QString dir = programDirectory();
        if (!dir.endsWith(u'/'))
            dir += u'/';
        path = dir + path.mid(prefix.size());
    }
#ifndef Q_OS_WIN
    path.replace(u'\\', u'/');
#endif
    return path;
}

QString shortenedPath(const QString& path)
{
    const qsizetype driveLength = drivePartLength(path);
    const QString drive = path.left(driveLength);
    const QString rest = path.mid(driveLength);
    qsizetype last = rest.size() - 1;
    while (last >= 0 && !isSeparator(rest[last]))
        --last;
    if (last <= 0)
        return path;
    qsizetype previous = last - 1;
    while (previous >= 0 && !isSeparator(rest[previous]))
        --previous;
    if (previous < 0)
        return path;
    return drive + rest[previous] + QStringLiteral("..") + rest.mid(previous);
}

} // namespace dorvin
