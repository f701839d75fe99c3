#include "arc/ArcSaver.h"

#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "arc/ArchiveImage.h"
#include "fcl/Exception.h"
#include "fcl/File.h"
#include "fcl/FileStream.h"
#include "fcl/MemoryDisk.h"

#include "ArcBytes.h"
#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <sys/stat.h>

using namespace XALArc;
using namespace testsupport;
using namespace arcbytes;

namespace {

std::string SaveAndRead(CArchive& archive, std::int32_t alignment, bool withNameTable = true) {
    TempDir dir;
    CArcSaver(archive, alignment, withNameTable, false).Save(dir / "a.kpak");
    return ReadFile(dir / "a.kpak");
}

TEST(ArcSaverLayout, EmptyArchiveIsFiftySixBytes) {
    CArchive archive;
    const std::string expected = Header(kLE, 3, 56) + BlockHeader(kLE, kFat, 12) + Fat(kLE, {})
        + BlockHeader(kLE, kNames, 20) + Dir(kLE, 8, 0, 1) + Bytes({0}) + Pad(3)
        + BlockHeader(kLE, kImage, 8);
    EXPECT_EQ(SaveAndRead(archive, 4), expected);
}

TEST(ArcSaverLayout, OneFileArchiveIsSeventyTwoBytes) {
    CArchive archive;
    AddFile(archive, "/a", "hello");
    const std::string expected = Header(kLE, 3, 72) + BlockHeader(kLE, kFat, 20)
        + Fat(kLE, {{0, 5}}) + BlockHeader(kLE, kNames, 20) + Dir(kLE, 8, 0, 1)
        + Bytes({0x01, 'a', 0x00}) + Pad(1) + BlockHeader(kLE, kImage, 16) + "hello" + Pad(3);
    EXPECT_EQ(SaveAndRead(archive, 4), expected);
}

// The root holds a, s1/{x, d/{y}}, b, s2/{z}: a directory's own files are
// numbered before its subdirectories' contents, directories in pre-order.
// y's length is a multiple of the alignment and z is empty, so neither is
// padded; the name table happens to end aligned, so BTNF has no padding.
TEST(ArcSaverLayout, NestedDirectoriesAreNumberedInWalkOrder) {
    CArchive archive(false);
    CFileEntry* a = AddFile(archive, "/a", "A");
    archive.CreateDirectory("/s1");
    CFileEntry* b = AddFile(archive, "/b", "BB");
    CFileEntry* z = AddFile(archive, "/s2/z", "");
    CFileEntry* x = AddFile(archive, "/s1/x", "XXX");
    CFileEntry* y = AddFile(archive, "/s1/d/y", "YYYY");

    const std::string expected = Header(kLE, 3, 160) + BlockHeader(kLE, kFat, 52)
        + Fat(kLE, {{0, 1}, {4, 6}, {8, 11}, {12, 16}, {16, 16}}) + BlockHeader(kLE, kNames, 68)
        + Dir(kLE, 32, 0, 4) + Dir(kLE, 47, 2, 0xF000) + Dir(kLE, 54, 3, 0xF001)
        + Dir(kLE, 57, 4, 0xF000)
        + Bytes({0x01, 'a', 0x82, 's', '1', 0x01, 0xF0, 0x01, 'b', 0x82, 's', '2', 0x03, 0xF0, 0})
        + Bytes({0x01, 'x', 0x81, 'd', 0x02, 0xF0, 0}) + Bytes({0x01, 'y', 0})
        + Bytes({0x01, 'z', 0}) + BlockHeader(kLE, kImage, 24) + "A" + Pad(3) + "BB" + Pad(2)
        + "XXX" + Pad(1) + "YYYY";
    EXPECT_EQ(SaveAndRead(archive, 4), expected);

    EXPECT_EQ(a->id, 0u);
    EXPECT_EQ(b->id, 1u);
    EXPECT_EQ(x->id, 2u);
    EXPECT_EQ(y->id, 3u);
    EXPECT_EQ(z->id, 4u);
    EXPECT_EQ(archive.root.id, 0xF000u);
    EXPECT_EQ(archive.FindEntry("/s1")->id, 0xF001u);
    EXPECT_EQ(archive.FindEntry("/s1/d")->id, 0xF002u);
    EXPECT_EQ(archive.FindEntry("/s2")->id, 0xF003u);
}

// Two files "a" (5 bytes) and "bb" (3 bytes): the name table is padded so
// that contents start aligned, and every file is padded to the alignment.
TEST(ArcSaverLayout, EveryAlignmentPadsNameTableAndContents) {
    struct Case {
        std::int32_t alignment;
        std::uint32_t btnfSize, secondStart, imageSize;
    };
    for (const Case& c :
         {Case{4, 24, 8, 12}, Case{8, 28, 8, 16}, Case{16, 28, 16, 32}, Case{32, 44, 32, 64}}) {
        CArchive archive(false);
        AddFile(archive, "/a", "hello");
        AddFile(archive, "/bb", "xyz");
        const std::uint32_t contentStart = 44 + c.btnfSize + 8;
        const std::string expected = Header(kLE, 3, contentStart + c.imageSize)
            + BlockHeader(kLE, kFat, 28) + Fat(kLE, {{0, 5}, {c.secondStart, c.secondStart + 3}})
            + BlockHeader(kLE, kNames, c.btnfSize) + Dir(kLE, 8, 0, 1)
            + Bytes({0x01, 'a', 0x02, 'b', 'b', 0}) + Pad(c.btnfSize - 22)
            + BlockHeader(kLE, kImage, c.imageSize + 8) + "hello" + Pad(c.secondStart - 5) + "xyz"
            + Pad(c.imageSize - c.secondStart - 3);
        EXPECT_EQ(SaveAndRead(archive, c.alignment), expected) << "alignment " << c.alignment;
        EXPECT_EQ(contentStart % static_cast<std::uint32_t>(c.alignment), 0u);
    }
}

TEST(ArcSaverLayout, WithoutNameTableOnlyTheRootEntryIsWritten) {
    CArchive archive(false);
    AddFile(archive, "/a", "hello");
    AddFile(archive, "/d/b", "!");
    const std::string expected = Header(kLE, 3, 160) + BlockHeader(kLE, kFat, 28)
        + Fat(kLE, {{0, 5}, {32, 33}}) + BlockHeader(kLE, kNames, 44) + Dir(kLE, 4, 0, 1) + Pad(28)
        + BlockHeader(kLE, kImage, 72) + "hello" + Pad(27) + "!" + Pad(31);
    EXPECT_EQ(SaveAndRead(archive, 32, false), expected);
}

TEST(ArcSaverLayout, SavingTwiceGivesIdenticalBytes) {
    CArchive archive;
    AddFile(archive, "/z/1", "one");
    AddFile(archive, "/a", "two!!");
    archive.CreateDirectory("/empty");
    const std::string first = SaveAndRead(archive, 8);
    EXPECT_EQ(SaveAndRead(archive, 8), first);
}

class ArcSaverLimits : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(path, "OLD"); }

    // The save is refused with `code` and leaves the old archive and no
    // temporary file behind.
    void ExpectRefused(bool withNameTable, int code, const std::string& subject) {
        EXPECT_TRUE(Throws<CArcException>(
            [&] { CArcSaver(archive, 4, withNameTable, true).Save(path); }, code, subject));
        EXPECT_EQ(ReadFile(path), "OLD");
        EXPECT_FALSE(Exists(dir / "a.@@@"));
        EXPECT_FALSE(Exists(dir / "a.bak"));
    }

    TempDir dir;
    const std::string path = dir / "a.kpak";
    CArchive archive{false};
};

// The root's children are visited before anything inside /d, so a long name
// in the root is the first one met even when it was created last.
TEST_F(ArcSaverLimits, FirstLongNameInWalkOrderIsRefused) {
    AddFile(archive, "/d/" + std::string(128, 'x'), "");
    AddFile(archive, "/" + std::string(127, 'n'), "");
    ExpectRefused(true, CArcException::kNameTooLong, "/d/" + std::string(128, 'x'));

    archive.CreateDirectory("/" + std::string(129, 'y'));
    ExpectRefused(true, CArcException::kNameTooLong, "/" + std::string(129, 'y'));
}

TEST_F(ArcSaverLimits, MoreThan4096DirectoriesAreRefused) {
    for (int i = 0; i < 4095; ++i)
        archive.CreateDirectory("/d" + std::to_string(i));
    CArcSaver(archive, 4, true, false).Save(dir / "ok.kpak");
    EXPECT_EQ(archive.FindEntry("/d4094")->id, 0xFFFFu);

    archive.CreateDirectory("/d4095");
    ExpectRefused(true, CArcException::kTooManyDirectories, path);
}

TEST_F(ArcSaverLimits, MoreThan65535FilesAreRefused) {
    for (int i = 0; i < 65535; ++i)
        archive.CreateFile("/f" + std::to_string(i));
    CArcSaver(archive, 4, true, false).Save(dir / "ok.kpak");
    EXPECT_EQ(ReadFile(dir / "ok.kpak").substr(24, 4), U16LE(65535) + U16LE(0));

    archive.CreateFile("/f65535");
    ExpectRefused(true, CArcException::kTooManyFiles, path);
}

// Sizes are reckoned in 64 bits: a member of 4 GiB plus a little must not
// wrap around to a small archive. The contents are never read.
TEST_F(ArcSaverLimits, ArchivesOf4GiBOrMoreAreRefused) {
    WriteFile(dir / "image", "x");
    const auto image = std::make_shared<CArchiveImage>(
        std::make_unique<XALFcl::CFileInputStream>(XALFcl::SystemDisk(), dir / "image"), 0);
    CFileEntry* file = archive.CreateFile("/a");
    // With one one-letter file the contents start at 64.
    file->Refer(image, 0, (std::uint64_t{1} << 32) - 64);
    ExpectRefused(true, CArcException::kArchiveTooLarge, path);
    file->Refer(image, 0, (std::uint64_t{1} << 32) + 8);
    ExpectRefused(true, CArcException::kArchiveTooLarge, path);
}

TEST_F(ArcSaverLimits, WithoutNameTableNameAndDirectoryLimitsDoNotApply) {
    AddFile(archive, "/" + std::string(200, 'x'), "x");
    for (int i = 0; i < 4096; ++i)
        archive.CreateDirectory("/d" + std::to_string(i));
    CArcSaver(archive, 4, false, false).Save(path);
    EXPECT_EQ(ReadFile(path).size(), 64u);
}

TEST(ArcSaverSideFiles, NamesReplaceTheLastExtensionAnywhereInThePath) {
    EXPECT_EQ(CArcSaver::TemporaryName("data/sound.kpak"), "data/sound.@@@");
    EXPECT_EQ(CArcSaver::BackupName("data/sound.kpak"), "data/sound.bak");
    EXPECT_EQ(CArcSaver::TemporaryName("out"), "out.@@@");
    EXPECT_EQ(CArcSaver::BackupName("out"), "out.bak");
    EXPECT_EQ(CArcSaver::TemporaryName("old.dir/archive"), "old.@@@");
}

class ArcSaverReplace : public ::testing::Test {
protected:
    void SetUp() override {
        AddFile(archive, "/a", "hello");
        newBytes = SaveAndRead(archive, 4);
    }

    void Save(bool backup) { CArcSaver(archive, 4, true, backup).Save(path); }

    TempDir dir;
    const std::string path = dir / "a.kpak";
    const std::string temporary = dir / "a.@@@";
    const std::string backupName = dir / "a.bak";
    CArchive archive;
    std::string newBytes;
};

TEST_F(ArcSaverReplace, SaveReplacesArchiveAndLeavesNoTemporary) {
    WriteFile(path, "OLD");
    Save(false);
    EXPECT_EQ(ReadFile(path), newBytes);
    EXPECT_FALSE(Exists(temporary));
    EXPECT_FALSE(Exists(backupName));
}

TEST_F(ArcSaverReplace, BackupKeepsTheOldArchiveOnlyWhenThereIsOne) {
    Save(true);
    EXPECT_EQ(ReadFile(path), newBytes);
    EXPECT_FALSE(Exists(backupName));

    WriteFile(path, "OLD");
    WriteFile(backupName, "OLDER");
    Save(true);
    EXPECT_EQ(ReadFile(path), newBytes);
    EXPECT_EQ(ReadFile(backupName), "OLD");
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(ArcSaverReplace, DirectoryAtTemporaryNameFailsAndKeepsOldArchive) {
    WriteFile(path, "OLD");
    MakeDirs(temporary + "/inside");
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { Save(true); },
                                               XALFcl::CFileException::kCannotOpen, temporary));
    EXPECT_EQ(ReadFile(path), "OLD");
    EXPECT_TRUE(Exists(temporary + "/inside"));
    EXPECT_FALSE(Exists(backupName));
}

TEST_F(ArcSaverReplace, LinkAtTemporaryNameIsRemovedNotFollowed) {
    WriteFile(dir / "victim", "VICTIM");
    std::filesystem::create_symlink(dir / "victim", temporary);
    Save(false);
    EXPECT_EQ(ReadFile(dir / "victim"), "VICTIM");
    EXPECT_EQ(ReadFile(path), newBytes);
    EXPECT_FALSE(Exists(temporary));
}

// The new backup is made under the staging name and renamed over the old
// one only when complete: a directory at the staging name defeats both the
// link and the copy (as root too), one at the backup name the rename.
TEST_F(ArcSaverReplace, BackupThatCannotBeMadeChangesNothing) {
    const std::string staging = CArcSaver::BackupStagingName(path);
    EXPECT_EQ(staging, backupName + "@@@");
    for (const std::string& obstacle : {staging, backupName}) {
        WriteFile(path, "OLD");
        if (obstacle == staging)
            WriteFile(backupName, "OLDER");
        MakeDirs(obstacle + "/inside");
        EXPECT_TRUE(Throws<XALFcl::CFileException>(
            [&] { Save(true); }, XALFcl::CFileException::kCannotWrite, backupName));
        EXPECT_EQ(ReadFile(path), "OLD");
        EXPECT_FALSE(Exists(temporary));
        EXPECT_TRUE(Exists(obstacle + "/inside"));
        if (obstacle == staging) {
            EXPECT_EQ(ReadFile(backupName), "OLDER");
            std::filesystem::remove_all(staging);
            std::filesystem::remove(backupName);
        }
    }
}

TEST_F(ArcSaverReplace, LeftoverOfADeadRunIsReplaced) {
    WriteFile(path, "OLD");
    WriteFile(temporary, "LEFTOVER");
    WriteFile(CArcSaver::BackupStagingName(path), "LEFTOVER");
    Save(true);
    EXPECT_EQ(ReadFile(path), newBytes);
    EXPECT_EQ(ReadFile(backupName), "OLD");
    EXPECT_FALSE(Exists(temporary));
    EXPECT_FALSE(Exists(CArcSaver::BackupStagingName(path)));
}

// Another run writing the temporary file holds it locked (here this test,
// through the same open mode): the save fails before it changes anything.
TEST_F(ArcSaverReplace, TemporaryFileOfALiveRunIsLeftAlone) {
    WriteFile(path, "OLD");
    WriteFile(backupName, "OLDER");
    XALFcl::CFile holder(XALFcl::SystemDisk(), temporary, "wbl");
    holder.PutChar('L');
    holder.Flush();
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { Save(true); },
                                               XALFcl::CFileException::kCannotOpen, temporary));
    EXPECT_EQ(ReadFile(path), "OLD");
    EXPECT_EQ(ReadFile(backupName), "OLDER");
    EXPECT_EQ(ReadFile(temporary), "L");
    holder.Close();
    Save(true);
    EXPECT_EQ(ReadFile(path), newBytes);
}

int Mode(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

TEST_F(ArcSaverReplace, ArchiveAndBackupKeepThePermissionsOfTheOldArchive) {
    for (const int mode : {0600, 0620, 0644}) {
        WriteFile(path, "OLD");
        ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
        Save(true);
        EXPECT_EQ(Mode(path), mode);
        EXPECT_EQ(Mode(backupName), mode);
    }
    // A new archive gets the default mode.
    std::filesystem::remove(path);
    const mode_t mask = umask(022);
    Save(false);
    umask(mask);
    EXPECT_EQ(Mode(path), 0644);
}

TEST_F(ArcSaverReplace, FailedRenameRemovesTemporary) {
    MakeDirs(path + "/inside");
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { Save(false); },
                                               XALFcl::CFileException::kCannotWrite, path));
    EXPECT_TRUE(Exists(path + "/inside"));
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(ArcSaverReplace, SideFileThatIsTheArchiveIsRefusedNotRemoved) {
    const std::string sideArchive = dir / "x.@@@";
    WriteFile(sideArchive, "OLD");
    EXPECT_TRUE(Throws<CArcException>([&] { CArcSaver(archive, 4, true, false).Save(sideArchive); },
                                      CArcException::kSameFile, sideArchive));
    EXPECT_EQ(ReadFile(sideArchive), "OLD");

    // A backup that is a symbolic link to the archive is refused; one that
    // is a second hard link of it (an interrupted save's) is the backup.
    WriteFile(path, "OLD");
    std::filesystem::create_symlink(path, backupName);
    EXPECT_TRUE(Throws<CArcException>([&] { Save(true); }, CArcException::kSameFile, backupName));
    EXPECT_EQ(ReadFile(path), "OLD");
    std::filesystem::remove(backupName);
    std::filesystem::create_hard_link(path, backupName);
    Save(true);
    EXPECT_EQ(ReadFile(backupName), "OLD");
    EXPECT_NE(ReadFile(path), "OLD");
    EXPECT_FALSE(Exists(backupName + "@@@"));
}

// A save with a backup over an old archive and an older backup, on the
// memory disk, which can refuse a link or run out of space.
struct CSaveOnMemoryDisk {
    CSaveOnMemoryDisk() {
        disk.AddFile("/a.kpak", kOld);
        disk.AddFile("/a.bak", "OLDER");
        AddFile(archive, "/m", std::string(100000, 'm'));
    }

    // The CFileException that the save raises, if any.
    std::optional<XALFcl::CFileException> Save() {
        return Thrown<XALFcl::CFileException>(
            [&] { CArcSaver(archive, 4, true, true).Save("/a.kpak"); });
    }

    // The old files take 3005 bytes; the new archive takes 100064 more, and
    // a copy of the old one 3000 on top.
    const std::string kOld = std::string(3000, 'O');
    XALFcl::CMemoryDisk disk;
    CArchive archive{false, disk};
};

TEST(ArcSaverOnFailingDisk, BackupIsACopyWhereLinksAreRefused) {
    CSaveOnMemoryDisk linked;
    ASSERT_FALSE(linked.Save());
    CSaveOnMemoryDisk copied;
    copied.disk.Refuse(XALFcl::CMemoryDisk::Op::Link);
    ASSERT_FALSE(copied.Save());
    EXPECT_EQ(copied.disk.Contents("/a.bak"), copied.kOld);
    EXPECT_EQ(copied.disk.Contents("/a.kpak"), linked.disk.Contents("/a.kpak"));
    EXPECT_EQ(copied.disk.Contents("/a.kpak").size(), 100064u);
    EXPECT_EQ(copied.disk.Paths(), (std::vector<std::string>{"/a.bak", "/a.kpak"}));
}

// Whether the new archive or the backup's copy runs out of space, the save
// fails naming the file it was writing, and leaves everything as it was.
TEST(ArcSaverOnFailingDisk, RunningOutOfSpaceChangesNothing) {
    struct Case {
        bool refuseLink;
        std::uint64_t room;
        const char* subject;
    };
    for (const Case& c :
         {Case{false, 0, "/a.@@@"}, Case{false, 65536, "/a.@@@"}, Case{false, 100063, "/a.@@@"},
          Case{true, 100064, "/a.bak"}, Case{true, 100064 + 2999, "/a.bak"}}) {
        SCOPED_TRACE(c.room);
        CSaveOnMemoryDisk save;
        if (c.refuseLink)
            save.disk.Refuse(XALFcl::CMemoryDisk::Op::Link);
        save.disk.SpaceLimit(3005 + c.room);
        const auto e = save.Save();
        ASSERT_TRUE(e);
        EXPECT_EQ(e->code, XALFcl::CFileException::kCannotWrite);
        EXPECT_EQ(e->subject, c.subject);
        EXPECT_EQ(save.disk.Contents("/a.kpak"), save.kOld);
        EXPECT_EQ(save.disk.Contents("/a.bak"), "OLDER");
        EXPECT_EQ(save.disk.Paths(), (std::vector<std::string>{"/a.bak", "/a.kpak"}));
    }
}

} // namespace
