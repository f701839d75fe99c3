// trovel at the limits of its format, at full size: 65,535 files, 4,096
// directories and names of 127 bytes save and load; one more file or
// directory, or an archive of 4 GiB, is refused before anything is written.

#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <unistd.h>

using testsupport::Exists;

namespace {

using TrovelLimits = TrovelTest;

// The archive paths of a tree at both limits: 15 files in the root, then
// 4,095 directories of 16 files each, the first named with 127 bytes.
std::vector<std::string> FullTree() {
    std::vector<std::string> paths;
    for (int i = 0; i < 15; ++i)
        paths.push_back("/r" + std::to_string(i));
    for (int d = 0; d < 4095; ++d) {
        const std::string dir = d == 0 ? std::string(127, 'n') : "d" + std::to_string(d);
        for (int i = 0; i < 16; ++i)
            paths.push_back("/" + dir + "/f" + std::to_string(i));
    }
    return paths;
}

// A script storing the disk file x.bin under each of `paths`.
std::string Script(const std::vector<std::string>& paths) {
    std::string script;
    for (const std::string& path : paths)
        script += "\"x.bin\", \"" + path + "\"\n";
    return script;
}

TEST_F(TrovelLimits, FullArchiveSavesAndLoadsAndOneMoreFileOrDirectoryIsRefused) {
    Write("x.bin", "x");
    const std::vector<std::string> full = FullTree();
    ASSERT_EQ(full.size(), 65535u);
    Write("full.txt", Script(full));
    auto r = Trovel({"-c", "-S", "full.txt", "full.kpak"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string archive = Read("full.kpak");
    // The file count of BTAF, and the directory count in the root's entry
    // of the name table, which follows BTAF's 65,535 records.
    EXPECT_EQ(archive.substr(24, 2), testsupport::U16LE(65535).substr(0, 2));
    EXPECT_EQ(archive.substr(16 + 12 + 8 * 65535 + 8 + 6, 2),
              testsupport::U16LE(4096).substr(0, 2));

    r = Trovel({"-l", "full.kpak"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::size_t lines =
        static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n'));
    // The head, a line per file and a line per directory but the root.
    EXPECT_EQ(lines, 3 + 65535u + 4095u);
    const std::string longName(127, 'n');
    // The root's entries come first, then each directory's contents.
    EXPECT_NE(r.out.find("\n    14:        1 /r14\n<DIR> :        0 /" + longName + "/\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\n    15:        1 /" + longName + "/f0\n"), std::string::npos);
    const std::string last = " 65534:        1 /d4094/f15\n";
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);

    // Each refused run adds to the archive as saved: a file, or an empty
    // directory while a file is only replaced.
    Write("r14", "y");
    testsupport::MakeDirs(dir / "empty");
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string err;
    } refusals[] = {
        {"one file more", {"-r", "-b", "full.kpak", "x.bin"}, "full.kpak: Too many files.\n"},
        {"one directory more",
         {"-r", "-b", "full.kpak", "empty", "r14"},
         "full.kpak: Too many directories.\n"},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.what);
        r = Trovel(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(Read("full.kpak"), archive);
        EXPECT_FALSE(Exists(dir / "full.@@@"));
        EXPECT_FALSE(Exists(dir / "full.bak"));
    }
}

// Members of several GiB are sparse files: nothing is read from them when
// the archive they would make is refused.
TEST_F(TrovelLimits, ArchivesOf4GiBOrMoreAreRefusedBeforeAnythingIsWritten) {
    const std::uint64_t gib4 = std::uint64_t{1} << 32;
    const auto sparse = [&](const std::string& name, std::uint64_t size) {
        Write(name, "");
        ASSERT_EQ(truncate((dir / name).c_str(), static_cast<off_t>(size)), 0) << name;
    };
    Write("s", "small");
    ASSERT_EQ(Trovel({"-c", "old", "s"}).status, 0);
    const std::string old = Read("old.kpak");
    // With one file of a one-letter name the contents start at 64.
    sparse("exact/a", gib4 - 64);
    sparse("halves/a", gib4 / 2);
    sparse("halves/b", gib4 / 2);
    sparse("wraps/a", gib4 + 8);
    const struct {
        const char* what;
        std::vector<std::string> args;
    } cases[] = {
        {"exactly 4 GiB", {"-c", "-b", "old", "-D", "exact", "a"}},
        {"two halves", {"-c", "-b", "old", "-D", "halves", "a", "b"}},
        {"past 4 GiB by what fits in 32 bits", {"-c", "-b", "old", "-D", "wraps", "a"}},
        {"added to an archive", {"-r", "-b", "old", "-D", "halves", "a", "b"}},
        {"a directory added, aligned to 32", {"-r", "-b", "-A", "32", "old", "exact"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = Trovel(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "old.kpak: Archive is too large.\n");
        EXPECT_EQ(Read("old.kpak"), old);
        EXPECT_FALSE(Exists(dir / "old.@@@"));
        EXPECT_FALSE(Exists(dir / "old.bak"));
    }
}

} // namespace
