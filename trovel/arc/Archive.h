#pragma once

#include "arc/ArcEntry.h"
#include "fcl/Disk.h"

#include <string>
#include <vector>

namespace XALArc {

class CArcEntryVisitor;

// The archive root object. Every path is absolute, with '/' separators;
// the empty path designates the root. It also names the disk that the
// archive's files and the operations on it are read from and written to.
class CArchive {
public:
    explicit CArchive(bool sorted = true, XALFcl::CDisk& disk = XALFcl::SystemDisk());
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    virtual ~CArchive();

    // Finds or creates the directory and every missing one above it; the
    // directories it creates are added to `created` (when given), parents
    // first.
    CDirEntry* CreateDirectory(const std::string& path, std::vector<CDirEntry*>* created = nullptr);
    // Finds or creates the file entry; missing directories are created.
    CFileEntry* CreateFile(const std::string& path);
    // CreateFile, then the disk file's bytes into it.
    CFileEntry* AddFile(const std::string& path, const std::string& diskPath);
    CArcEntry* FindEntry(const std::string& path);
    CFileEntry* FindFile(const std::string& path);
    // The disk file's bytes into an existing file entry; null (and nothing
    // read) when there is none.
    CFileEntry* ReplaceFile(const std::string& path, const std::string& diskPath);
    int Walk(CArcEntryVisitor& visitor);

    CDirEntry root;
    XALFcl::CDisk& disk;
};

} // namespace XALArc
