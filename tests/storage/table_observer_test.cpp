// What observers of a client table hear when single rows enter or leave the shown rows,
// and how their connections end.
#include "storage/client_table.h"
#include "storage/error.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace dorvin;

namespace {

// Names in order; rows with FLAG 0 are filtered out when the filter is on.
void declareNames(ClientTable& t)
{
    t.addField({"ID", FieldKind::Integer, 0});
    t.addField({"NAME", FieldKind::String, 20});
    t.addField({"FLAG", FieldKind::Integer, 0});
    t.setIndexFieldNames("NAME");
    t.setFilter("FLAG <> 0");
}

void addName(ClientTable& t, int id, const std::string& name, int flag = 1)
{
    t.append();
    t.fieldByName("ID").setInteger(id);
    t.fieldByName("NAME").setString(name);
    t.fieldByName("FLAG").setInteger(flag);
    t.post();
}

std::vector<std::string> names(ClientTable& t)
{
    std::vector<std::string> out;
    const Field& f = t.fieldByName("NAME");
    for (int i = 0; i < t.recordCount(); ++i)
        out.push_back(t.textAt(i, f));
    return out;
}

// Logs every notification with the row count the table shows at that moment, so a log
// tells whether an about-to notification came before the shown rows changed.
struct Recorder : TableObserver {
    ClientTable& table;
    std::vector<std::string> log;
    explicit Recorder(ClientTable& t) : table(t) {}
    void note(const std::string& what) { log.push_back(what + " /" + std::to_string(table.recordCount())); }
    void rowsReset() override { note("reset"); }
    void currentChanged() override { note("current"); }
    void rowChanged(int i) override { note("changed " + std::to_string(i)); }
    void rowAboutToBeInserted(int i) override { note("about-ins " + std::to_string(i)); }
    void rowInserted(int i) override { note("ins " + std::to_string(i)); }
    void rowAboutToBeRemoved(int i) override { note("about-rem " + std::to_string(i)); }
    void rowRemoved(int i) override { note("rem " + std::to_string(i)); }
    void stateChanged() override { note("state " + std::to_string(int(table.state()))); }
};

using Log = std::vector<std::string>;

// a, c, e in order, the current row on c.
struct Names {
    ClientTable t{"names"};
    Names(bool filtered = false)
    {
        declareNames(t);
        t.setFiltered(filtered);
        t.open();
        addName(t, 1, "e");
        addName(t, 2, "a");
        addName(t, 3, "c");
        t.setRecNo(2);
    }
};

} // namespace

TEST(TableObserverRows, InsertIsAnnouncedAtTheCurrentRowBeforeItIsShown)
{
    Names n;
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.insert();
    EXPECT_EQ(r.log, (Log{"about-ins 1 /3", "state 3 /4", "ins 1 /4", "current /4"}));
    EXPECT_EQ(n.t.currentIndex(), 1);
}

TEST(TableObserverRows, AppendIsAnnouncedAfterTheLastRow)
{
    Names n;
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.append();
    EXPECT_EQ(r.log, (Log{"about-ins 3 /3", "state 3 /4", "ins 3 /4", "current /4"}));
}

TEST(TableObserverRows, PostedInsertionThatSortsElsewhereMovesAsARemovalAndAnInsertion)
{
    Names n;
    n.t.first();
    n.t.insert(); // at 0
    n.t.fieldByName("NAME").setString("d");
    n.t.fieldByName("FLAG").setInteger(1);
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.post();
    // Without the new row the others are a, c, e: "d" takes index 2.
    EXPECT_EQ(r.log,
              (Log{"about-rem 0 /4", "rem 0 /3", "about-ins 2 /3", "ins 2 /4", "state 1 /4", "current /4"}));
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"a", "c", "d", "e"}));
    EXPECT_EQ(n.t.currentIndex(), 2);
    EXPECT_EQ(n.t.fieldByName("NAME").asString(), "d");
}

TEST(TableObserverRows, PostedInsertionInItsPlaceIsARowChange)
{
    Names n;
    n.t.insert(); // at 1, between a and c
    n.t.fieldByName("NAME").setString("b");
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.post();
    EXPECT_EQ(r.log, (Log{"state 1 /4", "changed 1 /4"}));
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"a", "b", "c", "e"}));
}

TEST(TableObserverRows, EditedRowThatSortsElsewhereMovesInAFilteredTableToo)
{
    Names n(true);
    n.t.first(); // a
    n.t.edit();
    n.t.fieldByName("NAME").setString("z");
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.post();
    EXPECT_EQ(r.log,
              (Log{"about-rem 0 /3", "rem 0 /2", "about-ins 2 /2", "ins 2 /3", "state 1 /3", "current /3"}));
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"c", "e", "z"}));
    EXPECT_EQ(n.t.currentIndex(), 2);
}

TEST(TableObserverRows, EditedRowThatLeavesTheFilterIsARemoval)
{
    Names n(true);
    n.t.edit(); // c
    n.t.fieldByName("FLAG").setInteger(0);
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.post();
    EXPECT_EQ(r.log, (Log{"about-rem 1 /3", "rem 1 /2", "state 1 /2", "current /2"}));
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"a", "e"}));
    EXPECT_EQ(n.t.currentIndex(), 1);
}

TEST(TableObserverRows, CancelledInsertionIsARemoval)
{
    Names n;
    n.t.insert();
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.cancel();
    EXPECT_EQ(r.log, (Log{"about-rem 1 /4", "state 1 /3", "rem 1 /3", "current /3"}));
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"a", "c", "e"}));
}

TEST(TableObserverRows, DeletionIsAnnouncedWhileTheRowIsStillShown)
{
    Names n;
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.deleteRecord();
    EXPECT_EQ(r.log, (Log{"about-rem 1 /3", "rem 1 /2", "current /2"}));
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"a", "e"}));
    EXPECT_EQ(n.t.currentIndex(), 1);
}

TEST(TableObserverRows, DeletingTheLastRowLeavesTheOneBeforeCurrent)
{
    Names n;
    n.t.last();
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.deleteRecord();
    EXPECT_EQ(r.log, (Log{"about-rem 2 /3", "rem 2 /2", "current /2"}));
    EXPECT_EQ(n.t.currentIndex(), 1);
    // The last shown row of all.
    n.t.deleteRecord();
    n.t.deleteRecord();
    EXPECT_EQ(r.log.back(), "current /0");
    EXPECT_EQ(r.log[r.log.size() - 3], "about-rem 0 /1");
    EXPECT_EQ(r.log[r.log.size() - 2], "rem 0 /0");
    EXPECT_EQ(n.t.currentIndex(), -1);
}

TEST(TableObserverRows, RefusedInsertionOrDeletionAnnouncesNothing)
{
    Names n;
    Recorder r(n.t);
    auto c = n.t.observe(r);
    n.t.beforeInsert = [](ClientTable&) { throw Abort(); };
    n.t.beforeDelete = [](ClientTable&) { throw Abort(); };
    EXPECT_THROW(n.t.insert(), Abort);
    EXPECT_THROW(n.t.deleteRecord(), Abort);
    n.t.beforeInsert = nullptr;
    n.t.beforeScroll = [](ClientTable&) { throw Abort(); };
    EXPECT_THROW(n.t.append(), Abort);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(names(n.t), (std::vector<std::string>{"a", "c", "e"}));
}

TEST(TableObserverRows, FailingStateHandlerStillEndsTheAnnouncedInsertion)
{
    Names n;
    DataSource src("src", &n.t);
    Recorder r(n.t);
    auto c = n.t.observe(r);
    src.stateChange = [](DataSource&) { throw Error("refused"); };
    EXPECT_THROW(n.t.append(), Error);
    ASSERT_FALSE(r.log.empty());
    EXPECT_EQ(r.log.front(), "about-ins 3 /3");
    EXPECT_EQ(r.log.back(), "ins 3 /4");
}

TEST(TableObserverConnection, EndsWithTheConnectionAndSurvivesTheTable)
{
    auto t = std::make_unique<ClientTable>("t");
    declareNames(*t);
    t->open();
    Recorder r(*t);
    ObserverConnection kept;
    {
        ObserverConnection first = t->observe(r);
        EXPECT_TRUE(first.connected());
        kept = std::move(first);
        EXPECT_FALSE(first.connected());
    }
    addName(*t, 1, "a"); // the moved connection still tells
    EXPECT_FALSE(r.log.empty());
    r.log.clear();
    kept.disconnect();
    addName(*t, 2, "b");
    EXPECT_TRUE(r.log.empty());

    kept = t->observe(r);
    t.reset();
    EXPECT_FALSE(kept.connected());
    kept.disconnect(); // the table went first: nothing to do, nothing to break
}

TEST(TableObserverConnection, AnObserverMayDetachAnotherWhileBeingTold)
{
    ClientTable t("t");
    declareNames(t);
    t.open();
    struct Detacher : TableObserver {
        ObserverConnection* other = nullptr;
        void rowAboutToBeInserted(int) override { other->disconnect(); }
    } detacher;
    Recorder r(t);
    auto first = t.observe(detacher);
    auto second = t.observe(r);
    detacher.other = &second;
    t.append();
    EXPECT_TRUE(r.log.empty()); // detached before its turn came
    EXPECT_FALSE(second.connected());
}
