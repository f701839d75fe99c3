// Members are copied from where they are (a disk file, a range of the old
// archive) when the archive is saved: whatever goes wrong in the middle of
// such a copy fails the save with the file to blame and leaves the old
// archive as it was, with no temporary file behind.

#include "arc/ArcLoader.h"
#include "arc/ArcSaver.h"
#include "arc/Archive.h"
#include "fcl/Disk.h"
#include "fcl/Exception.h"
#include "fcl/MemoryDisk.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace XALArc;
using XALFcl::CFileException;
using XALFcl::CMemoryDisk;
using Fault = CMemoryDisk::Fault;
using Op = CMemoryDisk::Op;

namespace {

// Larger than one piece of a copy, so that reads happen in its middle.
const std::string kBig = [] {
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}();

// Rewrites a file in place, as an editor that truncates it does.
void Rewrite(CMemoryDisk& disk, const std::string& path, const std::string& bytes) {
    auto file = disk.Open(path, XALFcl::OpenMode::WriteTruncate);
    ASSERT_TRUE(file && XALFcl::WriteAll(*file, bytes.data(), bytes.size()) && file->Close());
}

// A disk with two operand files and an archive of them at /arc.kpak. The
// walk holds up to `held` of the files open until the save.
struct Scene {
    explicit Scene(std::uint64_t held = 2) {
        disk.SetOpenFileLimit(held);
        disk.SetClock(1000);
        disk.AddFile("/src/a.bin", std::string(3000, 'a'));
        disk.AddFile("/src/big.bin", kBig);
        disk.AddFile("/src/c.bin", "c");
        Create();
        oldArchive = disk.Contents("/arc.kpak");
        paths = disk.Paths();
    }

    // The operand files walked into a new archive; `between` runs after the
    // walk, before the save.
    void Create(const std::function<void()>& between = [] {}) {
        CArchive archive(true, disk);
        archive.AddFile("/a.bin", "/src/a.bin");
        archive.AddFile("/big.bin", "/src/big.bin");
        archive.AddFile("/c.bin", "/src/c.bin");
        between();
        CArcSaver(archive, 4, true, false).Save("/arc.kpak");
    }

    // The old archive without /c.bin: /a.bin is copied from a read ahead of
    // it, /big.bin from its range in several pieces.
    void Delete(const std::function<void()>& between = [] {}) {
        CArchive archive(true, disk);
        CArcLoader(archive).Load("/arc.kpak");
        delete archive.FindFile("/c.bin");
        between();
        CArcSaver(archive, 4, true, false).Save("/arc.kpak");
    }

    // A failed save names `subject` with `code`, and the disk is as before.
    void ExpectFailure(const std::function<void()>& save, std::int32_t code,
                       const std::string& subject) {
        const auto thrown = testsupport::Thrown<CFileException>(save);
        ASSERT_TRUE(thrown);
        EXPECT_EQ(thrown->code, code);
        EXPECT_EQ(thrown->subject, subject);
        EXPECT_EQ(disk.Contents("/arc.kpak"), oldArchive);
        EXPECT_EQ(disk.Paths(), paths);
    }

    CMemoryDisk disk;
    std::string oldArchive;
    std::vector<std::string> paths;
};

// Whether the walk held the file open or the save opens it again.
TEST(Streaming, MemberThatChangedSinceTheWalkFailsTheSave) {
    struct Change {
        const char* what;
        std::function<void(CMemoryDisk&)> apply;
    };
    const std::vector<Change> changes{
        {"shrank", [](CMemoryDisk& d) { Rewrite(d, "/src/big.bin", kBig.substr(1)); }},
        {"grew", [](CMemoryDisk& d) { Rewrite(d, "/src/big.bin", kBig + "!"); }},
        {"emptied", [](CMemoryDisk& d) { Rewrite(d, "/src/big.bin", ""); }},
        {"newer", [](CMemoryDisk& d) { d.SetTime("/src/big.bin", 2000); }},
        {"older", [](CMemoryDisk& d) { d.SetTime("/src/big.bin", 10); }},
    };
    for (const std::uint64_t held : {0, 2}) {
        for (const Change& change : changes) {
            SCOPED_TRACE(testing::Message() << change.what << ", held " << held);
            Scene scene(held);
            scene.ExpectFailure(
                [&] {
                    scene.Create([&] {
                        change.apply(scene.disk);
                        scene.paths = scene.disk.Paths();
                    });
                },
                CFileException::kCannotLoad, "/src/big.bin");
        }
    }
    // A file removed after the walk is gone unless the walk held it open.
    Scene gone(0);
    gone.ExpectFailure(
        [&] {
            gone.Create([&] {
                gone.disk.RemoveFile("/src/big.bin");
                gone.paths = gone.disk.Paths();
            });
        },
        CFileException::kCannotOpen, "/src/big.bin");
    Scene kept(2);
    kept.Create([&] { kept.disk.RemoveFile("/src/big.bin"); });
    EXPECT_EQ(kept.disk.Contents("/arc.kpak"), kept.oldArchive);
}

// Every read of a save fails in turn, or finds the end of the file there:
// the save stops naming the file read (the member's disk file, or the old
// archive for a member copied from it), unless the end was really there.
// From disk files, /a.bin takes the first read and /c.bin the last: a read
// that brings the last bytes of a file, fewer than asked, also shows its end.
TEST(Streaming, ReadThatFailsOrEndsEarlyInAMemberFailsTheSave) {
    using Save = std::function<void(Scene&, const std::function<void()>&)>;
    for (const bool fromArchive : {false, true}) {
        SCOPED_TRACE(fromArchive ? "from the old archive" : "from disk files");
        const Save save = [&](Scene& s, const std::function<void()>& between) {
            fromArchive ? s.Delete(between) : s.Create(between);
        };
        Scene clean;
        std::uint64_t first = 0;
        save(clean, [&] { first = clean.disk.Calls(Op::Read); });
        const std::string saved = clean.disk.Contents("/arc.kpak");
        const std::uint64_t reads = clean.disk.Calls(Op::Read) - first;
        ASSERT_GE(reads, 3u);
        for (std::uint64_t n = 1; n <= reads; ++n) {
            const std::string subject = fromArchive ? "/arc.kpak"
                : n == 1                            ? "/src/a.bin"
                : n == reads                        ? "/src/c.bin"
                                                    : "/src/big.bin";
            for (const Fault fault : {Fault::Error, Fault::EndOfFile, Fault::Interrupted}) {
                SCOPED_TRACE(testing::Message()
                             << "read " << n << " fault " << static_cast<int>(fault));
                Scene scene;
                const auto failRead = [&] {
                    scene.disk.FailAt(scene.disk.Calls(Op::Read) + n, Op::Read, fault);
                };
                if (fault != Fault::Interrupted) {
                    scene.ExpectFailure([&] { save(scene, failRead); }, CFileException::kCannotLoad,
                                        subject);
                    continue;
                }
                // An interrupted read is continued.
                save(scene, failRead);
                EXPECT_TRUE(scene.disk.Failed());
                EXPECT_EQ(scene.disk.Contents("/arc.kpak"), saved);
            }
        }
    }
}

TEST(Streaming, FullDiskInTheMiddleOfACopyFailsTheSave) {
    for (const bool fromArchive : {false, true}) {
        SCOPED_TRACE(fromArchive ? "from the old archive" : "from disk files");
        const std::uint64_t size = Scene().oldArchive.size();
        for (std::uint64_t room = 0; room < size; room += 40000) {
            SCOPED_TRACE(room);
            Scene scene;
            std::uint64_t used = 0;
            for (const std::string& path : scene.paths)
                used += scene.disk.Contents(path).size();
            const auto limit = [&] { scene.disk.SpaceLimit(used + room); };
            scene.ExpectFailure([&] { fromArchive ? scene.Delete(limit) : scene.Create(limit); },
                                CFileException::kCannotWrite, "/arc.@@@");
        }
    }
}

} // namespace
