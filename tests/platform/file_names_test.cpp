// File name cleaning, the extension rule, stored paths and shortened paths.
#include "platform/file_names.h"
#include "platform/program_dir.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace dorvin;

namespace {
QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

class ProgramDirOverride {
public:
    explicit ProgramDirOverride(const QString& dir) { setProgramDirectoryForTests(dir); }
    ~ProgramDirOverride() { setProgramDirectoryForTests(QString()); }
};
} // namespace

TEST(CleanFileName, ReplacesExactlyTheEightCharacters)
{
    EXPECT_EQ(cleanFileName(q("a/b\\c:d*e?f<g>h\"i")), q("a_b_c_d_e_f_g_h_i"));
    EXPECT_EQ(cleanFileName(q("Усилитель LX-12,Затухание, дБ.bmp")), q("Усилитель LX-12,Затухание, дБ.bmp"));
    EXPECT_EQ(cleanFileName(q("|;'[]{}%.. ")), q("|;'[]{}%.. "));
    EXPECT_EQ(cleanFileName(q("???")), q("___"));
    EXPECT_EQ(cleanFileName(QString()), QString());
}

TEST(RemoveFileExtension, DropsFromTheLastDotUnlessASeparatorFollows)
{
    EXPECT_EQ(removeFileExtension(q("Main.CBB")), q("Main"));
    EXPECT_EQ(removeFileExtension(q("Сеть 2.5(копия)")), q("Сеть 2"));
    EXPECT_EQ(removeFileExtension(q("a.b.c")), q("a.b"));
    EXPECT_EQ(removeFileExtension(q("Main")), q("Main"));
    EXPECT_EQ(removeFileExtension(q("dir.x\\Main")), q("dir.x\\Main"));
    EXPECT_EQ(removeFileExtension(q("C.x:Main")), q("C.x:Main"));
    EXPECT_EQ(removeFileExtension(q(".hidden")), QString());
    EXPECT_EQ(removeFileExtension(q("trailing.")), q("trailing"));
}

TEST(NameFromFileName, TakesTheNameWithoutDirectoryAndExtension)
{
    EXPECT_EQ(nameFromFileName(q("D:\\Data\\Main.CBB")), q("Main"));
    EXPECT_EQ(nameFromFileName(q("/home/u/Базы/Сеть 2.5.CBB")), q("Сеть 2.5"));
    EXPECT_EQ(nameFromFileName(q("/dir.d/Main")), q("Main"));
    EXPECT_EQ(nameFromFileName(q("C:Main.CBB")), q("Main"));
    EXPECT_EQ(nameFromFileName(q("Main.CBB")), q("Main"));
}

TEST(ResolveBasePath, ReplacesTheExactPrefixByTheProgramDirectory)
{
    ProgramDirOverride dir(q("/opt/dorvin"));
    EXPECT_EQ(ResolveBasePath(q("$(ProgDirectory)\\base.CBB")), q("/opt/dorvin/base.CBB"));
    EXPECT_EQ(ResolveBasePath(q("$(ProgDirectory)\\Bases\\Main.CBB")), q("/opt/dorvin/Bases/Main.CBB"));
    // Letter case counts: this is an ordinary relative path.
    EXPECT_EQ(ResolveBasePath(q("$(progdirectory)\\base.CBB")), q("$(progdirectory)/base.CBB"));
    // The prefix needs its backslash, and counts only at the start.
    EXPECT_EQ(ResolveBasePath(q("$(ProgDirectory)base.CBB")), q("$(ProgDirectory)base.CBB"));
    EXPECT_EQ(ResolveBasePath(q("$(ProgDirectory)/base.CBB")), q("$(ProgDirectory)/base.CBB"));
    EXPECT_EQ(ResolveBasePath(q("x$(ProgDirectory)\\base.CBB")), q("x$(ProgDirectory)/base.CBB"));
    EXPECT_EQ(ResolveBasePath(q("/data/Main.CBB")), q("/data/Main.CBB"));
    EXPECT_EQ(ResolveBasePath(QString()), QString());
}

TEST(ResolveBasePath, ProgramDirectoryWithATrailingSeparatorOrAtTheRoot)
{
    {
        ProgramDirOverride dir(q("/opt/dorvin/"));
        EXPECT_EQ(programDirectory(), q("/opt/dorvin"));
        EXPECT_EQ(ResolveBasePath(q("$(ProgDirectory)\\b.CBB")), q("/opt/dorvin/b.CBB"));
    }
    {
        ProgramDirOverride dir(q("/"));
        EXPECT_EQ(ResolveBasePath(q("$(ProgDirectory)\\b.CBB")), q("/b.CBB"));
    }
}

TEST(ProgramDirectory, DefaultsToTheExecutablesDirectory)
{
    setProgramDirectoryForTests(QString());
    EXPECT_FALSE(programDirectory().isEmpty());
    EXPECT_FALSE(programDirectory().endsWith(u'/'));
    EXPECT_EQ(programFile(q("Dorvin.ini")), programDirectory() + q("/Dorvin.ini"));
}

TEST(ShortenedPath, WindowsPaths)
{
    EXPECT_EQ(shortenedPath(q("C:\\Bases\\Sub\\Main.CBB")), q("C:\\..\\Sub\\Main.CBB"));
    EXPECT_EQ(shortenedPath(q("C:\\Bases\\Main.CBB")), q("C:\\..\\Bases\\Main.CBB"));
    EXPECT_EQ(shortenedPath(q("C:\\Main.CBB")), q("C:\\Main.CBB"));
    EXPECT_EQ(shortenedPath(q("Main.CBB")), q("Main.CBB"));
    EXPECT_EQ(shortenedPath(q("C:\\a\\b\\c\\d\\Main.CBB")), q("C:\\..\\d\\Main.CBB"));
    // Without a drive the rule still applies: the first part is dropped.
    EXPECT_EQ(shortenedPath(q("Bases\\Sub\\Main.CBB")), q("\\..\\Sub\\Main.CBB"));
    EXPECT_EQ(shortenedPath(q("Sub\\Main.CBB")), q("Sub\\Main.CBB"));
    EXPECT_EQ(shortenedPath(QString()), QString());
    EXPECT_EQ(shortenedPath(q("C:")), q("C:"));
}

TEST(ShortenedPath, NetworkPathsKeepServerAndShare)
{
    EXPECT_EQ(shortenedPath(q("\\\\srv\\share\\Bases\\Sub\\Main.CBB")),
              q("\\\\srv\\share\\..\\Sub\\Main.CBB"));
    EXPECT_EQ(shortenedPath(q("\\\\srv\\share\\Main.CBB")), q("\\\\srv\\share\\Main.CBB"));
    EXPECT_EQ(shortenedPath(q("\\\\srv\\share")), q("\\\\srv\\share"));
    EXPECT_EQ(shortenedPath(q("\\\\srv")), q("\\\\srv"));
}

TEST(ShortenedPath, LinuxPathsKeepTheRoot)
{
    EXPECT_EQ(shortenedPath(q("/home/u/Базы/Main.CBB")), q("/../Базы/Main.CBB"));
    EXPECT_EQ(shortenedPath(q("/bases/Main.CBB")), q("/../bases/Main.CBB"));
    EXPECT_EQ(shortenedPath(q("/Main.CBB")), q("/Main.CBB"));
    EXPECT_EQ(shortenedPath(q("C:/Bases/Sub/Main.CBB")), q("C:/../Sub/Main.CBB"));
}
