// The command-line companion: its commands on good and damaged files, and its text forms.
#include "cbbtool.h"
#include "demo_base.h"
#include "support/temp_folder_test.h"
#include "text_format.h"

#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/file_io.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class CbbtoolTest : public dorvin::test::TempFolderTest {
protected:
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
    static std::string bytes(const std::string& p)
    {
        const auto v = dorvin::files::readFile(p);
        return std::string(v.begin(), v.end());
    }
};

} // namespace

TEST(TextFormat, Base64MatchesTheStandardVectors)
{
    auto b64 = [](std::string s) {
        return cbbtool::base64(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    };
    EXPECT_EQ(b64(""), "");
    EXPECT_EQ(b64("f"), "Zg==");
    EXPECT_EQ(b64("fo"), "Zm8=");
    EXPECT_EQ(b64("foo"), "Zm9v");
    EXPECT_EQ(b64("foob"), "Zm9vYg==");
    EXPECT_EQ(b64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(b64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(b64(std::string("\xFF\xFE\x00", 3)), "//4A");
}

TEST(TextFormat, JsonStringsEscapeWhatJsonRequires)
{
    EXPECT_EQ(cbbtool::jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(cbbtool::jsonString("\r\n\t"), "\"\\r\\n\\t\"");
    EXPECT_EQ(cbbtool::jsonString(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
    EXPECT_EQ(cbbtool::jsonString("Кабель"), "\"Кабель\"");
}

TEST(TextFormat, NumbersReadBackToTheSameDouble)
{
    for (double v : {0.1 + 0.2, 49.75, -0.0, 1e300, 5e-324, 12.5, 1.0 / 3.0}) {
        const std::string s = cbbtool::jsonNumber(v);
        double back = 0;
        const auto res = std::from_chars(s.data(), s.data() + s.size(), back);
        ASSERT_EQ(res.ec, std::errc()) << s;
        EXPECT_EQ(res.ptr, s.data() + s.size());
        EXPECT_EQ(back, v) << s;
        EXPECT_EQ(std::signbit(back), std::signbit(v));
    }
    EXPECT_EQ(cbbtool::jsonNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(cbbtool::jsonNumber(std::nan("")), "null");
    EXPECT_EQ(cbbtool::jsonNumber(INFINITY), "null");
}

TEST_F(CbbtoolTest, NewWritesABaseThatChecks)
{
    const std::string p = path("t.cds");
    ASSERT_EQ(run({"new", p}).status, 0);
    const Result r = run({"check", p});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "GROUPS: 11 rows\nELEMENTS: 0 rows\nPARAMS: 0 rows\nFREQS: 96 rows\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CbbtoolTest, JsonDumpHoldsEveryValueKind)
{
    const std::string p = path("j.CBB");
    std::string symbol;
    {
        TDataM dm;
        ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "1"));
        symbol = dm.ClGroupsTableB1.asBytes();
        dm.ClElemsTable.append();
        dm.ClElemsTableELEM.setInteger(7);
        dm.ClElemsTableMODEL.setString(dorvin::utf8ToCp1251("Модель \"А\\Б\""));
        dm.ClElemsTableCENA.setMoney(0.1 + 0.2);
        dm.ClElemsTable.post(); // CODE stays null
        dm.SaveBase(p);
    }
    const Result r = run({"dump", "--json", p});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& j = r.out;
    EXPECT_EQ(j.front(), '{');
    for (const char* key : {"\"GROUPS\":{\"columns\":[\"GROUP\",\"GRNAME\",\"B1\"", "\"ELEMENTS\":{",
                            "\"PARAMS\":{\"columns\":[\"GROUP\",\"ELEM\",\"PARAM\",\"PARNAME\",\"N1\"",
                            "\"FREQS\":{\"columns\":[\"NAME\",\"FREQ\",\"USED\"]"})
        EXPECT_NE(j.find(key), std::string::npos) << key;
    EXPECT_NE(j.find("[1,7,\"Модель \\\"А\\\\Б\\\"\",0.30000000000000004,null]"), std::string::npos);
    EXPECT_NE(j.find("[\"1\",49.75,true]"), std::string::npos);
    EXPECT_NE(j.find("[1,\"Источники сигнала\",\""
                     + cbbtool::base64(
                         std::span(reinterpret_cast<const std::uint8_t*>(symbol.data()), symbol.size()))
                     + "\""),
              std::string::npos);
    EXPECT_EQ(j.find("\"4r\""), std::string::npos) << "history rows are not part of the contents";
}

TEST_F(CbbtoolTest, TextDumpListsColumnsAndRowsInUtf8)
{
    const std::string p = path("d.CBB");
    ASSERT_EQ(run({"demo", p}).status, 0);
    const Result r = run({"dump", p});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("GROUPS (11 rows)\n  columns: GROUP GRNAME B1 B2 B3 B4 B5 B6 B7 B8\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("  2 | Усилители | <"), std::string::npos);
    EXPECT_NE(r.out.find("Кабель RG-11"), std::string::npos);
    EXPECT_NE(r.out.find("FREQS (96 rows)"), std::string::npos);
}

TEST_F(CbbtoolTest, DamagedFilesFailWithTheirTextAndNoOutputFile)
{
    const std::string good = path("g.CBB");
    ASSERT_EQ(run({"new", good}).status, 0);
    const std::string content = bytes(good);
    const std::string bad = path("bad.CBB");
    for (const std::string& damaged :
         {content.substr(0, content.size() / 3), std::string("not a base"), std::string()}) {
        std::ofstream(bad, std::ios::binary | std::ios::trunc) << damaged;
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"check", bad}, {"dump", bad}, {"dump", "--json", bad}, {"copy", bad, path("out.CBB")}}) {
            const Result r = run(args);
            EXPECT_EQ(r.status, 1) << args[0];
            EXPECT_FALSE(r.err.empty());
            EXPECT_EQ(r.out, "") << "nothing is printed before the file proved readable";
        }
        EXPECT_FALSE(fs::exists(path("out.CBB")));
    }
    const Result missing = run({"check", path("none.CBB")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.CBB"), std::string::npos);
}

TEST_F(CbbtoolTest, CopyLoadsAndSaves)
{
    const std::string a = path("a.CBB"), b = path("b.CBB");
    ASSERT_EQ(run({"demo", a}).status, 0);
    ASSERT_EQ(run({"copy", a, b}).status, 0);
    EXPECT_EQ(bytes(a), bytes(b));
    EXPECT_EQ(run({"check", b}).out, run({"check", a}).out);
}

TEST_F(CbbtoolTest, WrongUsageExitsTwo)
{
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"frobnicate"}).status, 2);
    EXPECT_EQ(run({"copy", "one"}).status, 2);
    const Result r = run({"dump", "--xml", "f"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos);
}

TEST_F(CbbtoolTest, DemoBaseHasRealisticElementsOfEveryType)
{
    const std::string p = path("Demo.CBB"), ini = path("Dorvin.ini");
    ASSERT_EQ(run({"demo", p, "--ini", ini}).status, 0);
    TDataM dm;
    dm.LoadBase(p);
    for (int g = 1; g <= 11; ++g) {
        SCOPED_TRACE(g);
        ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", std::to_string(g)));
        EXPECT_GE(dm.ClElemsTable.recordCount(), 2);
        for (dm.ClElemsTable.first(); !dm.ClElemsTable.eof(); dm.ClElemsTable.next()) {
            // one parameter row per template row of the type, every point filled
            EXPECT_EQ(dm.ClParamsTable.recordCount(), dm.ParamsTemplate.recordCount());
            EXPECT_GT(dm.ClElemsTableCENA.asMoney(), 0.0);
            EXPECT_FALSE(dm.ClElemsTableCODE.asString().empty());
            for (int k = 0; k < 96; ++k)
                EXPECT_FALSE(dm.ClParamsTableN[k]->isNull());
        }
    }
    // cable loss per metre grows with frequency, roughly as its square root
    ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "3"));
    dm.ClElemsTable.first();
    const double low = dm.ClParamsTableN1.asFloat(), high = dm.ClParamsTableN[95]->asFloat();
    EXPECT_GT(high, low * 3.0);
    EXPECT_LT(high, low * 6.0);
    // an amplifier's gain rises over the band
    ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "2"));
    dm.ClElemsTable.first();
    EXPECT_GT(dm.ClParamsTableN[95]->asFloat(), dm.ClParamsTableN1.asFloat());

    const std::string settings = bytes(ini);
    EXPECT_EQ(settings, cbbtool::demoSettingsText("Demo.CBB"));
    EXPECT_EQ(dorvin::cp1251ToUtf8(settings),
              "[Bases]\r\nДемонстрационная база=$(ProgDirectory)\\Demo.CBB\r\n\r\n"
              "[CurBase]\r\nРабочая база=Демонстрационная база\r\n");
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i] == '\n') {
            EXPECT_EQ(settings[i - 1], '\r');
        }
    }
}
