// trovel at the edges of its rules: the whole-second time test of -c -t and
// -r -t, the byte order that -s gives a loaded archive when it is saved, an
// --exclude name that names a directory, and the symbols of the index
// header of an archive path with several dots.

#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using TrovelBoundary = TrovelTest;

// One line of a listing: a file with its ID and size, or a directory.
std::string File(unsigned id, unsigned size, const std::string& path) {
    char head[32];
    std::snprintf(head, sizeof head, "%6u: %8u ", id, size);
    return head + path + "\n";
}
std::string Dir(const std::string& path) {
    return "<DIR> :        0 " + path + "\n";
}

// The disk file is newer only when its whole seconds are greater than the
// archive's: parts of a second do not count, either way.
TEST_F(TrovelBoundary, TimeModesUpdateOnlyForAGreaterWholeSecond) {
    const std::int64_t t = 1700000000;
    const struct {
        std::int64_t seconds;
        long nanoseconds;
        bool newer;
    } cases[] = {
        {t - 1, 999999999, false}, {t, 0, false},    {t, 500000000, false},
        {t, 999999999, false},     {t + 1, 0, true},
    };
    for (const char* mode : {"-ctv", "-rtv"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(mode) + " case " + std::to_string(&c - cases));
            Write("data/a.bin", "old");
            std::remove((dir / "arc.kpak").c_str());
            ASSERT_EQ(Trovel({"-c", "arc", "data"}).status, 0);
            const std::string before = Read("arc.kpak");
            Write("data/a.bin", "new");
            SetModTime(dir / "data/a.bin", c.seconds, c.nanoseconds);
            SetModTime(dir / "arc.kpak", t, 500000000);
            const auto r = Trovel({mode, "arc", "data"});
            EXPECT_EQ(r.status, 0) << r.err;
            const std::string report = mode[1] == 'r'
                ? (c.newer ? "Updating : data/a.bin\n"
                           : "Skip     : data/a.bin\nThere is no updated file.\n")
                : (c.newer ? "Adding: data/a.bin\n" : "There is no updated file.\n");
            EXPECT_EQ(r.out, kBanner + report);
            if (c.newer)
                EXPECT_EQ(Trovel({"-l", "arc"}).out,
                          kListHead + Dir("/data/") + File(0, 3, "/data/a.bin"));
            else
                EXPECT_EQ(Read("arc.kpak"), before);
        }
    }
}

// Loaded entries keep their stored order; a run with -s that saves puts the
// whole tree, subdirectories too, in unsigned byte order.
TEST_F(TrovelBoundary, SortSavesALoadedArchiveInByteOrder) {
    Write("d/b.bin", "1", 1000000000);
    Write("d/_x.bin", "22");
    Write("d/A.bin", "333");
    Write("d/a_.bin", "4444");
    Write("d/\xC3\xA9.bin", "5");
    Write("d/sub/a.bin", "66");
    Write("d/sub/B.bin", "7");
    Write("e/M.bin", "8");
    ASSERT_EQ(Trovel({"-c", "u.kpak", "-D", "d", ""}).status, 0);
    const std::string stored = kListHead + File(0, 3, "/A.bin") + File(1, 4, "/a_.bin")
        + File(2, 1, "/b.bin") + Dir("/sub/") + File(3, 2, "/_x.bin") + File(4, 1, "/\xC3\xA9.bin")
        + File(5, 2, "/sub/a.bin") + File(6, 1, "/sub/B.bin");
    ASSERT_EQ(Trovel({"-l", "u.kpak"}).out, stored);

    const std::string deleted = kListHead + File(0, 3, "/A.bin") + File(1, 2, "/_x.bin")
        + File(2, 4, "/a_.bin") + File(3, 1, "/b.bin") + Dir("/sub/") + File(4, 1, "/\xC3\xA9.bin")
        + File(5, 1, "/sub/B.bin") + File(6, 2, "/sub/a.bin");
    const std::string added = kListHead + File(0, 3, "/A.bin") + File(1, 1, "/M.bin")
        + File(2, 2, "/_x.bin") + File(3, 4, "/a_.bin") + File(4, 1, "/b.bin") + Dir("/sub/")
        + File(5, 1, "/\xC3\xA9.bin") + File(6, 1, "/sub/B.bin") + File(7, 2, "/sub/a.bin");
    const struct {
        std::vector<std::string> args;
        std::string listing;
    } cases[] = {
        {{"-s", "-d", "-l", "arc.kpak"}, deleted},
        {{"-s", "-r", "-l", "arc.kpak", "-D", "e", "M.bin"}, added},
        // Nothing saved: the stored order stays.
        {{"-s", "-rt", "-l", "arc.kpak", "-D", "d", "b.bin"}, stored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        Write("arc.kpak", Read("u.kpak"), 1000000001);
        const auto r = Trovel(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        // The listing of the run and the archive on disk agree.
        EXPECT_EQ(r.out, c.listing);
        EXPECT_EQ(Trovel({"-l", "arc.kpak"}).out, c.listing);
    }
}

// A directory named by --exclude is left out with everything below it, at
// every depth, in every mode that walks the disk; only the exact name counts.
TEST_F(TrovelBoundary, ExcludedDirectoryLeavesOutItsWholeSubtree) {
    Write("data/CVS/Root", "r");
    Write("data/CVS/deep/x.bin", "x");
    Write("data/CVS/empty/.keep", "");
    Write("data/keep/CVS/y.bin", "y");
    Write("data/keep/k.bin", "k");
    Write("data/cvs/z.bin", "z");
    const std::string listing = kListHead + Dir("/data/") + Dir("/data/cvs/") + Dir("/data/keep/")
        + File(0, 1, "/data/cvs/z.bin") + File(1, 1, "/data/keep/k.bin");
    for (const char* mode : {"-c", "-r"}) {
        SCOPED_TRACE(mode);
        std::remove((dir / "arc.kpak").c_str());
        auto r = Trovel({mode, "-E", "CVS", "-l", "arc", "data"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, listing);
    }
    // Comparing finds nothing missing under the excluded directories.
    auto r = Trovel({"-p", "--exclude=CVS", "arc", "data"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

// The header path and the symbols are cut at the last "." of the whole text.
TEST_F(TrovelBoundary, IndexSymbolsOfAPathWithSeveralDotsEndAtItsLastDot) {
    Write("a.bin", "a");
    MakeDirs(dir / "d.x");
    const struct {
        std::vector<std::string> args;
        std::string header, guard, symbol;
    } cases[] = {
        {{"v1.2.kpak"}, "v1.2.kpix", "KPAK_V1_2_KPIX_", "KPAK_v1_2_a_bin"},
        {{"v1.2"}, "v1.kpix", "KPAK_V1_KPIX_", "KPAK_v1_a_bin"},
        {{"d.x/c.d.kpak"}, "d.x/c.d.kpix", "KPAK_D_X_C_D_KPIX_", "KPAK_d_x_c_d_a_bin"},
        {{"d.x/arc"}, "d.kpix", "KPAK_D_KPIX_", "KPAK_d_a_bin"},
        {{"-P", "p.q_", "v1.2.kpak"}, "v1.2.kpix", "P_Q_V1_2_KPIX_", "p_q_v1_2_a_bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        std::vector<std::string> args{"-c", "-i"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("a.bin");
        const auto r = Trovel(args);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string text = Read(c.header);
        const std::string tail =
            HostText("#ifndef " + c.guard + "\n#define " + c.guard + "\n\nenum {\n\t" + c.symbol
                     + " = 0\n};\n\n/* " + c.guard + " */\n#endif\n");
        EXPECT_NE(text.find(HostText("\tFile: " + HostPath(c.header) + "\n")), std::string::npos)
            << text;
        EXPECT_EQ(text.substr(text.find("#ifndef")), tail);
    }
}

} // namespace
