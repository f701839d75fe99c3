#include "arc/FileVisitor.h"
#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "arc/FileImporter.h"
#include "arc/OperandWalk.h"
#include "fcl/Exception.h"
#include "fcl/MemoryDisk.h"

#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace XALArc;
using testsupport::ChildNames;
using testsupport::MakeDirs;
using testsupport::TempDir;
using testsupport::Throws;
using testsupport::WriteFile;

namespace {

// Records the calls of a disk walk by archive path.
class CWalkLog : public CFileVisitor {
public:
    CWalkLog(CArchive& archive, const std::vector<std::string>* excludes)
        : CFileVisitor(&archive, excludes) {}
    void EnterDirectory(const std::string& archivePath) override {
        log.push_back("enter " + archivePath);
    }
    void VisitFile(const std::string& archivePath, const std::string&) override {
        log.push_back("file " + archivePath);
    }
    std::vector<std::string> log;
};

} // namespace

TEST(FileVisitor, WalkFollowsLinksInEnumerationOrderAndRefusesLoops) {
    TempDir dir;
    MakeDirs(dir / "a/s");
    MakeDirs(dir / "a/CVS");
    WriteFile(dir / "a/c.bin", "c");
    WriteFile(dir / "a/B.bin", "b");
    WriteFile(dir / "a/s/x.bin", "x");
    WriteFile(dir / "a/CVS/junk", "j");
    std::filesystem::create_directory_symlink("s", dir / "a/t");
    const std::vector<std::string> excludes{"CVS"};
    const std::vector<COperand> operands{{dir.path(), OperandKind::WorkingDirectory},
                                         {"a", OperandKind::Path}};
    CArchive archive;
    CWalkLog walk(archive, &excludes);
    WalkOperands(operands, false, false, walk);
    EXPECT_EQ(walk.log,
              (std::vector<std::string>{"enter /a", "file /a/B.bin", "file /a/c.bin", "enter /a/s",
                                        "file /a/s/x.bin", "enter /a/t", "file /a/t/x.bin"}));

    std::filesystem::create_directory_symlink("..", dir / "a/s/back");
    CWalkLog loop(archive, &excludes);
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { WalkOperands(operands, false, false, loop); },
                                               XALFcl::CFileException::kCannotOpenDirectory,
                                               dir / "a/s/back"));
}

// Entering a directory registers it in the archive; when the directory then
// cannot be read, or registering it fails halfway, the directories created
// for it go again, while those that were there before stay.
TEST(FileVisitor, FailedDirectoryLeavesNoEmptyDirectoriesBehind) {
    TempDir dir;
    CArchive archive(true);
    archive.CreateDirectory("/kept");
    archive.CreateFile("/f");
    CFileImporter importer(&archive, nullptr, false, true);
    for (const char* operand : {"kept/x/y/z", "new/../f/x", "new/../.."}) {
        const std::vector<COperand> operands{{dir.path(), OperandKind::WorkingDirectory},
                                             {operand, OperandKind::Path}};
        EXPECT_THROW(WalkOperands(operands, false, false, importer), XALFcl::CException) << operand;
        EXPECT_EQ(ChildNames(archive.root), (std::vector<std::string>{"f", "kept"})) << operand;
        EXPECT_TRUE(archive.FindEntry("/kept")->AsDirectory()->entries.Empty()) << operand;
    }
    EXPECT_FALSE(importer.modified);
}

namespace {

// Fails the walk at its first file while `failing`.
class CFailingImporter : public CFileImporter {
public:
    explicit CFailingImporter(CArchive& archive) : CFileImporter(&archive, nullptr, false, true) {}
    void VisitFile(const std::string& archivePath, const std::string& diskPath) override {
        if (failing)
            throw XALFcl::CFileException(XALFcl::CFileException::kCannotOpen, diskPath);
        CFileImporter::VisitFile(archivePath, diskPath);
    }
    bool failing = true;
};

} // namespace

// A walk that failed in a directory leaves nothing of it behind: the next
// operand, a file named alone, is opened by its own path.
TEST(FileVisitor, OperandAfterAFailedWalkOpensItsOwnFile) {
    XALFcl::CMemoryDisk disk;
    disk.AddFile("/src/a.bin", "a");
    disk.AddFile("/other/b.bin", "bb");
    CArchive archive(true, disk);
    CFailingImporter importer(archive);
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { importer.Import("/src", "/src"); },
                                               XALFcl::CFileException::kCannotOpen,
                                               std::string("/src/a.bin")));
    importer.failing = false;
    importer.Import("/b.bin", "/other/b.bin");
    ASSERT_NE(archive.FindFile("/b.bin"), nullptr);
    EXPECT_EQ(archive.FindFile("/b.bin")->size, 2u);
}
