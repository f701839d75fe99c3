#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
    // Only this process creates the name it picks: the creation fails for
    // a name already taken, and another is tried.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "velko-test-%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        std::error_code ec;
        if (fs::create_directory(base / name, ec)) {
            path_ = (base / name).generic_u8string();
            return;
        }
    }
    ADD_FAILURE() << "cannot create a temporary directory under " << base.string();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only directories behind; make them writable first.
    for (auto it = fs::recursive_directory_iterator(fs::u8path(path_), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(fs::u8path(path_), ec);
}

std::string TempDir::operator/(const std::string& relative) const {
    return path_ + "/" + relative;
}

CurrentDirectory::CurrentDirectory(const std::string& path)
    : previous_(fs::current_path().u8string()) {
    fs::current_path(fs::u8path(path));
}

CurrentDirectory::~CurrentDirectory() {
    std::error_code ec;
    fs::current_path(fs::u8path(previous_), ec);
    if (ec)
        ADD_FAILURE() << "cannot go back to " << previous_ << ": " << ec.message();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return std::string();
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(fs::u8path(path), ec));
}

std::int64_t FileSize(const std::string& path) {
    std::error_code ec;
    const fs::path name = fs::u8path(path);
    if (!fs::is_regular_file(fs::symlink_status(name, ec)))
        return -1;
    const auto size = fs::file_size(name, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

void MakeDirs(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fs::u8path(path), ec);
    if (ec)
        ADD_FAILURE() << "cannot create " << path << ": " << ec.message();
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v & 0xFF));
    return s;
}

std::string U16LE(std::uint32_t v) {
    return Bytes({static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF)});
}

std::string U32LE(std::uint32_t v) {
    return U16LE(v & 0xFFFF) + U16LE(v >> 16);
}

} // namespace testsupport
