#include "arc/FileImporter.h"

#include "arc/Archive.h"

namespace XALArc {

CFileImporter::CFileImporter(CArchive* archive_, const std::vector<std::string>* excludes_,
                             bool replaceOnly_, bool createDirectories_)
    : CFileVisitor(archive_, excludes_), replaceOnly(replaceOnly_),
      createDirectories(createDirectories_) {}

void CFileImporter::EnterDirectory(const std::string& archivePath) {
    if (createDirectories)
        RegisterDirectory(archivePath);
}

void CFileImporter::VisitFile(const std::string& archivePath, const std::string& diskPath) {
    if (!replaceOnly) {
        AddFile(archivePath, diskPath);
    } else if (CFileEntry* file = FindFile(archivePath)) {
        LoadVisited(*file, diskPath);
    } else {
        Report("Skip  : ", diskPath);
        return;
    }
    modified = true;
    Report("Adding: ", diskPath);
}

} // namespace XALArc
