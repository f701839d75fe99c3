// trovel -x on archives made to attack the disk: names that climb out of the
// output directory or that the disk treats specially, deep nesting, cycles,
// and allocation records that overlap, run off the image or claim huge
// sizes. Each runs in a fresh directory holding a few marker files; the
// whole directory is walked before and after, so anything written outside
// the output directory, or any marker changed, is seen.

#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::Bytes;
using testsupport::U16LE;
using testsupport::U32LE;

namespace {

using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

std::string Block(const std::string& kind, const std::string& body) {
    return kind + U32LE(static_cast<std::uint32_t>(8 + body.size())) + body;
}

// A little-endian archive: header, BTAF holding `ranges`, BTNF holding
// `names` (directory table and sub-tables), GMIF holding `image`.
std::string Archive(const Ranges& ranges, const std::string& names, const std::string& image) {
    std::string fat = U16LE(static_cast<std::uint32_t>(ranges.size())) + U16LE(0);
    for (const auto& [start, end] : ranges)
        fat += U32LE(start) + U32LE(end);
    const std::string blocks = Block("BTAF", fat) + Block("BTNF", names) + Block("GMIF", image);
    return "KPAK" + Bytes({0xFE, 0xFF, 0x00, 0x01})
        + U32LE(static_cast<std::uint32_t>(16 + blocks.size())) + U16LE(16) + U16LE(3) + blocks;
}

std::string File(const std::string& name) {
    return static_cast<char>(name.size()) + name;
}

std::string Sub(const std::string& name, std::uint16_t id) {
    return static_cast<char>(0x80 | name.size()) + name + U16LE(id);
}

const std::string kEnd(1, '\0');
const std::string kLongName(127, 'd');

// One directory of a name table: its first file ID, its parent's ID (unused
// for the root, whose field holds the number of directories) and its
// sub-table, end byte included.
struct DirSpec {
    std::uint16_t firstFile;
    std::uint16_t parent;
    std::string subTable;
};

// A name table: the directory table for `dirs` (IDs 0xF000 on, in order),
// then their sub-tables.
std::string Names(const std::vector<DirSpec>& dirs) {
    std::string table, subTables;
    const auto count = static_cast<std::uint32_t>(dirs.size());
    for (std::uint32_t k = 0; k < count; ++k) {
        table += U32LE(8 * count + static_cast<std::uint32_t>(subTables.size()))
            + U16LE(dirs[k].firstFile) + U16LE(k == 0 ? count : dirs[k].parent);
        subTables += dirs[k].subTable;
    }
    return table + subTables;
}

// An archive whose root alone holds the entries of `subTable` (end byte
// included).
std::string RootOnly(const std::string& subTable, const Ranges& ranges,
                     const std::string& image = "EVIL") {
    return Archive(ranges, Names({{0, 0, subTable}}), image);
}

// A root holding the directory `name`, which holds the file x.
std::string OneSubdirectory(const std::string& name) {
    return Archive(
        {{0, 4}}, Names({{0, 0, Sub(name, 0xF001) + kEnd}, {0, 0xF000, File("x") + kEnd}}), "EVIL");
}

// `levels` directories counting the root, each but the deepest holding
// only the next one, named `name`, the deepest the file f.
std::string Nested(int levels, const std::string& name) {
    std::vector<DirSpec> dirs;
    for (int k = 0; k < levels; ++k)
        dirs.push_back(
            {0, static_cast<std::uint16_t>(0xF000 + k - 1),
             (k == levels - 1 ? File("f") : Sub(name, static_cast<std::uint16_t>(0xF001 + k)))
                 + kEnd});
    return Archive({{0, 4}}, Names(dirs), "EVIL");
}

std::string ColonsAndControlBytes() {
    return RootOnly(File("c:") + File("a:b") + File("\x01\x1b[2J") + File("t\tn\nr\r") + kEnd,
                    {{0, 1}, {1, 2}, {2, 3}, {3, 4}});
}

// What the walk saw at one path: "dir", "link:" and its target, or the
// contents of a file.
using Tree = std::map<std::string, std::string>;

// Kept out of the walk's recursion, whose frames must stay small.
std::string Contents(const std::string& name) {
    std::string bytes, buffer(4096, '\0');
    const int fd = open(name.c_str(), O_RDONLY);
    ssize_t n;
    while (fd >= 0 && (n = read(fd, buffer.data(), buffer.size())) > 0)
        bytes.append(buffer, 0, static_cast<std::size_t>(n));
    if (fd >= 0)
        close(fd);
    return bytes;
}

std::string LinkTarget(const std::string& name) {
    std::string target(4096, '\0');
    const ssize_t n = readlink(name.c_str(), target.data(), target.size());
    return target.substr(0, n < 0 ? 0 : static_cast<std::size_t>(n));
}

// The names in the current directory.
std::vector<std::string> NamesHere() {
    std::vector<std::string> names;
    DIR* dir = opendir(".");
    while (const dirent* e = dir != nullptr ? readdir(dir) : nullptr)
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    if (dir != nullptr)
        closedir(dir);
    return names;
}

// Walks the current directory without following links. It moves the
// current directory down and back up, so that paths deeper than the host's
// limit on path length are walked too.
void WalkHere(const std::string& prefix, Tree& tree) {
    const std::vector<std::string> names = NamesHere();
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat st;
        ASSERT_EQ(lstat(name.c_str(), &st), 0) << path;
        if (S_ISDIR(st.st_mode)) {
            tree[path] = "dir";
            ASSERT_EQ(chdir(name.c_str()), 0) << path;
            WalkHere(path + "/", tree);
            ASSERT_EQ(chdir(".."), 0) << path;
        } else {
            tree[path] = S_ISLNK(st.st_mode) ? "link:" + LinkTarget(name) : Contents(name);
        }
    }
}

Tree Walk(const std::string& root) {
    Tree tree;
    testsupport::CurrentDirectory here(root);
    WalkHere("", tree);
    return tree;
}

// Removes everything in the current directory, however deep.
void RemoveHere() {
    for (const std::string& name : NamesHere()) {
        struct stat st;
        ASSERT_EQ(lstat(name.c_str(), &st), 0) << name;
        if (S_ISDIR(st.st_mode)) {
            ASSERT_EQ(chdir(name.c_str()), 0) << name;
            RemoveHere();
            ASSERT_EQ(chdir(".."), 0) << name;
            ASSERT_EQ(rmdir(name.c_str()), 0) << name;
        } else {
            ASSERT_EQ(unlink(name.c_str()), 0) << name;
        }
    }
}

using TrovelHostileArchive = TrovelTest;

TEST_F(TrovelHostileArchive, ExtractionIsRefusedOrWritesOnlyIntoItsOutputDirectory) {
    const std::string invalid = "h.kpak: Invalid archive.\n";
    // The archive's structure is refused as a whole, its names before the
    // output directory is made, so a refused archive creates nothing.
    struct Case {
        const char* what;
        std::string archive;
        int status;
        std::string err; // empty for the nesting, whose message names a deep path
        Tree written;    // what is new in the directory afterwards
    };
    const std::vector<Case> cases = {
        {"backslashes climbing out",
         RootOnly(File("..\\..\\evil") + kEnd, {{0, 4}}),
         1,
         "/..\\..\\evil: Invalid file name in archive.\n",
         {}},
        {"backslash in a directory name",
         OneSubdirectory("a\\..\\.."),
         1,
         "/a\\..\\..: Invalid file name in archive.\n",
         {}},
        {"backslash after good names",
         RootOnly(File("fine") + File("sub\\x") + kEnd, {{0, 1}, {1, 2}}),
         1,
         "/sub\\x: Invalid file name in archive.\n",
         {}},
        {"file named ..", RootOnly(File("..") + kEnd, {{0, 4}}), 1, invalid, {}},
        {"file named .", RootOnly(File(".") + kEnd, {{0, 4}}), 1, invalid, {}},
        {"directory named ..", OneSubdirectory(".."), 1, invalid, {}},
        {"name holding a slash", RootOnly(File("../evil") + kEnd, {{0, 4}}), 1, invalid, {}},
        // Plain names on POSIX; Windows refuses ":" and control bytes in a
        // name, so it refuses the archive before writing anything.
        RunsWindowsProgram() ? Case{"colons and control bytes",
                                    ColonsAndControlBytes(),
                                    1,
                                    "/c:: Invalid file name in archive.\n",
                                    {}}
                             : Case{"colons and control bytes",
                                    ColonsAndControlBytes(),
                                    0,
                                    "",
                                    {{"out", "dir"},
                                     {"out/c:", "E"},
                                     {"out/a:b", "V"},
                                     {"out/\x01\x1b[2J", "I"},
                                     {"out/t\tn\nr\r", "L"}}},
        {"names equal but for case merge",
         Archive({{0, 1}, {1, 2}, {2, 3}, {3, 4}},
                 Names({{0, 0,
                         File("Readme") + File("README") + Sub("Dir", 0xF001) + Sub("DIR", 0xF002)
                             + kEnd},
                        {2, 0xF000, File("x") + kEnd},
                        {3, 0xF000, File("y") + kEnd}}),
                 "EVIL"),
         0,
         "",
         {{"out", "dir"},
          {"out/Readme", "V"},
          {"out/Dir", "dir"},
          {"out/Dir/x", "I"},
          {"out/Dir/y", "L"}}},
        {"directory cycle through the root",
         Archive({},
                 Names({{0, 0, Sub("d", 0xF001) + kEnd}, {0, 0xF000, Sub("up", 0xF000) + kEnd}}),
                 ""),
         1,
         invalid,
         {}},
        {"directory that holds itself",
         Archive({}, Names({{0, 0, Sub("d", 0xF001) + kEnd}, {0, 0xF000, Sub("d", 0xF001) + kEnd}}),
                 ""),
         1,
         invalid,
         {}},
        {"overlapping records",
         RootOnly(File("a") + File("b") + File("c") + kEnd, {{0, 4}, {0, 4}, {2, 4}}),
         0,
         "",
         {{"out", "dir"}, {"out/a", "EVIL"}, {"out/b", "EVIL"}, {"out/c", "IL"}}},
        {"record past the image", RootOnly(File("a") + kEnd, {{0, 5}}), 1, invalid, {}},
        {"record ending before its start", RootOnly(File("a") + kEnd, {{3, 1}}), 1, invalid, {}},
        {"more names than records",
         RootOnly(File("a") + File("b") + kEnd, {{0, 4}}),
         1,
         invalid,
         {}},
        {"huge size in a tiny file", RootOnly(File("a") + kEnd, {{0, 0xFFFFFFFF}}), 1, invalid, {}},
        {"huge start in a tiny file",
         RootOnly(File("a") + kEnd, {{0xFFFFFFF0, 0xFFFFFFFF}}),
         1,
         invalid,
         {}},
        {"huge block size in a tiny file",
         RootOnly(File("a") + kEnd, {{0, 4}}).substr(0, 20) + U32LE(0xFFFFFFF8)
             + RootOnly(File("a") + kEnd, {{0, 4}}).substr(24),
         1,
         invalid,
         {}},
        {"huge sub-table offset",
         Archive({{0, 4}}, U32LE(0xFFFFFFF0) + U16LE(0) + U16LE(1) + kEnd, "EVIL"),
         1,
         invalid,
         {}},
        {"4,096 directories nested", Nested(4096, kLongName), 1, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir run;
        testsupport::WriteFile(run / "h.kpak", c.archive);
        testsupport::WriteFile(run / "evil", "marker");
        testsupport::MakeDirs(run / "marker/sub");
        testsupport::WriteFile(run / "marker/sub/keep", "marker");
        ASSERT_EQ(symlink("marker", (run / "link").c_str()), 0);
        const Tree before = Walk(run.path());

        // The output's line ends as on POSIX; the names in it as written.
        auto r = testsupport::Run(program, {"-x", "h.kpak", "out"}, run.path());
        r.err = PosixLineEnds(r.err);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, "");
        // Every marker is as it was; whatever is new lies in out.
        Tree after = Walk(run.path());
        for (const auto& [path, what] : before) {
            EXPECT_EQ(after[path], what) << path;
            after.erase(path);
        }
        for (const auto& entry : after)
            EXPECT_TRUE(entry.first == "out" || entry.first.compare(0, 4, "out/") == 0)
                << entry.first;
        if (c.err.empty() && c.status == 1) {
            // The path grows past what the host allows long before the
            // deepest directory; long names make that happen after a few
            // dozen levels.
            const std::string top = HostPath("out/" + kLongName + "/" + kLongName + "/");
            EXPECT_EQ(r.err.compare(0, top.size(), top), 0) << r.err;
            EXPECT_EQ(r.err.substr(r.err.size() - 27), ": Cannot create directory.\n");
            EXPECT_FALSE(after.empty());
        } else {
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(after, c.written);
        }
        testsupport::CurrentDirectory here(run.path());
        RemoveHere();
    }
}

} // namespace
