#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

using TrovelArchive = TrovelTest;

// The smallest archive with one member: /a holding "hello", alignment 4.
std::string OneFileArchive() {
    return "KPAK" + Bytes({0xFE, 0xFF, 0x00, 0x01}) + U32LE(72) + U16LE(16) + U16LE(3) + "BTAF"
        + U32LE(20) + U16LE(1) + U16LE(0) + U32LE(0) + U32LE(5) + "BTNF" + U32LE(20) + U32LE(8)
        + U16LE(0) + U16LE(1) + Bytes({0x01, 'a', 0x00, 0xFF}) + "GMIF" + U32LE(16) + "hello"
        + Bytes({0xFF, 0xFF, 0xFF});
}

TEST_F(TrovelArchive, CreateWritesTheExactLayoutAndNoSideFiles) {
    Write("a", "hello");
    auto r = Trovel({"-c", "one", "a"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Read("one.kpak"), OneFileArchive());
    EXPECT_FALSE(Exists(dir / "one.@@@"));
    EXPECT_FALSE(Exists(dir / "one.bak"));
}

TEST_F(TrovelArchive, CreateVerboseListsEveryFileInEnumerationOrder) {
    Write("assets/b.bin", "bb");
    Write("assets/_x.bin", "x");
    Write("assets/A.bin", "aaaa");
    Write("assets/sub/Z.bin", "");
    auto r = Trovel({"-cv", "out/../game", "assets"});
    // "out/../game" holds a dot, so no extension is added and out/ must exist.
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              std::string(kBanner)
                  + "Adding: assets/A.bin\nAdding: assets/b.bin\n"
                    "Adding: assets/sub/Z.bin\nAdding: assets/_x.bin\n");

    r = Trovel({"-cvl", "game", "assets"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kBanner)
                  + "Adding: assets/A.bin\nAdding: assets/b.bin\nAdding: assets/sub/Z.bin\n"
                    "Adding: assets/_x.bin\n"
                  + kListHead
                  + "<DIR> :        0 /assets/\n"
                    "     0:        4 /assets/A.bin\n"
                    "     1:        2 /assets/b.bin\n"
                    "<DIR> :        0 /assets/sub/\n"
                    "     2:        1 /assets/_x.bin\n"
                    "     3:        0 /assets/sub/Z.bin\n");
}

TEST_F(TrovelArchive, SortedCreateListsInByteOrderAndLoadKeepsThatOrder) {
    Write("d/b.bin", "1");
    Write("d/_x.bin", "22");
    Write("d/A.bin", "333");
    ASSERT_EQ(Trovel({"-c", "-s", "s.kpak", "-D", "d", ""}).status, 0);
    const std::string sorted = std::string(kListHead)
        + "     0:        3 /A.bin\n"
          "     1:        2 /_x.bin\n     2:        1 /b.bin\n";
    auto r = Trovel({"-l", "s.kpak"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, sorted);

    ASSERT_EQ(Trovel({"-c", "u.kpak", "-D", "d", ""}).status, 0);
    const std::string stored = std::string(kListHead)
        + "     0:        3 /A.bin\n"
          "     1:        1 /b.bin\n     2:        2 /_x.bin\n";
    EXPECT_EQ(Trovel({"-l", "u.kpak"}).out, stored);
    // Listing with -s shows the numbers on disk, not a re-sorted tree.
    EXPECT_EQ(Trovel({"-ls", "u.kpak"}).out, stored);
}

TEST_F(TrovelArchive, NothingImportedMeansNothingWritten) {
    auto r = Trovel({"-cv", "arc.kpak"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kBanner) + "There is no updated file.\n");
    MakeDirs(dir / "empty/inner");
    r = Trovel({"-c", "arc.kpak", "empty"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(Exists(dir / "arc.kpak"));
}

TEST_F(TrovelArchive, WorkingDirectoriesAddToRootAndExcludes) {
    Write("base/x.bin", "x");
    Write("base/CVS/junk", "j");
    Write("base/s/cvs", "keep");
    Write("other/a/b/c.bin", "c");
    auto r = Trovel({"-c", "--exclude=CVS", "-l", "arc", "-D", "base", "x.bin", "s", "-D", "other",
                     "a/b/c.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kListHead)
                  + "     0:        1 /x.bin\n<DIR> :        0 /s/\n"
                    "<DIR> :        0 /a/\n     1:        4 /s/cvs\n"
                    "<DIR> :        0 /a/b/\n     2:        1 /a/b/c.bin\n");
    r = Trovel({"-c", "-a", "-l", "root", "other/a/b/c.bin", "base"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kListHead)
                  + "     0:        1 /c.bin\n<DIR> :        0 /CVS/\n"
                    "<DIR> :        0 /s/\n     1:        1 /x.bin\n"
                    "     2:        1 /CVS/junk\n     3:        4 /s/cvs\n");
}

TEST_F(TrovelArchive, RemoveEmptyDirKeepsOnlyParentsOfFiles) {
    Write("t/f.bin", "f");
    MakeDirs(dir / "t/empty/deeper");
    auto r = Trovel({"-c", "-e", "-l", "arc", "t"});
    EXPECT_EQ(r.out, std::string(kListHead) + "<DIR> :        0 /t/\n     0:        1 /t/f.bin\n");
    r = Trovel({"-c", "-l", "arc", "t"});
    EXPECT_EQ(r.out,
              std::string(kListHead)
                  + "<DIR> :        0 /t/\n<DIR> :        0 /t/empty/\n"
                    "     0:        1 /t/f.bin\n"
                    "<DIR> :        0 /t/empty/deeper/\n");
}

TEST_F(TrovelArchive, ReplaceCreatesAMissingArchiveAndReplacesMembers) {
    Write("a", "hello");
    auto r = Trovel({"-r", "one", "a"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("one.kpak"), OneFileArchive());

    Write("b.bin", "bee");
    Write("a", "HELLO!");
    r = Trovel({"-rvl", "-b", "one", "a", "b.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kBanner) + "Adding: a\nAdding: b.bin\n" + kListHead
                  + "     0:        6 /a\n     1:        3 /b.bin\n");
    EXPECT_EQ(Read("one.bak"), OneFileArchive());

    // With -u only existing members are replaced.
    Write("c.bin", "sea");
    r = Trovel({"-ruv", "one", "c.bin"});
    EXPECT_EQ(r.out, std::string(kBanner) + "Skip  : c.bin\nThere is no updated file.\n");
}

TEST_F(TrovelArchive, FailuresReportTheirSubjectAndLeaveTheArchiveAlone) {
    Write("a", "hello");
    ASSERT_EQ(Trovel({"-c", "one", "a"}).status, 0);
    const std::string before = Read("one.kpak");

    auto r = Trovel({"-r", "one", "missing"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing: Cannot open directory.\n");

    Write("dir/" + std::string(128, 'n'), "x");
    r = Trovel({"-r", "one", "dir"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "/dir/" + std::string(128, 'n') + ": Name is too long.\n");

    Write("sub/a/x", "x");
    r = Trovel({"-r", "one", "-D", "sub", "a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "a: File exists with the same name as the specified directory name.\n");

    r = Trovel({"-r", "one", "../x.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "..: Specifies the root's parent directory.\n");

    EXPECT_EQ(Read("one.kpak"), before);
    EXPECT_FALSE(Exists(dir / "one.@@@"));

    r = Trovel({"-l", "nothere.kpak"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "nothere.kpak: Cannot open file.\n");

    Write("junk.kpak", "not an archive at all");
    r = Trovel({"-l", "junk.kpak"});
    EXPECT_EQ(r.err, "junk.kpak: Not a Quorvane VELKO-System archive.\n");
}

// A missing operand 65,500 levels deep, run with a 1 MiB stack (the default
// on Windows): a tree built, walked or destroyed one call per level would
// crash instead of reporting the missing directory.
TEST_F(TrovelArchive, VeryDeepMissingOperandFailsCleanlyOnASmallStack) {
    std::string deep = "a";
    for (int i = 1; i < 65500; ++i)
        deep += "/a";
    const RunResult r = testsupport::Run(
        "/bin/sh", {"-c", "ulimit -s 1024 && exec \"$0\" \"$@\"", program, "-c", "t", deep},
        dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, deep + ": Cannot open directory.\n");
    EXPECT_FALSE(Exists(dir / "t.kpak"));
}

TEST_F(TrovelArchive, SideFilesThatAreTheArchiveAreRefused) {
    Write("a", "hello");
    auto r = Trovel({"-c", "x.@@@", "a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x.@@@: Same file as the archive.\n");
    r = Trovel({"-c", "-b", "x.bak", "a"});
    EXPECT_EQ(r.err, "x.bak: Same file as the archive.\n");
    EXPECT_FALSE(Exists(dir / "x.@@@"));
    EXPECT_FALSE(Exists(dir / "x.bak"));
}

TEST_F(TrovelArchive, ArchivesWithoutNameTableListEmptyAndAreNotEdited) {
    Write("a", "hello");
    ASSERT_EQ(Trovel({"-c", "-n", "bare", "a"}).status, 0);
    const std::string before = Read("bare.kpak");
    auto r = Trovel({"-l", "bare"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kListHead);
    r = Trovel({"-r", "bare", "a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bare.kpak: Archive does not contain a Name Table.\n");
    EXPECT_EQ(Read("bare.kpak"), before);
}

} // namespace
