#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

constexpr std::int64_t kT0 = 1700000000;

// Every file written is dated kT0 unless told otherwise.
class TrovelEdit : public TrovelTest {
protected:
    void Write(const std::string& rel, const std::string& bytes, std::int64_t time = kT0) const {
        TrovelTest::Write(rel, bytes, time);
    }
    // data/a.bin, data/b.bin, data/sub/c.bin packed into arc.kpak, which is
    // dated a minute after them.
    void MakeArchive() {
        Write("data/a.bin", "aaa");
        Write("data/b.bin", "bbbb");
        Write("data/sub/c.bin", "c");
        ASSERT_EQ(Trovel({"-c", "arc", "data"}).status, 0);
        SetModTime(dir / "arc.kpak", kT0 + 60);
    }
};

TEST_F(TrovelEdit, ReplaceWithTimeUpdatesOnlyStrictlyNewerFiles) {
    MakeArchive();
    Write("data/a.bin", "AAA", kT0 + 60);  // same second as the archive: skipped
    Write("data/b.bin", "BBBB", kT0 + 61); // one second later: updated
    Write("data/new.bin", "n", kT0);       // not in the archive: added
    auto r = Trovel({"-rtv", "arc", "data"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kBanner)
                  + "Skip     : data/a.bin\nUpdating : data/b.bin\n"
                    "Adding   : data/new.bin\nSkip     : data/sub/c.bin\n");
    r = Trovel({"-p", "arc", "data"});
    EXPECT_EQ(r.out, "data/a.bin: The specified file is different from the file in the archive.\n");

    // With -u a new file is only reported.
    Write("data/z.bin", "z", kT0);
    SetModTime(dir / "arc.kpak", kT0 + 120);
    r = Trovel({"-rtuv", "arc", "data/z.bin"});
    EXPECT_EQ(r.out, std::string(kBanner) + "Not exist: data/z.bin\nThere is no updated file.\n");
}

TEST_F(TrovelEdit, ReplaceWithTimeNeedsTheArchive) {
    Write("a.bin", "a");
    auto r = Trovel({"-rt", "missing", "a.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing.kpak: Cannot find file.\n");
    EXPECT_FALSE(Exists(dir / "missing.kpak"));
}

TEST_F(TrovelEdit, CreateWithTimeRebuildsOnlyWhenOutOfDate) {
    MakeArchive();
    const std::string before = Read("arc.kpak");
    auto r = Trovel({"-ctv", "arc", "data"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(kBanner) + "There is no updated file.\n");
    EXPECT_EQ(Read("arc.kpak"), before);

    // A deleted operand file: the archive holds more files than examined.
    std::remove((dir / "data/sub/c.bin").c_str());
    r = Trovel({"-ct", "-l", "arc", "data"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kListHead)
                  + "<DIR> :        0 /data/\n     0:        3 /data/a.bin\n"
                    "     1:        4 /data/b.bin\n"
                    "<DIR> :        0 /data/sub/\n");
}

TEST_F(TrovelEdit, CompareReportsMissingByArchivePathAndDifferentByDiskPath) {
    MakeArchive();
    Write("data/b.bin", "bbbX");
    Write("data/sub/new.bin", "n");
    Write("data/empty.bin", "");
    Write("x/a.bin", "aaa");
    auto r = Trovel({"-pv", "arc", "data", "-D", "x", "a.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kBanner)
                  + "Comparing: data/a.bin\n"
                    "Comparing: data/b.bin\n"
                    "data/b.bin: The specified file is different from the file in the archive.\n"
                    "/data/empty.bin: The specified file does not exist in the archive.\n"
                    "Comparing: data/sub/c.bin\n"
                    "/data/sub/new.bin: The specified file does not exist in the archive.\n"
                    "/a.bin: The specified file does not exist in the archive.\n");
}

TEST_F(TrovelEdit, DeleteRemovesMembersCaseInsensitivelyAndSavesOnce) {
    MakeArchive();
    auto r = Trovel({"-dv", "-l", "arc", "\\DATA\\A.BIN", "/data/sub"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kBanner) + "deleting: /DATA/A.BIN\ndeleting: /data/sub\n" + kListHead
                  + "<DIR> :        0 /data/\n     0:        4 /data/b.bin\n");

    r = Trovel({"-de", "-l", "arc", "/data/b.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kListHead);
}

TEST_F(TrovelEdit, FailedDeleteChangesNothing) {
    MakeArchive();
    const std::string before = Read("arc.kpak");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/missing.bin",
         "/missing.bin: Specified file or directory does not exist in the archive.\n"},
        {"data/a.bin", "data/a.bin: Archive path not specified with an absolute path.\n"},
        {"/", "/: Specified file or directory does not exist in the archive.\n"},
        {"\\", "/: Specified file or directory does not exist in the archive.\n"},
        {"", ": Specified file or directory does not exist in the archive.\n"},
        {"/data/..", "/data/..: Specified file or directory does not exist in the archive.\n"},
        {"/data/a.bin/x",
         "/data/a.bin/x: File exists with the same name as the specified directory name.\n"},
    };
    for (const auto& [path, message] : cases) {
        auto r = Trovel({"-d", "arc", "/data/b.bin", path});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.err, message);
    }
    EXPECT_EQ(Read("arc.kpak"), before);
    EXPECT_FALSE(Exists(dir / "arc.@@@"));
}

TEST_F(TrovelEdit, DeleteTakesArchivePathsFromScripts) {
    MakeArchive();
    Write("del/list.txt",
          "; members to drop\n\"ignored.bin\", \"\\data\\sub\\c.bin\"\n\"data/a.bin\"\n");
    auto r = Trovel({"-d", "-e", "-l", "arc", "-S", "del/list.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kListHead) + "<DIR> :        0 /data/\n     0:        4 /data/b.bin\n");
}

TEST_F(TrovelEdit, SavingALoadedArchiveAgainGivesTheSameBytes) {
    MakeArchive();
    const std::string before = Read("arc.kpak");
    auto r = Trovel({"-d", "arc"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("arc.kpak"), before);
    // Re-laid out with another alignment, the members stay the same.
    ASSERT_EQ(Trovel({"-d", "-A", "32", "arc"}).status, 0);
    EXPECT_NE(Read("arc.kpak"), before);
    EXPECT_EQ(Trovel({"-p", "arc", "data"}).out, "");
    ASSERT_EQ(Trovel({"-d", "arc"}).status, 0);
    EXPECT_EQ(Read("arc.kpak"), before);
}

TEST_F(TrovelEdit, ExtractWritesTheWholeTreeIntoAFreshDirectory) {
    MakeArchive();
    Write("data/sub/empty.bin", "");
    ASSERT_EQ(Trovel({"-r", "arc", "data/sub/empty.bin"}).status, 0);
    auto r = Trovel({"-x", "arc"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("arc/data/a.bin"), "aaa");
    EXPECT_EQ(Read("arc/data/sub/c.bin"), "c");
    EXPECT_EQ(Read("arc/data/sub/empty.bin"), "");
    r = Trovel({"-x", "arc", "out.d"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("out/data/b.bin"), "bbbb");
    r = Trovel({"-x", "arc", "out.d"});
    EXPECT_EQ(Read("out.1/data/b.bin"), "bbbb");
    r = Trovel({"-x", "arc", "missing/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing/out: Cannot create directory.\n");
}

TEST_F(TrovelEdit, IndexHeaderDescribesTheSavedTreeBeforeTheListing) {
    MakeArchive();
    MakeDirs(dir / "inc");
    auto r = Trovel({"-r", "-s", "-i", "-l", "-f", "-P", "X_", "inc/arc", "data"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string header = Read("inc/arc.kpix");
    EXPECT_NE(header.find(HostText("\tFile: " + HostPath("inc/arc.kpix") + "\n")),
              std::string::npos);
    EXPECT_NE(header.find(HostText("#ifndef X_INC_ARC_KPIX_\n#define X_INC_ARC_KPIX_\n\nenum {\n"
                                   "\tX_inc_arc_data_a_bin = 0,\n\tX_inc_arc_data_b_bin = 1,\n"
                                   "\tX_inc_arc_data_sub_c_bin = 2\n};\n\n/* X_INC_ARC_KPIX_ */\n"
                                   "#endif\n")),
              std::string::npos)
        << header;
    // A header that cannot be written fails the run.
    MakeDirs(dir / "arc.kpix");
    r = Trovel({"-i", "-l", "arc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "arc.kpix: Cannot open file.\n");
}

TEST_F(TrovelEdit, IndexHeaderNeverOverwritesAnArchiveMadeByThisRun) {
    Write("data/a.bin", "aaa");
    // t.kpix dangles until the run creates t.kpak.
    for (const char* mode : {"-c", "-r"}) {
        std::remove((dir / "t.kpak").c_str());
        std::remove((dir / "t.kpix").c_str());
        ASSERT_EQ(symlink("t.kpak", (dir / "t.kpix").c_str()), 0);
        auto r = Trovel({mode, "-i", "t.kpak", "data"});
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_EQ(r.err, "t.kpix: Same file as the archive.\n") << mode;
        EXPECT_EQ(Trovel({"-l", "t.kpak"}).out,
                  std::string(kListHead)
                      + "<DIR> :        0 /data/\n     0:        3 /data/a.bin\n")
            << mode;
    }
}

// A header name that is a FIFO: without a reader the run fails at once
// (the archive stays saved); with one, the reader gets the header.
TEST_F(TrovelEdit, IndexHeaderAtAFifoNeverWaitsForAReader) {
    Write("data/a.bin", "aaa");
    ASSERT_EQ(mkfifo((dir / "t.kpix").c_str(), 0600), 0);
    auto r = Trovel({"-c", "-i", "t", "data"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "t.kpix: Cannot open file.\n");
    EXPECT_TRUE(Exists(dir / "t.kpak"));

    const int reader = open((dir / "t.kpix").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    r = Trovel({"-i", "t"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string header(4096, '\0');
    const ssize_t n = read(reader, &header[0], header.size());
    close(reader);
    header.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    EXPECT_NE(header.find("\tKPAK_t_a_bin = 0\n};\n"), std::string::npos) << header;
}

} // namespace
