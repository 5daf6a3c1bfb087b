#pragma once

// Reading back what a test's files hold.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

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

} // namespace files
