#include "storage/client_table.h"
#include "storage/error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace dorvin;

namespace {

std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "<no error>";
}

void declareGroups(ClientTable& t)
{
    t.addField({"GROUP", FieldKind::SmallInt, 0, 4});
    t.addField({"GRNAME", FieldKind::String, 30, 30});
    t.addField({"B1", FieldKind::Blob, 1, 10});
    t.addIndex({"ByGRP", "GRNAME;GROUP", true, true});
    t.setIndexName("ByGRP");
    t.setFilter("GROUP <> 15");
    t.setFiltered(true);
}

void declareElems(ClientTable& t)
{
    t.addField({"GR", FieldKind::SmallInt, 0});
    t.addField({"ELEM", FieldKind::Integer, 0});
    t.addField({"MODEL", FieldKind::String, 50});
    t.addField({"CENA", FieldKind::Money, 0});
    t.addField({"CODE", FieldKind::String, 10});
    t.addIndex({"ByGrElem", "GR;MODEL;ELEM", true, true});
    t.setIndexFieldNames("GR;MODEL");
    t.addAggregate("MaxElNum", "Max(ELEM)");
}

void declareParams(ClientTable& t)
{
    t.addField({"GROUP", FieldKind::SmallInt, 0});
    t.addField({"ELEM", FieldKind::Integer, 0});
    t.addField({"PARAM", FieldKind::SmallInt, 0});
    t.addField({"PARNAME", FieldKind::String, 30});
    for (int k = 1; k <= 96; ++k)
        t.addField({"N" + std::to_string(k), FieldKind::Float});
    t.setIndexFieldNames("GROUP;ELEM;PARAM");
}

void addGroup(ClientTable& t, int group, const std::string& name)
{
    t.append();
    t.fieldByName("GROUP").setInteger(group);
    t.fieldByName("GRNAME").setString(name);
    t.post();
}

void addElem(ClientTable& t, int gr, int elem, const std::string& model)
{
    t.append();
    t.fieldByName("GR").setInteger(gr);
    t.fieldByName("ELEM").setInteger(elem);
    t.fieldByName("MODEL").setString(model);
    t.post();
}

std::vector<std::string> column(ClientTable& t, const std::string& name)
{
    std::vector<std::string> out;
    const Field& f = t.fieldByName(name);
    for (int i = 0; i < t.recordCount(); ++i)
        out.push_back(t.textAt(i, f));
    return out;
}

// Three linked tables like those of a base: types -> elements -> parameters.
struct Base {
    ClientTable groups{"ClGroupsTable"}, elems{"ClElemsTable"}, params{"ClParamsTable"};
    DataSource groupsSource{"GroupsSource", &groups}, elementsSource{"ElementsSource", &elems};
    Base()
    {
        declareGroups(groups);
        declareElems(elems);
        declareParams(params);
        elems.setMasterLink(&groupsSource, "GROUP", "GR");
        params.setMasterLink(&elementsSource, "GR;ELEM", "GROUP;ELEM");
        groups.open();
        elems.open();
        params.open();
    }
};

} // namespace

// ---------------------------------------------------------------- load and save

TEST(ClientTableLoad, SaveAndLoadRoundTripEveryKindAndHiddenRows)
{
    Base b;
    addGroup(b.groups, 2, "Amplifiers");
    addGroup(b.groups, 15, "Hidden");
    addGroup(b.groups, 1, "Sources");
    EXPECT_EQ(b.groups.recordCount(), 2); // 15 is filtered out
    b.groups.edit();
    {
        BlobWriter w(b.groups.fieldByName("B1"));
        w.write(std::string("\x00\x01\xFF", 3));
    }
    b.groups.post();

    const auto bytes = b.groups.saveToBytes();
    ClientTable copy("copy");
    declareGroups(copy);
    copy.setFiltered(false);
    copy.loadFromBytes(bytes);
    EXPECT_EQ(copy.recordCount(), 3);
    EXPECT_EQ(column(copy, "GRNAME"), (std::vector<std::string>{"Amplifiers", "Hidden", "Sources"}));
    EXPECT_EQ(copy.saveToBytes(), bytes);

    // Money, integers and nulls.
    addElem(b.elems, 1, 70000, "FA-200");
    b.elems.edit();
    b.elems.fieldByName("CENA").setMoney(12.25);
    b.elems.post();
    ClientTable e2("e2");
    declareElems(e2);
    e2.loadFromBytes(b.elems.saveToBytes());
    EXPECT_EQ(e2.fieldByName("ELEM").asInteger(), 70000);
    EXPECT_EQ(e2.fieldByName("CENA").asMoney(), 12.25);
    EXPECT_TRUE(e2.fieldByName("CODE").isNull());
    EXPECT_EQ(e2.fieldByName("CODE").asString(), "");
    EXPECT_EQ(e2.fieldByName("CODE").asInteger(), 0);
}

TEST(ClientTableLoad, MismatchedColumnsFailAndChangeNothing)
{
    ClientTable src("src");
    src.addField({"GROUP", FieldKind::Integer, 0}); // declared elsewhere as a small integer
    src.addField({"GRNAME", FieldKind::String, 20});
    src.addField({"B1", FieldKind::Blob, 1});
    src.open();
    const auto wrongType = src.saveToBytes();

    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 3, "Cable");
    EXPECT_EQ(errorOf([&] { t.loadFromBytes(wrongType); }).rfind("Несовпадение типа поля 'GROUP'", 0), 0u);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.fieldByName("GRNAME").asString(), "Cable");

    ClientTable src2("src2");
    src2.addField({"GROUP", FieldKind::SmallInt, 0});
    src2.addField({"GRNAME", FieldKind::String, 20});
    src2.addField({"B1", FieldKind::Blob, 1});
    src2.open();
    EXPECT_EQ(
        errorOf([&] { t.loadFromBytes(src2.saveToBytes()); }).rfind("Несовпадение размера поля 'GRNAME'", 0),
        0u);

    ClientTable src3("src3");
    src3.addField({"GROUP", FieldKind::SmallInt, 0});
    src3.addField({"GRNAME", FieldKind::String, 30});
    src3.open();
    EXPECT_EQ(errorOf([&] { t.loadFromBytes(src3.saveToBytes()); }), "Field 'B1' not found");

    const std::vector<std::uint8_t> garbage = {1, 2, 3};
    EXPECT_THROW(t.loadFromBytes(garbage), Error);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.state(), TableState::Browse);
}

TEST(ClientTableLoad, HistoryPacketYieldsLiveRowsAndEmptyStatusReadsAsNull)
{
    Packet p;
    p.columns = {packetColumn("NAME", FieldKind::String, 5), packetColumn("FREQ", FieldKind::Float),
                 packetColumn("USED", FieldKind::Boolean)};
    p.rows.push_back({4, {0, 0, 0}, {std::string("1"), 49.75, true}});
    p.rows.push_back({6, {0, 0, 0}, {std::string("1r"), 1.0, true}});
    p.rows.push_back({5, {0, 2, 2}, {std::string("4r"), {}, {}}});
    p.rows.push_back({12, {0, 2, 0}, {std::string("4r"), {}, true}});
    ClientTable t("BaseFreqs");
    t.addField({"NAME", FieldKind::String, 5});
    t.addField({"FREQ", FieldKind::Float, 0});
    t.addField({"USED", FieldKind::Boolean, 0});
    t.loadFromBytes(writePacket(p));
    ASSERT_EQ(t.recordCount(), 2);
    t.last();
    EXPECT_EQ(t.fieldByName("NAME").asString(), "4r");
    EXPECT_TRUE(t.fieldByName("FREQ").isNull());
    EXPECT_EQ(t.fieldByName("FREQ").asFloat(), 0.0);
    EXPECT_TRUE(t.fieldByName("USED").asBoolean());
}

TEST(ClientTableLoad, ColumnsTheTableDoesNotDeclareAreKept)
{
    ClientTable wide("wide");
    wide.addField({"A", FieldKind::Integer, 0});
    wide.addField({"EXTRA", FieldKind::String, 8});
    wide.open();
    wide.append();
    wide.fieldByName("A").setInteger(1);
    wide.fieldByName("EXTRA").setString("keep me");
    wide.post();
    const auto bytes = wide.saveToBytes();
    ClientTable narrow("narrow");
    narrow.addField({"A", FieldKind::Integer, 0});
    narrow.loadFromBytes(bytes);
    EXPECT_EQ(narrow.fieldByName("EXTRA").asString(), "keep me");
    EXPECT_EQ(narrow.saveToBytes(), bytes);
}

TEST(ClientTableLoad, LargeTableWithoutRoomForAChangeLogRoundTrips)
{
    ClientTable t("params");
    declareParams(t);
    t.open();
    for (int i = 0; i < 20000; ++i) {
        t.append();
        t.field(0).setInteger(i % 30);
        t.field(1).setInteger(i);
        t.field(2).setInteger(1);
        t.field(3).setString("p" + std::to_string(i));
        t.field(4 + i % 96).setFloat(i * 0.125);
        t.post();
    }
    const auto bytes = t.saveToBytes();
    PacketReader r(bytes);
    EXPECT_TRUE(r.tableProperties().empty());
    EXPECT_EQ(bytes[22] | (bytes[23] << 8), static_cast<int>(r.rowsOffset()));

    ClientTable back("back");
    declareParams(back);
    back.loadFromBytes(bytes);
    EXPECT_EQ(back.recordCount(), 20000);
    EXPECT_EQ(back.saveToBytes(), bytes);
    ASSERT_TRUE(back.locate("ELEM", "12345"));
    EXPECT_EQ(back.fieldByName("N" + std::to_string(1 + 12345 % 96)).asFloat(), 12345 * 0.125);
}

// Rows are encoded in batches bounded by a row count and by bytes: long runs of rows,
// deleted rows between them and blobs large enough to end a batch early must all come
// back in place.
TEST(ClientTableLoad, RowsWithLargeBlobsAndGapsRoundTripWhateverTheBatches)
{
    auto blobOf = [](int i) {
        const std::size_t n = i % 97 == 0 ? 300000 + i : std::size_t(i % 5);
        std::string b(n, '\0');
        for (std::size_t k = 0; k < n; ++k)
            b[k] = static_cast<char>((k * 31 + i) & 0xFF);
        return b;
    };
    ClientTable t("groups");
    declareGroups(t);
    t.setFiltered(false);
    t.open();
    for (int i = 1; i <= 1300; ++i) {
        t.append();
        t.fieldByName("GROUP").setInteger(i);
        char name[8];
        std::snprintf(name, sizeof name, "g%04d", i);
        t.fieldByName("GRNAME").setString(name);
        if (i % 7 != 0)
            t.fieldByName("B1").setBytes(blobOf(i));
        t.post();
    }
    int deleted = 0;
    for (int i = 3; i <= 1300; i += 11, ++deleted) {
        ASSERT_TRUE(t.locate("GROUP", std::to_string(i)));
        t.deleteRecord();
    }
    const auto bytes = t.saveToBytes();

    ClientTable back("back");
    declareGroups(back);
    back.setFiltered(false);
    back.loadFromBytes(bytes);
    EXPECT_EQ(back.recordCount(), 1300 - deleted);
    int seen = 0;
    for (back.first(); !back.eof(); back.next()) {
        const int i = static_cast<int>(back.fieldByName("GROUP").asInteger());
        ASSERT_NE(i % 11, 3) << "deleted row " << i << " came back";
        if (i % 7 == 0)
            EXPECT_TRUE(back.fieldByName("B1").isNull()) << i;
        else
            EXPECT_EQ(back.fieldByName("B1").asBytes(), blobOf(i)) << i;
        ++seen;
    }
    EXPECT_EQ(seen, 1300 - deleted);
    EXPECT_EQ(back.saveToBytes(), bytes);
}
// Numbers of every kind between texts, over several batches of rows: columns that are
// never null, columns with scattered nulls, and one whose only nulls are in deleted rows.
TEST(ClientTableLoad, NumberColumnsOfEveryKindKeepTheirCellsAndNullsOverManyBatches)
{
    auto declare = [](ClientTable& t) {
        t.addField({"K", FieldKind::Integer});
        t.addField({"S", FieldKind::SmallInt});
        t.addField({"T", FieldKind::String, 20});
        t.addField({"F1", FieldKind::Float});
        t.addField({"F2", FieldKind::Float});
        t.addField({"B", FieldKind::Boolean});
        t.addField({"M", FieldKind::Money});
        t.addField({"F3", FieldKind::Float});
        t.addField({"U", FieldKind::String, 5});
        t.addField({"F4", FieldKind::Float});
        t.setIndexFieldNames("K");
    };
    const auto f3Null = [](int i) { return i % 5 == 0; };
    const auto sNull = [](int i) { return i % 3 == 0; };
    const auto deletedRow = [](int i) { return i % 13 == 4; };
    ClientTable t("mixed");
    declare(t);
    t.open();
    constexpr int rows = 700;
    for (int i = 1; i <= rows; ++i) {
        t.append();
        t.fieldByName("K").setInteger(100000 + i);
        if (!sNull(i))
            t.fieldByName("S").setInteger(i % 2 ? -i : i);
        t.fieldByName("T").setString("r" + std::to_string(i));
        t.fieldByName("F1").setFloat(i * 0.25);
        t.fieldByName("F2").setFloat(-1e300 / i);
        if (!deletedRow(i))
            t.fieldByName("B").setBoolean(i % 4 == 1);
        t.fieldByName("M").setMoney(i * 1.5);
        if (!f3Null(i))
            t.fieldByName("F3").setFloat(i + 0.125);
        t.fieldByName("F4").setFloat(double(i) * i);
        t.post();
    }
    int deleted = 0;
    for (int i = 1; i <= rows; ++i)
        if (deletedRow(i)) {
            ASSERT_TRUE(t.locate("K", std::to_string(100000 + i)));
            t.deleteRecord();
            ++deleted;
        }
    const auto bytes = t.saveToBytes();

    ClientTable back("back");
    declare(back);
    back.loadFromBytes(bytes);
    ASSERT_EQ(back.recordCount(), rows - deleted);
    int seen = 0;
    for (back.first(); !back.eof(); back.next(), ++seen) {
        const int i = static_cast<int>(back.fieldByName("K").asInteger()) - 100000;
        SCOPED_TRACE(i);
        ASSERT_FALSE(deletedRow(i));
        EXPECT_EQ(back.fieldByName("S").isNull(), sNull(i));
        if (!sNull(i)) {
            EXPECT_EQ(back.fieldByName("S").asInteger(), i % 2 ? -i : i);
        }
        EXPECT_EQ(back.fieldByName("T").asString(), "r" + std::to_string(i));
        EXPECT_EQ(back.fieldByName("F1").asFloat(), i * 0.25);
        EXPECT_EQ(back.fieldByName("F2").asFloat(), -1e300 / i);
        EXPECT_FALSE(back.fieldByName("B").isNull());
        EXPECT_EQ(back.fieldByName("B").asBoolean(), i % 4 == 1);
        EXPECT_EQ(back.fieldByName("M").asMoney(), i * 1.5);
        EXPECT_EQ(back.fieldByName("F3").isNull(), f3Null(i));
        if (!f3Null(i)) {
            EXPECT_EQ(back.fieldByName("F3").asFloat(), i + 0.125);
        }
        EXPECT_TRUE(back.fieldByName("U").isNull());
        EXPECT_EQ(back.fieldByName("F4").asFloat(), double(i) * i);
    }
    EXPECT_EQ(seen, rows - deleted);
    EXPECT_EQ(back.saveToBytes(), bytes);
    EXPECT_EQ(back.packetSize(), bytes.size());
}

TEST(ClientTableLoad, FilesAreWrittenAndReadAndMissingFilesFail)
{
    const auto dir = std::filesystem::temp_directory_path() / "dorvin_ct_test";
    std::filesystem::create_directories(dir);
    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 4, "Attenuators");
    t.saveToFile(dir / "g.cds");
    ClientTable u("u");
    declareGroups(u);
    u.loadFromFile(dir / "g.cds");
    EXPECT_EQ(u.fieldByName("GROUP").asInteger(), 4);
    EXPECT_THROW(u.loadFromFile(dir / "missing.cds"), Error);
    EXPECT_EQ(u.recordCount(), 1);
    std::filesystem::remove_all(dir);
}

// ---------------------------------------------------------------- navigation and states

TEST(ClientTableNavigation, FlagsRecordNumbersAndLocate)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    EXPECT_TRUE(t.bof());
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 0);
    addGroup(t, 1, "b");
    addGroup(t, 2, "a");
    addGroup(t, 3, "C");
    t.first();
    EXPECT_TRUE(t.bof());
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.fieldByName("GRNAME").asString(), "a"); // active order: by name, letter case folded
    int visited = 0;
    while (!t.eof()) {
        ++visited;
        t.next();
    }
    EXPECT_EQ(visited, 3);
    EXPECT_EQ(t.recNo(), 3);
    t.prior();
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.recNo(), 2);
    t.setRecNo(99);
    EXPECT_EQ(t.recNo(), 3);

    EXPECT_FALSE(t.locate("GRNAME", "c")); // case-sensitive
    EXPECT_EQ(t.recNo(), 3);
    EXPECT_TRUE(t.locate("GRNAME", "b"));
    EXPECT_EQ(t.fieldByName("GROUP").asInteger(), 1);
    EXPECT_TRUE(t.locate("GROUP", "2"));
    EXPECT_EQ(t.fieldByName("GRNAME").asString(), "a");
    EXPECT_EQ(errorOf([&] { t.locate("NOPE", "1"); }), "Field 'NOPE' not found");
}

TEST(ClientTableStates, ExactErrorTextsForClosedEmptyAndBrowse)
{
    ClientTable t("t");
    declareGroups(t);
    EXPECT_EQ(errorOf([&] { t.first(); }), "Cannot perform this operation on a closed dataset");
    EXPECT_EQ(errorOf([&] { t.saveToBytes(); }), "Cannot perform this operation on a closed dataset");
    EXPECT_EQ(errorOf([&] { t.emptyTable(); }), "Cannot perform this operation on a closed dataset");
    t.open();
    EXPECT_EQ(errorOf([&] { t.deleteRecord(); }), "Cannot perform this operation on an empty dataset");
    EXPECT_EQ(errorOf([&] { t.fieldByName("GRNAME").setString("x"); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(errorOf([&] { BlobWriter w(t.fieldByName("B1")); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(errorOf([&] { t.fieldByName("MISSING"); }), "Field 'MISSING' not found");
    EXPECT_EQ(errorOf([&] { t.field(7); }).find("out of range") != std::string::npos, true);
}

TEST(ClientTableStates, EditOnEmptyInsertsAndCancelAndDeleteRestore)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    t.edit(); // nothing shown: an insertion
    EXPECT_EQ(t.state(), TableState::Insert);
    EXPECT_EQ(t.recordCount(), 1);
    t.post(); // unchanged, yet stored: a row of nulls
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_TRUE(t.fieldByName("GROUP").isNull());

    t.edit();
    t.fieldByName("GRNAME").setString("changed");
    t.cancel();
    EXPECT_TRUE(t.fieldByName("GRNAME").isNull());

    t.insert();
    t.fieldByName("GRNAME").setString("new");
    t.deleteRecord(); // in insert state: a cancel
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(t.recordCount(), 1);

    t.edit();
    t.fieldByName("GRNAME").setString(std::string(40, 'x')); // cut to the declared size
    EXPECT_EQ(t.fieldByName("GRNAME").asString().size(), 30u);
    t.deleteRecord();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(t.state(), TableState::Browse);
}

TEST(ClientTableStates, ValuesAreCheckedAgainstTheFieldKind)
{
    ClientTable t("t");
    declareElems(t);
    t.open();
    t.append();
    EXPECT_THROW(t.fieldByName("GR").setInteger(40000), Error);
    EXPECT_THROW(t.fieldByName("ELEM").setString("12x"), Error);
    EXPECT_THROW(t.fieldByName("CENA").setString("abc"), Error);
    t.fieldByName("CENA").setString("12,5");
    EXPECT_EQ(t.fieldByName("CENA").asFloat(), 12.5);
    t.fieldByName("ELEM").setString(" 42 ");
    EXPECT_EQ(t.fieldByName("ELEM").asString(), "42");
    t.fieldByName("ELEM").setString("");
    EXPECT_TRUE(t.fieldByName("ELEM").isNull());
    EXPECT_THROW(t.fieldByName("MaxElNum").setInteger(3), Error);
}

TEST(ClientTableStates, SaveEndsAPendingEditPostingOnlyChangedRows)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 1, "one");
    t.insert(); // unchanged: cancelled by the save
    auto bytes = t.saveToBytes();
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(PacketReader(bytes).rowCount(), 1u);
    t.edit();
    t.fieldByName("GRNAME").setString("uno");
    bytes = t.saveToBytes();
    EXPECT_EQ(t.state(), TableState::Browse);
    ClientTable u("u");
    declareGroups(u);
    u.loadFromBytes(bytes);
    EXPECT_EQ(u.fieldByName("GRNAME").asString(), "uno");
}

TEST(ClientTableStates, UniqueIndexRejectsDuplicateKeysAndKeepsTheEdit)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 1, "same");
    t.append();
    t.fieldByName("GROUP").setInteger(1);
    t.fieldByName("GRNAME").setString("same");
    const std::string err = errorOf([&] { t.post(); });
    EXPECT_NE(err.find("ByGRP"), std::string::npos) << err;
    EXPECT_EQ(t.state(), TableState::Insert);
    EXPECT_EQ(t.fieldByName("GRNAME").asString(), "same");
    t.fieldByName("GROUP").setInteger(2);
    t.post();
    EXPECT_EQ(t.recordCount(), 2);
    // Editing a row without changing its key does not collide with itself.
    t.edit();
    t.post();
    // Changing another row's key into an existing one does.
    t.first();
    t.edit();
    t.fieldByName("GROUP").setInteger(2);
    EXPECT_THROW(t.post(), Error);
    EXPECT_EQ(t.state(), TableState::Edit);
    t.cancel();
    EXPECT_EQ(column(t, "GROUP"), (std::vector<std::string>{"1", "2"}));
}

TEST(ClientTableStates, BlobStreamsReplaceBytesOnClose)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    t.append();
    BlobWriter w(t.fieldByName("B1"));
    w.write(std::string("abc"));
    EXPECT_TRUE(t.fieldByName("B1").isNull()); // nothing stored before close
    w.write(std::string(1000, '\0'));
    w.close();
    t.post();
    BlobReader r(t.fieldByName("B1"));
    EXPECT_EQ(r.size(), 1003u);
    char buf[4] = {};
    EXPECT_EQ(r.read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "abc");
    t.edit();
    {
        BlobWriter shorter(t.fieldByName("B1"));
        shorter.write(std::string("z"));
    }
    EXPECT_EQ(t.fieldByName("B1").asBytes(), "z");
    BlobWriter late(t.fieldByName("B1"));
    t.cancel();
    EXPECT_EQ(errorOf([&] { late.close(); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(t.fieldByName("B1").asBytes().size(), 1003u);
}

// ---------------------------------------------------------------- filter, master links, aggregate

TEST(ClientTableFilter, FilteredRowsStayInTheTableAndTextMayBeAnythingWhileOff)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 15, "fifteen");
    addGroup(t, 7, "seven");
    EXPECT_EQ(column(t, "GROUP"), (std::vector<std::string>{"7"}));
    t.setFiltered(false);
    EXPECT_EQ(t.recordCount(), 2);
    t.setFilter("C:\\bases\\some base.CBB"); // not applied
    EXPECT_EQ(t.filter(), "C:\\bases\\some base.CBB");
    EXPECT_THROW(t.setFiltered(true), Error);
    EXPECT_FALSE(t.filtered());
    t.setFilter("GROUP = 15");
    t.setFiltered(true);
    EXPECT_EQ(column(t, "GROUP"), (std::vector<std::string>{"15"}));
}

TEST(ClientTableMaster, DetailShowsTheMastersRangeAndNewRowsReceiveItsKey)
{
    Base b;
    addGroup(b.groups, 1, "A");
    addGroup(b.groups, 2, "B");
    b.groups.first(); // type 1
    addElem(b.elems, 1, 1, "x1");
    // Elements of type 2, added while it is the current type.
    b.groups.next();
    addElem(b.elems, 2, 1, "y1");
    addElem(b.elems, 2, 2, "y0");
    EXPECT_EQ(column(b.elems, "MODEL"), (std::vector<std::string>{"y0", "y1"}));
    b.groups.first();
    EXPECT_EQ(column(b.elems, "MODEL"), (std::vector<std::string>{"x1"}));

    b.elems.append();
    EXPECT_EQ(b.elems.fieldByName("GR").asInteger(), 1); // the master's GROUP
    EXPECT_FALSE(b.elems.modified());
    b.elems.fieldByName("ELEM").setInteger(2);
    b.elems.fieldByName("MODEL").setString("x0");
    b.elems.post();
    EXPECT_EQ(column(b.elems, "MODEL"), (std::vector<std::string>{"x0", "x1"}));
    EXPECT_EQ(b.elems.fieldByName("MODEL").asString(), "x0");

    // Parameters follow the current element through both links.
    b.params.append();
    EXPECT_EQ(b.params.fieldByName("GROUP").asInteger(), 1);
    EXPECT_EQ(b.params.fieldByName("ELEM").asInteger(), 2);
    b.params.fieldByName("PARAM").setInteger(1);
    b.params.post();
    b.elems.next();
    EXPECT_EQ(b.params.recordCount(), 0);
    b.elems.prior();
    EXPECT_EQ(b.params.recordCount(), 1);
    b.groups.next();
    EXPECT_EQ(b.params.recordCount(), 0);
    EXPECT_EQ(b.elems.fieldByName("MODEL").asString(), "y0");
}

TEST(ClientTableMaster, MasterMoveEndsTheDetailsPendingEdit)
{
    Base b;
    addGroup(b.groups, 1, "A");
    addGroup(b.groups, 2, "B");
    b.groups.first();
    addElem(b.elems, 1, 1, "m");
    b.elems.edit();
    b.elems.fieldByName("CODE").setString("C-1");
    b.groups.next(); // posts the element first
    EXPECT_EQ(b.elems.state(), TableState::Browse);
    b.groups.first();
    EXPECT_EQ(b.elems.fieldByName("CODE").asString(), "C-1");

    b.elems.append(); // unchanged insertion: cancelled by the move
    b.groups.next();
    b.groups.first();
    EXPECT_EQ(b.elems.recordCount(), 1);
}

TEST(ClientTableAggregate, MaxCoversTheShownRowsAndIsEmptyWhenThereAreNone)
{
    Base b;
    addGroup(b.groups, 1, "A");
    addGroup(b.groups, 2, "B");
    b.groups.first();
    const Field& maxElNum = b.elems.fieldByName("MaxElNum");
    EXPECT_EQ(maxElNum.asString(), "");
    EXPECT_TRUE(maxElNum.isNull());
    addElem(b.elems, 1, 5, "a");
    addElem(b.elems, 1, 3, "b");
    EXPECT_EQ(maxElNum.asString(), "5");
    b.elems.append();
    b.elems.fieldByName("ELEM").setInteger(9);
    EXPECT_EQ(maxElNum.asString(), "5"); // not posted yet
    b.elems.post();
    EXPECT_EQ(maxElNum.asString(), "9");
    b.groups.next();
    EXPECT_EQ(maxElNum.asString(), "");
}

// ---------------------------------------------------------------- notifications

namespace {
struct Recorder : TableObserver {
    std::vector<std::string>* log;
    explicit Recorder(std::vector<std::string>* l) : log(l) {}
    void stateChanged() override { log->push_back("observer:state"); }
};
} // namespace

TEST(ClientTableNotifications, OrderOfInsertDeleteMoveAndPost)
{
    ClientTable t("t");
    declareGroups(t);
    DataSource src("src", &t);
    std::vector<std::string> log;
    t.beforeInsert = [&](ClientTable&) { log.push_back("beforeInsert"); };
    t.afterInsert = [&](ClientTable& x) {
        log.push_back("afterInsert state=" + std::to_string(int(x.state())));
    };
    t.beforeDelete = [&](ClientTable&) { log.push_back("beforeDelete"); };
    t.beforeScroll = [&](ClientTable&) { log.push_back("beforeScroll"); };
    t.afterScroll = [&](ClientTable&) { log.push_back("afterScroll"); };
    src.stateChange = [&](DataSource& s) {
        log.push_back("stateChange " + std::to_string(int(s.dataSet()->state())));
    };
    t.open();
    EXPECT_EQ(log, (std::vector<std::string>{"stateChange 1"})); // no row shown: no after-scroll
    log.clear();

    t.append();
    EXPECT_EQ(log, (std::vector<std::string>{"beforeInsert", "beforeScroll", "stateChange 3",
                                             "afterInsert state=3", "afterScroll"}));
    log.clear();
    t.fieldByName("GROUP").setInteger(1);
    t.fieldByName("GRNAME").setString("b");
    t.post();
    EXPECT_EQ(log, (std::vector<std::string>{"stateChange 1"}));
    log.clear();

    t.insert();
    t.fieldByName("GROUP").setInteger(2);
    t.fieldByName("GRNAME").setString("a");
    log.clear();
    t.next(); // posts, then moves
    EXPECT_EQ(log, (std::vector<std::string>{"stateChange 1", "beforeScroll", "afterScroll"}));
    log.clear();

    t.deleteRecord();
    EXPECT_EQ(log, (std::vector<std::string>{"beforeDelete", "beforeScroll", "afterScroll"}));
    log.clear();

    const auto bytes = t.saveToBytes();
    ClientTable u("u");
    declareGroups(u);
    u.afterScroll = [&](ClientTable&) { log.push_back("afterScroll u"); };
    u.loadFromBytes(bytes);
    EXPECT_EQ(log, (std::vector<std::string>{"afterScroll u"}));
}

TEST(ClientTableNotifications, AbortInABeforeHandlerChangesNothing)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 1, "a");
    addGroup(t, 2, "b");
    t.first();
    bool refuse = true;
    t.beforeInsert = [&](ClientTable&) {
        if (refuse)
            throw Abort{};
    };
    t.beforeDelete = [&](ClientTable&) {
        if (refuse)
            throw Abort{};
    };
    t.beforeScroll = [&](ClientTable&) {
        if (refuse)
            throw Abort{};
    };
    EXPECT_THROW(t.append(), Abort);
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_THROW(t.deleteRecord(), Abort);
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_THROW(t.next(), Abort);
    EXPECT_EQ(t.recNo(), 1);

    // A refused deletion in edit state leaves the edit as it was.
    t.edit();
    t.fieldByName("GRNAME").setString("a2");
    EXPECT_THROW(t.deleteRecord(), Abort);
    EXPECT_EQ(t.state(), TableState::Edit);
    EXPECT_EQ(t.fieldByName("GRNAME").asString(), "a2");
    refuse = false;
    t.post();
    t.deleteRecord();
    EXPECT_EQ(column(t, "GRNAME"), (std::vector<std::string>{"b"}));
}

TEST(ClientTableNotifications, ObserversSeeRowsByShownIndexWithoutMoving)
{
    ClientTable t("t");
    declareGroups(t);
    t.open();
    std::vector<std::string> log;
    struct Obs : TableObserver {
        std::vector<std::string>& l;
        explicit Obs(std::vector<std::string>& x) : l(x) {}
        void rowInserted(int i) override { l.push_back("ins " + std::to_string(i)); }
        void rowRemoved(int i) override { l.push_back("rem " + std::to_string(i)); }
        void rowsReset() override { l.push_back("reset"); }
    } obs(log);
    auto connection = t.observe(obs);
    addGroup(t, 1, "b");
    addGroup(t, 2, "a");
    t.last();
    EXPECT_EQ(t.textAt(0, t.fieldByName("GRNAME")), "a");
    EXPECT_EQ(t.recNo(), 2);
    t.edit();
    t.fieldByName("GRNAME").setString("c");
    EXPECT_EQ(t.textAt(1, t.fieldByName("GRNAME")), "c"); // the edit shows at once
    t.cancel();
    t.insert();
    t.cancel();
    EXPECT_EQ(log.front(), "ins 0");
    EXPECT_EQ(log.back(), "rem 1");
    EXPECT_THROW(t.textAt(5, t.fieldByName("GRNAME")), Error);
    connection.disconnect();
}

// A view holding typed text writes it when the row is posted or its pending edit ends
// (a save, a move); its failure stops the post and keeps the edit.
TEST(ClientTableNotifications, UpdateRecordLetsAViewWriteTypedTextBeforeThePost)
{
    struct TypedText : TableObserver {
        ClientTable* table = nullptr;
        std::string text; // what the "editor" holds; empty: nothing typed
        bool refuse = false;
        int calls = 0;
        void updateRecord() override
        {
            ++calls;
            if (refuse)
                throw Error("refused");
            if (!text.empty())
                table->fieldByName("GRNAME").setString(text);
            text.clear();
        }
    };
    ClientTable t("t");
    declareGroups(t);
    t.open();
    addGroup(t, 1, "one");
    addGroup(t, 2, "two");
    TypedText view;
    view.table = &t;
    auto connection = t.observe(view);

    // Post: the typed name is stored.
    t.first();
    t.edit();
    view.text = "alpha";
    t.post();
    EXPECT_EQ(t.fieldByName("GRNAME").asString(), "alpha");

    // An insertion with nothing but the typed text is not dropped by the save that ends it.
    t.insert();
    t.fieldByName("GROUP").setInteger(3);
    view.text = "gamma";
    const auto bytes = t.saveToBytes();
    ClientTable u("u");
    declareGroups(u);
    u.loadFromBytes(bytes);
    EXPECT_TRUE(u.locate("GRNAME", "gamma"));

    // A refusal stops the post and the move, and the row stays in its edit.
    t.first();
    t.edit();
    view.refuse = true;
    EXPECT_EQ(errorOf([&] { t.post(); }), "refused");
    EXPECT_EQ(t.state(), TableState::Edit);
    EXPECT_EQ(errorOf([&] { t.next(); }), "refused");
    EXPECT_EQ(t.state(), TableState::Edit);
    EXPECT_EQ(t.currentIndex(), 0);
    view.refuse = false;
    t.cancel();
    const int before = view.calls;
    t.next(); // browsing: nothing pending, the view is not asked
    EXPECT_EQ(view.calls, before);
    connection.disconnect();
}
