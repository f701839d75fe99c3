#include "fcl/Arena.h"

#include <algorithm>
#include <cstring>

namespace XALFcl {

namespace {

// A chunk serves about 600 file entries; larger blocks get one of their own.
constexpr std::size_t kChunkSize = std::size_t{64} << 10;
constexpr std::size_t kAlignment = alignof(std::max_align_t);

} // namespace

void* CArena::Allocate(std::size_t size) {
    size = (std::max<std::size_t>(size, 1) + kAlignment - 1) & ~(kAlignment - 1);
    if (size > left_) {
        const std::size_t chunk = std::max(size, kChunkSize);
        // max_align_t may be larger than its alignment: whole ones cover it.
        chunks_.emplace_back(new std::max_align_t[(chunk + sizeof(std::max_align_t) - 1)
                                                  / sizeof(std::max_align_t)]);
        next_ = reinterpret_cast<char*>(chunks_.back().get());
        left_ = chunk;
    }
    void* block = next_;
    next_ += size;
    left_ -= size;
    return block;
}

const char* CArena::Copy(const char* text, std::size_t count) {
    char* copy = static_cast<char*>(Allocate(count + 1));
    std::memcpy(copy, text, count);
    copy[count] = '\0';
    return copy;
}

namespace {

constexpr std::size_t kTagSize = kAlignment;
enum : unsigned char { kFromHeap, kFromArena };

} // namespace

void* NewTagged(std::size_t size, CArena* arena) {
    auto* block = static_cast<unsigned char*>(arena != nullptr ? arena->Allocate(size + kTagSize)
                                                               : ::operator new(size + kTagSize));
    block[0] = arena != nullptr ? kFromArena : kFromHeap;
    return block + kTagSize;
}

void DeleteTagged(void* object) {
    if (object == nullptr)
        return;
    unsigned char* block = static_cast<unsigned char*>(object) - kTagSize;
    if (block[0] == kFromHeap)
        ::operator delete(block);
}

} // namespace XALFcl
