#pragma once

#include "fcl/Disk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace XALFcl {

// The order of names within a directory on every host: unsigned bytes after
// mapping ASCII a-z to A-Z; names equal under that mapping by their raw
// unsigned bytes. Negative, zero or positive like strcmp.
int CompareNames(const std::string& a, const std::string& b);

// Enumerates one directory: "." and ".." first, then every other entry in
// CompareNames order, hidden ones included. Links are followed for the
// kind and the time.
class CFileFinder {
public:
    // An empty `directory` is the current one. kCannotOpenDirectory with `directory` when
    // it cannot be read. Without `withTimes`, an entry whose kind the listing
    // tells gets no status query, and its time stays 0.
    CFileFinder(CDisk& disk, const std::string& directory, bool withTimes = true);
    // The same for a directory held open; `directory` is its path, for the
    // message.
    CFileFinder(CDiskDirectory& open, const std::string& directory, bool withTimes);

    // Makes the next entry current; false once none is left.
    bool Next();
    // The number of entries, "." and ".." included.
    std::size_t Count() const { return entries_.size(); }

    std::string entryName;
    std::int64_t entryTime = 0;
    bool entryIsDirectory = false;
    // A dangling link, or an entry whose status cannot be had, is Other.
    FileKind entryKind = FileKind::Other;

private:
    struct Entry {
        std::string name;
        std::int64_t time = 0;
        FileKind kind = FileKind::Other;
    };

    // Takes the listed names; `statusOf(name, status)` asks for the status
    // of one whose kind the listing does not tell (or of any, `withTimes`).
    template <class StatusOf>
    void Take(std::vector<DirectoryName>& names, bool withTimes, StatusOf statusOf);
    void SortEntries();

    std::vector<Entry> entries_;
    std::size_t next_ = 0;
};

} // namespace XALFcl
