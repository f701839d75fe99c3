#include "output_guard.h"

#include "memory_disk.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using files = std::map<std::string, std::string>;

// Outputs of every kind, each holding "old" (a device holds nothing).
void prepare(memory_disk& disk) {
    disk.add_file("o.swar", "old");
    disk.add_file("target.swar", "old");
    disk.add_link("link.swar", "target.swar");
    disk.add_file("hard.swar", "old");
    disk.add_hard_link("other.swar", "hard.swar");
    disk.add_device("dev");
}

TEST(OutputGuard, TakesBackOnlyTheRegularFileItOpenedAndKeepsLinks) {
    const struct {
        std::string output;
        bool keep;
        bool replaced;  // another file is put at the path while it is written
        files changed;  // what differs from the prepared files afterwards
    } cases[] = {
        {"o.swar", true, false, {{"o.swar", "new"}}},
        {"o.swar", false, false, {{"o.swar", ""}}},  // "" here: removed
        {"link.swar", false, false, {{"target.swar", ""}}},
        {"hard.swar", false, false, {{"hard.swar", ""}, {"other.swar", ""}}},
        {"dev", false, false, {}},
        {"o.swar", false, true, {{"o.swar", "someone else's"}}},
    };
    for (const auto& c : cases) {
        memory_disk disk;
        prepare(disk);
        files expected = disk.files();
        {
            strm::output_file file(disk.open_for_writing(c.output));
            output_guard guard(disk, file, c.output);
            strm::write_bytes(*file.get(), "new", 3);
            if (c.replaced)
                disk.add_file(c.output, "someone else's");
            if (c.keep)
                guard.keep();
        }
        for (const auto& change : c.changed)
            expected[change.first] = change.second;
        // A name that was removed is absent, not empty.
        if (!c.keep && !c.replaced && (c.output == "o.swar" || c.output == "hard.swar"))
            expected.erase(c.output);
        EXPECT_EQ(disk.files(), expected) << c.output;
        EXPECT_TRUE(disk.exists("link.swar") && disk.exists("dev")) << c.output;
    }
}

TEST(InputGuard, RefusesAnOutputThatIsTheListAWaveOrWithOneOutputAnyList) {
    memory_disk disk;
    for (const char* name : {"set/l.txt", "set/a.swav", "m.txt", "x.swar"})
        disk.add_file(name, "");
    disk.add_link("alias.txt", "set/l.txt");
    disk.add_link("alias_m.txt", "m.txt");
    const std::vector<std::string> waves = {"set/a.swav"};
    const struct {
        std::string output;
        std::vector<std::string> lists;  // the list files that -o makes outputs
        bool refused;
    } cases[] = {
        {"./set//l.txt", {}, true},
        {"alias.txt", {}, true},
        {"set/x/../a.swav", {}, true},
        {"x.swar", {}, false},
        {"m.txt", {}, false},
        {"m.txt", {"set/l.txt", "m.txt"}, true},
        {"alias_m.txt", {"set/l.txt", "m.txt"}, true},
        {"missing.swar", {"set/l.txt", "m.txt"}, false},
        {"x.swar", {"set/l.txt", "m.txt"}, false},
    };
    for (const auto& c : cases) {
        input_guard inputs(disk, c.lists);
        EXPECT_EQ(inputs.is_input(c.output, "set/l.txt", waves), c.refused) << c.output;
    }
}

} // namespace
