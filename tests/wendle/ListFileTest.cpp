#include "list_file.h"

#include "memory_disk.h"
#include "my_exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using paths = std::vector<std::string>;

// The wave paths of a list at set/l.txt holding `text`, read with `fault` at
// call `call`; `calls` is set to the calls the reading made.
paths waves_of(const std::string& text, memory_disk::fault fault = memory_disk::fault::fail,
               std::size_t call = 0, std::size_t* calls = nullptr) {
    memory_disk disk;
    disk.add_file("set/l.txt", text);
    disk.inject(fault, call);
    const list_file list(disk, "set/l.txt");
    if (calls != nullptr)
        *calls = disk.calls();
    return list.waves();
}

TEST(ListFile, TakesEachNonEmptyLineVerbatimRelativeToTheListsDirectory) {
    const struct {
        std::string text;
        paths waves;
    } cases[] = {
        {"a.swav\nb.swav", {"set/a.swav", "set/b.swav"}},
        {"a.swav\r\n\r\n\nb.swav\r\n", {"set/a.swav", "set/b.swav"}},
        {" a.swav \na\r.swav\r\r\n", {"set/ a.swav ", "set/a\r.swav\r"}},
        {"..\\w.swav\nsub\\.\\x.swav\n/abs/y.swav\nC:\\z.swav", {"w.swav", "set/sub/x.swav",
                                                                  "/abs/y.swav", "C:/z.swav"}},
        {"a.swav\na.swav\n", {"set/a.swav", "set/a.swav"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(waves_of(c.text), c.waves) << c.text;
}

// Lines longer than what one read brings, with CR LF split across reads.
TEST(ListFile, ShortAndInterruptedReadsGiveTheSameList) {
    std::string text;
    paths expected;
    for (int i = 0; i < 100; ++i) {
        const std::string name(i * 13 % 97 + 1, static_cast<char>('a' + i % 26));
        text += name + "\r\n";
        expected.push_back("set/" + name);
    }
    for (const memory_disk::fault fault :
         {memory_disk::fault::short_transfer, memory_disk::fault::interrupt}) {
        std::size_t calls = 0;
        for (std::size_t call = 1; calls >= call - 1; ++call)
            EXPECT_EQ(waves_of(text, fault, call, &calls), expected) << call;
    }
}

TEST(ListFile, AListThatCannotBeOpenedOrReadIsReported) {
    const struct {
        std::string path;
        std::size_t failing_call;  // 1 opens the list, 2 reads it first
        std::string message;
    } cases[] = {
        {"missing.txt", 0, "Cannot open missing.txt for reading."},
        {"dev.txt", 0, "Cannot open dev.txt for reading."},
        {"l.txt", 1, "Cannot open l.txt for reading."},
        {"l.txt", 2, "Cannot read l.txt."},
    };
    for (const auto& c : cases) {
        memory_disk disk;
        disk.add_device("dev.txt");
        disk.add_file("l.txt", "a.swav\n");
        disk.inject(memory_disk::fault::fail, c.failing_call);
        try {
            const list_file list(disk, c.path);
            ADD_FAILURE() << c.message;
        } catch (const my_exception& e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

} // namespace
