#pragma once

// A test's own folder, and reading back what its files hold.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <unistd.h>

namespace files {

/// The whole file, or nothing when it cannot be read.
inline std::string slurp(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// The names in a folder.
inline std::set<std::string> listing(const std::filesystem::path &dir)
{
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

/// A test with a folder of its own, removed however the test ends.
class ScratchTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                ("kelvane-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" +
                 test->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    /// Writes a file into the folder, and gives its path.
    std::string write(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
        return (m_dir / name).string();
    }

    std::filesystem::path m_dir;
};

} // namespace files
