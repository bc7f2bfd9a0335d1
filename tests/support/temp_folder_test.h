#pragma once
// A GoogleTest fixture with a fresh temporary folder for each test, removed afterwards.
// Plain C++: storage and tool tests use it without Qt.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace dorvin::test {

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path()
               / ("dorvin_test_" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // A file in the folder, as UTF-8 text.
    std::string path(const std::string& name) const
    {
        const auto u = (dir_ / name).u8string();
        return std::string(u.begin(), u.end());
    }

    std::filesystem::path dir_;
};

} // namespace dorvin::test
