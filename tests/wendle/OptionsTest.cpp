#include "options.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ArchiveOptions, NamesEachArchiveAfterItsListUpToTheLastDot) {
    const archive_options options;
    const std::string cases[][2] = {
        {"sounds.txt", "sounds.swar"}, {"sounds", "sounds.swar"}, {"set.old/list", "set.swar"},
        {"./list", ".swar"},           {"a.b.txt", "a.b.swar"},   {"../arc", "..swar"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(options.output_for(c[0]), c[1]) << c[0];
}

} // namespace
