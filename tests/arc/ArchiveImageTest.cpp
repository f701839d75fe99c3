#include "arc/ArchiveImage.h"
#include "arc/ArcLoader.h"
#include "arc/ArcSaver.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/FileStream.h"

#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

using namespace XALArc;
using namespace testsupport;

namespace {

// Loaded members read their bytes from the archive file when they are
// saved or compared, in chunks, so these archives hold a member of more
// than two chunks.
class ArchiveImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::uint64_t i = 0; i < 2 * CArchiveImage::kChunkSize + 12345; ++i)
            big.push_back(static_cast<char>((i * 7 + i / 4093) & 0xFF));
        CArchive source(false);
        AddFile(source, "/a.bin", "alpha");
        AddFile(source, "/empty.bin", "");
        AddFile(source, "/d/big.bin", big);
        AddFile(source, "/d/e/z.bin", "zz");
        CArcSaver(source, 32, true, false).Save(path);
        original = ReadFile(path);
        CArcLoader(loaded).Load(path);
    }

    // Compares the loaded /d/big.bin with `bytes` as a disk file.
    bool CompareBig(const std::string& bytes) {
        WriteFile(dir / "disk.bin", bytes);
        XALFcl::CFileInputStream in(XALFcl::SystemDisk(), dir / "disk.bin");
        return loaded.FindFile("/d/big.bin")->Compare(in, bytes.size());
    }

    TempDir dir;
    const std::string path = dir / "a.kpak";
    std::string big;
    std::string original;
    CArchive loaded{false};
};

TEST_F(ArchiveImageTest, LoadedMembersSaveBackByteForByteOverTheirOwnArchiveWhichThenCloses) {
    CArcSaver(loaded, 32, true, true).Save(path);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(ReadFile(dir / "a.bak"), original);
    // The save closed the archive that it replaced (a Windows host renames
    // only over a closed file): its members can no longer be read.
    EXPECT_TRUE(Throws<XALFcl::CFileException>(
        [&] { CArcSaver(loaded, 32, true, false).Save(dir / "copy.kpak"); },
        XALFcl::CFileException::kCannotLoad, path));
    EXPECT_FALSE(Exists(dir / "copy.kpak"));
}

TEST_F(ArchiveImageTest, LoadedMemberComparesEveryChunk) {
    EXPECT_TRUE(CompareBig(big));
    std::string last = big;
    last.back() = static_cast<char>(last.back() ^ 0x80);
    EXPECT_FALSE(CompareBig(last));
    EXPECT_FALSE(CompareBig(big.substr(1)));
}

// A member must never be saved with bytes that the archive no longer holds.
TEST_F(ArchiveImageTest, ArchiveTruncatedAfterLoadingFailsTheSaveAndStaysAsItIs) {
    std::filesystem::resize_file(path, original.size() - 1000);
    const std::string truncated = ReadFile(path);
    for (const std::string& target : {path, dir / "other.kpak"}) {
        SCOPED_TRACE(target);
        EXPECT_TRUE(
            Throws<XALFcl::CFileException>([&] { CArcSaver(loaded, 32, true, true).Save(target); },
                                           XALFcl::CFileException::kCannotLoad, path));
        EXPECT_FALSE(Exists(CArcSaver::TemporaryName(target)));
        EXPECT_FALSE(Exists(CArcSaver::BackupName(target)));
    }
    EXPECT_EQ(ReadFile(path), truncated);
    EXPECT_FALSE(Exists(dir / "other.kpak"));

    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { CompareBig(big); },
                                               XALFcl::CFileException::kCannotLoad, path));
}

} // namespace
