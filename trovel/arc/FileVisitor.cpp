#include "arc/FileVisitor.h"

#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "arc/PathString.h"
#include "fcl/Console.h"
#include "fcl/Exception.h"
#include "fcl/FileFinder.h"
#include "fcl/FileSystem.h"
#include "fcl/Platform.h"

#include <algorithm>
#include <cstdint>
#include <set>

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

bool GetDirIdentity(XALFcl::CDisk& disk, const std::string& path, DirIdentity& identity) {
    XALFcl::FileStatus status;
    if (!disk.GetStatus(path.empty() ? std::string(".") : path, status))
        return false;
    identity.device = status.device;
    identity.inode = status.inode;
    return true;
}

// One disk directory of the walk in progress: the names still to come, the
// path lengths to go back to once it is done, and its identity while it is
// on the current path.
struct OpenDirectory {
    XALFcl::CFileFinder finder;
    std::size_t archiveLength;
    std::size_t diskLength;
    bool identified;
    DirIdentity identity;
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
    if (name == "." || name == "..")
        return true;
    return excludes != nullptr
        && std::find(excludes->begin(), excludes->end(), name) != excludes->end();
}

void CFileVisitor::Import(const std::string& archivePath, const std::string& diskPath) {
    known_ = false;
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
    CPathString archiveString(archivePath, '/');
    CPathString diskString(diskPath, Platform::kNativeSeparator);
    std::set<DirIdentity> onPath;
    std::vector<OpenDirectory> open;
    DirIdentity top;
    const bool identified = GetDirIdentity(archive->disk, diskPath, top);
    if (identified)
        onPath.insert(top);
    open.push_back({EnterAndRead(archiveString.str(), diskString.str()), archiveString.size(),
                    diskString.size(), identified, top});
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
            DirIdentity identity;
            const bool known = GetDirIdentity(archive->disk, diskString.str(), identity);
            if (known && !onPath.insert(identity).second)
                throw CFileException(CFileException::kCannotOpenDirectory, diskString.str());
            open.push_back({EnterAndRead(archiveString.str(), diskString.str()), archiveLength,
                            diskLength, known, identity});
            continue;
        }
        if (kind != XALFcl::FileKind::Regular)
            throw CFileException(CFileException::kCannotOpen, diskString.str());
        VisitFile(archiveString.str(), diskString.str());
        archiveString.Truncate(archiveLength);
        diskString.Truncate(diskLength);
    }
}

XALFcl::CFileFinder CFileVisitor::EnterAndRead(const std::string& archivePath,
                                               const std::string& diskPath) {
    CRegistration registration(created_);
    EnterDirectory(archivePath);
    XALFcl::CFileFinder finder(archive->disk, diskPath, false);
    registration.Keep();
    return finder;
}

void CFileVisitor::RegisterDirectory(const std::string& archivePath) {
    known_ = false;
    archive->CreateDirectory(archivePath, created_);
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
        const std::string name = archivePath.substr(slash + 1);
        file = knownDir_->LookupFile(name);
        if (file == nullptr)
            file = new CFileEntry(name, knownDir_);
    } else {
        file = archive->CreateFile(archivePath);
        if (slash != std::string::npos)
            Remember(archivePath, slash, file->parent);
    }
    file->LoadFile(archive->disk, diskPath);
    return file;
}

void CFileVisitor::Report(const char* prefix, const std::string& path) const {
    if (!verbose)
        return;
    XALFcl::PrintLine(prefix + path);
}

} // namespace XALArc
