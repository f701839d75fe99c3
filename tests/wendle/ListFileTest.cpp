#include "list_file.h"

#include "memory_disk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using paths = std::vector<std::string>;

// The wave paths of a list at set/l.txt holding `text`, read with `fault` at
// call `call`; `calls` is set to the calls the reading made.
paths waves_of(const std::string& text, memory_disk::fault fault, std::size_t call,
               std::size_t& calls) {
    memory_disk disk;
    disk.add_file("set/l.txt", text);
    disk.inject(fault, call);
    const list_file list(disk, "set/l.txt");
    calls = disk.calls();
    return list.waves();
}

TEST(ListFile, TakesEachNonEmptyLineVerbatimWhateverTheReadsDeliver) {
    // Lines longer than one read brings, CR LF split across reads, blanks and
    // a CR within a line kept, no line end at the end.
    std::string text = " a \r\nb\r.swav\r\r\n\n";
    paths expected = {"set/ a ", "set/b\r.swav\r"};
    for (int i = 0; i < 100; ++i) {
        const std::string name(i * 13 % 97 + 1, static_cast<char>('a' + i % 26));
        text += name + (i % 2 == 0 ? "\r\n" : "\n");
        expected.push_back("set/" + name);
    }
    text += "..\\w.swav";
    expected.push_back("w.swav");
    std::size_t calls = 0;
    EXPECT_EQ(waves_of(text, memory_disk::fault::fail, 0, calls), expected);
    for (const memory_disk::fault fault :
         {memory_disk::fault::short_transfer, memory_disk::fault::interrupt}) {
        // Until a run ends before the call that was to go wrong.
        for (std::size_t call = 1; calls >= call - 1; ++call)
            EXPECT_EQ(waves_of(text, fault, call, calls), expected) << call;
    }
}

} // namespace
