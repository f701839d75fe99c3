// The command line of wendle run through the real program: help, exit
// statuses and the parser's messages.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using args = std::vector<std::string>;

const std::string kHelp =
    "wendle Ver.1.02\n"
    "Copyright (C) 2026 Quorvane. All rights reserved.\n"
    "\n"
    "\n"
    "Usage:\n"
    "  wendle [option...] file...\n"
    "\n"
    "Options:\n"
    "  -v, --verbose explain what is being done\n"
    "  -o filename   specify output filename\n"
    "  -u, --update  update only when input file is newer than output file\n"
    "  -h, --help    display this help and exit\n";

TEST(WendleCommandLine, HelpGoesToStandardOutputWithStatus1WhenEmptyAnd0WhenAsked) {
    testsupport::TempDir dir;
    const struct {
        args arguments;
        int status;
    } cases[] = {{{}, 1}, {{"-h"}, 0}, {{"--help"}, 0}, {{"-vh", "missing.txt"}, 0},
                 {{"-h", ""}, 0}, {{"-o", "x", "--help", "-x"}, 0}};
    for (const auto& c : cases) {
        const auto r = testsupport::Run(WENDLE_EXE, c.arguments, dir.path());
        EXPECT_EQ(r.status, c.status) << c.arguments.size();
        EXPECT_EQ(r.out, kHelp);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(testsupport::Exists(dir / "x"));
}

TEST(WendleCommandLine, OptionsWithoutListFilesDoNothingAndSucceed) {
    testsupport::TempDir dir;
    const auto r = testsupport::Run(WENDLE_EXE, {"-v", "-u", "-o", "out.swar"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_FALSE(testsupport::Exists(dir / "out.swar"));
}

TEST(WendleCommandLine, ParserFaultsArePrefixedAndPointToHelpBeforeAnyListIsHandled) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "a.txt", "");
    const struct {
        args arguments;
        std::string message;
    } cases[] = {
        {{"a.txt", "-x", "-h"}, "invalid option -- x"},
        {{"a.txt", "-ofile"}, "invalid option -- f"},
        {{"a.txt", "-o"}, "option requires an argument -- o"},
        {{"a.txt", "--verbose=1"}, "unrecognized option '--verbose=1'"},
        {{"a.txt", "-"}, "unrecognized option '-'"},
        {{"a.txt", "", "-h"}, "empty argument is not allowed"},
    };
    for (const auto& c : cases) {
        const auto r = testsupport::Run(WENDLE_EXE, c.arguments, dir.path());
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(r.err, "wendle: " + c.message + "\nTry 'wendle --help' for more information.\n");
    }
    EXPECT_FALSE(testsupport::Exists(dir / "a.swar"));
}

} // namespace
