#include "platform/profile_file.h"

#include "storage/cp1251.h"
#include "storage/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace dorvin {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isSpace(s[b]))
        ++b;
    while (e > b && isSpace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string unquoted(const std::string& s)
{
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

// Well-formed UTF-8 with at least one multi-byte sequence, every character of it one that
// Windows-1251 holds: text an editor saved as UTF-8 from a file of ours. Windows-1251
// Cyrillic text practically never forms such sequences; requiring characters the file
// could have held keeps our own output (a key spelt "п»ї" is EF BB BF, a byte order
// mark in UTF-8) from being taken for UTF-8 when it is read again.
bool looksLikeUtf8(const std::string& bytes)
{
    bool multiByte = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= bytes.size())
            return false;
        char32_t code = c & (extra == 1 ? 0x1F : extra == 2 ? 0x0F : 0x07);
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (cc & 0x3F);
        }
        if (unicodeToCp1251(code) < 0)
            return false;
        multiByte = true;
        i += extra + 1;
    }
    return multiByte;
}

// The file's text as Windows-1251 bytes, whatever encoding an editor chose.
std::string normalisedBytes(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        QStringDecoder decode(QStringDecoder::Utf16LE);
        return toCp1251(decode(QByteArrayView(bytes.data() + 2, static_cast<qsizetype>(bytes.size() - 2))));
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE
        && static_cast<unsigned char>(bytes[1]) == 0xFF) {
        QStringDecoder decode(QStringDecoder::Utf16BE);
        return toCp1251(decode(QByteArrayView(bytes.data() + 2, static_cast<qsizetype>(bytes.size() - 2))));
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return utf8ToCp1251(std::string_view(bytes).substr(3));
    if (looksLikeUtf8(bytes))
        return utf8ToCp1251(bytes);
    return bytes;
}

} // namespace

ProfileFile::ProfileFile(const QString& path) : m_path(path) {}

bool ProfileFile::takenForUtf8(const std::string& bytes)
{
    return looksLikeUtf8(bytes);
}

ProfileFile ProfileFile::open(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return ProfileFile(path);
    const std::string shown = QDir::toNativeSeparators(path).toStdString();
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Не удалось открыть файл настроек '" + shown + "'");
    if (file.size() > maxFileSize)
        throw Error("Файл настроек '" + shown + "' слишком велик");
    // Read at most one byte more than allowed, in case the size was not known in advance.
    const QByteArray data = file.read(maxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw Error("Не удалось прочитать файл настроек '" + shown + "'");
    if (data.size() > maxFileSize)
        throw Error("Файл настроек '" + shown + "' слишком велик");
    return fromBytes(path, std::string(data.constData(), static_cast<std::size_t>(data.size())));
}

ProfileFile ProfileFile::fromBytes(const QString& path, const std::string& input)
{
    ProfileFile profile(path);
    const std::string bytes = normalisedBytes(input);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string raw = bytes.substr(pos, end - pos);
        // One line end: CRLF, LF or a lone CR.
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n' && (pos == end || bytes[end] == '\r'))
            ++pos;

        const std::string text = trimmed(raw);
        if (!text.empty() && text.front() == '[') {
            const std::size_t close = text.find(']');
            Section section;
            section.raw = raw;
            section.name =
                trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            profile.m_sections.push_back(std::move(section));
            continue;
        }
        Line line;
        line.raw = raw;
        const std::size_t eq = text.find('=');
        if (!text.empty() && text.front() != ';' && eq != std::string::npos) {
            line.key = trimmed(text.substr(0, eq));
            line.value = unquoted(trimmed(text.substr(eq + 1)));
        }
        if (profile.m_sections.empty())
            profile.m_prelude.push_back(std::move(line.raw));
        else
            profile.m_sections.back().lines.push_back(std::move(line));
    }
    return profile;
}

const ProfileFile::Section* ProfileFile::findSection(const std::string& name) const
{
    for (const Section& s : m_sections) {
        if (cp1251EqualNoCase(s.name, name))
            return &s;
    }
    return nullptr;
}

ProfileFile::Section* ProfileFile::findSection(const std::string& name)
{
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const ProfileFile::Line* ProfileFile::findKey(const Section& section, const std::string& key)
{
    for (const Line& l : section.lines) {
        if (!l.key.empty() && cp1251EqualNoCase(l.key, key))
            return &l;
    }
    return nullptr;
}

bool ProfileFile::hasSection(const QString& section) const
{
    return findSection(trimmed(toCp1251(section))) != nullptr;
}

QStringList ProfileFile::keys(const QString& section) const
{
    QStringList result;
    const Section* s = findSection(trimmed(toCp1251(section)));
    if (!s)
        return result;
    for (const Line& l : s->lines) {
        if (!l.key.empty() && findKey(*s, l.key) == &l)
            result << fromCp1251(l.key);
    }
    return result;
}

QStringList ProfileFile::sectionValues(const QString& section) const
{
    QStringList result;
    const Section* s = findSection(trimmed(toCp1251(section)));
    if (!s)
        return result;
    for (const Line& l : s->lines) {
        if (!l.key.empty() && findKey(*s, l.key) == &l)
            result << fromCp1251(l.key + '=' + l.value);
    }
    return result;
}

QString ProfileFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Section* s = findSection(trimmed(toCp1251(section)));
    if (!s)
        return defaultValue;
    const Line* l = findKey(*s, trimmed(toCp1251(key)));
    return l ? fromCp1251(l->value) : defaultValue;
}

QString ProfileFile::keyProblem(const QString& key)
{
    const QString t = key.trimmed();
    if (t.isEmpty())
        return QStringLiteral("пустое имя");
    if (key.contains(u'='))
        return QStringLiteral("имя содержит знак \"=\"");
    if (key.contains(u'\r') || key.contains(u'\n'))
        return QStringLiteral("имя содержит перевод строки");
    if (t.startsWith(u';') || t.startsWith(u'['))
        return QStringLiteral("имя начинается со знака \"%1\"").arg(t.front());
    if (!fitsCp1251(key))
        return QStringLiteral("имя содержит знаки, которых нет в кодировке Windows-1251");
    return {};
}

QString ProfileFile::sectionProblem(const QString& section)
{
    if (section.trimmed().isEmpty())
        return QStringLiteral("пустое имя раздела");
    if (section.contains(u']') || section.contains(u'\r') || section.contains(u'\n'))
        return QStringLiteral("недопустимое имя раздела");
    if (!fitsCp1251(section))
        return QStringLiteral("имя раздела содержит знаки, которых нет в кодировке Windows-1251");
    return {};
}

QString ProfileFile::valueProblem(const QString& value)
{
    if (value.contains(u'\r') || value.contains(u'\n'))
        return QStringLiteral("значение содержит перевод строки");
    if (!fitsCp1251(value))
        return QStringLiteral("значение содержит знаки, которых нет в кодировке Windows-1251");
    return {};
}

void ProfileFile::writeString(const QString& section, const QString& key, const QString& value)
{
    QString problem = sectionProblem(section);
    if (problem.isEmpty())
        problem = keyProblem(key);
    if (problem.isEmpty())
        problem = valueProblem(value);
    if (!problem.isEmpty()) {
        throw Error(QStringLiteral("Нельзя записать в файл настроек [%1] %2=%3: %4")
                        .arg(section, key, value, problem)
                        .toStdString());
    }
    const std::string sectionName = trimmed(toCp1251(section));
    const std::string keyName = trimmed(toCp1251(key));
    const std::string valueText = trimmed(toCp1251(value));
    // Reading takes a value out of one pair of surrounding quotes, so a value that has
    // its own gets another pair around it and reads back with them.
    const bool quoted = valueText.size() >= 2 && valueText.front() == '"' && valueText.back() == '"';
    const std::string stored = quoted ? '"' + valueText + '"' : valueText;

    Section* s = findSection(sectionName);
    if (!s) {
        Section fresh;
        fresh.name = sectionName;
        fresh.raw = '[' + sectionName + ']';
        m_sections.push_back(std::move(fresh));
        s = &m_sections.back();
    }
    const Line* existing = findKey(*s, keyName);
    if (existing) {
        Line& line = s->lines[static_cast<std::size_t>(existing - s->lines.data())];
        line.value = valueText;
        line.raw = line.key + '=' + stored;
        return;
    }
    Line line;
    line.key = keyName;
    line.value = valueText;
    line.raw = keyName + '=' + stored;
    // After the section's last key, so trailing blank lines and comments stay at its end.
    std::size_t at = 0;
    for (std::size_t i = 0; i < s->lines.size(); ++i) {
        if (!s->lines[i].key.empty())
            at = i + 1;
    }
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void ProfileFile::eraseSection(const QString& section)
{
    const std::string name = trimmed(toCp1251(section));
    std::erase_if(m_sections, [&](const Section& s) { return cp1251EqualNoCase(s.name, name); });
}

std::string ProfileFile::toBytes() const
{
    std::string out;
    for (const std::string& raw : m_prelude)
        out += raw + "\r\n";
    for (const Section& s : m_sections) {
        out += s.raw + "\r\n";
        for (const Line& l : s.lines)
            out += l.raw + "\r\n";
    }
    return out;
}

void ProfileFile::flush()
{
    const std::string bytes = toBytes();
    const std::string shown = QDir::toNativeSeparators(m_path).toStdString();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error("Не удалось записать файл настроек '" + shown + "'");
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())
        || !file.commit()) {
        throw Error("Не удалось записать файл настроек '" + shown + "'");
    }
}

} // namespace dorvin
