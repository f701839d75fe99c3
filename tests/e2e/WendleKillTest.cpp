// wendle killed (SIGKILL) at many points of writing an archive of tens of
// MiB: what it leaves never counts as current, so the next run with -u
// rebuilds it.

#include "WendleTest.h"

#include "TestSupport.h"
#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using WendleKill = WendleTest;

TEST_F(WendleKill, UpdateRebuildsTheOutputOfAKilledRun) {
    std::vector<std::string> data;
    std::string list;
    for (char c = 'a'; c < 'e'; ++c) {
        data.push_back(std::string(5 << 20, c));
        const std::string wave = std::string(1, c) + ".swav";
        Write(wave, wendle_test::Wave(data.back()), 1000);
        list += wave + "\n";
    }
    Write("l.txt", list, 1000);
    const std::string archive = wendle_test::Archive(data);
    const auto size = static_cast<std::int64_t>(archive.size());

    int kills = 0, finished = 0;
    // Stopped and killed once the output exists, then once it holds each
    // further share of the archive; over no output and over a finished one.
    for (const double share : {0.0, 1.0 / 3, 2.0 / 3, 1.0}) {
        for (const bool over : {false, true}) {
            const std::string where =
                "stopped at " + std::to_string(share) + (over ? " over a finished archive" : "");
            SCOPED_TRACE(where);
            std::remove((dir / "l.swar").c_str());
            if (over)
                Write("l.swar", archive, 1001);
            Process run(program, {"l.txt"}, dir.path());
            const auto threshold = static_cast<std::int64_t>(share * static_cast<double>(size));
            // The finished archive is there from the start: wait until the
            // run has emptied it.
            bool emptied = !over;
            const bool stopped = RunsUntil(run,
                                           [&] {
                                               const std::int64_t now = FileSize(dir / "l.swar");
                                               emptied = emptied || now < size;
                                               return emptied && now >= threshold;
                                           })
                && run.Stop();
            run.Kill();
            const RunResult r = run.Wait();
            EXPECT_EQ(r.status, stopped ? 128 + 9 : 0) << r.err;
            kills += stopped;

            const bool complete = Read("l.swar") == archive;
            finished += complete;
            ExpectSuccess({"-u", "-v", "l.txt"}, complete ? "wendle: l.swar is update.\n" : "");
            EXPECT_TRUE(Read("l.swar") == archive);
        }
    }
    std::cout << "kills: " << kills << ", output found complete: " << finished << std::endl;
}

} // namespace
