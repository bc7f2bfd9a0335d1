// Settings file reader: any bytes read as a profile without crashing; writing the profile
// and reading it again keeps every section, key and value; a value written from the input
// reads back as written (blanks around it aside), in memory and from the written bytes.
#include "platform/profile_file.h"
#include "storage/error.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const QString kPath = QStringLiteral("Dorvin.ini");

// Sections the program reads, and the first one the input names.
QStringList sectionsToCompare(const std::string& bytes)
{
    QStringList names{QStringLiteral("Bases"), QStringLiteral("CurBase")};
    const std::size_t open = bytes.find('[');
    if (open != std::string::npos) {
        const std::size_t close = bytes.find_first_of("]\r\n", open + 1);
        names << dorvin::fromCp1251(
            bytes.substr(open + 1, close == std::string::npos ? 64 : close - open - 1));
    }
    return names;
}

void expectSame(const dorvin::ProfileFile& a, const dorvin::ProfileFile& b, const QStringList& sections)
{
    for (const QString& section : sections) {
        if (a.hasSection(section) != b.hasSection(section) || a.keys(section) != b.keys(section)
            || a.sectionValues(section) != b.sectionValues(section))
            std::abort();
        for (const QString& key : a.keys(section))
            if (a.readString(section, key) != b.readString(section, key))
                std::abort();
    }
}

QString blanksTrimmed(const QString& s)
{
    qsizetype begin = 0, end = s.size();
    while (begin < end && (s[begin] == u' ' || s[begin] == u'\t'))
        ++begin;
    while (end > begin && (s[end - 1] == u' ' || s[end - 1] == u'\t'))
        --end;
    return s.mid(begin, end - begin);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    dorvin::ProfileFile profile = dorvin::ProfileFile::fromBytes(kPath, bytes);
    const std::string written = profile.toBytes();
    const QStringList sections = sectionsToCompare(bytes);
    // Written bytes that happen to form UTF-8 text are read as such (a known limit of
    // telling the two apart without a byte order mark); all others read back unchanged.
    if (!dorvin::ProfileFile::takenForUtf8(written)) {
        const dorvin::ProfileFile again = dorvin::ProfileFile::fromBytes(kPath, written);
        if (again.toBytes() != written)
            std::abort(); // writing must be stable
        expectSame(profile, again, sections);
    }

    // The input's first line as a key, the rest as a value.
    const std::size_t cut = bytes.find('\n');
    const QString key = dorvin::fromCp1251(bytes.substr(0, std::min<std::size_t>(cut, 64)));
    const QString value =
        dorvin::fromCp1251(cut == std::string::npos ? std::string() : bytes.substr(cut + 1, 4096));
    try {
        profile.writeString(QStringLiteral("Fuzz"), key, value);
    } catch (const dorvin::Error&) {
        return 0; // refused: a name or value that would not read back
    }
    const QString expected = blanksTrimmed(value);
    if (profile.readString(QStringLiteral("Fuzz"), key) != expected)
        std::abort();
    const std::string rewritten = profile.toBytes();
    if (dorvin::ProfileFile::takenForUtf8(rewritten))
        return 0;
    const dorvin::ProfileFile reread = dorvin::ProfileFile::fromBytes(kPath, rewritten);
    if (reread.readString(QStringLiteral("Fuzz"), key) != expected)
        std::abort();
    expectSame(profile, reread, sections);
    return 0;
}
