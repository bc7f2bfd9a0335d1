// `cbbtool load`: the JSON of a dump back into a base, byte for byte what `copy` writes,
// and every refusal naming its place in the JSON without writing a file.
#include "cbbtool.h"
#include "json_load.h"
#include "support/temp_folder_test.h"
#include "text_format.h"

#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/file_io.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class JsonLoadTest : public dorvin::test::TempFolderTest {
protected:
    static int run(std::vector<std::string> args, std::string* err = nullptr)
    {
        std::ostringstream out, e;
        const int status = cbbtool::run(args, out, e);
        if (err)
            *err = e.str();
        return status;
    }
    static std::string bytes(const std::string& p)
    {
        const auto v = dorvin::files::readFile(p);
        return std::string(v.begin(), v.end());
    }
    static void write(const std::string& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    }
    std::string dumpOf(const std::string& base) const
    {
        std::ostringstream out;
        cbbtool::dumpJson(base, out);
        return out.str();
    }

    // dump --json, load, and compare with copy.
    void expectRoundTrip(const std::string& base)
    {
        const std::string j = path("rt.json"), loaded = path("loaded.CBB"), copied = path("copied.CBB");
        write(j, dumpOf(base));
        std::string err;
        ASSERT_EQ(run({"load", j, loaded}, &err), 0) << err;
        ASSERT_EQ(run({"copy", base, copied}), 0);
        EXPECT_EQ(bytes(loaded), bytes(copied));
        EXPECT_EQ(dumpOf(loaded), dumpOf(copied));
    }

    // A base holding every kind of value the tables can hold.
    std::string everyKindBase()
    {
        const std::string p = path("every.CBB");
        TDataM dm;
        auto& g = dm.ClGroupsTable;
        // a hidden type, a type whose name and symbols are null or empty
        g.append();
        dm.ClGroupsTableGROUP.setInteger(15);
        dm.ClGroupsTableGRNAME.setString(dorvin::utf8ToCp1251("Скрытый тип"));
        g.post();
        g.append();
        dm.ClGroupsTableGROUP.setInteger(-32768);
        dm.ClGroupsTableB2.setBytes(""); // empty, yet not null
        g.post();
        g.append();
        dm.ClGroupsTableGROUP.setInteger(32767);
        dm.ClGroupsTableGRNAME.setString(dorvin::utf8ToCp1251(std::string(30 / 2, 'x') + "ЯяЁёЪъЬьЫыЭэЮюЖ"));
        g.post();

        require(g.locate("GROUP", "2"));
        auto& e = dm.ClElemsTable;
        const double prices[] = {0.1 + 0.2, -0.0,  NAN,    INFINITY,
                                 -INFINITY, 1e300, 5e-324, std::bit_cast<double>(0x7FF0000000000123ull)};
        int n = 0;
        for (double price : prices) {
            e.append();
            dm.ClElemsTableELEM.setInteger(++n);
            dm.ClElemsTableMODEL.setString(dorvin::utf8ToCp1251("Модель " + std::to_string(n)));
            dm.ClElemsTableCENA.setMoney(price);
            e.post();
        }
        e.append(); // text at its declared maximum, Cyrillic, and the extreme numbers
        dm.ClElemsTableELEM.setInteger(2147483647);
        std::string model;
        for (int i = 0; i < 50; ++i)
            model += "Ж";
        dm.ClElemsTableMODEL.setString(dorvin::utf8ToCp1251(model));
        dm.ClElemsTableCODE.setString(dorvin::utf8ToCp1251("КОД-№12345"));
        e.post();
        e.append(); // only the master's key: everything else null
        dm.ClElemsTableELEM.setInteger(-2147483647 - 1);
        e.post();
        e.append(); // the unassigned code page byte, quotes, control characters
        dm.ClElemsTableELEM.setInteger(100);
        dm.ClElemsTableMODEL.setString(std::string("a\x98\"\\\t\n\x01 \xB9", 9));
        dm.ClElemsTableCODE.setString("");
        e.post();

        auto& pr = dm.ClParamsTable;
        e.first();
        for (int param = 1; param <= 3; ++param) {
            pr.append();
            dm.ClParamsTablePARAM.setInteger(param);
            std::string name;
            for (int i = 0; i < 30; ++i)
                name += param == 1 ? "ф" : "w";
            if (param != 3)
                dm.ClParamsTablePARNAME.setString(dorvin::utf8ToCp1251(name));
            for (int k = 0; k < 96; ++k) {
                if (param == 3 && k % 3 == 0)
                    continue; // nulls among values
                dm.ClParamsTableN[k]->setFloat(k * 1.1 - 40 + param / 7.0);
            }
            if (param == 2) {
                dm.ClParamsTableN[0]->setFloat(-0.0);
                dm.ClParamsTableN[1]->setFloat(NAN);
                dm.ClParamsTableN[2]->setFloat(1.7976931348623157e308);
                dm.ClParamsTableN[3]->setFloat(-2.2250738585072014e-308);
            }
            pr.post();
        }
        auto& f = dm.BaseFreqs;
        f.last();
        f.edit();
        dm.BaseFreqsUSED.setBoolean(false);
        f.post();
        f.append();
        dm.BaseFreqsNAME.setString("X");
        f.post(); // FREQ and USED null
        dm.SaveBase(p);
        return p;
    }

    static void require(bool ok)
    {
        if (!ok)
            throw std::runtime_error("setup failed");
    }

    // Loads `j` expecting a refusal: exit 1, the error text holds `expected`, and
    // neither a new file nor a changed old one.
    void expectRefused(const json& j, const std::string& expected)
    {
        SCOPED_TRACE(expected);
        const std::string in = path("bad.json"), fresh = path("fresh.CBB"), existing = path("existing.CBB");
        write(in, j.dump());
        write(existing, "old contents");
        std::string err;
        EXPECT_EQ(run({"load", in, fresh}, &err), 1);
        EXPECT_NE(err.find(expected), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(fresh));
        EXPECT_EQ(run({"load", in, existing}, &err), 1);
        EXPECT_EQ(bytes(existing), "old contents");
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_TRUE(entry.path().filename() == "bad.json" || entry.path().filename() == "existing.CBB"
                        || entry.path().filename() == "demo.CBB")
                << "left behind: " << entry.path();
    }

    json demoJson()
    {
        const std::string demo = path("demo.CBB");
        if (!fs::exists(demo))
            run({"demo", demo});
        return json::parse(dumpOf(demo));
    }
};

} // namespace

TEST(JsonText, FloatFormsReadBackToTheSameBits)
{
    const double values[] = {0.1,
                             -0.0,
                             0.0,
                             NAN,
                             -NAN,
                             INFINITY,
                             -INFINITY,
                             5e-324,
                             std::bit_cast<double>(0x7FF0000000000001ull),
                             std::bit_cast<double>(0xFFF8000000000042ull)};
    for (double v : values) {
        const std::string text = cbbtool::jsonFloat(v);
        SCOPED_TRACE(text);
        const json parsed = json::parse(text);
        double back = 0;
        if (parsed.is_string()) {
            const auto special = cbbtool::floatFromJsonText(parsed.get<std::string>());
            ASSERT_TRUE(special.has_value());
            back = *special;
        } else {
            ASSERT_TRUE(parsed.is_number_float() || !std::signbit(v))
                << "negative zero must not read as the integer 0";
            back = parsed.get<double>();
        }
        EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v));
    }
    EXPECT_EQ(cbbtool::jsonFloat(-0.0), "-0.0");
    EXPECT_EQ(cbbtool::jsonFloat(NAN), "\"NaN\"");
    EXPECT_EQ(cbbtool::jsonFloat(12.5), "12.5");
    for (const char* bad : {"nan", "NaN(0x7ff0000000000000)", "NaN(0x12)", "Inf", ""})
        EXPECT_FALSE(cbbtool::floatFromJsonText(bad).has_value()) << bad;
}

TEST(JsonText, Base64DecodesWhatItEncodesAndRefusesTheRest)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 255u, 256u}) {
        const std::string part = all.substr(0, n);
        const auto back = cbbtool::fromBase64(
            cbbtool::base64(std::span(reinterpret_cast<const std::uint8_t*>(part.data()), part.size())));
        ASSERT_TRUE(back.has_value()) << n;
        EXPECT_EQ(*back, part);
    }
    for (const char* bad : {"Zg=", "Z===", "====", "Zm9v!", "Zg==Zg==", "Zm 9v"})
        EXPECT_FALSE(cbbtool::fromBase64(bad).has_value()) << bad;
}

TEST_F(JsonLoadTest, RoundTripIsByteForByteWhatCopyWrites)
{
    {
        SCOPED_TRACE("demo base");
        const std::string demo = path("d.CBB");
        ASSERT_EQ(run({"demo", demo}), 0);
        expectRoundTrip(demo);
    }
    {
        SCOPED_TRACE("template (written the way the build writes Template.cds)");
        const std::string t = path("Template.cds");
        ASSERT_EQ(run({"new", t}), 0);
        expectRoundTrip(t);
    }
    {
        SCOPED_TRACE("every kind of value");
        expectRoundTrip(everyKindBase());
    }
}

TEST_F(JsonLoadTest, ABaseWithoutShownTypesGetsTheRowLoadingAdds)
{
    // Only a hidden type: loading the base (and so copying it) adds an all-null type row;
    // the loaded JSON must do the same to match.
    const std::string p = path("hidden.CBB");
    {
        TDataM dm;
        dm.ClGroupsTable.emptyTable();
        dm.ClGroupsTable.append();
        dm.ClGroupsTableGROUP.setInteger(15);
        dm.ClGroupsTable.post();
        dm.SaveBase(p);
    }
    expectRoundTrip(p);
    const json loaded = json::parse(dumpOf(path("loaded.CBB")));
    EXPECT_EQ(loaded["GROUPS"]["rows"].size(), 2u);
}

TEST_F(JsonLoadTest, ColumnsMayComeInAnyOrder)
{
    json j = demoJson();
    json& freqs = j["FREQS"];
    for (auto& row : freqs["rows"])
        std::swap(row[0], row[2]);
    std::swap(freqs["columns"][0], freqs["columns"][2]);
    write(path("swapped.json"), j.dump());
    ASSERT_EQ(run({"load", path("swapped.json"), path("s.CBB")}), 0);
    ASSERT_EQ(run({"copy", path("demo.CBB"), path("c.CBB")}), 0);
    EXPECT_EQ(bytes(path("s.CBB")), bytes(path("c.CBB")));
}

TEST_F(JsonLoadTest, TextThatDoesNotFitIsRefusedWithItsPlace)
{
    json j = demoJson();
    std::string model;
    for (int i = 0; i < 51; ++i)
        model += "Щ";
    j["ELEMENTS"]["rows"][12][2] = model;
    expectRefused(j, "ELEMENTS.rows[12][2]: \"MODEL\" holds 51 characters, at most 50");

    j = demoJson();
    j["PARAMS"]["rows"][3][3] = "Затухание, Ω";
    expectRefused(j,
                  "PARAMS.rows[3][3]: \"PARNAME\" holds U+03A9, a character that Windows-1251 cannot hold");

    j = demoJson();
    j["GROUPS"]["rows"][0][2] = "not base64!";
    expectRefused(j, "GROUPS.rows[0][2]: \"B1\" is not base64 text");
}

TEST_F(JsonLoadTest, NumbersThatDoNotFitTheirFieldAreRefused)
{
    const std::vector<std::tuple<const char*, int, int, json, std::string>> cases{
        {"ELEMENTS", 0, 0, 40000,
         "ELEMENTS.rows[0][0]: 40000 does not fit \"GR\" (a small integer, -32768 to 32767)"},
        {"ELEMENTS", 1, 1, 2147483648ll, "ELEMENTS.rows[1][1]: 2147483648 does not fit \"ELEM\""},
        {"ELEMENTS", 1, 1, -2147483649ll, "does not fit \"ELEM\""},
        {"PARAMS", 2, 2, 1.5, "PARAMS.rows[2][2]: 1.5 is not a whole number for \"PARAM\""},
        {"ELEMENTS", 2, 1, 18446744073709551615ull, "ELEMENTS.rows[2][1]: 18446744073709551615 does not fit"},
        {"ELEMENTS", 3, 3, "12,50",
         "ELEMENTS.rows[3][3]: \"CENA\" holds an amount of money, not the text \"12,50\""},
        {"ELEMENTS", 3, 2, 17, "ELEMENTS.rows[3][2]: \"MODEL\" holds a text, not 17"},
        {"FREQS", 4, 2, 1, "FREQS.rows[4][2]: \"USED\" holds true or false, not 1"},
        {"FREQS", 4, 1, true, "FREQS.rows[4][1]: \"FREQ\" holds a float, not true"},
    };
    for (const auto& [table, row, col, value, expected] : cases) {
        json j = demoJson();
        j[table]["rows"][row][col] = value;
        expectRefused(j, expected);
    }
    // Beyond a double: the parser's text reaches the check unchanged.
    json j = demoJson();
    std::string text = j.dump();
    const std::string first = "[\"1\",49.75,true]";
    ASSERT_NE(text.find(first), std::string::npos);
    text.replace(text.find(first), first.size(), "[\"1\",1e400,true]");
    write(path("big.json"), text);
    std::string err;
    EXPECT_EQ(run({"load", path("big.json"), path("big.CBB")}, &err), 1);
    EXPECT_NE(err.find("FREQS.rows[0][1]: 1e400 does not fit \"FREQ\" (a float)"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(path("big.CBB")));
}

TEST_F(JsonLoadTest, ADuplicateKeyOfAUniqueIndexNamesBothRows)
{
    json j = demoJson();
    auto& rows = j["ELEMENTS"]["rows"];
    rows.push_back(rows[4]);
    expectRefused(j, "ELEMENTS.rows[" + std::to_string(rows.size() - 1)
                         + "]: the key of the unique index \"ByGrElem\" (GR;MODEL;ELEM) is that of rows[4]");

    j = demoJson();
    j["GROUPS"]["rows"][3][0] = j["GROUPS"]["rows"][1][0];
    j["GROUPS"]["rows"][3][1] = j["GROUPS"]["rows"][1][1];
    expectRefused(j,
                  "GROUPS.rows[3]: the key of the unique index \"ByGRP\" (GRNAME;GROUP) is that of rows[1]");
}

TEST_F(JsonLoadTest, ColumnsMissingExtraOrTwiceAndRowsOfTheWrongLengthAreRefused)
{
    json j = demoJson();
    j["ELEMENTS"]["columns"].erase(4);
    for (auto& row : j["ELEMENTS"]["rows"])
        row.erase(4);
    expectRefused(j, "ELEMENTS.columns: column \"CODE\" is missing");

    j = demoJson();
    j["FREQS"]["columns"].push_back("COLOUR");
    expectRefused(j, "FREQS.columns[3]: \"COLOUR\" is not a column of FREQS");

    j = demoJson();
    j["ELEMENTS"]["columns"].push_back("MaxElNum");
    expectRefused(j, "ELEMENTS.columns[5]: \"MaxElNum\" is not a column of ELEMENTS");

    j = demoJson();
    j["FREQS"]["columns"][2] = "NAME";
    expectRefused(j, "FREQS.columns[2]: column \"NAME\" occurs twice");

    j = demoJson();
    j["FREQS"]["rows"][7].erase(2);
    expectRefused(j, "FREQS.rows[7]: 2 values, but the table has 3 columns");

    j = demoJson();
    j["FREQS"]["rows"][7].push_back(true);
    expectRefused(j, "FREQS.rows[7][3]: an extra value: the table has 3 columns");
}

TEST_F(JsonLoadTest, TheShapeOfTheDocumentIsChecked)
{
    json j = demoJson();
    j.erase("PARAMS");
    expectRefused(j, "\"PARAMS\" is missing");

    j = demoJson();
    j["PRICES"] = j["FREQS"];
    expectRefused(j, "\"PRICES\" is not a table of a base");

    j = demoJson();
    j["FREQS"].erase("rows");
    expectRefused(j, "FREQS: \"rows\" is missing");

    j = demoJson();
    j["FREQS"]["rows"][2] = 5;
    expectRefused(j, "FREQS.rows[2]: a row is an array of values");

    j = demoJson();
    j["FREQS"]["rows"][2][0] = json::array({1});
    expectRefused(j, "FREQS.rows[2][0]: an array is not a value of a column");

    j = demoJson();
    j["FREQS"]["note"] = "x";
    expectRefused(j, "FREQS: unknown member \"note\"");

    // "rows" ahead of "columns" cannot be taken in as it streams by
    const std::string text = "{\"FREQS\":{\"rows\":[],\"columns\":[\"NAME\",\"FREQ\",\"USED\"]}}";
    write(path("order.json"), text);
    std::string err;
    EXPECT_EQ(run({"load", path("order.json"), path("o.CBB")}, &err), 1);
    EXPECT_NE(err.find("FREQS: \"columns\" must come before \"rows\""), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(path("o.CBB")));
}

TEST_F(JsonLoadTest, TextThatIsNotJsonOrNoFileIsRefused)
{
    for (const std::string& text :
         {std::string("{\"GROUPS\": {\"columns\": [\"GROUP\""), std::string("[1,2]"), std::string(""),
          std::string("{\"GROUPS\":{\"columns\":[\"GR\xC3\"]}}")}) {
        write(path("broken.json"), text);
        std::string err;
        EXPECT_EQ(run({"load", path("broken.json"), path("b.CBB")}, &err), 1) << text;
        EXPECT_FALSE(err.empty());
        EXPECT_FALSE(fs::exists(path("b.CBB")));
    }
    std::string err;
    EXPECT_EQ(run({"load", path("none.json"), path("b.CBB")}, &err), 1);
    EXPECT_NE(err.find("none.json"), std::string::npos);
    EXPECT_FALSE(fs::exists(path("b.CBB")));
    EXPECT_EQ(run({"load", path("none.json")}), 2);
}
