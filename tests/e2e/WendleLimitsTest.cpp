// wendle at the 4 GiB limit of its archives: waves that would carry an
// archive past it are refused before any of their data is written. The
// waves are sparse files, so nothing of their size is read or written.

#include "WendleTest.h"

#include "TestSupport.h"
#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>

using testsupport::Exists;
using wendle_test::Wave;

namespace {

using WendleLimits = WendleTest;

TEST_F(WendleLimits, WavesBeyond4GiBAreRefusedBeforeTheirDataIsWritten) {
    const std::uint64_t gib2 = std::uint64_t{1} << 31;
    const auto sparse = [&](const std::string& name, std::uint64_t data) {
        Write(name, Wave(""));
        ASSERT_EQ(truncate((dir / name).c_str(), static_cast<off_t>(24 + data)), 0) << name;
    };
    sparse("half.swav", gib2);
    Write("small.swav", Wave("abc"));
    Write("other.bin", std::string(64, 'x'));
    const struct {
        const char* list;
        const char* message;
    } cases[] = {
        // Two halves and the archive's own header: just past the limit.
        {"half.swav\nhalf.swav\n", "Cannot write l.swar."},
        {"small.swav\nhalf.swav\nsmall.swav\nhalf.swav\n", "Cannot write l.swar."},
        // A wave ahead of the overflow that cannot be read is reported as
        // it would be when the copy reached it.
        {"half.swav\nmissing.swav\nhalf.swav\n", "Cannot open missing.swav for reading."},
        {"half.swav\nother.bin\nhalf.swav\n", "Not SWAV file other.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        Write("l.txt", c.list);
        Write("l.swar", "an older archive");
        // Files may grow to 1 MiB only: a run that began copying the
        // waves would be stopped by the signal that refuses more.
        const auto r = AsOnPosix(testsupport::Run(
            "/bin/sh", {"-c", "ulimit -f 1024 && exec \"$0\" \"$@\"", program, "l.txt"},
            dir.path()));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("wendle: ") + c.message + "\n");
        EXPECT_FALSE(Exists(dir / "l.swar"));
    }
    // A list well inside the limit still packs.
    Write("l.txt", "small.swav\n");
    ExpectSuccess({"l.txt"});
    EXPECT_TRUE(Exists(dir / "l.swar"));
}

} // namespace
