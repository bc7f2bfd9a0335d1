// cbbtool starts without the toolkit and hands the commands that draw to cbbtool-draw
// beside it: the arguments must arrive as they were typed, the exit status must come back,
// and a missing helper must be said so without touching the data commands.
#include "cbbtool.h"
#include "sibling_program.h"
#include "support/temp_folder_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class DrawForwarding : public dorvin::test::TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        base_ = path("демо база.CBB");
        std::ostringstream out, err;
        ASSERT_EQ(cbbtool::run({"demo", base_}, out, err), 0) << err.str();
    }
    static int pictures(const fs::path& folder)
    {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            n += entry.path().extension() == ".png" ? 1 : 0;
        return n;
    }

    std::string base_;
};

} // namespace

TEST_F(DrawForwarding, SymbolsReachTheHelperWithTheirArgumentsAndReportSuccess)
{
    const std::string folder = path("знаки \"демо\" 'базы' $HOME");
    EXPECT_EQ(cbbtool::runProgram(DORVIN_CBBTOOL, {"symbols", base_, folder}), 0);
    ASSERT_TRUE(fs::is_directory(fs::u8path(folder)));
    EXPECT_GT(pictures(fs::u8path(folder)), 0);
}

TEST_F(DrawForwarding, TheHelpersFailureStatusComesBack)
{
    EXPECT_EQ(cbbtool::runProgram(DORVIN_CBBTOOL, {"symbol", path("нет такого.emf")}), 1);
    EXPECT_EQ(cbbtool::runProgram(DORVIN_CBBTOOL, {"catalogue"}), 2);
}

TEST_F(DrawForwarding, WithoutTheHelperDrawingFailsAndDataCommandsStillWork)
{
    // A copy of cbbtool alone in a folder: no cbbtool-draw beside it.
    const fs::path alone = dir_ / fs::path(DORVIN_CBBTOOL).filename();
    fs::copy_file(DORVIN_CBBTOOL, alone);
    const std::string folder = path("знаки");
    EXPECT_EQ(cbbtool::runProgram(alone, {"symbols", base_, folder}), 2);
    EXPECT_FALSE(fs::exists(fs::u8path(folder)));
    EXPECT_EQ(cbbtool::runProgram(alone, {"check", base_}), 0);
}

TEST(SiblingProgram, AMissingProgramIsNotStartedAndTheOwnFolderIsFound)
{
    EXPECT_EQ(cbbtool::runProgram(fs::temp_directory_path() / "dorvin-no-such-program", {}), std::nullopt);
    // Found from the system, not from a missing argv[0].
    const fs::path own = cbbtool::ownFolder(nullptr);
    EXPECT_TRUE(fs::exists(own / "tool_draw_tests") || fs::exists(own / "tool_draw_tests.exe")) << own;
}
