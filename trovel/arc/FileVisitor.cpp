#include "arc/FileVisitor.h"

#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "arc/PathString.h"
#include "fcl/Console.h"
#include "fcl/Exception.h"
#include "fcl/FileFinder.h"
#include "fcl/FileStream.h"
#include "fcl/FileSystem.h"
#include "fcl/Platform.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <utility>

namespace XALArc {

namespace Platform = XALFcl::Platform;
using XALFcl::CFileException;

namespace {

// The identity of a directory on disk, for telling a walk that loops
// through a link back into a directory it is already inside.
struct DirIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator<(const DirIdentity& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

bool GetDirIdentity(XALFcl::CDiskDirectory* directory, DirIdentity& identity) {
    XALFcl::FileStatus status;
    if (directory == nullptr || !directory->GetStatus(status))
        return false;
    identity.device = status.device;
    identity.inode = status.inode;
    return true;
}

std::unique_ptr<XALFcl::CDiskDirectory> OpenDiskDirectory(XALFcl::CDisk& disk,
                                                          const std::string& path) {
    return disk.OpenDirectory(path.empty() ? std::string(".") : path);
}

// Keeps an empty sorted archive directory that the walk fills from one
// listing out of sorted insertion until the walk leaves it, also when it
// leaves by a failure: its children are then put in name order at once.
class CDeferredSort {
public:
    explicit CDeferredSort(CDirEntry* dir) : dir_(dir) {
        if (dir_ != nullptr)
            dir_->DeferSorting();
    }
    CDeferredSort(CDeferredSort&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) {}
    CDeferredSort& operator=(CDeferredSort&&) = delete;
    ~CDeferredSort() {
        if (dir_ != nullptr)
            dir_->ResumeSorting();
    }

private:
    CDirEntry* dir_;
};

// One disk directory of the walk in progress: the names still to come, the
// path lengths to go back to once it is done, its own path's length, its
// identity while it is on the current path, and the directory held open
// while its own files are visited (given up while a subdirectory is walked,
// so that a deep tree holds one directory open, not one per level).
struct OpenDirectory {
    XALFcl::CFileFinder finder;
    std::size_t archiveLength;
    std::size_t diskLength;
    std::size_t pathLength;
    bool identified;
    DirIdentity identity;
    std::unique_ptr<XALFcl::CDiskDirectory> handle;
    // The archive directory that entering it registered, if any.
    CDeferredSort deferred;
};

// Collects the directories that entering one disk directory creates, and
// removes them again unless the directory could be read.
class CRegistration {
public:
    explicit CRegistration(std::vector<CDirEntry*>*& slot) : slot_(slot) { slot_ = &created_; }
    CRegistration(const CRegistration&) = delete;
    CRegistration& operator=(const CRegistration&) = delete;
    // Every directory was created after its parent, so going backwards
    // deletes only directories that are empty by then.
    ~CRegistration() {
        slot_ = nullptr;
        for (auto it = created_.rbegin(); it != created_.rend(); ++it)
            delete *it;
    }
    void Keep() { created_.clear(); }

private:
    std::vector<CDirEntry*>*& slot_;
    std::vector<CDirEntry*> created_;
};

} // namespace

CFileVisitor::CFileVisitor(CArchive* archive_, const std::vector<std::string>* excludes_)
    : archive(archive_), excludes(excludes_) {}

void CFileVisitor::EnterDirectory(const std::string&) {}

bool CFileVisitor::IsExcluded(const std::string& name) const {
    if (name.size() <= 2 && (name == "." || name == ".."))
        return true;
    return excludes != nullptr
        && std::find(excludes->begin(), excludes->end(), name) != excludes->end();
}

void CFileVisitor::Import(const std::string& archivePath, const std::string& diskPath) {
    // Nothing of an earlier walk holds, one that failed included.
    known_ = false;
    visitedDirectory_ = nullptr;
    if (!diskPath.empty() && diskPath.back() == Platform::kNativeSeparator) {
        ImportDirectory(archivePath, diskPath);
        return;
    }
    // A path that cannot be examined at all counts as a directory, so a
    // missing operand ends in "Cannot open directory".
    if (XALFcl::IsDirectory(archive->disk, diskPath) != 0) {
        ImportDirectory(archivePath, diskPath);
        return;
    }
    XALFcl::FileStatus status;
    if (!archive->disk.GetStatus(diskPath, status) || status.kind != XALFcl::FileKind::Regular)
        throw CFileException(CFileException::kCannotOpen, diskPath);
    VisitFile(archivePath, diskPath);
}

// The walk keeps one open directory per level on its own stack, so a deep
// disk tree cannot exhaust the call stack.
void CFileVisitor::ImportDirectory(const std::string& archivePath, const std::string& diskPath) {
    known_ = false;
    visitedDirectory_ = nullptr;
    CPathString archiveString(archivePath, '/');
    CPathString diskString(diskPath, Platform::kNativeSeparator);
    std::set<DirIdentity> onPath;
    std::vector<OpenDirectory> open;
    XALFcl::CDisk& disk = archive->disk;
    std::unique_ptr<XALFcl::CDiskDirectory> topHandle = OpenDiskDirectory(disk, diskPath);
    DirIdentity top;
    const bool identified = GetDirIdentity(topHandle.get(), top);
    if (identified)
        onPath.insert(top);
    XALFcl::CFileFinder topFinder =
        EnterAndRead(archiveString.str(), diskString.str(), topHandle.get());
    open.push_back({std::move(topFinder), archiveString.size(), diskString.size(),
                    diskString.size(), identified, top, std::move(topHandle),
                    CDeferredSort(registered_)});
    while (!open.empty()) {
        OpenDirectory& dir = open.back();
        if (!dir.finder.Next()) {
            archiveString.Truncate(dir.archiveLength);
            diskString.Truncate(dir.diskLength);
            if (dir.identified)
                onPath.erase(dir.identity);
            open.pop_back();
            continue;
        }
        const std::string& name = dir.finder.entryName;
        if (IsExcluded(name))
            continue;
        const std::size_t archiveLength = archiveString.Append(name);
        const std::size_t diskLength = diskString.Append(name);
        // A "\" in a name cannot be stored portably (where "\" is the
        // separator, no name holds one).
        if (name.find('\\') != std::string::npos)
            throw CFileException(CFileException::kCannotOpen, diskString.str());

        const XALFcl::FileKind kind = dir.finder.entryKind;
        if (kind == XALFcl::FileKind::Directory) {
            dir.handle.reset();
            std::unique_ptr<XALFcl::CDiskDirectory> handle =
                OpenDiskDirectory(disk, diskString.str());
            DirIdentity identity;
            const bool known = GetDirIdentity(handle.get(), identity);
            if (known && !onPath.insert(identity).second)
                throw CFileException(CFileException::kCannotOpenDirectory, diskString.str());
            XALFcl::CFileFinder finder =
                EnterAndRead(archiveString.str(), diskString.str(), handle.get());
            open.push_back({std::move(finder), archiveLength, diskLength, diskString.size(), known,
                            identity, std::move(handle), CDeferredSort(registered_)});
            continue;
        }
        if (kind != XALFcl::FileKind::Regular)
            throw CFileException(CFileException::kCannotOpen, diskString.str());
        // Back from a subdirectory, the directory is opened again; where
        // that fails, its files are opened by their paths.
        if (dir.handle == nullptr)
            dir.handle = OpenDiskDirectory(disk, diskString.str().substr(0, dir.pathLength));
        visitedDirectory_ = dir.handle.get();
        visitedName_ = &name;
        VisitFile(archiveString.str(), diskString.str());
        visitedDirectory_ = nullptr;
        archiveString.Truncate(archiveLength);
        diskString.Truncate(diskLength);
    }
}

XALFcl::CFileFinder CFileVisitor::EnterAndRead(const std::string& archivePath,
                                               const std::string& diskPath,
                                               XALFcl::CDiskDirectory* directory) {
    CRegistration registration(created_);
    registered_ = nullptr;
    EnterDirectory(archivePath);
    if (directory == nullptr)
        throw CFileException(CFileException::kCannotOpenDirectory, diskPath);
    XALFcl::CFileFinder finder(*directory, diskPath, false);
    // A directory that the walk registers gets its names from the listing:
    // its index is sized for them once.
    if (registered_ != nullptr)
        registered_->Reserve(finder.Count());
    registration.Keep();
    return finder;
}

void CFileVisitor::RegisterDirectory(const std::string& archivePath) {
    known_ = false;
    registered_ = archive->CreateDirectory(archivePath, created_);
}

namespace {

// Whether `archivePath` is a name in the directory `directory`.
bool IsIn(const std::string& archivePath, std::size_t slash, const std::string& directory) {
    return slash == directory.size() && archivePath.compare(0, slash, directory) == 0;
}

} // namespace

void CFileVisitor::Remember(const std::string& archivePath, std::size_t slash, CDirEntry* dir) {
    knownPath_.assign(archivePath, 0, slash);
    knownDir_ = dir;
    known_ = true;
}

// The last step of the archive's own lookup, on the remembered directory.
CFileEntry* CFileVisitor::FindFile(const std::string& archivePath) {
    const std::size_t slash = archivePath.rfind('/');
    if (slash == std::string::npos || !known_ || !IsIn(archivePath, slash, knownPath_)) {
        CFileEntry* file = archive->FindFile(archivePath);
        // Without an exception every directory on the way was one, or missing.
        if (slash != std::string::npos) {
            CArcEntry* dir =
                file != nullptr ? file->parent : archive->FindEntry(archivePath.substr(0, slash));
            Remember(archivePath, slash, dir != nullptr ? dir->AsDirectory() : nullptr);
        }
        return file;
    }
    if (knownDir_ == nullptr)
        return nullptr;
    CArcEntry* entry = knownDir_->Lookup(archivePath.substr(slash + 1));
    if (entry != nullptr && !entry->IsFile())
        throw CArcException(CArcException::kDirectoryExists, archivePath);
    return static_cast<CFileEntry*>(entry);
}

CFileEntry* CFileVisitor::AddFile(const std::string& archivePath, const std::string& diskPath) {
    const std::size_t slash = archivePath.rfind('/');
    CFileEntry* file = nullptr;
    if (slash != std::string::npos && known_ && knownDir_ != nullptr
        && IsIn(archivePath, slash, knownPath_) && slash + 1 < archivePath.size()) {
        std::string name = archivePath.substr(slash + 1);
        file = knownDir_->LookupFile(name);
        if (file == nullptr)
            file = new (knownDir_->Arena()) CFileEntry(std::move(name), knownDir_);
    } else {
        file = archive->CreateFile(archivePath);
        if (slash != std::string::npos)
            Remember(archivePath, slash, file->parent);
    }
    LoadVisited(*file, diskPath);
    return file;
}

// The file being visited is opened in its directory, held open by the walk;
// a file that an operand or a script names alone, by its path.
void CFileVisitor::LoadVisited(CFileEntry& file, const std::string& diskPath) {
    if (visitedDirectory_ != nullptr)
        file.LoadFile(archive->disk, diskPath, visitedDirectory_, *visitedName_);
    else
        file.LoadFile(archive->disk, diskPath);
}

XALFcl::CFileInputStream CFileVisitor::OpenVisited(const std::string& diskPath) {
    return XALFcl::CFileInputStream(archive->disk, diskPath, visitedDirectory_,
                                    visitedDirectory_ != nullptr ? *visitedName_ : std::string());
}

void CFileVisitor::Report(const char* prefix, const std::string& path) const {
    if (!verbose)
        return;
    XALFcl::PrintLine(prefix + path);
}

} // namespace XALArc
