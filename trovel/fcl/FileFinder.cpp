#include "fcl/FileFinder.h"

#include "fcl/Exception.h"
#include "fcl/Platform.h"
#include "fcl/Text.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace XALFcl {

namespace {

bool IsDot(const std::string& name, const char* dot) {
    return name.size() <= 2 && name == dot;
}

// "." and ".." lead, in that order.
int Rank(const std::string& name) {
    if (IsDot(name, "."))
        return 0;
    if (IsDot(name, ".."))
        return 1;
    return 2;
}

} // namespace

int CompareNames(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(ToAsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(ToAsciiUpper(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    // Equal but for case: the raw bytes decide.
    const int raw = a.compare(b);
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

CFileFinder::CFileFinder(CDisk& disk, const std::string& directory, bool withTimes) {
    std::vector<DirectoryName> names;
    if (!disk.ListDirectory(directory.empty() ? "." : directory, names))
        throw CFileException(CFileException::kCannotOpenDirectory, directory);
    std::string prefix = directory;
    if (!prefix.empty() && prefix.back() != Platform::kNativeSeparator)
        prefix += Platform::kNativeSeparator;
    Take(names, withTimes, [&](const std::string& name, FileStatus& status) {
        return disk.GetStatus(prefix + name, status);
    });
}

CFileFinder::CFileFinder(CDiskDirectory& open, const std::string& directory, bool withTimes) {
    std::vector<DirectoryName> names;
    if (!open.List(names))
        throw CFileException(CFileException::kCannotOpenDirectory, directory);
    Take(names, withTimes,
         [&](const std::string& name, FileStatus& status) { return open.GetStatus(name, status); });
}

template <class StatusOf>
void CFileFinder::Take(std::vector<DirectoryName>& names, bool withTimes, StatusOf statusOf) {
    for (const char* dot : {".", ".."}) {
        if (std::none_of(names.begin(), names.end(),
                         [&](const DirectoryName& n) { return IsDot(n.name, dot); }))
            names.push_back({dot, FileKind::Directory, false});
    }
    entries_.reserve(names.size());
    for (DirectoryName& name : names) {
        Entry entry;
        FileStatus status;
        if (name.kindKnown && !withTimes) {
            entry.kind = name.kind;
        } else if (statusOf(name.name, status)) {
            entry.kind = status.kind;
            entry.time = status.modTime;
        }
        entry.name = std::move(name.name);
        entries_.push_back(std::move(entry));
    }
    SortEntries();
}

// The CompareNames order of a large directory: the sort moves small keys
// rather than names, and a key's first eight upper-cased bytes, packed most
// significant first, settle most comparisons without reaching the names.
// A shorter name's zero padding sorts it first, as the full comparison
// does; equal heads leave it to that comparison.
void CFileFinder::SortEntries() {
    struct Key {
        std::uint64_t head;
        std::uint32_t rank;
        std::uint32_t index;
    };
    std::vector<Key> keys(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string& name = entries_[i].name;
        const std::size_t packed = std::min<std::size_t>(name.size(), 8);
        std::uint64_t head = 0;
        for (std::size_t j = 0; j < packed; ++j)
            head |= std::uint64_t{static_cast<unsigned char>(ToAsciiUpper(name[j]))}
                << (56 - 8 * j);
        keys[i] = {head, static_cast<std::uint32_t>(Rank(name)), static_cast<std::uint32_t>(i)};
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        if (a.head != b.head)
            return a.head < b.head;
        return CompareNames(entries_[a.index].name, entries_[b.index].name) < 0;
    });
    std::vector<Entry> sorted;
    sorted.reserve(entries_.size());
    for (const Key& key : keys)
        sorted.push_back(std::move(entries_[key.index]));
    entries_.swap(sorted);
}

bool CFileFinder::Next() {
    if (next_ >= entries_.size())
        return false;
    Entry& entry = entries_[next_++];
    entryName = std::move(entry.name);
    entryTime = entry.time;
    entryKind = entry.kind;
    entryIsDirectory = entry.kind == FileKind::Directory;
    return true;
}

} // namespace XALFcl
