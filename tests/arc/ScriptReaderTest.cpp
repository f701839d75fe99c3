#include "arc/ScriptReader.h"
#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "arc/FileVisitor.h"
#include "arc/Operand.h"
#include "arc/OperandWalk.h"
#include "fcl/MemoryDisk.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

using testsupport::TempDir;
using testsupport::Thrown;
using testsupport::WriteFile;
using XALArc::COperand;
using XALArc::CScriptException;
using XALArc::CScriptReader;
using XALArc::OperandKind;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>; // disk, archive

Entries ReadAll(const std::string& path) {
    CScriptReader reader(XALFcl::SystemDisk(), path);
    Entries entries;
    while (reader.Next())
        entries.emplace_back(reader.GetDiskPath(), reader.GetArchivePath());
    return entries;
}

// Reading a script holding `text` to its end fails at `lineNumber` and
// `column` of the line `lineText`.
void ExpectError(const std::string& text, std::int32_t lineNumber, std::int32_t column,
                 const std::string& lineText) {
    TempDir dir;
    WriteFile(dir / "list.txt", text);
    const auto e = Thrown<CScriptException>([&] { ReadAll(dir / "list.txt"); });
    ASSERT_TRUE(e) << "no error for: " << text;
    EXPECT_EQ(e->code, CScriptException::kIncorrectDescription) << text;
    EXPECT_EQ(e->lineNumber, lineNumber) << text;
    EXPECT_EQ(e->column, column) << text;
    EXPECT_EQ(e->lineText, lineText) << text;
}

// The script could not be opened, or not read to its end.
void ExpectCannotOpen(const std::optional<CScriptException>& e) {
    ASSERT_TRUE(e) << "no error";
    EXPECT_EQ(e->code, CScriptException::kCannotOpen);
    EXPECT_EQ(e->lineNumber, 0);
    EXPECT_EQ(e->column, 0);
    EXPECT_EQ(e->lineText, "");
}

} // namespace

TEST(ScriptReader, SkipsBlankAndCommentLinesAndAcceptsWhiteSpaceAndComments) {
    TempDir dir;
    WriteFile(dir / "list.txt",
              "\n"
              "; a comment\n"
              "   ; indented comment\n"
              "  \"a.bin\" ; note\n"
              "\t\"b.bin\" \t, \t\"/x/b.bin\"\t;note\r\n"
              "\" sp ace.bin \",\"/ q \"\r\n"
              "\"c.bin\"");
    const std::string base = dir.path() + "/";
    EXPECT_EQ(ReadAll(dir / "list.txt"),
              (Entries{{base + "a.bin", "/a.bin"},
                       {base + "b.bin", "/x/b.bin"},
                       {base + " sp ace.bin ", "/ q "},
                       {base + "c.bin", "/c.bin"}}));
}

TEST(ScriptReader, DerivesArchivePathsAndKeepsDriveQualifiedDiskPaths) {
    TempDir dir;
    WriteFile(dir / "list.txt",
              "\"\\data\\a.bin\"\n"
              "\"/data/b.bin\"\n"
              "\"C:\\x\\a.bin\", \"/x/a.bin\"\n"
              "\"sub\\c.bin\", \"\\y\\c.bin\"\n"
              "\"a.bin\", \"data/a.bin\"\n"
              "\"1:\\d.bin\"\n");
    const std::string base = dir.path() + "/";
    EXPECT_EQ(ReadAll(dir / "list.txt"),
              (Entries{{base + "/data/a.bin", "/data/a.bin"},
                       {base + "/data/b.bin", "/data/b.bin"},
                       {"C:/x/a.bin", "/x/a.bin"},
                       {base + "sub/c.bin", "\\y\\c.bin"},
                       {base + "a.bin", "data/a.bin"},
                       {base + "1:/d.bin", "/1:/d.bin"}}));
}

TEST(ScriptReader, SyntaxErrorsPointAtTheOffendingColumn) {
    ExpectError("a.bin\n", 1, 0, "a.bin\n");
    ExpectError("   a.bin\n", 1, 3, "   a.bin\n");
    ExpectError("  \"a.bin\n", 1, 2, "  \"a.bin\n");
    ExpectError("\"a.bin\", \"/b\n", 1, 9, "\"a.bin\", \"/b\n");
    ExpectError("\"a.bin\", /b.bin\n", 1, 9, "\"a.bin\", /b.bin\n");
    ExpectError("\"a.bin\" x\n", 1, 8, "\"a.bin\" x\n");
    ExpectError("\"a.bin\", \"/b\" \"/c\"\n", 1, 14, "\"a.bin\", \"/b\" \"/c\"\n");
    ExpectError("\"a.bin\", \"/b\",\n", 1, 13, "\"a.bin\", \"/b\",\n");
}

TEST(ScriptReader, EmptyDiskFieldIsRefusedAtItsOpeningQuote) {
    ExpectError("\"\"\n", 1, 0, "\"\"\n");
    ExpectError("  \"\" , \"/a.bin\"\n", 1, 2, "  \"\" , \"/a.bin\"\n");
}

TEST(ScriptReader, ErrorEchoesTheLineAsReadWithTabsAsSpaces) {
    // Line numbers count blank and comment lines.
    ExpectError("\n;c\n\"a.bin\"\n\"b.bin\" x\n", 4, 8, "\"b.bin\" x\n");
    ExpectError("\t\"a.bin\"\tx\n", 1, 9, " \"a.bin\" x\n");
    ExpectError("\"a.bin\"\r\n\"b.bin\" x\r\n", 2, 8, "\"b.bin\" x\n");
    ExpectError("\"a.bin\"\n\"b.bin\" x", 2, 8, "\"b.bin\" x");
    // The text of a line ends at a NUL byte, so no path can hide one.
    ExpectError(std::string("\"a\0b.bin\"\n", 10), 1, 0, "\"a");
}

TEST(ScriptReader, LongLineIsReadInPiecesEachCountedAsALine) {
    TempDir dir;
    const std::string firstPiece = "\"a.bin\"" + std::string(1016, ' ');
    ASSERT_EQ(firstPiece.size(), 1023u);
    WriteFile(dir / "list.txt", firstPiece + "\"b.bin\"\nx\n");
    CScriptReader reader(XALFcl::SystemDisk(), dir / "list.txt");
    ASSERT_TRUE(reader.Next());
    EXPECT_EQ(reader.GetArchivePath(), "/a.bin");
    ASSERT_TRUE(reader.Next());
    EXPECT_EQ(reader.GetArchivePath(), "/b.bin");
    const auto e = Thrown<CScriptException>([&] { reader.Next(); });
    ASSERT_TRUE(e) << "no error";
    EXPECT_EQ(e->lineNumber, 3);
    EXPECT_EQ(e->column, 0);
}

TEST(ScriptReader, ScriptNamedWithoutDirectoryResolvesAgainstCurrentDirectory) {
    TempDir dir;
    WriteFile(dir / "list.txt", "\"a.bin\"\n\"sub/b.bin\"\n");
    const testsupport::CurrentDirectory inDir(dir.path());
    EXPECT_EQ(ReadAll("list.txt"), (Entries{{"a.bin", "/a.bin"}, {"sub/b.bin", "/sub/b.bin"}}));
}

TEST(ScriptReader, MissingScriptOrDirectoryCannotBeOpened) {
    TempDir dir;
    for (const std::string& path : {dir / "missing.txt", dir.path()}) {
        SCOPED_TRACE(path);
        ExpectCannotOpen(
            Thrown<CScriptException>([&] { CScriptReader reader(XALFcl::SystemDisk(), path); }));
    }
}

// The script is read in pieces; one that cannot be read breaks the script
// off, which is reported as when it cannot be opened, never as its end.
TEST(ScriptReader, ReadErrorInTheMiddleIsReportedAsCannotOpen) {
    using XALFcl::CMemoryDisk;
    std::string script;
    for (int i = 0; i < 1000; ++i)
        script += "\"f" + std::to_string(i) + ".bin\"\n";
    using Fault = CMemoryDisk::Fault;
    for (const Fault fault : {Fault::Error, Fault::Interrupted}) {
        CMemoryDisk disk;
        disk.AddFile("/list.txt", script);
        disk.FailAt(2, CMemoryDisk::Op::Read, fault);
        CScriptReader reader(disk, "/list.txt");
        int entries = 0;
        const auto e = Thrown<CScriptException>([&] {
            while (reader.Next())
                ++entries;
        });
        if (fault == Fault::Error) {
            EXPECT_GT(entries, 0);
            EXPECT_LT(entries, 1000);
            ExpectCannotOpen(e);
        } else {
            EXPECT_FALSE(e);
            EXPECT_EQ(entries, 1000);
        }
        EXPECT_TRUE(disk.Failed());
    }
}

namespace {

class CRecordingVisitor : public XALArc::CFileVisitor {
public:
    explicit CRecordingVisitor(XALArc::CArchive& archive) : CFileVisitor(&archive, nullptr) {}
    void VisitFile(const std::string& archivePath, const std::string& diskPath) override {
        visited.emplace_back(diskPath, archivePath);
    }
    Entries visited;
};

} // namespace

TEST(ScriptOperand, EntriesIgnoreTheWorkingDirectoryAndGetSlashArchivePaths) {
    TempDir dir;
    testsupport::MakeDirs(dir / "scripts/data");
    testsupport::MakeDirs(dir / "elsewhere");
    WriteFile(dir / "scripts/data/a.bin", "A");
    WriteFile(dir / "scripts/data/b.bin", "B");
    WriteFile(dir / "scripts/list.txt",
              "\"data\\a.bin\", \"\\x\\a.bin\"\n"
              "\"data\"\n");
    const std::vector<COperand> operands = {
        {dir / "elsewhere", OperandKind::WorkingDirectory},
        {dir / "scripts/list.txt", OperandKind::Script},
    };
    XALArc::CArchive archive;
    CRecordingVisitor visitor(archive);
    XALArc::WalkOperands(operands, false, false, visitor);
    const std::string base = dir / "scripts/data/";
    EXPECT_EQ(visitor.visited,
              (Entries{{base + "a.bin", "/x/a.bin"},
                       {base + "a.bin", "/data/a.bin"},
                       {base + "b.bin", "/data/b.bin"}}));
}
