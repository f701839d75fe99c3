#include "output_guard.h"

#include "memory_disk.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

const std::string removed = "(removed)";

TEST(OutputGuard, TakesBackOnlyTheRegularFileItOpenedAndKeepsLinks) {
    const struct {
        std::string output;
        bool keep;
        bool replaced; // another file is put at the path while it is written
        std::map<std::string, std::string> changes;
    } cases[] = {
        {"o.swar", true, false, {{"o.swar", "new"}}},
        {"o.swar", false, false, {{"o.swar", removed}}},
        {"o.swar", false, true, {{"o.swar", "someone else's"}}},
        {"link.swar", false, false, {{"target.swar", ""}}},
        {"hard.swar", false, false, {{"hard.swar", removed}, {"other.swar", ""}}},
        {"dev", false, false, {}},
    };
    for (const auto& c : cases) {
        memory_disk disk;
        for (const char* name : {"o.swar", "target.swar", "hard.swar"})
            disk.add_file(name, "old");
        disk.add_link("link.swar", "target.swar");
        disk.add_hard_link("other.swar", "hard.swar");
        disk.add_device("dev");
        std::map<std::string, std::string> expected = disk.files();
        {
            strm::output_file file(disk.open_for_writing(c.output));
            output_guard guard(disk, file, c.output);
            strm::write_bytes(*file.get(), "new", 3);
            if (c.replaced)
                disk.add_file(c.output, "someone else's");
            if (c.keep)
                guard.keep();
        }
        for (const auto& change : c.changes) {
            if (change.second == removed)
                expected.erase(change.first);
            else
                expected[change.first] = change.second;
        }
        EXPECT_EQ(disk.files(), expected) << c.output;
        EXPECT_TRUE(disk.exists("link.swar") && disk.exists("dev")) << c.output;
    }
}

} // namespace
