#include "up_to_date.h"

#include "memory_disk.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using wendle_test::Archive;
using wendle_test::Wave;

namespace {

TEST(UpToDate, AnArchiveIsCurrentOnlyWhenStrictlyNewerThanEveryInputToTheNanosecond) {
    const file_time t{1000, 999999999};
    const file_time next{1001, 0};
    const struct {
        file_time list, wave, output;
        bool wave_is_device;
        bool current;
    } cases[] = {
        {t, t, next, false, true},
        {t, t, t, false, false},
        {t, next, next, false, false},
        {next, t, next, false, false},
        {t, t, {1001, 1}, false, true},
        // A wave that is not a regular file has no time to compare.
        {t, t, next, true, false},
    };
    for (const auto& c : cases) {
        memory_disk disk;
        disk.add_file("l.txt", "");
        disk.add_file("a.swav", Wave("a"));
        if (c.wave_is_device)
            disk.add_device("b.swav");
        else
            disk.add_file("b.swav", Wave("b"));
        disk.add_file("l.swar", Archive({"a", "b"}));
        disk.set_time("l.txt", c.list);
        disk.set_time("a.swav", c.list);
        disk.set_time("b.swav", c.wave);
        disk.set_time("l.swar", c.output);
        EXPECT_EQ(archive_is_current(disk, "l.txt", {"a.swav", "b.swav"}, "l.swar"), c.current)
            << &c - cases;
    }
}

} // namespace
