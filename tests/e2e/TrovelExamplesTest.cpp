#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// The road from assets to game code as a user takes it: examples/Makefile,
// run with the built trovel in a copy of examples/, packs the archive, writes
// its index header and compiles the C loader against it; the loader reads
// members by file ID and by path.

using namespace testsupport;

namespace {

namespace fs = std::filesystem;

class TrovelExamples : public TrovelTest {
protected:
    void SetUp() override {
        if (Shell("command -v make && command -v cc").status != 0)
            GTEST_SKIP() << "make or cc is missing";
        const fs::path examples =
            fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples";
        ASSERT_TRUE(fs::is_directory(examples)) << examples;
        fs::copy(examples, dir / "ex", fs::copy_options::recursive);
        ASSERT_EQ(Make({"clean"}).status, 0);
    }

    // A shell command line, in the copy of examples/.
    RunResult Shell(const std::string& command) const {
        return testsupport::Run("/bin/sh", {"-c", command}, dir.path());
    }

    // make with `targets` in the copy, free of the settings of any make
    // that runs the tests.
    RunResult Make(const std::vector<std::string>& targets) const {
        std::vector<std::string> args{
            "-c", "unset MAKEFLAGS MFLAGS MAKELEVEL; exec make --no-print-directory \"$@\"", "make",
            "TROVEL=" + program};
        args.insert(args.end(), targets.begin(), targets.end());
        return AsOnPosix(testsupport::Run("/bin/sh", args, dir / "ex"));
    }
};

TEST_F(TrovelExamples, LoaderReadsMembersByIdAndByPathAndListsAsTrovelDoes) {
    RunResult r = Make({"check"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("game.kpak: 20 files, little-endian\n"), std::string::npos) << r.out;
    for (const char* line : {
             "by ID:   KPAK_game_text_strings_en_txt = ",
             "\"TITLE=Press Start\"\n",
             "by path: /gfx/font/ascii.kgfx: file ID ",
             "by path: /MAPS/world1/1-2.MAP: file ID ",
             "wave:    KPAK_game_sound_chime_swav = ",
             "by path: /no/such/file.bin: not in the archive\n",
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    const RunResult listed = RunIn(dir / "ex", {"-l", "game.kpak"});
    r = testsupport::Run(dir / "ex/loader", {"-l", "game.kpak"}, dir / "ex");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, listed.out);
}

TEST_F(TrovelExamples, MakefileRebuildsTheArchiveOnlyAfterAnAssetChanged) {
    RunResult r = Make({"all"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Make({"-q", "all"}).status, 0) << "a second run would rebuild";

    WriteFile(dir / "ex/assets/text/strings_en.txt", "TITLE=Changed\n");
    EXPECT_NE(Make({"-q", "all"}).status, 0) << "the change goes unnoticed";
    r = Make({"check"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(" -c -s game.kpak "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"TITLE=Changed\"\n"), std::string::npos) << r.out;
    EXPECT_EQ(Make({"-q", "all"}).status, 0) << "a third run would rebuild";

    // trovel -c -t finds nothing newer than the archive it just wrote.
    r = Make({"refresh"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("There is no updated file.\n"), std::string::npos) << r.out;
    // Without an archive the rule creates one instead.
    ASSERT_EQ(Make({"clean"}).status, 0);
    r = Make({"refresh"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Adding: "), std::string::npos) << r.out;
    EXPECT_TRUE(Exists(dir / "ex/game.kpak"));
}

} // namespace
