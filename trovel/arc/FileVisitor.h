#pragma once

#include <memory>
#include <string>
#include <vector>

namespace XALFcl {
class CDiskDirectory;
class CFileFinder;
class CFileInputStream;
} // namespace XALFcl

namespace XALArc {

class CArchive;
class CDirEntry;
class CFileEntry;

// Walks the disk side of an operand: turns a file or a directory on disk,
// paired with an archive path, into one VisitFile call per file.
class CFileVisitor {
public:
    CFileVisitor(CArchive* archive, const std::vector<std::string>* excludes);
    virtual ~CFileVisitor() = default;

    // A disk directory that maps to this absolute archive path is about to be
    // walked.
    virtual void EnterDirectory(const std::string& archivePath);
    virtual void VisitFile(const std::string& archivePath, const std::string& diskPath) = 0;

    // "." and "..", and the names given with --exclude (exact, case-sensitive).
    bool IsExcluded(const std::string& name) const;
    // One operand: a directory is walked, anything else is one file.
    void Import(const std::string& archivePath, const std::string& diskPath);
    void ImportDirectory(const std::string& archivePath, const std::string& diskPath);
    // A progress line, when verbose.
    void Report(const char* prefix, const std::string& path) const;

    CArchive* archive;
    const std::vector<std::string>* excludes;
    bool verbose = false;

protected:
    // Finds or creates the directory in the archive, for the visitors whose
    // EnterDirectory registers every directory walked. Should the walk fail
    // before the directory has been read, the directories this created are
    // removed again.
    void RegisterDirectory(const std::string& archivePath);

    // The archive's FindFile and AddFile, for the path of a visited file. The
    // files of one disk directory share the lookup of their archive
    // directory, which is remembered until the next operand.
    CFileEntry* FindFile(const std::string& archivePath);
    CFileEntry* AddFile(const std::string& archivePath, const std::string& diskPath);
    // Makes the disk file being visited the contents of `file`.
    void LoadVisited(CFileEntry& file, const std::string& diskPath);
    // The disk file being visited, opened for reading.
    XALFcl::CFileInputStream OpenVisited(const std::string& diskPath);

private:
    // Registers the directory, then reads the open `directory` (null: it
    // could not be opened).
    XALFcl::CFileFinder EnterAndRead(const std::string& archivePath, const std::string& diskPath,
                                     XALFcl::CDiskDirectory* directory);

    // The directory that entering a disk directory registered, if any.
    CDirEntry* registered_ = nullptr;
    // The directory, held open, and the name of the file being visited.
    XALFcl::CDiskDirectory* visitedDirectory_ = nullptr;
    const std::string* visitedName_ = nullptr;

    // The archive directory of the files visited last, by its path: the
    // entry, or null while the archive has none. A walk deletes directories
    // only when it fails, so the entry stays valid until the next operand.
    void Remember(const std::string& archivePath, std::size_t slash, CDirEntry* dir);
    std::string knownPath_;
    CDirEntry* knownDir_ = nullptr;
    bool known_ = false;

    // Where RegisterDirectory records what it created, while a directory is
    // being entered.
    std::vector<CDirEntry*>* created_ = nullptr;
};

} // namespace XALArc
