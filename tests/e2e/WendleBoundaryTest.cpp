// wendle -u at the edge of its time rule: an archive is kept only when it is
// strictly newer, to the nanosecond, than its list file and every wave file.

#include "WendleTest.h"

#include "TestSupport.h"
#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using testsupport::SetModTime;
using wendle_test::Archive;
using wendle_test::Wave;

namespace {

using WendleBoundary = WendleTest;

struct Time {
    std::int64_t seconds;
    long nanoseconds;
};

TEST_F(WendleBoundary, UpdateKeepsOnlyAnArchiveStrictlyNewerAtFullResolution) {
    const Time t{1000, 500000000};
    const Time before{1000, 499999999};
    const Time after{1000, 500000001};
    const struct {
        Time list, wave, archive;
        bool kept;
    } cases[] = {
        {before, before, t, true},
        {t, t, t, false},
        {before, t, t, false},
        {t, before, t, false},
        {after, before, t, false},
        {before, after, t, false},
        // Newer within the same second, and in the next second.
        {before, before, after, true},
        {t, t, {1001, 0}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Write("a.swav", Wave("a"));
        Write("l.txt", "a.swav\n");
        Write("l.swar", Archive({"old"}));
        SetModTime(dir / "l.txt", c.list.seconds, c.list.nanoseconds);
        SetModTime(dir / "a.swav", c.wave.seconds, c.wave.nanoseconds);
        SetModTime(dir / "l.swar", c.archive.seconds, c.archive.nanoseconds);
        ExpectSuccess({"-u", "-v", "l.txt"}, c.kept ? "wendle: l.swar is update.\n" : "");
        EXPECT_EQ(Read("l.swar"), Archive({c.kept ? "old" : "a"}));
    }
}

} // namespace
