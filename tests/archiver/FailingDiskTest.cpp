#include "RunTrovel.h"

#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

using XALFcl::CMemoryDisk;

namespace {

// The operand files; with `oldArchive`, an archive of them as they were
// and an older backup beside it.
void Prepare(CMemoryDisk& disk, const std::string& oldArchive = std::string()) {
    disk.AddFile("/src/a.bin", std::string(3000, 'a'));
    disk.AddFile("/src/b.bin", "bb");
    disk.AddFile("/src/sub/c.bin", std::string(70000, 'c'));
    disk.AddDirectory("/src/empty");
    if (!oldArchive.empty()) {
        disk.AddFile("/arc.kpak", oldArchive);
        disk.AddFile("/arc.bak", "OLDER");
    }
}

std::string OldArchive() {
    CMemoryDisk disk;
    Prepare(disk);
    disk.AddFile("/src/a.bin", "old a");
    EXPECT_EQ(RunTrovel(disk, {"-c", "arc", "src"}).status, 0);
    return disk.Contents("/arc.kpak");
}

// Each save with a backup is run once per disk call n, with call n failing,
// and once with call n interrupted. Afterwards the archive is the old one or
// the new complete one, the backup the old archive or as it was, nothing
// else is on the disk, and a failure is one message naming a path.
TEST(FailingDisk, SaveKeepsTheOldArchiveOrWritesTheNewOneWhicheverCallFails) {
    const std::regex message(
        "[a-z./@]+: Cannot (open file|load file|write to file|seek in file|open directory)\\.\n");
    const std::string old = OldArchive();
    CMemoryDisk before;
    Prepare(before, old);
    using Args = std::vector<std::string>;
    using Fault = CMemoryDisk::Fault;
    for (const Args& args :
         {Args{"-c", "-b", "arc", "src"}, Args{"-d", "-b", "arc", "/src/b.bin"}}) {
        SCOPED_TRACE(args[0]);
        CMemoryDisk clean;
        Prepare(clean, old);
        ASSERT_EQ(RunTrovel(clean, args).status, 0);
        const std::string newArchive = clean.Contents("/arc.kpak");
        ASSERT_NE(newArchive, old);
        ASSERT_EQ(clean.Contents("/arc.bak"), old);
        for (std::uint64_t n = 1; n <= clean.Calls(); ++n) {
            for (const Fault fault : {Fault::Error, Fault::Interrupted}) {
                SCOPED_TRACE(testing::Message()
                             << "call " << n << (fault == Fault::Error ? " fails" : " stops"));
                CMemoryDisk disk;
                Prepare(disk, old);
                disk.FailAt(n, CMemoryDisk::Op::Any, fault);
                const testsupport::RunResult outcome = RunTrovel(disk, args);
                ASSERT_TRUE(disk.Failed());
                const std::string archive = disk.Contents("/arc.kpak");
                const std::string backup = disk.Contents("/arc.bak");
                EXPECT_TRUE(backup == old || backup == "OLDER");
                EXPECT_EQ(disk.Paths(), before.Paths());
                if (fault == Fault::Interrupted || outcome.status == 0) {
                    EXPECT_EQ(outcome.status, 0);
                    EXPECT_EQ(outcome.err, "");
                    EXPECT_TRUE(archive == newArchive);
                } else {
                    EXPECT_EQ(outcome.status, 1);
                    EXPECT_TRUE(std::regex_match(outcome.err, message)) << outcome.err;
                    EXPECT_TRUE(archive == old);
                }
            }
        }
    }
}

} // namespace
