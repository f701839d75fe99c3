#include "arc/FileUpdater.h"

#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/FileSystem.h"

namespace XALArc {

std::int64_t RequireModTime(XALFcl::CDisk& disk, const std::string& path) {
    std::int64_t time = 0;
    if (!XALFcl::GetFileModTime(disk, path, time))
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotFind, path);
    return time;
}

CFileUpdater::CFileUpdater(CArchive* archive_, const std::string& archivePath,
                           const std::vector<std::string>* excludes_, bool updateOnly_)
    : CFileVisitor(archive_, excludes_), referenceTime(RequireModTime(archive_->disk, archivePath)),
      updateOnly(updateOnly_) {}

void CFileUpdater::EnterDirectory(const std::string& archivePath) {
    if (createDirectories)
        RegisterDirectory(archivePath);
}

void CFileUpdater::VisitFile(const std::string& archivePath, const std::string& diskPath) {
    CFileEntry* entry = FindFile(archivePath);
    if (entry == nullptr) {
        if (updateOnly) {
            Report("Not exist: ", diskPath);
            return;
        }
        AddFile(archivePath, diskPath);
        modified = true;
        Report("Adding   : ", diskPath);
        return;
    }
    // Equal times do not count as newer.
    if (RequireModTime(archive->disk, diskPath) > referenceTime) {
        LoadVisited(*entry, diskPath);
        modified = true;
        Report("Updating : ", diskPath);
    } else {
        Report("Skip     : ", diskPath);
    }
}

} // namespace XALArc
