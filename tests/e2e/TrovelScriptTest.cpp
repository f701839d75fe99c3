#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>

using namespace testsupport;

namespace {

class TrovelScript : public TrovelTest {
protected:
    void ExpectNoArchive() const {
        EXPECT_FALSE(Exists(dir / "arc.kpak"));
        EXPECT_FALSE(Exists(dir / "arc.@@@"));
    }
};

TEST_F(TrovelScript, CreateImportsEntriesRelativeToTheScriptAndIgnoresWorkingDirectory) {
    Write("s/data/a.bin", "aaa");
    Write("s/sub/b.bin", "bb");
    Write("s/sub/c.bin", "c");
    Write("s/list.txt",
          "; members\n"
          "\"data\\a.bin\"\n"
          "\t\"sub\" , \"\\pack\" ; the whole directory\r\n");
    MakeDirs(dir / "elsewhere");
    RunResult r = Trovel({"-c", "-D", "elsewhere", "-S", "s/list.txt", "arc"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = Trovel({"-l", "arc"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              std::string(kListHead)
                  + "<DIR> :        0 /data/\n"
                    "<DIR> :        0 /pack/\n"
                    "     0:        3 /data/a.bin\n"
                    "     1:        2 /pack/b.bin\n"
                    "     2:        1 /pack/c.bin\n");
}

TEST_F(TrovelScript, LongOptionReadsEachScriptInTurn) {
    Write("a.bin", "A");
    Write("b.bin", "BB");
    Write("first.txt", "\"a.bin\", \"/x.bin\"\n");
    Write("second.txt", "\"b.bin\"");
    RunResult r = Trovel({"-c", "--script=first.txt,second.txt", "arc"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Trovel({"-l", "arc"});
    EXPECT_EQ(r.out,
              std::string(kListHead)
                  + "     0:        1 /x.bin\n"
                    "     1:        2 /b.bin\n");
}

TEST_F(TrovelScript, SyntaxErrorPrintsLineAndCaretAndWritesNoArchive) {
    Write("b.bin", "B");
    Write("list.txt", "\n; comment\n\"b.bin\"\n\n\n\n\"a\" x\n\"b.bin\"\n");
    const RunResult r = Trovel({"-c", "-S", "list.txt", "arc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "line 7: Incorrect script description.\n\"a\" x\n----^\n");
    ExpectNoArchive();
}

TEST_F(TrovelScript, MissingDirectoryOrPipeScriptCannotBeOpened) {
    MakeDirs(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const char* script : {"missing.txt", "folder", "pipe"}) {
        const RunResult r = Trovel({"-c", "-S", script, "arc"});
        EXPECT_EQ(r.status, 1) << script;
        EXPECT_EQ(r.out, "") << script;
        EXPECT_EQ(r.err, "line 0: Cannot open script file.\n^\n") << script;
        ExpectNoArchive();
    }
}

} // namespace
