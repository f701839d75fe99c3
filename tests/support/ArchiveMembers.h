#pragma once

// File members of an archive tree made in memory, and the names in a
// directory of it, for the tests of the archive library and of the command
// (header-only: only their test programs link the archive library).

#include "arc/Archive.h"
#include "fcl/MemoryStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Gives `file` the contents `bytes`.
inline void Fill(XALArc::CFileEntry& file, const std::string& bytes) {
    XALFcl::CMemoryInputStream in(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    file.Load(in, bytes.size());
}

// The file member at `path`, made with the directories above it, holding
// `bytes`.
inline XALArc::CFileEntry* AddFile(XALArc::CArchive& archive, const std::string& path,
                                   const std::string& bytes) {
    XALArc::CFileEntry* file = archive.CreateFile(path);
    Fill(*file, bytes);
    return file;
}

// The names of `dir`'s children in their order.
inline std::vector<std::string> ChildNames(XALArc::CDirEntry& dir) {
    std::vector<std::string> names;
    for (XALArc::CArcEntry* e = dir.entries.First(); e != nullptr; e = dir.entries.Next(e))
        names.push_back(e->name);
    return names;
}

} // namespace testsupport
