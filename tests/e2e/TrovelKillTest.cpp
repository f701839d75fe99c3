// trovel killed (SIGKILL) at many points of saving an archive of tens of MiB,
// and runs saving one archive at once. Whatever the point, the archive path
// holds one complete archive that a run wrote (the old one or the new one),
// the backup is the old archive or the one before, and the next run works: a
// dead run's temporary file is not in its way. (A kill right after the backup
// was linked leaves a side name that is the archive's own file; the next run
// with -b refuses it, see below.)

#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace testsupport;

namespace {

constexpr std::size_t kMemberSize = 5 << 20;
const char* const kMembers[] = {"data/a.bin", "data/b.bin", "data/sub/c.bin", "data/sub/d.bin"};

// A run is stopped, looked at and killed once its temporary file exists,
// then once it holds each further share of the new archive; stopping when it
// is complete catches the run on its way to the rename (or just after).
constexpr double kShares[] = {0, 1.0 / 3, 2.0 / 3, 1};

constexpr const char* kTemporary = "arc.@@@";
constexpr const char* kBackup = "arc.bak";
constexpr const char* kStaging = "arc.bak@@@";

// One kind of save: the mode and its operands.
struct Edit {
    std::string mode;
    std::vector<std::string> operands;

    std::vector<std::string> Command(const std::string& archive, bool backup) const {
        std::vector<std::string> args{mode};
        if (backup)
            args.push_back("-b");
        args.push_back(archive);
        args.insert(args.end(), operands.begin(), operands.end());
        return args;
    }
};

// Whether the file at `path` holds `bytes`, read in pieces rather than whole.
bool Holds(const std::string& path, const std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> piece(1 << 20);
    for (std::size_t at = 0; in; at += piece.size()) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > bytes.size() - at || bytes.compare(at, got, piece.data(), got) != 0)
            return false;
        if (at + got == bytes.size())
            return in.peek() == std::ifstream::traits_type::eof();
    }
    return false;
}

// Whether both paths lead to one file.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

class TrovelKill : public TrovelTest {
protected:
    void SetUp() override {
        WriteData('o');
        ASSERT_EQ(Trovel({"-c", "arc", "data"}).status, 0);
        oldArchive = Read("arc.kpak");
        WriteData('n');
    }

    // Gives every member bytes of its own, different for each `version`.
    void WriteData(char version) const {
        char fill = version;
        for (const char* member : kMembers)
            Write(member, std::string(kMemberSize, fill++));
    }

    // Puts `bytes` at `rel` as a new file, so that a backup sharing the old
    // file stays as it is.
    void Put(const std::string& rel, const std::string& bytes) const {
        std::remove((dir / rel).c_str());
        Write(rel, bytes);
    }

    // What `edit` writes when it runs to its end over the old archive.
    std::string Finished(const Edit& edit) const {
        Put("ref.kpak", oldArchive);
        const RunResult r = Trovel(edit.Command("ref", false));
        EXPECT_EQ(r.status, 0) << r.err;
        return Read("ref.kpak");
    }

    // Kills `edit` over the old archive at every point, checks what is left
    // and that the next run works, and returns how many kills there were.
    int KillAtEveryPoint(const Edit& edit, bool backup) {
        const std::string newArchive = Finished(edit);
        EXPECT_FALSE(newArchive == oldArchive);
        const std::string priorBackup = "the backup of an earlier run";
        const auto newSize = static_cast<double>(newArchive.size());
        int kills = 0;
        for (const double share : kShares) {
            const std::string where = edit.mode + (backup ? " -b" : "") + " stopped at "
                + std::to_string(share) + " of the new archive";
            Put("arc.kpak", oldArchive);
            Put(kBackup, priorBackup);
            Process run(program, edit.Command("arc", backup), dir.path());
            const auto threshold = static_cast<std::int64_t>(share * newSize);
            const bool stopped =
                RunsUntil(run, [&] { return FileSize(dir / kTemporary) >= threshold; })
                && run.Stop();
            const std::int64_t written = FileSize(dir / kTemporary);
            run.Kill();
            const RunResult r = run.Wait();
            kills += stopped;

            const bool replaced = Holds(dir / "arc.kpak", newArchive);
            EXPECT_TRUE(replaced || Holds(dir / "arc.kpak", oldArchive)) << where;
            EXPECT_EQ(r.status, stopped ? 128 + 9 : 0) << where << ": " << r.err;
            EXPECT_TRUE(Holds(dir / kBackup, priorBackup)
                        || (backup && Holds(dir / kBackup, oldArchive)))
                << where;
            ++phases[!stopped       ? "ended before the stop"
                         : replaced ? "after the rename"
                         : written == static_cast<std::int64_t>(newArchive.size())
                         ? "temporary file complete"
                         : "temporary file partly written"];

            // Killed after the backup's link to the old archive was made and
            // before the archive was replaced: one of the side names is a
            // second link of the archive's file, which the next run takes as
            // a leftover like any other.
            for (const char* side : {kBackup, kStaging}) {
                if (SameFile(dir / "arc.kpak", dir / side))
                    ++phases[std::string("between the backup and the rename, ") + side];
            }

            // The next run: the same edit again, or, over the new archive
            // (where a deletion would find nothing), a plain save.
            const RunResult next = Trovel(replaced ? Edit{"-d", {}}.Command("arc", backup)
                                                   : edit.Command("arc", backup));
            EXPECT_EQ(next.status, 0) << where << ": " << next.err;
            EXPECT_TRUE(Holds(dir / "arc.kpak", newArchive)) << where;
            EXPECT_TRUE(Holds(dir / kBackup,
                              !backup        ? priorBackup
                                  : replaced ? newArchive
                                             : oldArchive))
                << where;
            EXPECT_FALSE(Exists(dir / kTemporary)) << where;
            EXPECT_FALSE(Exists(dir / kStaging)) << where;
        }
        return kills;
    }

    std::string oldArchive;
    // Where the kills met the runs, for the summary.
    std::map<std::string, int> phases;
};

TEST_F(TrovelKill, KilledSaveLeavesTheOldOrTheNewArchiveAndTheNextRunWorks) {
    const Edit edits[] = {
        {"-c", {"data"}},
        {"-r", {"data/sub/c.bin"}},
        {"-d", {"/data/b.bin"}},
    };
    int kills = 0;
    for (const Edit& edit : edits)
        for (const bool backup : {false, true})
            kills += KillAtEveryPoint(edit, backup);
    std::cout << "kills: " << kills;
    for (const auto& [phase, count] : phases)
        std::cout << "; " << phase << ": " << count;
    std::cout << std::endl;
}

// Runs started together race for the temporary file: each either saves or
// meets the other's live temporary file and changes nothing. At least one
// saves, and the archive is what one that saved wrote.
TEST_F(TrovelKill, TwoRunsSavingAtOnceLeaveTheArchiveOfOne) {
    Write("alt/x.bin", std::string(2 * kMemberSize, 'x'));
    const Edit edits[] = {{"-c", {"data"}}, {"-c", {"alt"}}};
    const std::string finished[] = {Finished(edits[0]), Finished(edits[1])};
    for (int round = 0; round < 4; ++round) {
        Put("arc.kpak", oldArchive);
        // The run started first alternates.
        const int first = round % 2;
        Process a(program, edits[first].Command("arc", false), dir.path());
        Process b(program, edits[1 - first].Command("arc", false), dir.path());
        const RunResult results[] = {AsOnPosix(first == 0 ? a.Wait() : b.Wait()),
                                     AsOnPosix(first == 0 ? b.Wait() : a.Wait())};
        bool written = false;
        for (int i = 0; i < 2; ++i) {
            const RunResult& r = results[i];
            if (r.status == 0) {
                EXPECT_EQ(r.err, "") << round;
                written = written || Holds(dir / "arc.kpak", finished[i]);
            } else {
                EXPECT_EQ(r.status, 1) << round;
                EXPECT_EQ(r.err, std::string(kTemporary) + ": Cannot open file.\n") << round;
            }
        }
        EXPECT_TRUE(written) << round;
        EXPECT_FALSE(Exists(dir / kTemporary)) << round;
    }
}

} // namespace
