// `cbbtool catalogue`: the PDF of the demonstration base holds, as text, every shown type,
// every element with its code and price in the user's locale, and the charts' titles.
#include "catalogue.h"
#include "cbbtool.h"

#include "platform/value_text.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QProcess>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("dorvin_cat_" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        QLocale::setDefault(QLocale::c());
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The text of the PDF page by page, as a reader extracts it.
    static std::vector<std::string> pagesOf(const std::string& pdf)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), QString::fromStdString(pdf), QStringLiteral("-")});
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const std::string all = p.readAllStandardOutput().toStdString();
        std::vector<std::string> pages(1);
        for (char c : all) {
            if (c == '\f')
                pages.emplace_back();
            else
                pages.back() += c;
        }
        if (pages.back().empty())
            pages.pop_back();
        return pages;
    }
    // Blanks collapsed, as the layout of columns puts any number of them; no-break spaces
    // (group separators of prices) count as blanks, as the extracted text has them.
    static std::string squeezed(std::string s)
    {
        for (const std::string nbsp : {"\xC2\xA0", "\xE2\x80\xAF"})
            for (auto at = s.find(nbsp); at != std::string::npos; at = s.find(nbsp))
                s.replace(at, nbsp.size(), " ");
        std::string out;
        for (char c : s) {
            const bool blank = c == ' ' || c == '\n';
            if (blank && !out.empty() && out.back() == ' ')
                continue;
            out += blank ? ' ' : c;
        }
        return out;
    }

    fs::path dir_;
};

} // namespace

TEST_F(CatalogueTest, PagesHoldTypesElementsPricesAndCharts)
{
    const std::string base = path("Demo.CBB"), pdf = path("Каталог.pdf");
    std::ostringstream out, err;
    ASSERT_EQ(cbbtool::run({"demo", base}, out, err), 0);
    std::vector<std::pair<int, int>> progress;
    const int pages =
        cbbtool::writeCatalogue(base, pdf, [&](int done, int total) { progress.emplace_back(done, total); });
    ASSERT_TRUE(fs::exists(fs::u8path(pdf)));
    const auto text = pagesOf(pdf);
    ASSERT_EQ(static_cast<int>(text.size()), pages);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(pages, pages));

    EXPECT_NE(text[0].find("Содержание"), std::string::npos);
    std::string all;
    for (const auto& p : text)
        all += squeezed(p) + "\n";

    TDataM dm;
    dm.LoadBase(base);
    int types = 0;
    for (dm.ClGroupsTable.first(); !dm.ClGroupsTable.eof(); dm.ClGroupsTable.next(), ++types) {
        const std::string name = dorvin::cp1251ToUtf8(dm.ClGroupsTableGRNAME.asString());
        SCOPED_TRACE(name);
        EXPECT_NE(text[0].find(name), std::string::npos) << "listed in the contents";
        // the type's own section starts a page with its name
        bool heads = false;
        for (std::size_t p = 1; p < text.size(); ++p)
            heads = heads || squeezed(text[p]).find(name) < 40;
        EXPECT_TRUE(heads);
        for (dm.ClElemsTable.first(); !dm.ClElemsTable.eof(); dm.ClElemsTable.next()) {
            const std::string model = dorvin::cp1251ToUtf8(dm.ClElemsTableMODEL.asString());
            const std::string code = dorvin::cp1251ToUtf8(dm.ClElemsTableCODE.asString());
            const std::string price =
                squeezed(dorvin::formatMoneyText(dm.ClElemsTableCENA.asMoney()).toStdString());
            EXPECT_NE(all.find(code + " " + model + " " + price), std::string::npos) << model << " " << price;
            // the element's charts follow its caption, each titled by its parameter
            const std::size_t caption = all.find(model + " — код " + code);
            EXPECT_NE(caption, std::string::npos) << model;
            for (dm.ClParamsTable.first(); !dm.ClParamsTable.eof(); dm.ClParamsTable.next()) {
                const std::string title = squeezed(dorvin::cp1251ToUtf8(dm.ClParamsTablePARNAME.asString()));
                EXPECT_NE(all.find(title, caption), std::string::npos) << "chart title " << title;
            }
        }
    }
    EXPECT_EQ(types, 11);
    EXPECT_NE(all.find("Частота,МГц"), std::string::npos);
    EXPECT_NE(all.find("₽"), std::string::npos) << "prices in the Russian locale's currency";
}

TEST_F(CatalogueTest, FailuresLeaveNoFile)
{
    const std::string base = path("Demo.CBB");
    std::ostringstream out, err;
    ASSERT_EQ(cbbtool::run({"demo", base}, out, err), 0);
    EXPECT_THROW(cbbtool::writeCatalogue(base, path("no/such/dir/c.pdf")), std::exception);
    std::ofstream(path("junk.CBB")) << "junk";
    EXPECT_THROW(cbbtool::writeCatalogue(path("junk.CBB"), path("c.pdf")), std::exception);
    EXPECT_FALSE(fs::exists(path("c.pdf")));
    std::ofstream(path("old.pdf")) << "old";
    EXPECT_THROW(cbbtool::writeCatalogue(path("missing.CBB"), path("old.pdf")), std::exception);
    std::ifstream in(path("old.pdf"));
    std::string kept;
    in >> kept;
    EXPECT_EQ(kept, "old");
    EXPECT_EQ(cbbtool::runCatalogueCommand({base}), 2);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
