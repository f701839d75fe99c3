// Whole runs of wendle on the in-memory disk, with every disk call failing
// in turn, the disk filling up, and reads and writes cut short.

#include "driver.h"

#include "memory_disk.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using wendle_test::Archive;
using wendle_test::Wave;

namespace {

struct run_result {
    int status = -1;
    std::string err;
};

run_result run(memory_disk& disk, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"wendle"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    run_result result;
    result.status = run_wendle(disk, static_cast<int>(argv.size()), argv.data(), out, err);
    result.err = err.str();
    EXPECT_EQ(out.str(), "");
    return result;
}

const std::string& big_data() {
    static const std::string data = [] {
        std::string bytes;
        for (int i = 0; i < 70000; ++i)
            bytes.push_back(static_cast<char>(i * 7 % 251));
        return bytes;
    }();
    return data;
}

// A list in a directory of its own naming waves beside it, above it, empty,
// over 64 KiB and twice, and older outputs both at the list's archive name
// and behind a link.
void prepare(memory_disk& disk) {
    disk.add_file("set/l.txt", "a.swav\r\nbig.swav\n\n../c.swav\na.swav");
    disk.add_file("set/a.swav", Wave("abc"));
    disk.add_file("set/big.swav", Wave(big_data()));
    disk.add_file("c.swav", Wave(""));
    disk.add_file("set/l.swar", "an older archive");
    disk.add_file("target.swar", "an older archive");
    disk.add_link("link.swar", "target.swar");
}

const std::string& expected_archive() {
    static const std::string archive = Archive({"abc", big_data(), "", "abc"});
    return archive;
}

struct scenario {
    std::vector<std::string> args;
    std::string output;   // as the run names it
    std::string archive;  // the regular file the archive goes into
    bool link;            // the output is a link: a failed archive is emptied, not removed
};

const scenario scenarios[] = {
    {{"set/l.txt"}, "set/l.swar", "set/l.swar", false},
    {{"-u", "set/l.txt"}, "set/l.swar", "set/l.swar", false},
    {{"-o", "link.swar", "set/l.txt"}, "link.swar", "target.swar", true},
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
    for (const char* wave : {"set/a.swav", "set/big.swav", "c.swav"}) {
        messages["Cannot open " + std::string(wave) + " for reading."] = true;
        messages["Cannot read " + std::string(wave) + "."] = true;
    }
    return messages;
}

// Runs the scenario on a fresh disk prepared by `setup`; the run either
// writes the whole archive or fails with one of `messages` and leaves every
// other file as it was, and an output it opened removed (emptied when it is
// a link). Returns the message, "" for success.
template <class Setup>
std::string check_run(const scenario& s, const std::map<std::string, bool>& messages,
                      Setup setup, std::size_t& calls) {
    memory_disk disk;
    prepare(disk);
    std::map<std::string, std::string> files = disk.files();
    setup(disk);
    const run_result r = run(disk, s.args);
    calls = disk.calls();
    std::string message;
    if (r.status == 0) {
        EXPECT_EQ(r.err, "");
        files[s.archive] = expected_archive();
    } else {
        EXPECT_EQ(r.status, 1);
        message = r.err.size() > 9 ? r.err.substr(8, r.err.size() - 9) : r.err;
        EXPECT_EQ(r.err, "wendle: " + message + "\n");
        const auto known = messages.find(message);
        EXPECT_NE(known, messages.end()) << message;
        if (known != messages.end() && known->second) {
            if (s.link)
                files[s.archive] = "";
            else
                files.erase(s.archive);
        }
    }
    EXPECT_TRUE(disk.files() == files) << message;
    EXPECT_TRUE(disk.exists("link.swar"));
    return message;
}

TEST(WendleOnMemoryDisk, EachFailingDiskCallEndsTheRunWithItsMessageAndNoPartialArchive) {
    for (const scenario& s : scenarios) {
        const std::map<std::string, bool> messages = messages_of(s);
        std::set<std::string> seen;
        // Until a run ends before the call that was to fail.
        std::size_t calls = 0;
        for (std::size_t call = 1; calls >= call - 1; ++call) {
            SCOPED_TRACE(s.args.front() + " failing call " + std::to_string(call));
            seen.insert(check_run(s, messages, [&](memory_disk& disk) {
                disk.inject(memory_disk::fault::fail, call);
            }, calls));
        }
        // Every message above was met on the way, and some runs succeeded.
        EXPECT_EQ(seen.size(), messages.size() + 1) << s.args.front();
    }
}

TEST(WendleOnMemoryDisk, AFullDiskEndsTheRunWithCannotWriteAndNoPartialArchive) {
    const std::uint64_t length = expected_archive().size();
    const std::map<std::string, bool> messages = {{"Cannot write set/l.swar.", true}};
    for (const std::uint64_t space : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{16},
                                      std::uint64_t{60}, std::uint64_t{0x10000}, length - 1,
                                      length}) {
        SCOPED_TRACE(space);
        std::size_t calls = 0;
        const std::string message = check_run(scenarios[0], messages, [&](memory_disk& disk) {
            disk.limit_space(space);
        }, calls);
        EXPECT_EQ(message.empty(), space >= length);
    }
}

TEST(WendleOnMemoryDisk, ShortAndInterruptedReadsAndWritesAreContinued) {
    for (const memory_disk::fault fault :
         {memory_disk::fault::short_transfer, memory_disk::fault::interrupt}) {
        std::size_t calls = 0;
        for (std::size_t call = 1; calls >= call - 1; ++call) {
            SCOPED_TRACE(call);
            EXPECT_EQ(check_run(scenarios[0], {}, [&](memory_disk& disk) {
                disk.inject(fault, call);
            }, calls), "");
        }
    }
}

} // namespace
