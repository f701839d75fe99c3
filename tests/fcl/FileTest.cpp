#include "fcl/File.h"

#include "TestSupport.h"
#include "fcl/Exception.h"
#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::Throws;
using testsupport::WriteFile;
using XALFcl::CFile;
using XALFcl::CFileException;
using XALFcl::SystemDisk;

namespace {

TEST(FileTest, OpeningAMissingFileThrowsCannotOpenWithThePath) {
    TempDir dir;
    const std::string path = dir / "missing.bin";
    EXPECT_TRUE(Throws<CFileException>([&] { CFile file(SystemDisk(), path, "rb"); },
                                       CFileException::kCannotOpen, path));
}

TEST(FileTest, ReadingRefusesDirectoriesAndFifosWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    CFile file(SystemDisk());
    EXPECT_FALSE(file.Open(dir / "fifo", "rb"));
    EXPECT_FALSE(file.Open(dir.path(), "rb"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetName(), "");
}

TEST(FileTest, ExclusiveCreationFailsOnAnythingAlreadyThere) {
    TempDir dir;
    WriteFile(dir / "old", "keep");
    std::filesystem::create_symlink(dir / "target", dir / "link");
    CFile file(SystemDisk());
    EXPECT_FALSE(file.Open(dir / "old", "wbx"));
    EXPECT_FALSE(file.Open(dir / "link", "wx"));
    EXPECT_FALSE(std::filesystem::exists(dir / "target"));
    EXPECT_EQ(ReadFile(dir / "old"), "keep");
    EXPECT_FALSE(file.Open(dir / "new", "r+"));
    ASSERT_TRUE(file.Open(dir / "new", "wbx"));
    file.Finish();
    EXPECT_TRUE(file.Open(dir / "old", "wb"));
    file.Close();
    EXPECT_EQ(ReadFile(dir / "old"), "");
}

// Without a reader the open fails at once instead of waiting for one (a
// hang here stalls the test); with one, writing works as on any file.
TEST(FileTest, WritingAFifoNeverWaitsForAReader) {
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CFile file(SystemDisk());
    EXPECT_FALSE(file.Open(fifo, "wb"));
    EXPECT_TRUE(Throws<CFileException>([&] { CFile opened(SystemDisk(), fifo, "wb"); },
                                       CFileException::kCannotOpen, fifo));

    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(file.Open(fifo, "wb"));
    file.PutChar('x');
    file.Finish();
    char byte = 0;
    EXPECT_EQ(read(reader, &byte, 1), 1);
    EXPECT_EQ(byte, 'x');
    close(reader);

    ASSERT_TRUE(file.Open("/dev/null", "wb"));
    file.PutChar('x');
    file.Finish();
}

TEST(FileTest, GetCharTellsByteFFFromEndOfFile) {
    TempDir dir;
    WriteFile(dir / "f", std::string("\xFF\x00", 2));
    CFile file(SystemDisk(), dir / "f", "rb");
    EXPECT_EQ(file.GetChar(), 0xFF);
    EXPECT_EQ(file.GetChar(), 0);
    EXPECT_EQ(file.GetChar(), -1);
    EXPECT_EQ(file.GetChar(), -1);
}

TEST(FileTest, GetSizeKeepsThePosition) {
    TempDir dir;
    WriteFile(dir / "f", "0123456789");
    CFile file(SystemDisk(), dir / "f", "rb");
    EXPECT_EQ(file.Seek(3, SEEK_SET), 3);
    EXPECT_EQ(file.GetSize(), 10);
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_EQ(file.GetChar(), '3');
}

TEST(FileTest, IoErrorsCarryTheirCodeAndTheFileName) {
    TempDir dir;
    const std::string path = dir / "f";
    CFile file(SystemDisk(), path, "wb");
    char byte;
    EXPECT_TRUE(Throws<CFileException>([&] { file.Read(&byte, 1); }, CFileException::kCannotLoad));
    EXPECT_TRUE(Throws<CFileException>([&] { file.Seek(-1, SEEK_SET); },
                                       CFileException::kCannotSeek, path));
    file.Close();
    EXPECT_TRUE(Throws<CFileException>([&] { file.PutChar('x'); }, CFileException::kCannotWrite));
    EXPECT_TRUE(Throws<CFileException>([&] { file.Tell(); }, CFileException::kCannotSeek));
}

TEST(FileTest, FinishReportsAFailedFlushAndClosesAnyway) {
    if (!testsupport::Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CFile file(SystemDisk(), "/dev/full", "wb");
    file.PutChar('x');
    EXPECT_TRUE(
        Throws<CFileException>([&] { file.Finish(); }, CFileException::kCannotWrite, "/dev/full"));
    EXPECT_FALSE(file.IsOpen());
}

// Writes `bytes` to a file of `disk` and reads them back, through every
// kind of transfer: buffered and direct writes, byte-wise, block and
// positioned reads, and the seeks of Tell and GetSize.
std::string WriteAndReadBack(XALFcl::CDisk& disk, const std::string& bytes) {
    CFile out(disk, "/f", "wb");
    for (std::size_t i = 0; i < 100; ++i)
        out.PutChar(static_cast<std::uint8_t>(bytes[i]));
    out.Write(bytes.data() + 100, 70000);
    out.Write(bytes.data() + 70100, bytes.size() - 70100);
    EXPECT_EQ(out.Tell(), static_cast<std::int64_t>(bytes.size()));
    out.Finish();
    CFile in(disk, "/f", "rb");
    EXPECT_EQ(in.GetSize(), static_cast<std::int64_t>(bytes.size()));
    std::string back(bytes.size(), '\0');
    for (std::size_t i = 0; i < 100; ++i)
        back[i] = static_cast<char>(in.GetChar());
    in.Read(&back[100], 5000);
    in.ReadAt(5100, &back[5100], bytes.size() - 5100);
    return back;
}

// A failed disk call becomes the exception of its kind naming the file; an
// interrupted one is gone on with, so that nothing shows. Only the reader's
// close, the second, is not checked: nothing can be lost there.
TEST(FileTest, EveryFailedDiskCallBecomesItsCodeAndInterruptedOnesAreCompleted) {
    using XALFcl::CMemoryDisk;
    std::string bytes(80000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    CMemoryDisk clean;
    ASSERT_EQ(WriteAndReadBack(clean, bytes), bytes);
    const struct {
        CMemoryDisk::Op op;
        std::int32_t code;
    } kinds[] = {{CMemoryDisk::Op::Open, CFileException::kCannotOpen},
                 {CMemoryDisk::Op::Write, CFileException::kCannotWrite},
                 {CMemoryDisk::Op::Close, CFileException::kCannotWrite},
                 {CMemoryDisk::Op::Seek, CFileException::kCannotSeek},
                 {CMemoryDisk::Op::Read, CFileException::kCannotLoad}};
    for (const auto& kind : kinds) {
        ASSERT_GT(clean.Calls(kind.op), 0u);
        for (std::uint64_t n = 1; n <= clean.Calls(kind.op); ++n) {
            SCOPED_TRACE(testing::Message()
                         << "call " << n << " of kind " << static_cast<int>(kind.op));
            CMemoryDisk failing;
            failing.FailAt(n, kind.op);
            if (kind.op == CMemoryDisk::Op::Close && n == 2) {
                EXPECT_EQ(WriteAndReadBack(failing, bytes), bytes);
            } else {
                EXPECT_TRUE(Throws<CFileException>([&] { WriteAndReadBack(failing, bytes); },
                                                   kind.code, "/f"));
            }
            CMemoryDisk interrupted;
            interrupted.FailAt(n, kind.op, CMemoryDisk::Fault::Interrupted);
            EXPECT_EQ(WriteAndReadBack(interrupted, bytes), bytes);
            EXPECT_TRUE(interrupted.Failed());
        }
    }
}

} // namespace
