// wendle run on real list and wave files: archives checked byte for byte,
// list files, output names, the update test, and failures with their
// message, exit status and what stays on disk.

#include "WendleTest.h"

#include "TestSupport.h"
#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::Bytes;
using testsupport::Exists;
using testsupport::MakeDirs;
using testsupport::SetModTime;
using testsupport::U16LE;
using testsupport::U32LE;
using wendle_test::Archive;
using wendle_test::Size;
using wendle_test::Wave;

namespace {

using WendleArchive = WendleTest;

TEST_F(WendleArchive, WritesHeaderDataBlockOffsetsAndPaddedWaveData) {
    Write("a.swav", Wave("0123456789"));
    Write("a.txt", "a.swav\n");
    ExpectSuccess({"a.txt"});
    EXPECT_EQ(Read("a.swar"),
              Bytes({0x53, 0x57, 0x41, 0x52, 0xFF, 0xFE, 0x00, 0x01, 0x4C, 0, 0, 0,
                     0x10, 0,    0x01, 0,    0x44, 0x41, 0x54, 0x41, 0x3C, 0, 0, 0})
                  + std::string(32, '\0') + Bytes({1, 0, 0, 0, 0x40, 0, 0, 0}) + "0123456789"
                  + Bytes({0, 0}));
}

TEST_F(WendleArchive, StoresEveryListedWaveBackToBackInListOrder) {
    const std::string big = wendle_test::Pattern(150000);
    Write("six.swav", Wave("666666"));
    Write("eight.swav", Wave("88888888"));
    Write("none.swav", Wave(""));
    Write("big.swav", Wave(big));
    // The header's sizes are not believed: every byte after offset 24 counts.
    Write("long.swav", Wave("abc").replace(8, 4, U32LE(4)) + "def");
    Write("l.txt", "six.swav\neight.swav\nnone.swav\nsix.swav\nbig.swav\nlong.swav");
    Write("empty.txt", "\n\r\n");
    ExpectSuccess({"l.txt", "empty.txt"});
    EXPECT_EQ(Read("l.swar"), Archive({"666666", "88888888", "", "666666", big, "abcdef"}));
    EXPECT_EQ(Read("empty.swar"), Archive({}));
    EXPECT_EQ(Archive({}).size(), 60u);
}

TEST_F(WendleArchive, ReadsListLinesVerbatimRelativeToTheListDirectory) {
    MakeDirs(dir / "set/sub");
    Write("w.swav", Wave("w"));
    Write("set/sub/x.swav", Wave("x"));
    Write("set/lf.txt", "sub/./x.swav\n\n../w.swav\n" + dir.path() + "/w.swav\n");
    Write("set/crlf.txt", "..\\w.swav\r\n\r\nsub\\x.swav");
    ExpectSuccess({"set/lf.txt", "set\\crlf.txt"});
    EXPECT_EQ(Read("set/lf.swar"), Archive({"x", "w", "w"}));
    EXPECT_EQ(Read("set/crlf.swar"), Archive({"w", "x"}));

    Write("set/bad.txt", "sub/x.swav \n");
    ExpectFailure({"set/bad.txt"}, "Cannot open set/sub/x.swav  for reading.");
    Write("set/bad.txt", "C:\\w\\a.swav\n");
    ExpectFailure({"set/bad.txt"}, "Cannot open C:/w/a.swav for reading.");
}

TEST_F(WendleArchive, NamesTheArchiveAfterTheListUnlessOneOutputIsGiven) {
    MakeDirs(dir / "set.old");
    MakeDirs(dir / "out");
    for (const char* list : {"a.txt", "b", "set.old/list"})
        Write(list, "");
    Write("x.swav", Wave("x"));
    Write("x.txt", "x.swav\n");
    ExpectSuccess({"a.txt", "b", "set.old/list"});
    for (const char* archive : {"a.swar", "b.swar", "set.swar"})
        EXPECT_EQ(Read(archive), Archive({})) << archive;

    // Every archive goes to the one output; a later -o wins.
    ExpectSuccess({"-o", "a.swar", "x.txt", "-o", "out\\..\\all.swar", "b"});
    EXPECT_EQ(Read("all.swar"), Archive({}));
    EXPECT_EQ(Read("a.swar"), Archive({}));
}

TEST_F(WendleArchive, UpdateSkipsOnlyAnArchiveNewerThanTheListAndEveryWave) {
    Write("a.swav", Wave("a"));
    Write("b.swav", Wave("b"));
    Write("l.txt", "a.swav\nb.swav\n");
    Write("l.swar", Archive({"old"}));
    for (const char* input : {"l.txt", "a.swav", "b.swav"})
        SetModTime(dir / input, 1000);
    SetModTime(dir / "l.swar", 1001);
    ExpectSuccess({"-u", "-v", "l.txt"}, "wendle: l.swar is update.\n");
    ExpectSuccess({"-u", "l.txt"});
    EXPECT_EQ(Read("l.swar"), Archive({"old"}));

    // Equal times mean rebuilding, to the nanosecond.
    const struct timespec later[2] = {{1001, 1}, {1001, 1}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "b.swav").c_str(), later, 0), 0);
    ExpectSuccess({"--update", "--verbose", "l.txt"});
    EXPECT_EQ(Read("l.swar"), Archive({"a", "b"}));

    // So does a missing wave file, which then fails the run.
    ASSERT_EQ(unlink((dir / "b.swav").c_str()), 0);
    ExpectFailure({"-u", "l.txt"}, "Cannot open b.swav for reading.");
    EXPECT_FALSE(Exists(dir / "l.swar"));
}

TEST_F(WendleArchive, UpdateRebuildsANewerOutputThatIsNotAFinishedArchive) {
    Write("a.swav", Wave("a"));
    Write("l.txt", "a.swav\n");
    SetModTime(dir / "a.swav", 1000);
    SetModTime(dir / "l.txt", 1000);
    const std::string done = Archive({"abcdef"});
    const auto patched = [&](std::size_t at, const std::string& field) {
        return std::string(done).replace(at, field.size(), field);
    };
    // Shorter than the headers; both sizes still zero, as a killed run leaves
    // them; a length that is not the recorded size; each other field changed.
    const std::string unfinished[] = {
        "",
        done.substr(0, 23),
        patched(8, U32LE(0)).replace(20, 4, U32LE(0)),
        done.substr(0, done.size() - 4),
        done + std::string(4, '\0'),
        patched(0, "SWAV"),
        patched(4, U16LE(0xFFFE)),
        patched(6, U16LE(0x0200)),
        patched(12, U16LE(24)),
        patched(14, U16LE(2)),
        patched(16, "DATB"),
        patched(20, U32LE(Size(done) - 24)),
    };
    for (const std::string& output : unfinished) {
        Write("l.swar", output);
        SetModTime(dir / "l.swar", 1001);
        ExpectSuccess({"-u", "-v", "l.txt"});
        EXPECT_EQ(Read("l.swar"), Archive({"a"})) << output.size();
    }
}

TEST_F(WendleArchive, UpdateWithOneOutputTestsEachListAgainstTheArchiveJustWritten) {
    Write("a.swav", Wave("a"));
    Write("b.swav", Wave("b"));
    Write("a.txt", "a.swav\n");
    Write("b.txt", "b.swav\n");
    for (const char* input : {"a.txt", "b.txt", "a.swav", "b.swav"})
        SetModTime(dir / input, 1000);
    ExpectSuccess({"-u", "-v", "-o", "out.swar", "a.txt", "b.txt"},
                  "wendle: out.swar is update.\n");
    EXPECT_EQ(Read("out.swar"), Archive({"a"}));
}

TEST_F(WendleArchive, EachFailureHasItsMessageAndLeavesNoPartialArchive) {
    Write("good.swav", Wave("g"));
    Write("short.swav", Wave("").substr(0, 23));
    Write("foreign.swav", "SWAR" + Wave("x").substr(4));
    MakeDirs(dir / "folder.swav");
    ASSERT_EQ(mkfifo((dir / "fifo.swav").c_str(), 0666), 0);
    ASSERT_EQ(mkfifo((dir / "fifo.txt").c_str(), 0666), 0);
    const bool has_proc = Exists("/proc/self/mem");
    const struct {
        std::string wave; // the middle line of l.txt
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {"short.swav", {"l.txt"}, "Not VELKO binary format short.swav"},
        {"foreign.swav", {"l.txt"}, "Not SWAV file foreign.swav"},
        {"missing.swav", {"l.txt"}, "Cannot open missing.swav for reading."},
        {"folder.swav", {"l.txt"}, "Cannot open folder.swav for reading."},
        {"fifo.swav", {"l.txt"}, "Cannot open fifo.swav for reading."},
        {"good.swav", {"missing.txt"}, "Cannot open missing.txt for reading."},
        {"good.swav", {"fifo.txt"}, "Cannot open fifo.txt for reading."},
        {"good.swav", {"-o", "folder.swav", "l.txt"}, "Cannot open folder.swav for writing."},
        // An output that is an input of the run is refused before it is opened.
        {"good.swav", {"-o", "./good.swav", "l.txt"}, "Cannot open ./good.swav for writing."},
        {"good.swav", {"-o", "x.txt", "l.txt", "x.txt"}, "Cannot open x.txt for writing."},
        {"good.swav", {"-o", "link.swar", "l.txt"}, "Cannot open link.swar for writing."},
        {"good.swav", {"x.swar"}, "Cannot open x.swar for writing."},
        {"/proc/self/mem", {"l.txt"}, has_proc ? "Cannot read /proc/self/mem." : ""},
        {"good.swav", {"/proc/self/mem"}, has_proc ? "Cannot read /proc/self/mem." : ""},
    };
    ASSERT_EQ(symlink("l.txt", (dir / "link.swar").c_str()), 0);
    for (const auto& c : cases) {
        if (c.message.empty())
            continue;
        const std::string list = "good.swav\n" + c.wave + "\ngood.swav\n";
        Write("l.txt", list);
        Write("x.txt", "");
        Write("x.swar", "");
        Write("l.swar", "an older archive");
        ExpectFailure(c.args, c.message);
        if (c.args == std::vector<std::string>{"l.txt"})
            EXPECT_FALSE(Exists(dir / "l.swar")) << c.message;
        else
            EXPECT_EQ(Read("l.swar"), "an older archive") << c.message;
        EXPECT_EQ(Read("l.txt"), list);
        EXPECT_EQ(Read("x.txt"), "");
        EXPECT_EQ(Read("good.swav"), Wave("g"));
    }
}

TEST_F(WendleArchive, OneOutputThatIsAnyListFileOfTheRunIsRefused) {
    Write("a.swav", Wave("a"));
    for (const char* list : {"l1.txt", "l2.txt", "l3.txt"})
        Write(list, "a.swav\n");
    ASSERT_EQ(symlink("l1.txt", (dir / "alias.txt").c_str()), 0);
    ExpectFailure({"-o", "alias.txt", "l2.txt", "l3.txt", "l1.txt"},
                  "Cannot open alias.txt for writing.");
    EXPECT_EQ(Read("l1.txt"), "a.swav\n");
    // A list file that is a link to the output becomes it once the first
    // archive has been written.
    ASSERT_EQ(symlink("out.swar", (dir / "later.txt").c_str()), 0);
    ExpectFailure({"-o", "out.swar", "l1.txt", "l2.txt", "later.txt"},
                  "Cannot open out.swar for writing.");
    EXPECT_EQ(Read("out.swar"), Archive({"a"}));
}

TEST_F(WendleArchive, FifoOutputFailsAtOnceWithoutAReaderAndIsNeverRemoved) {
    Write("a.swav", Wave("a"));
    Write("l.txt", "a.swav\n");
    const std::string fifo = dir / "fifo.swar";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    // A run that waits for a reader gets one after a while, so that it ends
    // with another message instead of hanging the test.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int fd = done ? -1 : open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    });
    ExpectFailure({"-u", "-o", "fifo.swar", "l.txt"}, "Cannot open fifo.swar for writing.");
    done = true;
    watchdog.join();

    // With a reader it opens, but a pipe cannot take the sizes that are
    // patched into the header at the end.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ExpectFailure({"-o", "fifo.swar", "l.txt"}, "Cannot write fifo.swar.");
    close(reader);
    struct stat st;
    EXPECT_TRUE(lstat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}

TEST_F(WendleArchive, FailureEndsTheRunButKeepsArchivesOfEarlierLists) {
    Write("a.swav", Wave("a"));
    Write("one.txt", "a.swav\n");
    Write("two.txt", "a.swav\nmissing.swav\n");
    Write("three.txt", "a.swav\n");
    ExpectFailure({"one.txt", "two.txt", "three.txt"}, "Cannot open missing.swav for reading.");
    EXPECT_EQ(Read("one.swar"), Archive({"a"}));
    EXPECT_FALSE(Exists(dir / "two.swar"));
    EXPECT_FALSE(Exists(dir / "three.swar"));
}

TEST_F(WendleArchive, FailureRemovesOnlyTheRegularFileItOpened) {
    Write("l.txt", "missing.swav\n");
    Write("target.swar", "an older archive");
    ASSERT_EQ(symlink("target.swar", (dir / "link.swar").c_str()), 0);
    Write("hard.swar", "an older archive");
    ASSERT_EQ(link((dir / "hard.swar").c_str(), (dir / "other.swar").c_str()), 0);
    ExpectFailure({"-o", "link.swar", "l.txt"}, "Cannot open missing.swav for reading.");
    ExpectFailure({"-o", "hard.swar", "l.txt"}, "Cannot open missing.swav for reading.");
    EXPECT_TRUE(Exists(dir / "link.swar"));
    EXPECT_EQ(Read("target.swar"), "");
    EXPECT_FALSE(Exists(dir / "hard.swar"));
    EXPECT_EQ(Read("other.swar"), "");
    if (Exists("/dev/full")) {
        Write("l.txt", "");
        ExpectFailure({"-o", "/dev/full", "l.txt"}, "Cannot write /dev/full.");
        struct stat st;
        EXPECT_TRUE(stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode));
    }
    // Writing into /dev/null is a successful way to discard the archive.
    if (Exists("/dev/null")) {
        Write("a.swav", Wave("a"));
        Write("l.txt", "a.swav\n");
        const testsupport::RunResult r = Run({"-o", "/dev/null", "l.txt"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Exists("/dev/null"));
    }
}

} // namespace
