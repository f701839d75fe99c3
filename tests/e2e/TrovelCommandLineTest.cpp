#include "TrovelTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "QUORVANE VELKO-System Archiver ver 1.1.0w\n"
    "\n"
    "Usage: trovel [mode][options] archive [file or directory ...]\n"
    "\n"
    "Mode\n"
    "  -r,  --replace          : Replaces a file inside the archive.\n"
    "  -c,  --create           : Creates a new archive.\n"
    "  -d,  --delete           : Deletes a file inside the archive.\n"
    "  -x,  --extract          : Extracts a file from inside the archive.\n"
    "  -p,  --compare          : Compares archive and file-system files.\n"
    "\n"
    "Options\n"
    "  -a,  --add-to-root      : Registers a file in the archive's root.\n"
    "  -b,  --backup           : Creates a backup file when creating an archive.\n"
    "  -e,  --remove-empty-dir : Deletes empty directories in the archive.\n"
    "  -h,  --help             : Displays this Help.\n"
    "  -i,  --index            : Creates a File Index List.\n"
    "  -l,  --list             : Displays a list of the files in the archive.\n"
    "  -n,  --no-name-table    : Does not generate a Name Table when creating\n"
    "                            an archive.\n"
    "  -f,  --use-long-symbol  : Uses long names for the File Index List.\n"
    "  -s,  --sort             : Sorts files in alphabetical order.\n"
    "  -t,  --time             : Creates an archive only when file's\n"
    "                            modification date is new.\n"
    "  -u,  --update           : Updates files without adding new files that\n"
    "                            do not exist in the archive.\n"
    "  -v,  --verbose          : Displays progress during the execution.\n"
    "  -A [4,8,16,32],\n"
    "    --align=[4,8,16,32]   : Set alignment.\n"
    "  -D dir,\n"
    "    --directory=dir       : Specifies a working directory.\n"
    "  -S file,\n"
    "    --script=file[,file]  : Specifies a script file.\n"
    "  -E <name>,\n"
    "    --exclude=name[,name] : Specifies a name that will not be registered\n"
    "                            in the archive.\n"
    "  -P <name>,\n"
    "    --prefix=name         : Specifies an index prefix.\n"
    "\n"
    "\n";

using TrovelCommandLine = TrovelTest;

TEST_F(TrovelCommandLine, HelpPrintsUsageAndFails) {
    for (const char* help : {"-h", "--help"}) {
        auto r = Trovel({help});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.err, "");
    }
    // Nothing runs with -h, so the other options are ignored.
    auto r = Trovel({"-c", "-h", "arc.kpak", "."});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_FALSE(testsupport::Exists(dir / "arc.kpak"));
}

TEST_F(TrovelCommandLine, EveryUsageErrorPrintsUsageAndTouchesNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-c"},
        {"--Create", "arc"},
        {"--verbose=1", "arc"},
        {"--align", "16", "arc"},
        {"-A16", "arc"},
        {"-A", "12", "arc"},
        {"--align=", "arc"},
        {"arc", "-A"},
        {"-q", "arc"},
        {"--", "arc"},
        {""},
        {"-c", "", "x"},
        {"-"},
        // As long as the host takes: Windows takes 32,767 characters.
        {std::string(RunsWindowsProgram() ? 30000 : 100000, 'x'), "-\xc3\xa9"},
        {"-c", "--unknown=\xff", "arc"},
    };
    for (const auto& args : cases) {
        auto r = Trovel(args);
        EXPECT_EQ(r.status, 1) << (args.empty() ? "(none)" : args[0]);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(testsupport::Exists(dir / "arc.kpak"));
}

} // namespace
