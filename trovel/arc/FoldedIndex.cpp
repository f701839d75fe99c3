#include "arc/FoldedIndex.h"

#include "arc/ArcEntry.h"
#include "fcl/Text.h"

#include <utility>

namespace XALArc {

namespace {

// FNV-1a over the lower-cased bytes.
std::uint32_t FoldedHash(const std::string& name) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(XALFcl::ToAsciiLower(c));
        hash *= 16777619u;
    }
    return hash;
}

bool SameFolded(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
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
