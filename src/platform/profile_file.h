#pragma once
// An initialisation file ("[Section]" lines and "key=value" lines) that behaves like the
// Windows profile functions:
// - section and key names match without regard to letter case, Cyrillic letters included;
// - spaces and tabs around names and values are ignored; a value in double quotes loses
//   the quotes;
// - lines starting with ';' are comments; lines outside any section, and section lines
//   without '=', are ignored;
// - of two equal keys in a section the first counts; of two equal sections the first
//   counts for reading;
// - a missing file reads as empty.
// The file on disk is Windows-1251 text with CRLF line ends. Reading also accepts LF or CR
// line ends, and a file saved as UTF-8 or UTF-16 by an editor (with a byte order mark, or
// UTF-8 text that is valid as such); writing always produces Windows-1251.
// Changes stay in memory until flush(); lines that were not changed are written back as
// they were.
#include "platform/text_codec.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace dorvin {

class ProfileFile {
public:
    // The largest file read; anything larger is not a settings file of ours.
    static constexpr qint64 maxFileSize = 1024 * 1024;

    // An empty profile that flush() writes to `path`.
    explicit ProfileFile(const QString& path);

    // Reads the file. A missing file gives an empty profile. Throws dorvin::Error when the
    // file exists but cannot be read or is larger than maxFileSize.
    static ProfileFile open(const QString& path);

    QString path() const { return m_path; }

    bool hasSection(const QString& section) const;
    // The key names of the section in file order (each name once, as first written).
    QStringList keys(const QString& section) const;
    // The "key=value" lines of the section in file order (first value of each key).
    QStringList sectionValues(const QString& section) const;
    // The value, or `defaultValue` when the section or key is missing.
    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;

    // Sets a value: the first matching key keeps its place and name; a new key goes after
    // the section's last key; a new section goes at the end. Throws dorvin::Error (and
    // changes nothing) for a name or value that could not be read back as written
    // (see keyProblem, sectionProblem, valueProblem).
    void writeString(const QString& section, const QString& key, const QString& value);
    // Removes every section of that name with all its lines.
    void eraseSection(const QString& section);
    // Writes the whole file (Windows-1251, CRLF) through a temporary file, so a failed
    // write leaves the old file intact. Throws dorvin::Error on failure.
    void flush();

    // Why a text cannot serve as a key, section name or value, or empty when it can:
    // a key must not be blank, contain '=' or a line break, start with ';' or '[', and
    // keeps its surrounding blanks only in memory; every text must fit Windows-1251.
    static QString keyProblem(const QString& key);
    static QString sectionProblem(const QString& section);
    static QString valueProblem(const QString& value);

    // The file's bytes as flush() would write them.
    std::string toBytes() const;
    // Whether file bytes without a byte order mark are taken for UTF-8 text. Windows-1251
    // bytes whose only non-ASCII ones happen to form such text (rare: "Р»" reads as "л")
    // are taken for it too, so text written that way does not read back unchanged.
    static bool takenForUtf8(const std::string& bytes);
    // Parses bytes as read from a file (any size; open() applies the size limit).
    static ProfileFile fromBytes(const QString& path, const std::string& bytes);

private:
    struct Line {
        std::string raw;   // the line as read (without its line end), Windows-1251
        std::string key;   // trimmed key; empty for comments, blanks and other lines
        std::string value; // trimmed value without surrounding quotes
    };
    struct Section {
        std::string raw;  // the header line as read
        std::string name; // trimmed name between the brackets
        std::vector<Line> lines;
    };

    const Section* findSection(const std::string& name) const;
    Section* findSection(const std::string& name);
    static const Line* findKey(const Section& section, const std::string& key);

    QString m_path;
    std::vector<std::string> m_prelude; // lines before the first section, kept as they are
    std::vector<Section> m_sections;
};

} // namespace dorvin
