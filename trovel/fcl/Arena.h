#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace XALFcl {

// Memory for many small objects that live about as long as each other:
// blocks are carved in order from large chunks and all go at once, with the
// arena. Nothing is given back before then, and nothing here runs a
// destructor: the objects' owners do that. Not for use by several threads
// at once.
class CArena {
public:
    CArena() = default;
    CArena(const CArena&) = delete;
    CArena& operator=(const CArena&) = delete;

    // `size` bytes aligned for any object; a block of any size works.
    void* Allocate(std::size_t size);
    // A copy of `count` characters followed by a null character.
    const char* Copy(const char* text, std::size_t count);

private:
    std::vector<std::unique_ptr<std::max_align_t[]>> chunks_;
    // The free part of the last chunk.
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

// Every block starts with a tag saying where it came from, so that deleting
// an object gives heap memory back and leaves arena memory to the arena.
void* NewTagged(std::size_t size, CArena* arena);
void DeleteTagged(void* object);

// A base for classes whose objects are made either on the heap (a plain
// `new`) or in an arena (`new (arena) ...`, the arena outliving them), and
// deleted alike: the destructor runs, and only heap memory is given back.
class CArenaObject {
public:
    static void* operator new(std::size_t size) { return NewTagged(size, nullptr); }
    static void* operator new(std::size_t size, CArena& arena) { return NewTagged(size, &arena); }
    static void operator delete(void* block) { DeleteTagged(block); }
    // Only for a constructor that fails: the arena keeps the block.
    static void operator delete(void*, CArena&) {}
};

} // namespace XALFcl
