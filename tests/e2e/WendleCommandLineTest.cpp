// The command line of wendle run through the real program: help, exit
// statuses and the parser's messages.

#include "WendleTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using WendleCommandLine = WendleTest;
using args = std::vector<std::string>;

const std::string kHelp = "wendle Ver.1.02\n"
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

TEST_F(WendleCommandLine, HelpGoesToStandardOutputWithStatus1WhenEmptyAnd0WhenAsked) {
    const struct {
        args arguments;
        int status;
    } cases[] = {{{}, 1},         {{"-h"}, 0},
                 {{"--help"}, 0}, {{"-vh", "missing.txt"}, 0},
                 {{"-h", ""}, 0}, {{"-o", "x", "--help", "-x"}, 0}};
    for (const auto& c : cases) {
        const auto r = Run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments.size();
        EXPECT_EQ(r.out, kHelp);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(testsupport::Exists(dir / "x"));
}

TEST_F(WendleCommandLine, OptionsWithoutListFilesDoNothingAndSucceed) {
    ExpectSuccess({"-v", "-u", "-o", "out.swar"});
    EXPECT_FALSE(testsupport::Exists(dir / "out.swar"));
}

TEST_F(WendleCommandLine, ParserFaultsArePrefixedAndPointToHelpBeforeAnyListIsHandled) {
    Write("a.txt", "");
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
        const auto r = Run(c.arguments);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(r.err, "wendle: " + c.message + "\nTry 'wendle --help' for more information.\n");
    }
    EXPECT_FALSE(testsupport::Exists(dir / "a.swar"));
}

} // namespace
