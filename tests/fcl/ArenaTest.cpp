#include "fcl/Arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace XALFcl;

namespace {

// Blocks of every size, chunk-sized and larger ones among them, come out
// aligned and apart: each keeps the bytes written into it.
TEST(Arena, BlocksAreAlignedAndKeepTheirBytes) {
    CArena arena;
    std::vector<std::pair<unsigned char*, std::size_t>> blocks;
    for (std::size_t size : {1, 7, 16, 17, 300, 65535, 65536, 65537, 200000, 3, 0}) {
        auto* block = static_cast<unsigned char*>(arena.Allocate(size));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
        std::memset(block, static_cast<int>(blocks.size()), size);
        blocks.emplace_back(block, size);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        for (std::size_t j = 0; j < blocks[i].second; ++j)
            ASSERT_EQ(blocks[i].first[j], i) << i;
    }
    const char* copy = arena.Copy("path/name", 4);
    EXPECT_EQ(std::string(copy), "path");
}

// Objects made on the heap and in an arena are deleted alike: the heap's
// memory goes back (the sanitizers check it), the arena's stays with it.
TEST(Arena, TaggedObjectsAreDeletedWhereverTheyWereMade) {
    struct Object : CArenaObject {
        std::string text = std::string(40, 't');
    };
    CArena arena;
    for (int i = 0; i < 100; ++i) {
        delete new Object;
        delete new (arena) Object;
    }
    delete static_cast<Object*>(nullptr);
}

} // namespace
