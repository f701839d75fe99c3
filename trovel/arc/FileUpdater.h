#pragma once

#include "arc/FileVisitor.h"

#include <cstdint>

namespace XALFcl {
class CDisk;
} // namespace XALFcl

namespace XALArc {

// Replace mode with --time: replaces a file entry only when its disk file
// was modified after the archive file itself, and adds new files unless
// updateOnly is set.
class CFileUpdater : public CFileVisitor {
public:
    // Takes the archive file's modification time; "Cannot find file" when it
    // cannot be had.
    CFileUpdater(CArchive* archive, const std::string& archivePath,
                 const std::vector<std::string>* excludes, bool updateOnly);

    void EnterDirectory(const std::string& archivePath) override;
    void VisitFile(const std::string& archivePath, const std::string& diskPath) override;

    std::int64_t referenceTime = 0;
    bool updateOnly;
    bool createDirectories = true;
    bool modified = false;
};

// The modification time of a disk file, or "Cannot find file" naming it.
std::int64_t RequireModTime(XALFcl::CDisk& disk, const std::string& path);

} // namespace XALArc
