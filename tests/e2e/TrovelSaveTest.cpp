#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

using namespace testsupport;

namespace {

// Two runs saving at once: one (A) is stopped with SIGSTOP while it writes
// its temporary file, the test acts, and A is continued or killed.
class TrovelSave : public TrovelTest {
protected:
    void SetUp() override {
        // Large enough that a save is caught while it writes.
        for (char c : {'a', 'b', 'c', 'd'})
            Write(std::string("big/") + c + ".bin", std::string(16 << 20, c));
        Write("old/o.bin", "old");
        Write("small/s.bin", "s");
        MakeDirs(dir / "a.d");
        ASSERT_EQ(Trovel({"-c", "old", "old"}).status, 0);
        oldBytes = Read("old.kpak");
    }

    std::int64_t Size(const std::string& rel) {
        struct stat info;
        return lstat((dir / rel).c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size)
                                                      : -1;
    }

    // Starts "trovel -c <archive> big" over an archive holding oldBytes and
    // stops it while it writes its temporary file `temp`: once that file
    // has data, it is locked. A run that ends before it is stopped is undone
    // and started again.
    std::unique_ptr<Process> SaveAndStop(const std::string& archive, const std::string& temp) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            Write(archive, oldBytes);
            const std::vector<std::string> args{"-c", archive, "big"};
            auto run = std::make_unique<Process>(program, args, dir.path());
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::seconds(kRunTimeoutSeconds);
            while (!run->Ended() && Size(temp) <= 0) {
                if (std::chrono::steady_clock::now() > until) {
                    ADD_FAILURE() << "no temporary file " << temp;
                    return nullptr;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (run->Stop() && Exists(dir / temp))
                return run;
            run->Continue();
            EXPECT_EQ(run->Wait().status, 0);
        }
        ADD_FAILURE() << "every save ended before it was stopped";
        return nullptr;
    }

    // What "trovel -c <archive> big" writes.
    std::string BigArchive() {
        EXPECT_EQ(Trovel({"-c", "ref", "big"}).status, 0);
        return Read("ref.kpak");
    }

    std::string oldBytes;
};

// The same archive, and two archives whose temporary names are the same
// (the last "." is in the directory name).
TEST_F(TrovelSave, RunMeetingTheTemporaryFileOfALiveRunFailsAndChangesNothing) {
    const std::string bigArchive = BigArchive();
    struct Case {
        std::string archiveA, archiveB, temp;
    };
    for (const Case& c :
         {Case{"arc.kpak", "arc.kpak", "arc.@@@"}, Case{"a.d/x", "a.d/y", "a.@@@"}}) {
        const auto a = SaveAndStop(c.archiveA, c.temp);
        ASSERT_TRUE(a);
        const std::int64_t written = Size(c.temp);
        auto r = Trovel({"-c", c.archiveB, "small"});
        EXPECT_EQ(r.status, 1) << c.archiveB;
        EXPECT_EQ(r.err, c.temp + ": Cannot open file.\n");
        EXPECT_EQ(Size(c.temp), written);
        EXPECT_TRUE(Read(c.archiveA) == oldBytes);
        EXPECT_TRUE(c.archiveB == c.archiveA || !Exists(dir / c.archiveB));

        a->Continue();
        r = a->Wait();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Read(c.archiveA) == bigArchive) << c.archiveA;
        EXPECT_FALSE(Exists(dir / c.temp));
    }
}

// Only the file that the run wrote is renamed over the archive: a run whose
// temporary file was renamed away (and maybe replaced) fails, leaves the
// archive as it was and the file now at the name alone.
TEST_F(TrovelSave, RunWhoseTemporaryFileWasTakenAwayFails) {
    for (const bool replaced : {true, false}) {
        const auto a = SaveAndStop("arc.kpak", "arc.@@@");
        ASSERT_TRUE(a);
        ASSERT_EQ(std::rename((dir / "arc.@@@").c_str(), (dir / "moved").c_str()), 0);
        if (replaced)
            Write("arc.@@@", "FOREIGN");
        a->Continue();
        const RunResult r = AsOnPosix(a->Wait());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "arc.@@@: Cannot write to file.\n");
        EXPECT_TRUE(Read("arc.kpak") == oldBytes);
        EXPECT_EQ(Exists(dir / "arc.@@@") ? Read("arc.@@@") : "", replaced ? "FOREIGN" : "");
        std::remove((dir / "arc.@@@").c_str());
    }
}

TEST_F(TrovelSave, LeftoverOfAKilledRunIsReplaced) {
    const auto a = SaveAndStop("arc.kpak", "arc.@@@");
    ASSERT_TRUE(a);
    a->Kill();
    EXPECT_EQ(a->Wait().status, 128 + 9);
    EXPECT_TRUE(Exists(dir / "arc.@@@"));
    EXPECT_TRUE(Read("arc.kpak") == oldBytes);

    const RunResult r = Trovel({"-c", "arc", "old"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Read("arc.kpak") == oldBytes);
    EXPECT_FALSE(Exists(dir / "arc.@@@"));
}

} // namespace
