// `cbbtool diff`: each kind of difference between two bases, the exit status, and that
// the stored order of rows is not a difference (nor a change of the text dump).
#include "cbbtool.h"
#include "support/temp_folder_test.h"

#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/file_io.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class BaseDiffTest : public dorvin::test::TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        base_ = path("a.CBB");
        std::ostringstream out, err;
        ASSERT_EQ(cbbtool::run({"demo", base_}, out, err), 0);
    }

    struct Result {
        int status;
        std::string out, err;
    };
    static Result run(std::vector<std::string> args)
    {
        std::ostringstream out, err;
        const int status = cbbtool::run(args, out, err);
        return {status, out.str(), err.str()};
    }

    // The demo base changed by `edit`, saved as b.CBB; returns its diff from the demo base.
    Result diffAfter(const std::function<void(TDataM&)>& edit)
    {
        const std::string b = path("b.CBB");
        {
            TDataM dm;
            dm.LoadBase(base_);
            edit(dm);
            dm.SaveBase(b);
        }
        return run({"diff", base_, b});
    }

    static std::string u(const std::string& cp1251) { return dorvin::cp1251ToUtf8(cp1251); }
    static void toType(TDataM& dm, int code)
    {
        if (!dm.ClGroupsTable.locate("GROUP", std::to_string(code)))
            throw std::runtime_error("no such type");
    }

    std::string base_;
};

} // namespace

TEST_F(BaseDiffTest, SameContentExitsZeroAndPrintsNothing)
{
    const Result r = run({"diff", base_, base_});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(run({"copy", base_, path("c.CBB")}).status, 0);
    EXPECT_EQ(run({"diff", base_, path("c.CBB")}).status, 0);
}

TEST_F(BaseDiffTest, RowsStoredInAnotherOrderAreTheSameContent)
{
    // Deleting two elements and adding them back unchanged swaps their rows in the file.
    const Result r = diffAfter([](TDataM& dm) {
        toType(dm, 2);
        struct Saved {
            std::string model, code;
            std::int64_t elem;
            double price;
        };
        std::vector<Saved> saved;
        for (int i = 0; i < 2; ++i) {
            auto& e = dm.ClElemsTable;
            i == 0 ? e.first() : e.last();
            saved.push_back({e.fieldByName("MODEL").asString(), dm.ClElemsTableCODE.asString(),
                             dm.ClElemsTableELEM.asInteger(), dm.ClElemsTableCENA.asMoney()});
            e.deleteRecord();
        }
        for (const Saved& s : saved) {
            dm.ClElemsTable.append();
            dm.ClElemsTableELEM.setInteger(s.elem);
            dm.ClElemsTableMODEL.setString(s.model);
            dm.ClElemsTableCENA.setMoney(s.price);
            dm.ClElemsTableCODE.setString(s.code);
            dm.ClElemsTable.post();
        }
    });
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    const auto a = dorvin::files::readFile(base_), b = dorvin::files::readFile(path("b.CBB"));
    EXPECT_FALSE(std::equal(a.begin(), a.end(), b.begin(), b.end()))
        << "the files differ in their order of rows";
    EXPECT_EQ(run({"dump", base_}).out, run({"dump", path("b.CBB")}).out)
        << "the text dump does not show the order";
}

TEST_F(BaseDiffTest, TypesAddedRemovedRenamedAndTheirSymbols)
{
    std::string wideSymbol, sameLength;
    const Result r = diffAfter([&](TDataM& dm) {
        toType(dm, 3);
        // orientation 1 gets the taller picture of type 5; orientation 3 the same bytes
        // with one changed
        std::string cable4 = dm.ClGroupsTableB4.asBytes();
        cable4[cable4.size() - 30] ^= 0x01;
        dm.ClGroupsTable.edit();
        dm.ClGroupsTableGRNAME.setString(dorvin::utf8ToCp1251("Кабели"));
        dm.ClGroupsTableB4.setBytes(cable4);
        dm.ClGroupsTableB6.clear();
        dm.ClGroupsTable.post();
        toType(dm, 5);
        wideSymbol = dm.ClGroupsTableB1.asBytes();
        toType(dm, 3);
        dm.ClGroupsTable.edit();
        dm.ClGroupsTableB2.setBytes(wideSymbol);
        dm.ClGroupsTable.post();
        toType(dm, 11);
        while (!dm.ClElemsTable.isEmpty()) {
            while (!dm.ClParamsTable.isEmpty())
                dm.ClParamsTable.deleteRecord();
            dm.ClElemsTable.deleteRecord();
        }
        dm.ClGroupsTable.deleteRecord();
        dm.ClGroupsTable.append();
        dm.ClGroupsTableGROUP.setInteger(12);
        dm.ClGroupsTableGRNAME.setString(dorvin::utf8ToCp1251("Мультисвитчи"));
        dm.ClGroupsTable.post();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    for (const std::string& line : std::vector<std::string>{
             std::string("type 3 \"Кабель\": name \"Кабель\" → \"Кабели\"\n"),
             "type 3 \"Кабель\": symbol B2 (orientation 1): EMF 1000 × 1000, ",
             " → EMF 1000 × 2000, " + std::to_string(wideSymbol.size()) + " bytes\n",
             "type 3 \"Кабель\": symbol B4 (orientation 3): EMF 1000 × 1000, ",
             " bytes, content differs\n",
             "type 3 \"Кабель\": symbol B6 (orientation 5): EMF ",
             " → none\n",
             "type 11 \"Проходные розетки\": removed\n",
             "type 12 \"Мультисвитчи\": added\n",
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
    EXPECT_EQ(r.out.find("symbol B1"), std::string::npos) << "unchanged orientations are not listed";
    // the removed type's elements and parameters go with it
    EXPECT_NE(r.out.find("element 11/1 "), std::string::npos);
    EXPECT_NE(r.out.find("parameter 11/1/1 \"Затухание, дБ\": removed\n"), std::string::npos);
}

TEST_F(BaseDiffTest, ElementsAddedRemovedAndChanged)
{
    std::string changed, removed, renamed, nudged, oldCode;
    double oldPrice = 0;
    const Result r = diffAfter([&](TDataM& dm) {
        toType(dm, 2);
        auto& e = dm.ClElemsTable;
        e.first();
        changed = "element 2/" + dm.ClElemsTableELEM.asString() + " \"" + u(dm.ClElemsTableMODEL.asString())
                  + "\": ";
        oldPrice = dm.ClElemsTableCENA.asMoney();
        oldCode = u(dm.ClElemsTableCODE.asString());
        e.edit();
        dm.ClElemsTableCENA.setMoney(oldPrice + 100);
        dm.ClElemsTableCODE.setString("NEW-1");
        e.post();
        e.last();
        removed = "element 2/" + dm.ClElemsTableELEM.asString() + " \"" + u(dm.ClElemsTableMODEL.asString())
                  + "\": removed\n";
        while (!dm.ClParamsTable.isEmpty())
            dm.ClParamsTable.deleteRecord();
        e.deleteRecord();
        e.append();
        dm.ClElemsTableELEM.setInteger(77);
        dm.ClElemsTableMODEL.setString(dorvin::utf8ToCp1251("Усилитель УМ-99"));
        dm.ClElemsTableCENA.setMoney(1234.5);
        e.post();
        toType(dm, 4);
        e.first();
        const std::string model = u(dm.ClElemsTableMODEL.asString());
        renamed = "element 4/" + dm.ClElemsTableELEM.asString() + " \"" + model + "\": model \"" + model
                  + "\" → \"" + model + " (новый)\"\n";
        e.edit();
        dm.ClElemsTableMODEL.setString(dorvin::utf8ToCp1251(model + " (новый)"));
        e.post();
        // a price that differs beyond the shown decimals still shows as a change
        e.last();
        nudged = "element 4/" + dm.ClElemsTableELEM.asString() + " ";
        e.edit();
        dm.ClElemsTableCENA.setMoney(dm.ClElemsTableCENA.asMoney() + 1e-9);
        e.post();
    });
    EXPECT_EQ(r.status, 1);
    auto money = [](double v) {
        std::string s = std::to_string(v);
        s = s.substr(0, s.find('.') + 3);
        s[s.find('.')] = ',';
        return s;
    };
    for (const std::string& line : std::vector<std::string>{
             std::string("element 2/77 \"Усилитель УМ-99\": added (price 1234,50, code null)\n"),
             changed + "price " + money(oldPrice) + " → " + money(oldPrice + 100) + "\n",
             changed + "code \"" + oldCode + "\" → \"NEW-1\"\n",
             renamed,
             removed,
             nudged,
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
    const std::string nudgedLine =
        r.out.substr(r.out.find(nudged), r.out.find('\n', r.out.find(nudged)) - r.out.find(nudged));
    EXPECT_NE(nudgedLine.find("0000001"), std::string::npos) << nudgedLine;
    EXPECT_NE(r.out.find("parameter 2/"), std::string::npos) << "the removed element's parameters are listed";
}

TEST_F(BaseDiffTest, ParametersAddedRemovedRenamedAndValuesByFrequencyPoint)
{
    const Result r = diffAfter([&](TDataM& dm) {
        toType(dm, 2);
        auto& p = dm.ClParamsTable;
        dm.ClElemsTable.first();
        p.first();
        p.edit();
        dm.ClParamsTableN[12]->setFloat(13.0); // point 13 is channel S8, 167.25 MHz
        dm.ClParamsTableN[95]->clear();
        p.post();
        p.next();
        p.edit();
        dm.ClParamsTablePARNAME.setString(dorvin::utf8ToCp1251("Шум, дБ"));
        p.post();
        p.last();
        p.deleteRecord();
        p.append();
        dm.ClParamsTablePARAM.setInteger(9);
        dm.ClParamsTablePARNAME.setString(dorvin::utf8ToCp1251("Наклон, дБ"));
        p.post();
    });
    EXPECT_EQ(r.status, 1);
    const std::string element = "parameter 2/";
    for (const std::string& line : std::vector<std::string>{
             "/1 \"Коэфф-т усиления, дБ\": N13 (S8 167,25 МГц): ",
             " → 13,000\n",
             "/1 \"Коэфф-т усиления, дБ\": N96 (69 855,25 МГц): ",
             " → null\n",
             "/2 \"Коэфф-т шума, дБ\": renamed → \"Шум, дБ\"\n",
             "/3 \"МВУ, дБмкВ\": removed\n",
             "/9 \"Наклон, дБ\": added\n",
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
    // one line per changed point, nothing for the unchanged ones
    std::size_t lines = 0;
    for (char c : r.out)
        lines += c == '\n';
    EXPECT_EQ(lines, 5u) << r.out;
}

TEST_F(BaseDiffTest, TheFrequencyPlan)
{
    const Result r = diffAfter([](TDataM& dm) {
        auto& f = dm.BaseFreqs;
        f.first();
        f.edit();
        dm.BaseFreqsFREQ.setFloat(48.25);
        f.post();
        f.last();
        f.edit();
        dm.BaseFreqsUSED.setBoolean(false);
        f.post();
        f.append();
        dm.BaseFreqsNAME.setString("70");
        dm.BaseFreqsFREQ.setFloat(863.25);
        f.post();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("frequency point 1: 1 49,75 МГц → 1 48,25 МГц\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frequency point 96: USED true → false\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frequency point 97: added 70 863,25 МГц\n"), std::string::npos) << r.out;
}

TEST_F(BaseDiffTest, ABaseThatCannotBeReadExitsTwo)
{
    const Result missing = run({"diff", base_, path("none.CBB")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("none.CBB"), std::string::npos);
    const std::string junk = path("junk.CBB");
    dorvin::files::replaceFile(
        junk, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("junk"), 4));
    EXPECT_EQ(run({"diff", junk, base_}).status, 2);
    EXPECT_EQ(run({"diff", base_}).status, 2);
}
