#include "bases/base_names.h"

#include "platform/profile_file.h"
#include "storage/cp1251.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace dorvin::bases {

QString lineName(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? line : line.left(eq);
}

QString linePath(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.mid(eq + 1);
}

bool sameKeyInSettings(const QString& a, const QString& b)
{
    const QString ta = a.trimmed();
    const QString tb = b.trimmed();
    if (fitsCp1251(ta) && fitsCp1251(tb))
        return cp1251EqualNoCase(toCp1251(ta), toCp1251(tb));
    return ta.compare(tb, Qt::CaseInsensitive) == 0;
}

QString storableName(const QString& proposed)
{
    QString name = proposed;
    for (QChar& c : name) {
        if (c == u'=' || c == u'\r' || c == u'\n' || !fitsCp1251(QString(c)))
            c = u'_';
    }
    // Surrogate pairs leave two '_' behind; harmless for a proposed name.
    const qsizetype first = name.indexOf(QRegularExpression(QStringLiteral("\\S")));
    if (first < 0)
        return QStringLiteral("База");
    if (name[first] == u';' || name[first] == u'[')
        name[first] = u'_';
    return name;
}

QString nameProblem(const QString& name, const QStringList& otherNames)
{
    if (name.contains(u'='))
        return QStringLiteral("Имя базы элементов не должно содержать знак \"=\"!");
    const QString keyProblem = ProfileFile::keyProblem(name);
    if (!keyProblem.isEmpty())
        return QStringLiteral("Такое имя базы элементов нельзя записать в файл настроек: %1!")
            .arg(keyProblem);
    for (const QString& other : otherNames) {
        if (other != name && sameKeyInSettings(other, name))
            return QStringLiteral("База с именем: '%1' уже есть в списке!\n"
                                  "Имена, которые различаются только регистром букв или "
                                  "пробелами по краям, в файле настроек совпадают.")
                .arg(other);
    }
    return {};
}

bool sameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return QDir::cleanPath(fa.absoluteFilePath()).compare(QDir::cleanPath(fb.absoluteFilePath()), cs) == 0;
}

QString targetProblem(const QString& target, const QString& openBasePath, const QString& templatePath)
{
    if (sameFile(target, openBasePath))
        return QStringLiteral("Нельзя записать новую базу в файл открытой базы элементов:\n'%1'").arg(target);
    if (sameFile(target, templatePath))
        return QStringLiteral("Нельзя записать новую базу в файл шаблона:\n'%1'").arg(target);
    if (!ProfileFile::valueProblem(target).isEmpty())
        return QStringLiteral("Путь к файлу нельзя записать в файл настроек "
                              "(знаки вне кодировки Windows-1251 или перевод строки):\n'%1'")
            .arg(target);
    return {};
}

} // namespace dorvin::bases
