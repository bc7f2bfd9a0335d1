// The data module: built-in contents, LoadBase and SaveBase, and what survives failures.
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/packet.h"
#include "support/temp_folder_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace dorvin;

namespace {

class DataModuleTest : public dorvin::test::TempFolderTest {
protected:
    static std::string fileBytes(const std::string& p)
    {
        const auto v = files::readFile(p);
        return std::string(v.begin(), v.end());
    }
    static void writeBytes(const std::string& p, const std::string& bytes)
    {
        std::ofstream(files::fromUtf8(p), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::size_t filesInDir() const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    // Adds an element of the current type with one parameter row.
    static void addElement(TDataM& dm, int group, const char* model, int elem)
    {
        ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", std::to_string(group)));
        dm.ClElemsTable.append();
        dm.ClElemsTableELEM.setInteger(elem);
        dm.ClElemsTableMODEL.setString(utf8ToCp1251(model));
        dm.ClElemsTableCENA.setMoney(120.5);
        dm.ClElemsTable.post();
        dm.ClParamsTable.append();
        dm.ClParamsTablePARAM.setInteger(1);
        dm.ClParamsTablePARNAME.setString(utf8ToCp1251("Затухание, дБ"));
        for (int k = 0; k < 96; ++k)
            dm.ClParamsTableN[k]->setFloat(1.0 + k / 8.0);
        dm.ClParamsTable.post();
    }

    // Everything the four stored tables hold, as their packets.
    static std::vector<std::vector<std::uint8_t>> snapshot(TDataM& dm)
    {
        return {dm.ClGroupsTable.saveToBytes(), dm.ClElemsTable.saveToBytes(), dm.ClParamsTable.saveToBytes(),
                dm.BaseFreqs.saveToBytes()};
    }

    static std::size_t storedRows(ClientTable& t) { return readPacket(t.saveToBytes()).rows.size(); }

    // The packet held in one blob of a base file's container row.
    static Packet blobOf(const std::string& file, const std::string& blob)
    {
        const Packet c = readPacket(files::readFile(file));
        for (std::size_t i = 0; i < c.columns.size(); ++i)
            if (c.columns[i].name == blob) {
                const auto& s = std::get<std::string>(c.rows.at(0).values[i]);
                return readPacket(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
            }
        throw Error("no blob " + blob);
    }

    // The base file built whole from the four packets, as a reference for the streamed save.
    static std::string containerBuiltWhole(TDataM& dm)
    {
        PacketWriter w({packetColumn("GROUPS", FieldKind::Blob), packetColumn("ELEMENTS", FieldKind::Blob),
                        packetColumn("PARAMS", FieldKind::Blob), packetColumn("FREQS", FieldKind::Blob)},
                       1, {liveChangeLog(1)});
        w.beginRow();
        for (const auto& p : snapshot(dm))
            w.putBytes(std::string(p.begin(), p.end()));
        const auto bytes = w.finish();
        return std::string(bytes.begin(), bytes.end());
    }
};

} // namespace

TEST_F(DataModuleTest, StartsWithTheBuiltInContents)
{
    TDataM dm;
    EXPECT_EQ(dm.currentBasePath(), "");
    EXPECT_EQ(dm.ClGroupsTable.recordCount(), 11);
    EXPECT_EQ(dm.ClElemsTable.recordCount(), 0);
    EXPECT_EQ(dm.ClParamsTable.recordCount(), 0);
    EXPECT_EQ(dm.BaseFreqs.recordCount(), 96);
    EXPECT_EQ(storedRows(dm.ParamsTemplate), 58u);
    EXPECT_TRUE(dm.BaseFile.active());
    EXPECT_EQ(storedRows(dm.BaseFile), 0u);

    // type list by name: "Абонентские розетки" comes first
    EXPECT_EQ(dm.ClGroupsTableGROUP.asInteger(), 10);
    // frequency point 1 is the lowest frequency
    EXPECT_EQ(dm.BaseFreqsNAME.asString(), "1");
    EXPECT_DOUBLE_EQ(dm.BaseFreqsFREQ.asFloat(), 49.75);
    EXPECT_TRUE(dm.BaseFreqsUSED.asBoolean());
    dm.BaseFreqs.last();
    EXPECT_DOUBLE_EQ(dm.BaseFreqsFREQ.asFloat(), 855.25);
    EXPECT_EQ(dm.BaseFreqsFREQ.displayLabel(), utf8ToCp1251("Частота, МГц"));
}

TEST_F(DataModuleTest, FieldMembersAreTheNamedFieldsInOrder)
{
    TDataM dm;
    EXPECT_EQ(&dm.ClGroupsTableGRNAME, &dm.ClGroupsTable.fieldByName("GRNAME"));
    EXPECT_EQ(&dm.ClGroupsTableB8, &dm.ClGroupsTable.fieldByName("B8"));
    EXPECT_EQ(dm.ClGroupsTableB1.size(), 1u);
    EXPECT_EQ(dm.ClGroupsTableGRNAME.size(), 30u);
    EXPECT_EQ(dm.ClParamsTableN1.index(), 4);
    EXPECT_EQ(dm.ParamsTemplateN1.index(), 5);
    for (int k = 0; k < 96; ++k) {
        EXPECT_EQ(dm.ClParamsTableN[k]->name(), "N" + std::to_string(k + 1));
        EXPECT_EQ(dm.ClParamsTableN[k]->index(), dm.ClParamsTableN1.index() + k);
        EXPECT_EQ(dm.ParamsTemplateN[k]->name(), "N" + std::to_string(k + 1));
    }
    EXPECT_EQ(dm.ClElemsTableCENA.kind(), FieldKind::Money);
    EXPECT_TRUE(dm.ClElemsTableMaxElNum.isAggregate());
    EXPECT_EQ(dm.ClElemsTableMaxElNum.asString(), "");
    EXPECT_EQ(dm.ElementsSource.dataSet(), &dm.ClElemsTable);
    EXPECT_EQ(dm.DataSource2.dataSet(), &dm.ParamsTemplate);
    EXPECT_EQ(dm.DataSource3.dataSet(), &dm.BaseFreqs);
}

TEST_F(DataModuleTest, SavedBaseLoadsBackWithItsPath)
{
    const std::string a = path("a.CBB");
    {
        TDataM dm;
        addElement(dm, 2, "УМ-34", 1);
        addElement(dm, 2, "УД-26", 2);
        dm.SaveBase(a);
        EXPECT_EQ(dm.currentBasePath(), "") << "saving never sets the current path";
    }
    TDataM dm;
    dm.LoadBase(a);
    EXPECT_EQ(dm.currentBasePath(), a);
    EXPECT_EQ(storedRows(dm.ClElemsTable), 2u);
    EXPECT_EQ(storedRows(dm.ClParamsTable), 2u);
    ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "2"));
    EXPECT_EQ(dm.ClElemsTable.recordCount(), 2);
    EXPECT_EQ(dm.ClElemsTableMaxElNum.asString(), "2");
    EXPECT_EQ(dm.ClParamsTable.recordCount(), 1);
    EXPECT_DOUBLE_EQ(dm.ClParamsTableN[95]->asFloat(), 1.0 + 95 / 8.0);
    EXPECT_EQ(storedRows(dm.ParamsTemplate), 58u) << "the template is never taken from a base";
    EXPECT_EQ(storedRows(dm.BaseFile), 0u) << "the container is empty outside load and save";
}

TEST_F(DataModuleTest, ContainerHoldsOneRowWithFourBlobsInOrder)
{
    const std::string a = path("a.CBB");
    TDataM dm;
    dm.SaveBase(a);
    const Packet c = readPacket(files::readFile(a));
    ASSERT_EQ(c.columns.size(), 4u);
    EXPECT_EQ(c.columns[0].name, "GROUPS");
    EXPECT_EQ(c.columns[1].name, "ELEMENTS");
    EXPECT_EQ(c.columns[2].name, "PARAMS");
    EXPECT_EQ(c.columns[3].name, "FREQS");
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rows[0].status, 4);
    EXPECT_EQ(blobOf(a, "GROUPS").columns.at(1).name, "GRNAME");
    EXPECT_EQ(blobOf(a, "ELEMENTS").columns.at(0).name, "GR");
    EXPECT_EQ(blobOf(a, "PARAMS").columns.size(), 100u);
    EXPECT_EQ(blobOf(a, "FREQS").rows.size(), 96u) << "saved without the history";
    EXPECT_EQ(filesInDir(), 1u) << "no temporary file is left behind";
}

TEST_F(DataModuleTest, HiddenTypeFifteenStaysHiddenAndIsSaved)
{
    const std::string a = path("a.CBB"), b = path("b.CBB");
    {
        TDataM dm;
        dm.ClGroupsTable.append();
        dm.ClGroupsTableGROUP.setInteger(15);
        dm.ClGroupsTableGRNAME.setString(utf8ToCp1251("Служебный тип"));
        dm.ClGroupsTable.post();
        EXPECT_EQ(dm.ClGroupsTable.recordCount(), 11);
        dm.SaveBase(a);
    }
    EXPECT_EQ(blobOf(a, "GROUPS").rows.size(), 12u);
    TDataM dm;
    dm.LoadBase(a);
    EXPECT_EQ(dm.ClGroupsTable.recordCount(), 11);
    EXPECT_FALSE(dm.ClGroupsTable.locate("GROUP", "15"));
    dm.SaveBase(b);
    EXPECT_EQ(blobOf(b, "GROUPS").rows.size(), 12u);
}

TEST_F(DataModuleTest, LoadingPostsTheFirstTypeRowUnchanged)
{
    const std::string a = path("a.CBB");
    std::string firstName, firstSymbol;
    {
        TDataM dm;
        dm.ClGroupsTable.first();
        firstName = dm.ClGroupsTableGRNAME.asString();
        firstSymbol = dm.ClGroupsTableB3.asBytes();
        dm.SaveBase(a);
    }
    TDataM dm;
    dm.LoadBase(a);
    EXPECT_EQ(dm.ClGroupsTable.state(), TableState::Browse);
    EXPECT_EQ(dm.ClGroupsTable.recordCount(), 11);
    dm.ClGroupsTable.first();
    EXPECT_EQ(dm.ClGroupsTableGRNAME.asString(), firstName);
    EXPECT_EQ(dm.ClGroupsTableB3.asBytes(), firstSymbol);
}

TEST_F(DataModuleTest, LoadingABaseThatShowsNoTypeAddsAnAllNullRow)
{
    const std::string a = path("a.CBB");
    {
        TDataM dm;
        while (!dm.ClGroupsTable.isEmpty())
            dm.ClGroupsTable.deleteRecord();
        dm.ClGroupsTable.append();
        dm.ClGroupsTableGROUP.setInteger(15);
        dm.ClGroupsTable.post();
        dm.SaveBase(a);
    }
    TDataM dm;
    dm.LoadBase(a);
    ASSERT_EQ(dm.ClGroupsTable.recordCount(), 1);
    for (int i = 0; i < dm.ClGroupsTable.fieldCount(); ++i)
        EXPECT_TRUE(dm.ClGroupsTable.field(i).isNull()) << dm.ClGroupsTable.field(i).name();
    EXPECT_EQ(storedRows(dm.ClGroupsTable), 2u);
}

TEST_F(DataModuleTest, SavingElsewhereKeepsTheCurrentPath)
{
    const std::string a = path("a.CBB"), b = path("b.CBB");
    TDataM dm;
    dm.SaveBase(a);
    dm.LoadBase(a);
    addElement(dm, 3, "RG-6", 1);
    dm.SaveBase(b);
    EXPECT_EQ(dm.currentBasePath(), a);
    EXPECT_EQ(blobOf(b, "ELEMENTS").rows.size(), 1u);
    EXPECT_EQ(blobOf(a, "ELEMENTS").rows.size(), 0u);
}

TEST_F(DataModuleTest, SavingDuringAParameterEditPostsAChangeAndCancelsNone)
{
    const std::string a = path("a.CBB"), b = path("b.CBB"), c = path("c.CBB");
    {
        TDataM dm;
        addElement(dm, 4, "Аттенюатор 6 дБ", 1);
        dm.SaveBase(a);
    }
    TDataM dm;
    dm.LoadBase(a);
    ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "4"));
    ASSERT_EQ(dm.ClParamsTable.recordCount(), 1);
    dm.ClParamsTable.edit();
    dm.ClParamsTableN[6]->setFloat(12.5);
    dm.SaveBase(b);
    EXPECT_EQ(dm.ClParamsTable.state(), TableState::Browse);
    EXPECT_DOUBLE_EQ(dm.ClParamsTableN[6]->asFloat(), 12.5);

    dm.ClParamsTable.edit();
    dm.SaveBase(c);
    EXPECT_EQ(dm.ClParamsTable.state(), TableState::Browse);

    TDataM other;
    other.LoadBase(b);
    ASSERT_TRUE(other.ClGroupsTable.locate("GROUP", "4"));
    EXPECT_DOUBLE_EQ(other.ClParamsTableN[6]->asFloat(), 12.5);
    EXPECT_DOUBLE_EQ(other.ClParamsTableN[5]->asFloat(), 1.0 + 5 / 8.0);
    EXPECT_EQ(fileBytes(b), fileBytes(c));
}

TEST_F(DataModuleTest, ADamagedFileChangesNothing)
{
    const std::string good = path("good.CBB"), other = path("other.CBB");
    {
        TDataM dm;
        addElement(dm, 5, "SP-2", 1);
        dm.SaveBase(good);
        addElement(dm, 6, "SP-4", 1);
        dm.SaveBase(other);
    }
    TDataM dm;
    dm.LoadBase(good);
    const auto before = snapshot(dm);
    const std::string bytes = fileBytes(other);

    std::vector<std::pair<std::string, std::string>> damaged{
        {"empty", ""},
        {"garbage", std::string(300, '\x5A')},
        {"header only", bytes.substr(0, 24)},
    };
    // Cuts through the container header, the first blob and the last blob.
    for (std::size_t cut :
         {std::size_t(100), std::size_t(400), bytes.size() / 2, bytes.size() - 30, bytes.size() - 1})
        damaged.push_back({"cut at " + std::to_string(cut), bytes.substr(0, cut)});
    {
        // a byte flipped deep inside the last table packet
        std::string flipped = bytes;
        flipped[bytes.size() - 200] = '\xFF';
        flipped[bytes.size() - 201] = '\xFF';
        damaged.push_back({"flipped", flipped});
    }
    for (const auto& [what, content] : damaged) {
        SCOPED_TRACE(what);
        const std::string p = path("bad.CBB");
        writeBytes(p, content);
        try {
            dm.LoadBase(p);
            // a flip may land in a value and leave a readable base; then it must be whole
            EXPECT_EQ(what, "flipped");
            EXPECT_EQ(dm.currentBasePath(), p);
            dm.LoadBase(good);
            continue;
        } catch (const Error& e) {
            EXPECT_STRNE(e.what(), "");
        }
        EXPECT_EQ(dm.currentBasePath(), good);
        EXPECT_EQ(snapshot(dm), before);
    }

    EXPECT_THROW(dm.LoadBase(path("missing.CBB")), Error);
    EXPECT_THROW(dm.LoadBase(dir_.string()), Error);
    EXPECT_EQ(dm.currentBasePath(), good);
    EXPECT_EQ(snapshot(dm), before);
}

TEST_F(DataModuleTest, ABaseWhoseTableLacksAFieldIsRefusedWhole)
{
    const std::string good = path("good.CBB"), bad = path("bad.CBB");
    TDataM dm;
    addElement(dm, 7, "ОТ-1-12", 1);
    dm.SaveBase(good);
    dm.LoadBase(good);
    const auto before = snapshot(dm);

    // A container whose FREQS packet lacks the USED column, the other three intact.
    const Packet container = readPacket(files::readFile(good));
    Packet freqs = blobOf(good, "FREQS");
    freqs.columns.pop_back();
    for (auto& r : freqs.rows) {
        r.fieldStatus.pop_back();
        r.values.pop_back();
    }
    freqs.tableProperties.clear();
    const auto freqBytes = writePacket(freqs);
    Packet changed = container;
    changed.rows[0].values[3] = std::string(freqBytes.begin(), freqBytes.end());
    const auto out = writePacket(changed);
    writeBytes(bad, std::string(out.begin(), out.end()));

    EXPECT_THROW(dm.LoadBase(bad), Error);
    EXPECT_EQ(dm.currentBasePath(), good);
    EXPECT_EQ(snapshot(dm), before) << "the types, elements and parameters before it stay too";
}

TEST_F(DataModuleTest, AHandlerFailingDuringLoadStillLeavesOneWholeBase)
{
    const std::string a = path("a.CBB"), b = path("b.CBB");
    TDataM dm;
    dm.SaveBase(a);
    addElement(dm, 9, "ОТ-4-16", 1);
    dm.SaveBase(b);
    dm.LoadBase(a);
    ASSERT_EQ(storedRows(dm.ClElemsTable), 0u);

    // A window's handler that cannot show the new type's symbol fails on the first move.
    bool failed = false;
    dm.ClGroupsTable.afterScroll = [&](ClientTable&) {
        if (!failed) {
            failed = true;
            throw Error("invalid metafile");
        }
    };
    EXPECT_THROW(dm.LoadBase(b), Error);
    EXPECT_TRUE(failed);
    // Every table holds the new base, under the new path: saving can never mix two bases.
    EXPECT_EQ(dm.currentBasePath(), b);
    EXPECT_EQ(storedRows(dm.ClElemsTable), 1u);
    EXPECT_EQ(storedRows(dm.ClParamsTable), 1u);
    EXPECT_EQ(dm.ClGroupsTable.state(), TableState::Browse);
}

TEST_F(DataModuleTest, AFailedSaveLeavesTheOldFileIntact)
{
    const std::string a = path("a.CBB");
    TDataM dm;
    addElement(dm, 8, "ОТ-2-12", 1);
    dm.SaveBase(a);
    const std::string old = fileBytes(a);

    // An insertion that duplicates a unique key fails when the save posts it.
    dm.ClElemsTable.append();
    dm.ClElemsTableELEM.setInteger(1);
    dm.ClElemsTableMODEL.setString(utf8ToCp1251("ОТ-2-12"));
    EXPECT_THROW(dm.SaveBase(a), Error);
    EXPECT_EQ(fileBytes(a), old);
    EXPECT_EQ(filesInDir(), 1u);
    dm.ClElemsTable.cancel();

    // A target that cannot be a file, and a folder that does not exist.
    fs::create_directories(dir_ / "folder.CBB");
    EXPECT_THROW(dm.SaveBase(path("folder.CBB")), Error);
    EXPECT_THROW(dm.SaveBase(path("no/such/folder/x.CBB")), Error);
    EXPECT_EQ(filesInDir(), 2u);
    EXPECT_EQ(fileBytes(a), old);
    EXPECT_EQ(storedRows(dm.BaseFile), 0u);

    // and the next save works
    addElement(dm, 8, "ОТ-2-20", 2);
    dm.SaveBase(a);
    EXPECT_EQ(blobOf(a, "ELEMENTS").rows.size(), 2u);
}

TEST_F(DataModuleTest, TheStreamedSaveIsTheContainerOfTheFourPackets)
{
    const std::string a = path("a.CBB");
    TDataM dm;
    addElement(dm, 8, "ОТ-2-12", 1);
    addElement(dm, 3, "Ответвитель", 1);
    dm.ClElemsTable.edit();
    dm.ClElemsTableCENA.clear(); // a null among the values
    dm.ClElemsTable.post();
    // An element being inserted is posted by the measuring that precedes the streaming.
    dm.ClElemsTable.append();
    dm.ClElemsTableELEM.setInteger(2);
    dm.ClElemsTableMODEL.setString(utf8ToCp1251("Новый"));
    dm.SaveBase(a);
    EXPECT_EQ(dm.ClElemsTable.state(), TableState::Browse);
    EXPECT_EQ(blobOf(a, "ELEMENTS").rows.size(), 3u);
    EXPECT_EQ(fileBytes(a), containerBuiltWhole(dm));
    for (ClientTable* t : {&dm.ClGroupsTable, &dm.ClElemsTable, &dm.ClParamsTable, &dm.BaseFreqs})
        EXPECT_EQ(t->packetSize(), t->saveToBytes().size()) << t->name();
}

TEST_F(DataModuleTest, AFailureWhileStreamingLeavesNoTemporaryFile)
{
    const std::string a = path("a.CBB");
    writeBytes(a, "old contents");
    const std::vector<std::uint8_t> half(300000, 0x5A);
    EXPECT_THROW(files::replaceFileStreamed(a,
                                            [&](const ByteSink& sink) {
                                                sink(half);
                                                throw Error("disk full");
                                            }),
                 Error);
    EXPECT_EQ(fileBytes(a), "old contents");
    EXPECT_EQ(filesInDir(), 1u);
    files::replaceFileStreamed(a, [&](const ByteSink& sink) {
        sink(half);
        sink(half);
    });
    EXPECT_EQ(fileBytes(a).size(), 600000u);
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(DataModuleTest, CyrillicPathsWork)
{
    const std::string p = path("Рабочая база.CBB");
    TDataM dm;
    dm.SaveBase(p);
    dm.LoadBase(p);
    EXPECT_EQ(dm.currentBasePath(), p);
    EXPECT_TRUE(fs::exists(files::fromUtf8(p)));
}

TEST_F(DataModuleTest, TwentyThousandParameterRowsSaveAndLoadBackIdentical)
{
    const std::string a = path("big.CBB"), b = path("big2.CBB");
    TDataM dm;
    ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "2"));
    for (int e = 1; e <= 400; ++e) {
        dm.ClElemsTable.append();
        dm.ClElemsTableELEM.setInteger(e);
        dm.ClElemsTableMODEL.setString("AMP-" + std::to_string(e));
        dm.ClElemsTable.post();
        for (int prm = 1; prm <= 50; ++prm) {
            dm.ClParamsTable.append();
            dm.ClParamsTablePARAM.setInteger(prm);
            dm.ClParamsTablePARNAME.setString("P" + std::to_string(prm));
            for (int k = 0; k < 96; k += (prm % 3) + 1)
                dm.ClParamsTableN[k]->setFloat(e * 0.001 + prm + k / 7.0);
            dm.ClParamsTable.post();
        }
    }
    dm.SaveBase(a);
    const auto before = snapshot(dm);
    ASSERT_EQ(readPacket(before[2]).rows.size(), 20000u);
    EXPECT_EQ(dm.ClParamsTable.packetSize(), before[2].size());
    EXPECT_EQ(fileBytes(a), containerBuiltWhole(dm));

    TDataM back;
    back.LoadBase(a);
    EXPECT_EQ(snapshot(back), before);
    back.SaveBase(b);
    EXPECT_EQ(fileBytes(a), fileBytes(b));
}
