#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace XALArc {

class CArcEntry;

// The children of one directory by their names compared without regard to
// ASCII letter case. The table holds the entries themselves (open
// addressing, linear probing), so adding a child allocates nothing but an
// occasional larger table, and a lookup folds the name as it hashes it
// instead of building a folded copy.
class CFoldedIndex {
public:
    // The entry whose name equals `name` but for case, or null.
    CArcEntry* Find(const std::string& name) const;
    // Adds the entry unless one of the same folded name is there already.
    void Add(CArcEntry* entry);
    // Removes the entry of that folded name, whichever it is.
    void Remove(const std::string& name);
    // Room for `count` more entries without growing.
    void Reserve(std::size_t count);
    void Clear();
    bool Empty() const { return count_ == 0; }

private:
    struct Slot {
        CArcEntry* entry = nullptr;
        std::uint32_t hash = 0;
    };

    // The slot of the entry of that folded name, or the empty slot where it
    // would go.
    std::size_t Probe(const std::string& name, std::uint32_t hash) const;
    void Rebuild(std::size_t capacity);

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

} // namespace XALArc
