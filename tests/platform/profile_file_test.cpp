// The settings file: Windows profile semantics, Windows-1251 on disk, odd files.
#include "platform/profile_file.h"
#include "storage/error.h"

#include "qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

using namespace dorvin;

namespace {

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}
// Windows-1251 bytes of UTF-8 source text.
std::string cp(const char* utf8)
{
    return toCp1251(q(utf8));
}

class ProfileFileTest : public ::testing::Test {
protected:
    QString path(const char* name = "Dorvin.ini") const
    {
        return m_dir.path() + u'/' + QString::fromLatin1(name);
    }

    void writeBytes(const std::string& bytes, const char* name = "Dorvin.ini") const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    std::string readBytes(const char* name = "Dorvin.ini") const
    {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly))
            return "<missing>";
        const QByteArray b = f.readAll();
        return std::string(b.constData(), static_cast<std::size_t>(b.size()));
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ProfileFileTest, MissingFileReadsAsEmpty)
{
    const ProfileFile ini = ProfileFile::open(path());
    EXPECT_FALSE(ini.hasSection(q("Bases")));
    EXPECT_TRUE(ini.keys(q("Bases")).isEmpty());
    EXPECT_EQ(ini.readString(q("CurBase"), q("Рабочая база"), q("нет")), q("нет"));
    EXPECT_EQ(readBytes(), "<missing>"); // reading never creates the file
}

TEST_F(ProfileFileTest, NamesMatchWithoutLetterCaseCyrillicIncluded)
{
    writeBytes(cp("[BASES]\r\nОсновная=C:\\Main.CBB\r\n[curbase]\r\nрабочая БАЗА=основная\r\n"));
    const ProfileFile ini = ProfileFile::open(path());
    EXPECT_TRUE(ini.hasSection(q("Bases")));
    EXPECT_TRUE(ini.hasSection(q("bAsEs")));
    EXPECT_FALSE(ini.hasSection(q("Base")));
    EXPECT_EQ(ini.readString(q("CurBase"), q("Рабочая база")), q("основная"));
    EXPECT_EQ(ini.readString(q("Bases"), q("ОСНОВНАЯ")), q("C:\\Main.CBB"));
    EXPECT_EQ(ini.readString(q("Bases"), q("Ёосновная"), q("-")), q("-"));
    // Names come back as the file writes them.
    EXPECT_EQ(ini.keys(q("bases")), QStringList{q("Основная")});
}

TEST_F(ProfileFileTest, KeysAndLinesKeepFileOrderAndTheFirstOfEqualKeys)
{
    writeBytes(cp("[Bases]\nЯ=3\nБ=2\nА=1\nб=дубль\n"));
    const ProfileFile ini = ProfileFile::open(path());
    EXPECT_EQ(ini.keys(q("Bases")), (QStringList{q("Я"), q("Б"), q("А")}));
    EXPECT_EQ(ini.sectionValues(q("Bases")), (QStringList{q("Я=3"), q("Б=2"), q("А=1")}));
    EXPECT_EQ(ini.readString(q("Bases"), q("Б")), q("2"));
}

TEST_F(ProfileFileTest, BlanksQuotesCommentsAndStrayLines)
{
    writeBytes(cp("stray=before any section\r\n"
                  "; comment\r\n"
                  "  [ Bases ]  \r\n"
                  "  Main  =   C:\\Bases\\Main.CBB   \r\n"
                  ";Hidden=x\r\n"
                  "no equals sign here\r\n"
                  "\tQuoted\t=\"  spaced  \"\r\n"
                  "Empty=\r\n"
                  "=nameless\r\n"
                  "Eq=a=b\r\n"));
    const ProfileFile ini = ProfileFile::open(path());
    EXPECT_EQ(ini.keys(q("Bases")), (QStringList{q("Main"), q("Quoted"), q("Empty"), q("Eq")}));
    EXPECT_EQ(ini.readString(q("Bases"), q("Main")), q("C:\\Bases\\Main.CBB"));
    EXPECT_EQ(ini.readString(q("Bases"), q("Quoted")), q("  spaced  "));
    EXPECT_EQ(ini.readString(q("Bases"), q("Empty"), q("default")), QString());
    EXPECT_EQ(ini.readString(q("Bases"), q("Eq")), q("a=b"));
    EXPECT_EQ(ini.readString(q("Bases"), q("Hidden"), q("none")), q("none"));
    EXPECT_EQ(ini.readString(q(""), q("stray"), q("none")), q("none"));
}

TEST_F(ProfileFileTest, LineEndsOfAnyKindAndNoFinalLineEnd)
{
    for (const std::string& sep : {std::string("\r\n"), std::string("\n"), std::string("\r")}) {
        writeBytes("[A]" + sep + "k1=v1" + sep + sep + "k2=v2" + sep + "[B]" + sep + "k3=v3");
        const ProfileFile ini = ProfileFile::open(path());
        EXPECT_EQ(ini.sectionValues(q("A")), (QStringList{q("k1=v1"), q("k2=v2")}));
        EXPECT_EQ(ini.readString(q("B"), q("k3")), q("v3"));
    }
}

TEST_F(ProfileFileTest, WritesWindows1251WithCrLfByteForByte)
{
    ProfileFile ini = ProfileFile::open(path());
    ini.writeString(q("CurBase"), q("Рабочая база"), q("Сеть"));
    ini.writeString(q("Bases"), q("Сеть"), q("$(ProgDirectory)\\Сеть.CBB"));
    ini.writeString(q("Bases"), q("Main"), q("D:\\Data\\Main.CBB"));
    ini.flush();
    const std::string expected =
        cp("[CurBase]\r\nРабочая база=Сеть\r\n[Bases]\r\nСеть=$(ProgDirectory)\\Сеть.CBB\r\n"
           "Main=D:\\Data\\Main.CBB\r\n");
    EXPECT_EQ(readBytes(), expected);
    // Windows-1251: "Сеть" is four single bytes.
    EXPECT_NE(readBytes().find("\xD1\xE5\xF2\xFC"), std::string::npos);
    // And it reads back.
    const ProfileFile again = ProfileFile::open(path());
    EXPECT_EQ(again.readString(q("bases"), q("сеть")), q("$(ProgDirectory)\\Сеть.CBB"));
}

TEST_F(ProfileFileTest, RewritingTheBaseListKeepsOtherLinesAsTheyWere)
{
    writeBytes(cp("; settings\n[Other]\nX = 1\n[Bases]\nOld=o.CBB\n\n[CurBase]\nРабочая база=Old\n"));
    ProfileFile ini = ProfileFile::open(path());
    ini.writeString(q("CurBase"), q("РАБОЧАЯ БАЗА"), q("New"));
    ini.eraseSection(q("BASES"));
    ini.writeString(q("Bases"), q("New"), q("n.CBB"));
    ini.writeString(q("Bases"), q("Second"), q("s.CBB"));
    ini.flush();
    EXPECT_EQ(readBytes(), cp("; settings\r\n[Other]\r\nX = 1\r\n[CurBase]\r\nРабочая база=New\r\n"
                              "[Bases]\r\nNew=n.CBB\r\nSecond=s.CBB\r\n"));
}

TEST_F(ProfileFileTest, WriteReplacesTheFirstOfEqualKeysAndAddsAfterTheLastKey)
{
    writeBytes("[S]\r\na=1\r\nA=2\r\n; tail comment\r\n\r\n[T]\r\n");
    ProfileFile ini = ProfileFile::open(path());
    ini.writeString(q("s"), q("A"), q("9"));
    ini.writeString(q("s"), q("b"), q("3"));
    EXPECT_EQ(ini.toBytes(), "[S]\r\na=9\r\nA=2\r\nb=3\r\n; tail comment\r\n\r\n[T]\r\n");
    EXPECT_EQ(ini.readString(q("S"), q("a")), q("9"));
}

TEST_F(ProfileFileTest, EraseSectionRemovesEveryCopyAndWritingMakesItAnew)
{
    writeBytes("[Bases]\r\na=1\r\n[X]\r\n[bases]\r\nb=2\r\n");
    ProfileFile ini = ProfileFile::open(path());
    EXPECT_EQ(ini.keys(q("Bases")), QStringList{q("a")}); // the first copy counts
    ini.eraseSection(q("Bases"));
    EXPECT_FALSE(ini.hasSection(q("Bases")));
    EXPECT_EQ(ini.toBytes(), "[X]\r\n");
    ini.eraseSection(q("Missing")); // nothing to do
    EXPECT_EQ(ini.toBytes(), "[X]\r\n");
}

TEST_F(ProfileFileTest, RefusesNamesAndValuesThatWouldNotReadBack)
{
    ProfileFile ini(path());
    ini.writeString(q("Bases"), q("Main"), q("m.CBB"));
    const std::string before = ini.toBytes();
    EXPECT_THROW(ini.writeString(q("Bases"), q("a=b"), q("x")), Error);
    EXPECT_THROW(ini.writeString(q("Bases"), q("[Section]"), q("x")), Error);
    EXPECT_THROW(ini.writeString(q("Bases"), q(";note"), q("x")), Error);
    EXPECT_THROW(ini.writeString(q("Bases"), q("   "), q("x")), Error);
    EXPECT_THROW(ini.writeString(q("Bases"), q("two\nlines"), q("x")), Error);
    EXPECT_THROW(ini.writeString(q("Bases"), q("k"), q("two\r\nlines")), Error);
    EXPECT_THROW(ini.writeString(q("Bases"), q("漢字"), q("x")), Error);
    EXPECT_THROW(ini.writeString(q("Ba]ses"), q("k"), q("x")), Error);
    EXPECT_EQ(ini.toBytes(), before);
    EXPECT_TRUE(ProfileFile::keyProblem(q("Сеть 2.5 (копия)")).isEmpty());
    EXPECT_FALSE(ProfileFile::keyProblem(q("a=b")).isEmpty());
}

TEST_F(ProfileFileTest, ReadsFilesAnEditorSavedAsUnicode)
{
    const QByteArray utf8 = q("[Bases]\r\nСеть=C:\\Сеть.CBB\r\n").toUtf8();
    writeBytes("\xEF\xBB\xBF" + utf8.toStdString());
    EXPECT_EQ(ProfileFile::open(path()).readString(q("bases"), q("сеть")), q("C:\\Сеть.CBB"));
    writeBytes(utf8.toStdString());
    EXPECT_EQ(ProfileFile::open(path()).readString(q("bases"), q("сеть")), q("C:\\Сеть.CBB"));
    const QString text = q("[Bases]\r\nСеть=x\r\n");
    std::string utf16 = "\xFF\xFE";
    for (QChar c : text) {
        utf16 += static_cast<char>(c.unicode() & 0xFF);
        utf16 += static_cast<char>(c.unicode() >> 8);
    }
    writeBytes(utf16);
    EXPECT_EQ(ProfileFile::open(path()).readString(q("BASES"), q("СЕТЬ")), q("x"));
    // Flushing writes Windows-1251 again.
    ProfileFile ini = ProfileFile::open(path());
    ini.flush();
    EXPECT_EQ(readBytes(), cp("[Bases]\r\nСеть=x\r\n"));
}

TEST_F(ProfileFileTest, OddFilesNeitherCrashNorLoseTheReadableParts)
{
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    writeBytes(garbage + "\n[Bases]\nok=1\n" + std::string(300000, 'x') + "\n[" + std::string(1, '\0')
               + "]\nz=2");
    const ProfileFile ini = ProfileFile::open(path());
    EXPECT_EQ(ini.readString(q("Bases"), q("ok")), q("1"));
    // An unterminated header still names a section.
    writeBytes("[Bases\nk=v\n[\n");
    EXPECT_EQ(ProfileFile::open(path()).readString(q("Bases"), q("k")), q("v"));
    // An empty file, a file of line ends.
    writeBytes("");
    EXPECT_FALSE(ProfileFile::open(path()).hasSection(q("Bases")));
    writeBytes("\r\n\n\r");
    EXPECT_FALSE(ProfileFile::open(path()).hasSection(q("Bases")));
}

TEST_F(ProfileFileTest, TooLargeOrUnreadableFilesGiveAClearError)
{
    writeBytes("[Bases]\n" + std::string(ProfileFile::maxFileSize, ';'));
    try {
        ProfileFile::open(path());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Dorvin.ini"), std::string::npos) << e.what();
    }
    // A directory in the file's place cannot be read.
    QDir(m_dir.path()).mkdir(q("Dir.ini"));
    EXPECT_THROW(ProfileFile::open(path("Dir.ini")), Error);
}

TEST_F(ProfileFileTest, AFailedFlushLeavesTheOldFile)
{
    writeBytes("[A]\r\nk=old\r\n");
    ProfileFile ini = ProfileFile::open(path());
    ini.writeString(q("A"), q("k"), q("new"));
    ProfileFile elsewhere =
        ProfileFile::fromBytes(m_dir.path() + q("/no/such/dir/Dorvin.ini"), ini.toBytes());
    EXPECT_THROW(elsewhere.flush(), Error);
    EXPECT_EQ(readBytes(), "[A]\r\nk=old\r\n");
    ini.flush();
    EXPECT_EQ(readBytes(), "[A]\r\nk=new\r\n");
}

// Found by fuzzing: reading takes a value out of one pair of quotes, so a value written
// with quotes of its own came back without them once the file was read again.
TEST_F(ProfileFileTest, AValueInItsOwnQuotesReadsBackWithThem)
{
    ProfileFile ini(path());
    ini.writeString(q("Bases"), q("Кавычки"), q("\"C:\\Мои базы\\Сеть.CBB\""));
    ini.writeString(q("Bases"), q("Пустые"), q("\"\""));
    ini.writeString(q("Bases"), q("Одна"), q("\"начало"));
    EXPECT_EQ(ini.readString(q("Bases"), q("Кавычки")), q("\"C:\\Мои базы\\Сеть.CBB\""));
    ini.flush();
    EXPECT_EQ(
        readBytes(),
        cp("[Bases]\r\nКавычки=\"\"C:\\Мои базы\\Сеть.CBB\"\"\r\nПустые=\"\"\"\"\r\nОдна=\"начало\r\n"));
    const ProfileFile again = ProfileFile::open(path());
    EXPECT_EQ(again.readString(q("Bases"), q("Кавычки")), q("\"C:\\Мои базы\\Сеть.CBB\""));
    EXPECT_EQ(again.readString(q("Bases"), q("Пустые")), q("\"\""));
    EXPECT_EQ(again.readString(q("Bases"), q("Одна")), q("\"начало"));
    // Rewriting an existing key the same way.
    ProfileFile edit = ProfileFile::open(path());
    edit.writeString(q("Bases"), q("Одна"), q("\"x\""));
    edit.flush();
    EXPECT_EQ(ProfileFile::open(path()).readString(q("Bases"), q("Одна")), q("\"x\""));
}

// Found by fuzzing: Windows-1251 text whose only non-ASCII bytes happened to form UTF-8
// (a key spelt "п»ї" is the UTF-8 byte order mark) was read as UTF-8 after writing, and
// the key turned into '?'. Text is taken for UTF-8 only when every character it spells
// is one the file could hold.
TEST_F(ProfileFileTest, OurOwnTextIsNotTakenForUtf8)
{
    ProfileFile ini(path());
    ini.writeString(q("Bases"), q("п»ї"), q("1"));
    ini.flush();
    EXPECT_FALSE(ProfileFile::takenForUtf8(readBytes()));
    EXPECT_EQ(ProfileFile::open(path()).readString(q("Bases"), q("п»ї")), q("1"));
    EXPECT_TRUE(ProfileFile::takenForUtf8(q("[Bases]\r\nСеть=1\r\n").toUtf8().toStdString()));
    EXPECT_FALSE(ProfileFile::takenForUtf8(q("[Bases]\r\nНет=\u05FB\r\n").toUtf8().toStdString()));
    EXPECT_FALSE(ProfileFile::takenForUtf8("[Bases]\r\nascii=1\r\n"));
}
