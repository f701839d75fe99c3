// Whole runs of wendle on the in-memory disk, with every disk call failing
// in turn, the disk filling up, and reads and writes cut short.

#include "driver.h"

#include "memory_disk.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using wendle_test::Archive;
using wendle_test::Pattern;
using wendle_test::Wave;

namespace {

// A list in a directory of its own naming waves beside it, above it, empty,
// over 64 KiB and twice, and older outputs both at the list's archive name
// and behind a link.
void prepare(memory_disk& disk) {
    disk.add_file("set/l.txt", "a.swav\r\nbig.swav\n\n../c.swav\na.swav");
    disk.add_file("set/a.swav", Wave("abc"));
    disk.add_file("set/big.swav", Wave(Pattern(70000)));
    disk.add_file("c.swav", Wave(""));
    disk.add_file("set/l.swar", "an older archive");
    disk.add_file("target.swar", "an older archive");
    disk.add_link("link.swar", "target.swar");
}

const std::string expected_archive = Archive({"abc", Pattern(70000), "", "abc"});

struct scenario {
    std::vector<std::string> args;
    std::string output;  // as the run names it
    std::string archive; // the regular file the archive goes into
    bool link;           // the output is a link: a failed archive is emptied, not removed
    bool current;        // the archive there is finished and newer than its inputs
};

const scenario scenarios[] = {
    {{"set/l.txt"}, "set/l.swar", "set/l.swar", false, false},
    {{"-u", "set/l.txt"}, "set/l.swar", "set/l.swar", false, false},
    {{"-u", "set/l.txt"}, "set/l.swar", "set/l.swar", false, true},
    {{"-o", "link.swar", "set/l.txt"}, "link.swar", "target.swar", true, false},
};

// Every message a failing disk call can lead to, and whether the output had
// been opened by then (so that it must have been taken back).
std::map<std::string, bool> messages_of(const scenario& s) {
    std::map<std::string, bool> messages = {
        {"Cannot open set/l.txt for reading.", false},
        {"Cannot read set/l.txt.", false},
        {"Cannot open " + s.output + " for writing.", false},
        {"Cannot write " + s.output + ".", true},
    };
    for (const std::string wave : {"set/a.swav", "set/big.swav", "c.swav"}) {
        messages["Cannot open " + wave + " for reading."] = true;
        messages["Cannot read " + wave + "."] = true;
    }
    return messages;
}

// Runs wendle on a fresh disk that `setup` may make go wrong. The run either
// writes the whole archive, or fails with one of `messages`, removing an
// output it opened (emptying it behind a link); every other file stays as it
// was. Returns the message, "" for success; sets `calls` to the calls made.
std::string check_run(const scenario& s, const std::map<std::string, bool>& messages,
                      const std::function<void(memory_disk&)>& setup, std::size_t& calls) {
    memory_disk disk;
    prepare(disk);
    if (s.current)
        disk.add_file(s.archive, expected_archive);
    std::map<std::string, std::string> files = disk.files();
    setup(disk);
    std::vector<const char*> argv{"wendle"};
    for (const std::string& a : s.args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = run_wendle(disk, static_cast<int>(argv.size()), argv.data(), out, err);
    calls = disk.calls();

    const std::string text = err.str();
    const std::string message = text.size() > 9 ? text.substr(8, text.size() - 9) : text;
    EXPECT_EQ(text, message.empty() ? "" : "wendle: " + message + "\n");
    EXPECT_EQ(status, message.empty() ? 0 : 1) << message;
    EXPECT_EQ(out.str(), "");
    const auto known = messages.find(message);
    if (message.empty())
        files[s.archive] = expected_archive;
    else if (known == messages.end())
        ADD_FAILURE() << "unexpected message " << message;
    else if (known->second && s.link)
        files[s.archive] = "";
    else if (known->second)
        files.erase(s.archive);
    EXPECT_TRUE(disk.files() == files) << message;
    EXPECT_TRUE(disk.exists("link.swar"));
    return message;
}

// check_run with `fault` at each call in turn, until a run ends before the
// call that was to go wrong; the messages met.
std::set<std::string> each_call_going_wrong(memory_disk::fault fault, const scenario& s,
                                            const std::map<std::string, bool>& messages) {
    std::set<std::string> seen;
    std::size_t calls = 0;
    for (std::size_t call = 1; calls >= call - 1; ++call) {
        SCOPED_TRACE(s.args.front() + ", call " + std::to_string(call) + " going wrong");
        seen.insert(check_run(
            s, messages, [&](memory_disk& disk) { disk.inject(fault, call); }, calls));
    }
    return seen;
}

TEST(WendleOnMemoryDisk, EachFailingDiskCallEndsTheRunWithItsMessageAndNoPartialArchive) {
    for (const scenario& s : scenarios) {
        const std::map<std::string, bool> messages = messages_of(s);
        const std::set<std::string> seen =
            each_call_going_wrong(memory_disk::fault::fail, s, messages);
        // Every message was met on the way, and the runs that met no
        // failure, or one that does not matter, wrote the archive. Over a
        // current archive only reading the list can fail the run: any other
        // failing call of the test has the archive written again.
        if (s.current) {
            EXPECT_EQ(seen,
                      (std::set<std::string>{"", "Cannot open set/l.txt for reading.",
                                             "Cannot read set/l.txt."}));
        } else {
            EXPECT_EQ(seen.size(), messages.size() + 1);
        }
    }
}

TEST(WendleOnMemoryDisk, ShortAndInterruptedReadsAndWritesAreContinued) {
    for (const scenario& s : scenarios)
        for (const memory_disk::fault fault :
             {memory_disk::fault::short_transfer, memory_disk::fault::interrupt})
            EXPECT_EQ(each_call_going_wrong(fault, s, {}), std::set<std::string>{""});
}

TEST(WendleOnMemoryDisk, AFullDiskEndsTheRunWithCannotWriteAndNoPartialArchive) {
    const std::uint64_t length = expected_archive.size();
    for (const scenario& s : scenarios) {
        for (const std::uint64_t space :
             {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{16}, std::uint64_t{60},
              std::uint64_t{0x10000}, length - 1, length}) {
            SCOPED_TRACE(s.output + ", room for " + std::to_string(space) + " bytes");
            std::size_t calls = 0;
            const std::string message = check_run(
                s, {{"Cannot write " + s.output + ".", true}},
                [&](memory_disk& disk) { disk.limit_space(space); }, calls);
            // An archive that is current is not written again.
            EXPECT_EQ(message.empty(), space >= length || s.current);
        }
    }
}

} // namespace
