#pragma once

#include "arc/FileVisitor.h"

namespace XALArc {

// Adds files to the tree or replaces the contents of existing entries
// (create mode, and replace mode without --time).
class CFileImporter : public CFileVisitor {
public:
    CFileImporter(CArchive* archive, const std::vector<std::string>* excludes, bool replaceOnly,
                  bool createDirectories);

    void EnterDirectory(const std::string& archivePath) override;
    void VisitFile(const std::string& archivePath, const std::string& diskPath) override;

    bool replaceOnly;       // only files already in the archive are replaced
    bool createDirectories; // register every disk directory walked
    bool modified = false;  // some file entry received bytes
};

} // namespace XALArc
