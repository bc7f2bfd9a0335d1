// Copies of an open base taken in slices (for recovery), and restoring a base from one.
#include "storage/client_table.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/data_module_snapshot.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "support/temp_folder_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace dorvin;

namespace {

class BaseSnapshotTest : public dorvin::test::TempFolderTest {
protected:
    static std::string bytesOf(const std::string& p)
    {
        const auto v = files::readFile(p);
        return std::string(v.begin(), v.end());
    }
    // Adds an element with one parameter row to the first type.
    static void addElement(TDataM& dm, const char* model, int elem, double value)
    {
        dm.ClGroupsTable.first();
        dm.ClElemsTable.append();
        dm.ClElemsTableELEM.setInteger(elem);
        dm.ClElemsTableMODEL.setString(model);
        dm.ClElemsTable.post();
        dm.ClParamsTable.append();
        dm.ClParamsTablePARAM.setInteger(1);
        dm.ClParamsTablePARNAME.setString(utf8ToCp1251("Затухание, дБ"));
        for (int k = 0; k < 96; ++k)
            dm.ClParamsTableN[k]->setFloat(value + k);
        dm.ClParamsTable.post();
    }
    static std::string modelOf(TDataM& dm, const std::string& model)
    {
        dm.ClGroupsTable.first();
        return dm.ClElemsTable.locate("MODEL", model) ? dm.ClElemsTableMODEL.asString() : std::string();
    }
};

TEST_F(BaseSnapshotTest, CopyInOneRowSlicesIsTheFileSaveBaseWrites)
{
    TDataM dm;
    for (int i = 1; i <= 30; ++i)
        addElement(dm, ("M" + std::to_string(i)).c_str(), i, i * 0.5);
    dm.SaveBase(path("saved.CBB"));

    BaseSnapshot snap(dm);
    int slices = 0;
    while (!snap.encode(1))
        ++slices;
    EXPECT_GT(slices, 60); // every row of every table took a slice of its own
    snap.writeFile(path("copy.CBB"));
    EXPECT_EQ(bytesOf(path("copy.CBB")), bytesOf(path("saved.CBB")));
    // The four table packets are the file but for the container around them.
    EXPECT_LT(bytesOf(path("saved.CBB")).size() - snap.size(), 1000u);
}

TEST_F(BaseSnapshotTest, PendingEditIsLeftAloneAndNotCopied)
{
    TDataM dm;
    addElement(dm, "Posted", 1, 1.0);
    dm.SaveBase(path("base.CBB"));
    dm.LoadBase(path("base.CBB"));
    dm.ClGroupsTable.first();
    ASSERT_TRUE(dm.ClElemsTable.locate("MODEL", "Posted"));
    dm.ClElemsTable.edit();
    dm.ClElemsTableMODEL.setString("Typing");

    BaseSnapshot snap(dm);
    while (!snap.encode(1000)) {}
    snap.writeFile(path("copy.CBB"));

    // The edit goes on as it was, and the base keeps its path.
    EXPECT_EQ(dm.ClElemsTable.state(), TableState::Edit);
    EXPECT_EQ(dm.ClElemsTableMODEL.asString(), "Typing");
    EXPECT_EQ(dm.currentBasePath(), path("base.CBB"));
    EXPECT_FALSE(snap.stale());
    TDataM copy;
    copy.LoadBase(path("copy.CBB"));
    EXPECT_EQ(modelOf(copy, "Posted"), "Posted");
    EXPECT_EQ(modelOf(copy, "Typing"), "");
}

TEST_F(BaseSnapshotTest, PostsDeletionsAndLoadsMakeACopyStaleNavigationDoesNot)
{
    TDataM dm;
    addElement(dm, "A", 1, 1.0);
    addElement(dm, "B", 2, 2.0);
    dm.SaveBase(path("base.CBB"));

    auto fresh = [&] { return std::make_unique<BaseSnapshot>(dm); };
    auto snap = fresh();
    dm.ClGroupsTable.first();
    dm.ClElemsTable.first();
    dm.ClElemsTable.next();
    dm.ClElemsTable.edit();
    dm.ClElemsTableMODEL.setString("changed");
    dm.ClElemsTable.cancel();
    EXPECT_FALSE(snap->stale()) << "moving and a cancelled edit change no row";

    dm.ClParamsTable.edit();
    dm.ClParamsTableN[4]->setFloat(99);
    dm.ClParamsTable.post();
    EXPECT_TRUE(snap->stale());

    snap = fresh();
    dm.ClElemsTable.deleteRecord();
    EXPECT_TRUE(snap->stale());

    snap = fresh();
    dm.BaseFreqs.first();
    dm.BaseFreqs.edit();
    dm.BaseFreqsNAME.setString("K1");
    dm.BaseFreqs.post();
    EXPECT_TRUE(snap->stale());

    snap = fresh();
    dm.LoadBase(path("base.CBB"));
    EXPECT_TRUE(snap->stale());
}

TEST_F(BaseSnapshotTest, RowsChangedBetweenSlicesNeverGiveAFileOfAnotherShape)
{
    TDataM dm;
    for (int i = 1; i <= 10; ++i)
        addElement(dm, ("M" + std::to_string(i)).c_str(), i, i);
    BaseSnapshot snap(dm);
    snap.encode(3);
    // Every element row but one goes while the copy is half done.
    dm.ClGroupsTable.first();
    while (dm.ClElemsTable.recordCount() > 1)
        dm.ClElemsTable.deleteRecord();
    EXPECT_TRUE(snap.stale());
    // Encoding on stops with an error instead of reading past the rows or claiming a copy
    // it does not have.
    EXPECT_THROW(
        {
            while (!snap.encode(5)) {}
        },
        Error);
    EXPECT_FALSE(snap.complete());
    EXPECT_THROW(snap.writeFile(path("copy.CBB")), Error);
    EXPECT_FALSE(fs::exists(path("copy.CBB")));
}

TEST_F(BaseSnapshotTest, AnUnfinishedCopyIsNeverWritten)
{
    TDataM dm;
    addElement(dm, "A", 1, 1.0);
    BaseSnapshot snap(dm);
    EXPECT_FALSE(snap.encode(1));
    EXPECT_THROW(snap.writeFile(path("copy.CBB")), Error);
    EXPECT_FALSE(fs::exists(path("copy.CBB")));
}

TEST_F(BaseSnapshotTest, RestoreBaseTakesTheCopysRowsUnderTheBasesPath)
{
    TDataM dm;
    addElement(dm, "Original", 1, 1.0);
    dm.SaveBase(path("base.CBB"));
    const std::string original = bytesOf(path("base.CBB"));
    dm.LoadBase(path("base.CBB"));
    addElement(dm, "Unsaved", 2, 5.0);
    BaseSnapshot snap(dm);
    while (!snap.encode(100)) {}
    snap.writeFile(path("copy.CBB"));

    TDataM other;
    other.RestoreBase(path("copy.CBB"), path("base.CBB"));
    EXPECT_EQ(other.currentBasePath(), path("base.CBB"));
    EXPECT_EQ(modelOf(other, "Unsaved"), "Unsaved");
    EXPECT_EQ(bytesOf(path("base.CBB")), original) << "restoring writes nothing";
    other.SaveBase(other.currentBasePath());
    TDataM reread;
    reread.LoadBase(path("base.CBB"));
    EXPECT_EQ(modelOf(reread, "Unsaved"), "Unsaved");
}

TEST_F(BaseSnapshotTest, DamagedCopyRestoresNothing)
{
    TDataM dm;
    addElement(dm, "Original", 1, 1.0);
    dm.SaveBase(path("base.CBB"));
    dm.LoadBase(path("base.CBB"));
    std::string damaged = bytesOf(path("base.CBB"));
    damaged.resize(damaged.size() / 2);
    std::ofstream(files::fromUtf8(path("copy.CBB")), std::ios::binary) << damaged;

    EXPECT_THROW(dm.RestoreBase(path("copy.CBB"), path("other.CBB")), Error);
    EXPECT_EQ(dm.currentBasePath(), path("base.CBB"));
    EXPECT_EQ(modelOf(dm, "Original"), "Original");
}

TEST_F(BaseSnapshotTest, SameContentsComparesBytes)
{
    std::ofstream(files::fromUtf8(path("a")), std::ios::binary) << std::string(200000, 'x');
    std::ofstream(files::fromUtf8(path("b")), std::ios::binary) << std::string(200000, 'x');
    std::ofstream(files::fromUtf8(path("c")), std::ios::binary) << std::string(199999, 'x') + "y";
    std::ofstream(files::fromUtf8(path("e")), std::ios::binary);
    std::ofstream(files::fromUtf8(path("f")), std::ios::binary);
    EXPECT_TRUE(files::sameContents(path("a"), path("b")));
    EXPECT_FALSE(files::sameContents(path("a"), path("c")));
    EXPECT_FALSE(files::sameContents(path("a"), path("missing")));
    EXPECT_TRUE(files::sameContents(path("e"), path("f")));
    EXPECT_FALSE(files::sameContents(path("e"), path("a")));
}

} // namespace
