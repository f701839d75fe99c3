#include "arc/FileVisitor.h"

#include "arc/PathString.h"
#include "fcl/Console.h"
#include "fcl/Exception.h"
#include "fcl/FileFinder.h"
#include "fcl/FileSystem.h"
#include "fcl/Platform.h"

#include <algorithm>

namespace XALArc {

namespace Platform = XALFcl::Platform;
using XALFcl::CFileException;

namespace {

// The identity of a directory on disk, for telling a walk that loops
// through a link back into a directory it is already inside.
bool DirectoryIdentity(const std::string& path, std::uint64_t& device, std::uint64_t& inode) {
    Platform::FileStatus status;
    if (!Platform::GetStatus(path.empty() ? std::string(".") : path, status))
        return false;
    device = status.device;
    inode = status.inode;
    return true;
}

} // namespace

CFileVisitor::CFileVisitor(CArchive* archive_, const std::vector<std::string>* excludes_)
    : archive(archive_), excludes(excludes_) {}

void CFileVisitor::EnterDirectory(const std::string&) {}

bool CFileVisitor::IsExcluded(const std::string& name) const {
    if (name == "." || name == "..")
        return true;
    return excludes != nullptr &&
           std::find(excludes->begin(), excludes->end(), name) != excludes->end();
}

void CFileVisitor::Import(const std::string& archivePath, const std::string& diskPath) {
    if (!diskPath.empty() && diskPath.back() == Platform::kNativeSeparator) {
        ImportDirectory(archivePath, diskPath);
        return;
    }
    // A path that cannot be examined at all counts as a directory, so a
    // missing operand ends in "Cannot open directory".
    if (XALFcl::IsDirectory(diskPath) != 0) {
        ImportDirectory(archivePath, diskPath);
        return;
    }
    Platform::FileStatus status;
    if (!Platform::GetStatus(diskPath, status) || status.kind != Platform::FileKind::Regular)
        throw CFileException(CFileException::kCannotOpen, diskPath);
    VisitFile(archivePath, diskPath);
}

void CFileVisitor::ImportDirectory(const std::string& archivePath, const std::string& diskPath) {
    CPathString archiveString(archivePath, '/');
    CPathString diskString(diskPath, Platform::kNativeSeparator);
    std::vector<DirIdentity> ancestors;
    DirIdentity self{};
    if (DirectoryIdentity(diskPath, self.device, self.inode))
        ancestors.push_back(self);
    WalkDirectory(archiveString, diskString, ancestors);
}

void CFileVisitor::WalkDirectory(CPathString& archivePath, CPathString& diskPath,
                                 std::vector<DirIdentity>& ancestors) {
    EnterDirectory(archivePath.str());
    XALFcl::CFileFinder finder(diskPath.str());
    while (finder.Next()) {
        const std::string& name = finder.entryName;
        if (IsExcluded(name))
            continue;
        const std::size_t archiveLength = archivePath.Append(name);
        const std::size_t diskLength = diskPath.Append(name);
        // A "\" in a name cannot be stored portably where it is not the
        // separator.
        if (Platform::kNativeSeparator != '\\' && name.find('\\') != std::string::npos)
            throw CFileException(CFileException::kCannotOpen, diskPath.str());

        if (finder.entryKind == Platform::FileKind::Directory) {
            DirIdentity id{};
            if (DirectoryIdentity(diskPath.str(), id.device, id.inode)) {
                for (const DirIdentity& a : ancestors) {
                    if (a.device == id.device && a.inode == id.inode)
                        throw CFileException(CFileException::kCannotOpenDirectory, diskPath.str());
                }
            }
            ancestors.push_back(id);
            WalkDirectory(archivePath, diskPath, ancestors);
            ancestors.pop_back();
        } else if (finder.entryKind == Platform::FileKind::Regular) {
            VisitFile(archivePath.str(), diskPath.str());
        } else {
            throw CFileException(CFileException::kCannotOpen, diskPath.str());
        }
        archivePath.Truncate(archiveLength);
        diskPath.Truncate(diskLength);
    }
}

void CFileVisitor::Report(const char* prefix, const std::string& path) const {
    if (!verbose)
        return;
    XALFcl::PrintLine(prefix + path);
}

} // namespace XALArc
