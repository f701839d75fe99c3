#include "archiver/IndexCreator.h"

#include "arc/Archive.h"
#include "fcl/Exception.h"

#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <regex>
#include <string>

using namespace testsupport;
using XALArchiver::CIndexCreator;

namespace {

// Header paths are relative, as the driver forms them from the archive
// path, so each test runs in a fresh current directory.
class IndexCreatorTest : public ::testing::Test {
protected:
    std::string Write(XALArc::CArchive& archive, const std::string& headerPath,
                      const std::string& prefix = "KPAK_", bool useLongSymbol = false) {
        CIndexCreator(archive, headerPath, prefix, useLongSymbol).WriteHeader();
        return ReadFile(headerPath);
    }

    // The lines from "#ifndef" on, where everything but the time stamp is.
    std::string Tail(XALArc::CArchive& archive, const std::string& prefix = "KPAK_",
                     bool useLongSymbol = false) {
        const std::string text = Write(archive, "sound.kpix", prefix, useLongSymbol);
        return text.substr(text.find("#ifndef"));
    }

    TempDir dir_;
    CurrentDirectory inDir_{dir_.path()};
};

} // namespace

TEST_F(IndexCreatorTest, WritesTheWholeHeader) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "x");
    AddFile(archive, "/data/x.bin", "x");
    const std::string text = Write(archive, "sound.kpix");
    const std::regex expected("/\\*{77}\n"
                              "\tArchive file index definition\\.\n"
                              "\tFile: sound\\.kpix\n"
                              "\n"
                              "\tThis file was created by QUORVANE VELKO-System Archiver\\.\n"
                              "\n"
                              "\tUpdate:[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\n"
                              " \\*{77}/\n"
                              "\n"
                              "#ifndef KPAK_SOUND_KPIX_\n"
                              "#define KPAK_SOUND_KPIX_\n"
                              "\n"
                              "enum \\{\n"
                              "\tKPAK_sound_a_bin = 0,\n"
                              "\tKPAK_sound_x_bin = 1\n"
                              "\\};\n"
                              "\n"
                              "/\\* KPAK_SOUND_KPIX_ \\*/\n"
                              "#endif\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(IndexCreatorTest, LongSymbolsCarryTheDirectoryPath) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "x");
    AddFile(archive, "/data/x.bin", "x");
    AddFile(archive, "/data/sub/x.bin", "x");
    const std::string tail = Tail(archive, "KPAK_", true);
    EXPECT_NE(tail.find("enum {\n\tKPAK_sound_a_bin = 0,\n\tKPAK_sound_data_x_bin = 1,\n"
                        "\tKPAK_sound_data_sub_x_bin = 2\n};\n"),
              std::string::npos)
        << tail;
}

TEST_F(IndexCreatorTest, EmptyArchiveGivesAnEmptyEnumLine) {
    XALArc::CArchive archive(false);
    archive.CreateDirectory("/only/dirs");
    EXPECT_EQ(Tail(archive),
              "#ifndef KPAK_SOUND_KPIX_\n#define KPAK_SOUND_KPIX_\n\n"
              "enum {\n\n};\n\n/* KPAK_SOUND_KPIX_ */\n#endif\n");
}

TEST_F(IndexCreatorTest, NamesBecomeIdentifiers) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/_a.bin", "x");
    AddFile(archive, "/a.bin", "x");
    AddFile(archive, "/1.bin", "x");
    AddFile(archive, "/caf\xC3\xA9-x.bin", "x");
    const std::string tail = Tail(archive);
    EXPECT_NE(tail.find("\tKPAK_sound_a_bin = 0,\n\tKPAK_sound_a_bin = 1,\n"
                        "\tKPAK_sound_1_bin = 2,\n\tKPAK_sound_caf___x_bin = 3\n"),
              std::string::npos)
        << tail;
}

TEST_F(IndexCreatorTest, PrefixAndHeaderPathFormTheBaseAndGuard) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "x");
    EXPECT_NE(Tail(archive, "9x").find("#ifndef _9XSOUND_KPIX_\n"), std::string::npos);
    EXPECT_NE(Tail(archive, "9x").find("\t_9xsound_a_bin = 0\n"), std::string::npos);
    EXPECT_NE(Tail(archive, "").find("#ifndef SOUND_KPIX_\n"), std::string::npos);
    EXPECT_NE(Tail(archive, "").find("\tsound_a_bin = 0\n"), std::string::npos);

    MakeDirs("data");
    const std::string text = Write(archive, "data/sound.kpix");
    EXPECT_NE(text.find("\tFile: data/sound.kpix\n"), std::string::npos);
    EXPECT_NE(text.find("#define KPAK_DATA_SOUND_KPIX_\n"), std::string::npos);
    EXPECT_NE(text.find("\tKPAK_data_sound_a_bin = 0\n"), std::string::npos);
}

TEST_F(IndexCreatorTest, HeaderThatCannotBeCreatedFailsWithItsPath) {
    XALArc::CArchive archive(false);
    EXPECT_TRUE(Throws<XALFcl::CFileException>(
        [&] { CIndexCreator(archive, "missing/sound.kpix", "KPAK_", false); },
        XALFcl::CFileException::kCannotOpen, "missing/sound.kpix"));
}

// Another name of the header file must not keep the partial text; the
// header's own name goes, unless it is a symbolic link (then only the text
// behind it is emptied).
TEST_F(IndexCreatorTest, FailedWriteEmptiesThePartlyWrittenHeaderAndRemovesItsName) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "x");
    for (const bool symbolic : {false, true}) {
        SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
        unlink("sound.kpix");
        WriteFile("other.kpix", "previous header");
        ASSERT_EQ(symbolic ? symlink("other.kpix", "sound.kpix") : link("other.kpix", "sound.kpix"),
                  0);
        // Files may grow to 64 bytes only; the header is longer.
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const ::testing::AssertionResult failed = Throws<XALFcl::CFileException>(
            [&] { CIndexCreator(archive, "sound.kpix", "KPAK_", false).WriteHeader(); },
            XALFcl::CFileException::kCannotWrite, "sound.kpix");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_TRUE(failed);
        struct stat itself {};
        EXPECT_EQ(lstat("sound.kpix", &itself) == 0, symbolic);
        EXPECT_EQ(ReadFile("other.kpix"), "");
    }
}

TEST_F(IndexCreatorTest, FailedWriteToADeviceLeavesTheDevice) {
    if (!Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    XALArc::CArchive archive(false);
    EXPECT_TRUE(Throws<XALFcl::CFileException>(
        [&] { CIndexCreator(archive, "/dev/full", "KPAK_", false).WriteHeader(); },
        XALFcl::CFileException::kCannotWrite, "/dev/full"));
    EXPECT_TRUE(Exists("/dev/full"));
}
