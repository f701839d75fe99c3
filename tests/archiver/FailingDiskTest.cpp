#include "RunTrovel.h"

#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

using XALFcl::CMemoryDisk;

namespace {

using Args = std::vector<std::string>;
using Fault = CMemoryDisk::Fault;
using Files = std::map<std::string, std::string>;

const std::string kArchive = "/arc.kpak";
const std::string kBackup = "/arc.bak";
const std::string kHeader = "/arc.kpix";
const std::string kOlderBackup = "OLDER";
const std::string kOldHeader = "an older index header\n";

// The operand files; with `oldArchive`, an archive of them as they were
// (with one more member, gone from the disk since), an older backup and an
// older index header beside it. a.bin is newer than the archive.
void Prepare(CMemoryDisk& disk, const std::string& oldArchive = std::string()) {
    disk.AddFile("/src/a.bin", std::string(3000, 'a'));
    disk.AddFile("/src/b.bin", "bb");
    disk.AddFile("/src/sub/c.bin", std::string(70000, 'c'));
    disk.AddDirectory("/src/empty");
    if (!oldArchive.empty()) {
        disk.AddFile(kArchive, oldArchive);
        disk.AddFile(kBackup, kOlderBackup);
        disk.AddFile(kHeader, kOldHeader);
        disk.SetTime("/src/a.bin", 100);
    }
}

std::string OldArchive() {
    CMemoryDisk disk;
    Prepare(disk);
    disk.AddFile("/src/a.bin", "old a");
    disk.AddFile("/src/gone.bin", "gone");
    EXPECT_EQ(RunTrovel(disk, {"-c", "arc", "src"}).status, 0);
    return disk.Contents(kArchive);
}

bool Has(const Args& args, const std::string& option) {
    return std::find(args.begin(), args.end(), option) != args.end();
}

// Every name under `directory` (as Paths gives it) with the bytes of a file.
Files FilesUnder(const CMemoryDisk& disk, const std::string& directory) {
    Files files;
    for (const std::string& path : disk.Paths())
        if (path.compare(0, directory.size(), directory) == 0)
            files[path] = disk.Contents(path);
    return files;
}

// The index header without its time stamp, which is the clock's.
std::string Stable(std::string header) {
    const std::size_t update = header.find("\tUpdate:");
    if (update != std::string::npos)
        header.erase(update, header.find('\n', update) - update);
    return header;
}

// One command as a run without faults leaves it, and the checks of a run of
// it that met one.
struct Outcome {
    Args args;
    std::string oldArchive;
    std::string newArchive;
    std::string newHeader;
    Files extracted; // extraction only

    // What `bytes` are, for messages: "old" or "new" for the archives.
    std::string Name(const std::string& bytes) const {
        if (bytes == oldArchive)
            return "old";
        if (bytes == newArchive)
            return "new";
        return bytes.size() < 100 ? bytes : std::to_string(bytes.size()) + " other bytes";
    }

    // A message of a failed run: one line naming a path the command reads
    // or writes.
    static bool IsMessage(const std::string& err) {
        static const std::regex message(
            "(arc\\.(kpak|@@@|bak|bak@@@|kpix)|src(/[a-z/.]*)?|arc(/[a-z/.]*)?)"
            ": Cannot (open file|load file|write to file|seek in file|find file|"
            "open directory|create directory)\\.\n");
        return std::regex_match(err, message);
    }

    // The archive is the old or the new complete one (the new one only once
    // the save is done: a success, or a failed index header), the backup
    // the old archive or as it was, the index header absent, as it was or
    // the complete new one, and nothing else changed but what extraction
    // wrote into its own directory: complete members, but for at most one
    // cut short by a failure.
    void Check(const CMemoryDisk& before, const CMemoryDisk& disk,
               const testsupport::RunResult& run) const {
        const bool failed = run.status != 0;
        if (failed) {
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(IsMessage(run.err)) << run.err;
        } else {
            EXPECT_EQ(run.err, "");
        }
        const bool extracts = args.front() == "-x";
        const bool headerFailed = failed && run.err.compare(0, 9, "arc.kpix:") == 0;
        const bool saved = !extracts && (!failed || headerFailed);
        EXPECT_EQ(Name(disk.Contents(kArchive)), saved ? "new" : "old") << run.err;
        const std::string backup = Name(disk.Contents(kBackup));
        if (!Has(args, "-b")) {
            EXPECT_EQ(backup, kOlderBackup);
        } else if (saved) {
            EXPECT_EQ(backup, "old");
        } else {
            EXPECT_TRUE(backup == "old" || backup == kOlderBackup) << backup;
        }
        const std::string header = disk.Contents(kHeader);
        if (Has(args, "-i") && !failed) {
            EXPECT_EQ(Stable(header), newHeader);
        } else if (headerFailed) {
            EXPECT_TRUE(header == kOldHeader || !disk.Exists(kHeader)) << header;
        } else {
            EXPECT_EQ(header, kOldHeader);
        }

        Files after = FilesUnder(disk, "/");
        Files expected = FilesUnder(before, "/");
        for (const std::string& output : {kArchive, kBackup, kHeader}) {
            after.erase(output);
            expected.erase(output);
        }
        int incomplete = 0;
        for (const auto& [path, bytes] : FilesUnder(disk, "/arc/")) {
            after.erase(path);
            const auto member = extracted.find(path);
            if (member == extracted.end()) {
                ADD_FAILURE() << path << " is not a member";
            } else if (bytes != member->second) {
                ++incomplete;
                EXPECT_TRUE(failed && member->second.compare(0, bytes.size(), bytes) == 0)
                    << path << " holds wrong bytes";
            }
        }
        EXPECT_LE(incomplete, 1);
        if (!failed && extracts) {
            EXPECT_TRUE(FilesUnder(disk, "/arc/") == extracted);
        }
        EXPECT_TRUE(after == expected);
    }
};

// Every command that writes: each mode that saves, with and without a
// backup and an index header, and extraction.
std::vector<Outcome> Commands() {
    const std::string old = OldArchive();
    std::vector<Outcome> outcomes;
    for (const Args& mode :
         {Args{"-c"}, Args{"-r"}, Args{"-r", "-t"}, Args{"-c", "-t"}, Args{"-d"}}) {
        for (const Args& options : {Args{}, Args{"-b"}, Args{"-i"}, Args{"-b", "-i"}}) {
            Args args = mode;
            args.insert(args.end(), options.begin(), options.end());
            args.push_back("arc");
            args.push_back(mode.front() == "-d" ? "/src/b.bin" : "src");
            outcomes.push_back({args, old, "", "", {}});
        }
    }
    outcomes.push_back({{"-x", "arc"}, old, "", "", {}});
    for (Outcome& outcome : outcomes) {
        CMemoryDisk clean;
        Prepare(clean, old);
        EXPECT_EQ(RunTrovel(clean, outcome.args).status, 0);
        outcome.newArchive = clean.Contents(kArchive);
        outcome.newHeader = Stable(clean.Contents(kHeader));
        outcome.extracted = FilesUnder(clean, "/arc/");
        EXPECT_EQ(outcome.newArchive == old, outcome.args.front() == "-x");
    }
    return outcomes;
}

// The bytes all files of `disk` hold.
std::uint64_t Used(const CMemoryDisk& disk) {
    std::uint64_t used = 0;
    for (const auto& file : FilesUnder(disk, "/"))
        used += file.second.size();
    return used;
}

std::string Trace(const Args& args) {
    std::string text;
    for (const std::string& arg : args)
        text += arg + " ";
    return text;
}

// Runs `outcome`'s command on a fresh disk that `setup` makes go wrong and
// checks what the run left, and whether the fault that FailAt injects was
// met.
testsupport::RunResult RunAndCheck(const Outcome& outcome,
                                   const std::function<void(CMemoryDisk&)>& setup,
                                   bool injected = false) {
    CMemoryDisk before;
    Prepare(before, outcome.oldArchive);
    CMemoryDisk disk;
    Prepare(disk, outcome.oldArchive);
    setup(disk);
    const testsupport::RunResult run = RunTrovel(disk, outcome.args);
    EXPECT_EQ(disk.Failed(), injected);
    outcome.Check(before, disk, run);
    return run;
}

// Each command is run once per disk call n, with call n failing and with
// call n interrupted (which must not matter).
TEST(FailingDisk, EveryWritingCommandEndsCompleteOrFailsWithItsMessageWhicheverCallFails) {
    int cases = 0;
    for (const Outcome& outcome : Commands()) {
        CMemoryDisk clean;
        Prepare(clean, outcome.oldArchive);
        RunTrovel(clean, outcome.args);
        for (std::uint64_t n = 1; n <= clean.Calls(); ++n) {
            for (const Fault fault : {Fault::Error, Fault::Interrupted}) {
                SCOPED_TRACE(testing::Message() << Trace(outcome.args) << "call " << n
                                                << (fault == Fault::Error ? " fails" : " stops"));
                const testsupport::RunResult run = RunAndCheck(
                    outcome,
                    [&](CMemoryDisk& disk) { disk.FailAt(n, CMemoryDisk::Op::Any, fault); }, true);
                EXPECT_TRUE(fault == Fault::Error || run.status == 0) << run.err;
                ++cases;
            }
        }
    }
    RecordProperty("cases", cases);
}

// The disk fills up inside the new archive's header, its name table, a
// member, and inside the index header; extraction, inside a file it writes.
TEST(FailingDisk, AFullDiskLeavesTheOldArchiveOrTheNewCompleteOne) {
    int cases = 0;
    for (const Outcome& outcome : Commands()) {
        CMemoryDisk clean;
        Prepare(clean, outcome.oldArchive);
        const std::uint64_t used = Used(clean);
        RunTrovel(clean, outcome.args);
        const bool extracts = outcome.args.front() == "-x";
        const std::string full = extracts ? "arc/src/" : "arc.@@@";
        std::vector<std::pair<std::uint64_t, std::string>> limits;
        for (const std::uint64_t room :
             {std::uint64_t{8}, std::uint64_t{72}, std::uint64_t{outcome.newArchive.size() - 1000}})
            limits.emplace_back(used + room, full);
        // Without a backup the old archive's room is free again before the
        // index header is written, so only with one can the disk fill up
        // inside the header.
        if (Has(outcome.args, "-i") && Has(outcome.args, "-b"))
            limits.emplace_back(Used(clean) - outcome.newHeader.size() / 2, "arc.kpix");
        for (const auto& [limit, named] : limits) {
            SCOPED_TRACE(testing::Message() << Trace(outcome.args) << limit << " bytes");
            const std::uint64_t bytes = limit;
            const testsupport::RunResult run =
                RunAndCheck(outcome, [&](CMemoryDisk& disk) { disk.SpaceLimit(bytes); });
            EXPECT_EQ(run.err.compare(0, named.size(), named), 0) << run.err;
            EXPECT_TRUE(std::regex_search(run.err, std::regex(": Cannot write to file\\.\n$")))
                << run.err;
            ++cases;
        }
    }
    RecordProperty("cases", cases);
}

// Replace mode makes a new archive where nothing is, or only a dangling
// link (which the new archive replaces), as create mode would.
TEST(FailingDisk, ReplaceMakesANewArchiveWhereNoneIs) {
    CMemoryDisk created;
    Prepare(created);
    ASSERT_EQ(RunTrovel(created, {"-c", "arc", "src"}).status, 0);
    for (const bool dangling : {false, true}) {
        SCOPED_TRACE(dangling ? "dangling link" : "nothing");
        CMemoryDisk disk;
        Prepare(disk);
        if (dangling)
            disk.AddLink("/nowhere.kpak", kArchive);
        const testsupport::RunResult run = RunTrovel(disk, {"-r", "arc", "src"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(disk.Paths(), created.Paths());
        EXPECT_TRUE(disk.Contents(kArchive) == created.Contents(kArchive));
    }
}

} // namespace

// Compare reads the archive and every disk file: a read that fails, or that
// ends before the size the file had when it was opened, is an error naming
// the file read, never a difference.
TEST(FailingDisk, CompareReportsAFailedOrShortReadAsAnError) {
    using Op = CMemoryDisk::Op;
    using Fault = CMemoryDisk::Fault;
    CMemoryDisk clean;
    Prepare(clean);
    ASSERT_EQ(RunTrovel(clean, {"-c", "arc", "src"}).status, 0);
    const std::uint64_t before = clean.Calls(Op::Read);
    const testsupport::RunResult same = RunTrovel(clean, {"-p", "arc", "src"});
    ASSERT_EQ(same.status, 0);
    ASSERT_EQ(same.out.find("different"), std::string::npos);
    const std::uint64_t reads = clean.Calls(Op::Read) - before;
    // A short read of the archive's own header or structure shows as a file
    // that is no archive, or a broken one.
    const std::regex message("arc\\.kpak: (Cannot load file|Not a Quorvane VELKO-System archive|"
                             "Invalid archive)\\.\n|src/[a-z/]+\\.bin: Cannot load file\\.\n");
    for (std::uint64_t n = 1; n <= reads; ++n) {
        for (const Fault fault : {Fault::Error, Fault::EndOfFile}) {
            SCOPED_TRACE(testing::Message()
                         << "read " << n << " fault " << static_cast<int>(fault));
            CMemoryDisk disk;
            Prepare(disk);
            ASSERT_EQ(RunTrovel(disk, {"-c", "arc", "src"}).status, 0);
            disk.FailAt(disk.Calls(Op::Read) + n, Op::Read, fault);
            const testsupport::RunResult run = RunTrovel(disk, {"-p", "arc", "src"});
            EXPECT_TRUE(disk.Failed());
            // An end met where the file ends anyway changes nothing.
            if (run.status != 0 || fault == Fault::Error) {
                EXPECT_EQ(run.status, 1);
                EXPECT_TRUE(std::regex_match(run.err, message)) << run.err;
            }
            EXPECT_EQ(run.out.find("different"), std::string::npos) << run.out;
        }
    }
}
