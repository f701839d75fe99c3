#include "arc/FoldedIndex.h"

#include "arc/ArcEntry.h"
#include "fcl/Text.h"

#include <cstring>
#include <utility>

namespace XALArc {

namespace {

// Lower-cases the ASCII letters of eight bytes at once: a byte gets 0x20
// added where it lies in 'A'..'Z' (bytes of 0x80 and above are left alone).
std::uint64_t FoldWord(std::uint64_t word) {
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    const std::uint64_t low = word & ~kHigh;
    const std::uint64_t aboveZ = low + 0x2525252525252525u;
    const std::uint64_t atLeastA = low + 0x3F3F3F3F3F3F3F3Fu;
    return word | (((atLeastA ^ aboveZ) & ~word & kHigh) >> 2);
}

// Eight bytes of the name from `at`, zero past its end.
std::uint64_t WordAt(const std::string& name, std::size_t at) {
    std::uint64_t word = 0;
    if (name.size() - at >= 8) {
        std::memcpy(&word, name.data() + at, 8);
        return word;
    }
    for (std::size_t i = at; i < name.size(); ++i)
        word |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * (i - at));
    return word;
}

// A hash of the lower-cased name, eight bytes a step. A product carries a
// change of a byte only upwards, so the last steps spread the high bits
// over the low ones that pick a slot.
std::uint32_t FoldedHash(const std::string& name) {
    std::uint64_t hash = name.size();
    for (std::size_t at = 0; at < name.size(); at += 8)
        hash = (hash ^ FoldWord(WordAt(name, at))) * 0x9E3779B97F4A7C15u;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 33;
    return static_cast<std::uint32_t>(hash);
}

// Names that differ only in case are rare: equal bytes settle most.
bool SameFolded(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    if (std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (XALFcl::ToAsciiLower(a[i]) != XALFcl::ToAsciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::size_t CFoldedIndex::Probe(const std::string& name, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.entry == nullptr || (slot.hash == hash && SameFolded(slot.entry->name, name)))
            return i;
    }
}

CArcEntry* CFoldedIndex::Find(const std::string& name) const {
    if (count_ == 0)
        return nullptr;
    return slots_[Probe(name, FoldedHash(name))].entry;
}

void CFoldedIndex::Add(CArcEntry* entry) {
    Reserve(1);
    const std::uint32_t hash = FoldedHash(entry->name);
    Slot& slot = slots_[Probe(entry->name, hash)];
    if (slot.entry != nullptr)
        return;
    slot = {entry, hash};
    ++count_;
}

// Linear probing without tombstones: the entries after the freed slot that
// could have taken it move back into it, so every probe still finds its
// entry before an empty slot.
void CFoldedIndex::Remove(const std::string& name) {
    if (count_ == 0)
        return;
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = Probe(name, FoldedHash(name));
    if (slots_[hole].entry == nullptr)
        return;
    slots_[hole] = Slot();
    --count_;
    for (std::size_t i = (hole + 1) & mask; slots_[i].entry != nullptr; i = (i + 1) & mask) {
        const std::size_t home = slots_[i].hash & mask;
        // The entry stays where it is when its home lies cyclically in
        // (hole, i].
        const bool stays = hole < i ? (hole < home && home <= i) : (hole < home || home <= i);
        if (stays)
            continue;
        slots_[hole] = slots_[i];
        slots_[i] = Slot();
        hole = i;
    }
}

// The table stays at most half full.
void CFoldedIndex::Reserve(std::size_t count) {
    const std::size_t wanted = (count_ + count) * 2;
    if (wanted <= slots_.size())
        return;
    std::size_t capacity = slots_.empty() ? 8 : slots_.size();
    while (capacity < wanted)
        capacity *= 2;
    Rebuild(capacity);
}

void CFoldedIndex::Rebuild(std::size_t capacity) {
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    const std::size_t mask = capacity - 1;
    for (const Slot& slot : old) {
        if (slot.entry == nullptr)
            continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].entry != nullptr)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void CFoldedIndex::Clear() {
    std::vector<Slot>().swap(slots_);
    count_ = 0;
}

} // namespace XALArc
