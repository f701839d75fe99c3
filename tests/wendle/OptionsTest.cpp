#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void parse(archive_options& options, std::vector<const char*> args) {
    args.insert(args.begin(), "wendle");
    options.parse(static_cast<int>(args.size()), args.data());
}

TEST(ArchiveOptions, RecordsFlagsTheLastOutputAndOperandsInTheHostsSpelling) {
    archive_options options;
    parse(options, {"a.txt", "-vu", "-o", "x\\first.swar", "set\\b.txt", "-o", "out\\all.swar"});
    EXPECT_TRUE(options.verbose());
    EXPECT_TRUE(options.update());
    EXPECT_EQ(options.output(), "out/all.swar");
    EXPECT_EQ(options.operands(), (std::vector<std::string>{"a.txt", "set/b.txt"}));
    EXPECT_EQ(options.output_for("a.txt"), "out/all.swar");
}

TEST(ArchiveOptions, NamesEachArchiveAfterItsListUpToTheLastDot) {
    const archive_options options;
    const std::string cases[][2] = {
        {"sounds.txt", "sounds.swar"}, {"sounds", "sounds.swar"},
        {"set.old/list", "set.swar"},  {"./list", ".swar"},
        {"a.b.txt", "a.b.swar"},       {"../arc", "..swar"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(options.output_for(c[0]), c[1]) << c[0];
}

TEST(ArchiveOptions, HelpStopsTheParseWhereItStands) {
    archive_options options;
    EXPECT_THROW(parse(options, {"-o", "x", "a.txt", "--help", "-x", "", "b.txt"}), help_requested);
    EXPECT_EQ(options.output(), "x");
    EXPECT_EQ(options.operands(), std::vector<std::string>{"a.txt"});
    archive_options invalid_first;
    EXPECT_THROW(parse(invalid_first, {"-x", "-h"}), cmdline_exception);
}

} // namespace
