// A save reads its members' disk files on a second thread, in batches and
// a bounded way ahead of the writer: bytes must come out in member order
// whatever the sizes and sources, and the writer must fail where it reaches
// a member that failed, or stop the reader when it fails itself.

#include "arc/ArcLoader.h"
#include "arc/ArcSaver.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/MemoryDisk.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

using namespace XALArc;
using XALFcl::CFileException;
using XALFcl::CMemoryDisk;

namespace {

constexpr std::size_t kBatch = std::size_t{256} << 10;

std::string Pattern(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 31 + static_cast<std::size_t>(seed) + i / 7);
    return bytes;
}

// Members of sizes around a batch and 48 of 100 KiB (more than the reader
// may hold ahead), on disk under /src, by their archive names.
std::map<std::string, std::string> Members() {
    std::map<std::string, std::string> members;
    int seed = 0;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kBatch - 1, kBatch, kBatch + 1,
                                   2 * kBatch + 5, std::size_t{3}})
        members["/s" + std::to_string(seed) + ".bin"] = Pattern(size, seed), ++seed;
    for (int i = 0; i < 48; ++i)
        members["/m" + std::to_string(100 + i) + ".bin"] = Pattern(100000, seed++);
    return members;
}

void AddAll(CArchive& archive, CMemoryDisk& disk, const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files) {
        disk.AddFile("/src" + name, bytes);
        archive.AddFile(name, "/src" + name);
    }
}

std::string Bytes(CFileEntry* file) {
    const auto* data = reinterpret_cast<const char*>(file->Data());
    return data == nullptr ? std::string() : std::string(data, file->size);
}

TEST(ReadAhead, MembersOfEverySizeAndSourceComeOutInOrder) {
    const auto members = Members();
    CMemoryDisk disk;
    {
        CArchive archive(true, disk);
        AddAll(archive, disk, members);
        CArcSaver(archive, 32, true, false).Save("/a.kpak");
    }
    // Members of the old archive between disk files and one in memory.
    CArchive archive(true, disk);
    CArcLoader(archive).Load("/a.kpak");
    std::map<std::string, std::string> added;
    for (int i = 0; i < 6; ++i)
        added["/m1" + std::to_string(i) + "a.bin"] =
            Pattern(70000 * static_cast<std::size_t>(i), i);
    AddAll(archive, disk, added);
    archive.CreateFile("/m12b.bin")->Data();
    CArcSaver(archive, 32, true, false).Save("/b.kpak");

    CArchive saved(true, disk);
    CArcLoader(saved).Load("/b.kpak");
    std::map<std::string, std::string> expected = members;
    expected.insert(added.begin(), added.end());
    expected["/m12b.bin"] = "";
    EXPECT_EQ(saved.root.CountFiles(), static_cast<std::int64_t>(expected.size()));
    for (const auto& [name, bytes] : expected)
        EXPECT_TRUE(Bytes(saved.FindFile(name)) == bytes) << name;
}

// The reader is far ahead (or waiting for room) when the writer meets a
// member that changed, or fails itself: the save fails, as it would without
// the reader, and the temporary file goes.
TEST(ReadAhead, FailureAheadOrInTheWriterEndsTheSave) {
    const auto members = Members();
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full ? "disk full" : "member changed");
        CMemoryDisk disk;
        CArchive archive(true, disk);
        AddAll(archive, disk, members);
        if (full)
            disk.SpaceLimit(disk.Contents("/src/m100.bin").size() * 60);
        else
            disk.AddFile("/src/m140.bin", "changed");
        EXPECT_TRUE(testsupport::Throws<CFileException>(
            [&] { CArcSaver(archive, 4, true, false).Save("/a.kpak"); },
            full ? CFileException::kCannotWrite : CFileException::kCannotLoad,
            full ? "/a.@@@" : "/src/m140.bin"));
        EXPECT_FALSE(disk.Exists("/a.@@@"));
        EXPECT_FALSE(disk.Exists("/a.kpak"));
    }
}

} // namespace
