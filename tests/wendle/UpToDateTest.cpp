#include "up_to_date.h"

#include "memory_disk.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using wendle_test::Archive;
using wendle_test::Wave;

namespace {

const std::vector<std::string> waves = {"a.swav", "b.swav"};

// A list naming two waves and a finished archive, with the given times.
void prepare(memory_disk& disk, file_time list, file_time wave, file_time output) {
    disk.add_file("l.txt", "a.swav\nb.swav\n");
    disk.add_file("a.swav", Wave("a"));
    disk.add_file("b.swav", Wave("b"));
    disk.add_file("l.swar", Archive({"a", "b"}));
    disk.set_time("l.txt", list);
    disk.set_time("a.swav", list);
    disk.set_time("b.swav", wave);
    disk.set_time("l.swar", output);
}

TEST(UpToDate, AnArchiveIsCurrentOnlyWhenStrictlyNewerThanEveryInputToTheNanosecond) {
    const file_time t{1000, 999999999};
    const file_time next{1001, 0};
    const struct {
        file_time list, wave, output;
        bool current;
    } cases[] = {
        {t, t, next, true},
        {t, t, t, false},
        {t, next, next, false},
        {next, t, next, false},
        {t, next, t, false},
        {t, t, {1001, 1}, true},
    };
    for (const auto& c : cases) {
        memory_disk disk;
        prepare(disk, c.list, c.wave, c.output);
        EXPECT_EQ(archive_is_current(disk, "l.txt", waves, "l.swar"), c.current)
            << c.list.seconds << "." << c.list.nanoseconds << " " << c.wave.seconds << "."
            << c.wave.nanoseconds << " " << c.output.seconds << "." << c.output.nanoseconds;
    }
}

// A time that cannot be read, or an output that is not a finished archive,
// means rebuilding, whatever the times.
TEST(UpToDate, AnUnreadableInputOrAnUnfinishedOutputIsOutOfDate) {
    const auto changes = {
        +[](memory_disk& disk) { disk.unlink("b.swav"); },
        +[](memory_disk& disk) { disk.add_device("b.swav"); },
        +[](memory_disk& disk) { disk.unlink("l.swar"); },
        +[](memory_disk& disk) { disk.add_file("l.swar", Archive({"a", "b"}) + "x"); },
    };
    for (const auto change : changes) {
        memory_disk disk;
        prepare(disk, {1, 0}, {1, 0}, {2, 0});
        change(disk);
        disk.set_time("l.swar", {2, 0});
        EXPECT_FALSE(archive_is_current(disk, "l.txt", waves, "l.swar"));
    }
    // Each call of a test that would say "current" failing in turn.
    std::size_t calls = 0;
    for (std::size_t call = 1; calls >= call - 1; ++call) {
        memory_disk disk;
        prepare(disk, {1, 0}, {1, 0}, {2, 0});
        disk.inject(memory_disk::fault::fail, call);
        const bool current = archive_is_current(disk, "l.txt", waves, "l.swar");
        calls = disk.calls();
        EXPECT_EQ(current, calls < call) << call;
    }
}

} // namespace
