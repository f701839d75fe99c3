#pragma once

#include "fcl/Arena.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace XALFcl {

enum class FileKind { Regular, Directory, Other };

struct FileStatus {
    FileKind kind = FileKind::Other;
    std::int64_t modTime = 0; // whole seconds since 1970-01-01 00:00 UTC
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t permissions = 0; // the permission bits, 0777 at most
    bool isLink = false;           // only set by GetLinkStatus
};

enum class OpenMode {
    Read,           // regular files only; never blocks on a FIFO
    WriteTruncate,  // create or truncate; fails at once on a FIFO without a reader
    WriteExclusive, // create a new file; fails when anything (a link too) is there
    // A new file readable by its owner only, for a name that several
    // processes may write at once (a temporary file): it is created holding
    // an exclusive lock that other processes can test, kept until the file
    // object goes (past its Close). What is at the name already goes first
    // when it is not a regular file (a link is unlinked, never followed), and
    // when it is a regular file that nobody holds locked (the leftover of a
    // writer that died). A locked file there belongs to a live writer: the
    // open fails and the file is left alone.
    CreateLocked,
};

// One open file of a disk, for reading or for writing. Transfers may move
// fewer bytes than asked anywhere (an interrupted call); callers go on until
// they have all or the file ends. Nothing here buffers. A file object may be
// made in an arena (`new (arena) ...`): deleting it closes the file, and its
// memory goes with the arena.
class CDiskFile : public CArenaObject {
public:
    CDiskFile() = default;
    CDiskFile(const CDiskFile&) = delete;
    CDiskFile& operator=(const CDiskFile&) = delete;
    virtual ~CDiskFile();

    // At the current position: the number of bytes read, 0 at the end of
    // the file, -1 on an error.
    virtual std::int64_t Read(void* buffer, std::uint64_t count) = 0;
    // The same at an absolute offset, leaving the position alone.
    virtual std::int64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count) = 0;
    // The number of bytes written, at least 1 when `count` is not 0; -1 on
    // an error.
    virtual std::int64_t Write(const void* buffer, std::uint64_t count) = 0;
    // Origins SEEK_SET, SEEK_CUR, SEEK_END; the new position, or -1.
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
    // Closes the file for transfers; false when that reports an error. A
    // lock the file holds lasts until the object goes.
    virtual bool Close() = 0;

    // The status of the open file. For a file opened for reading, the first
    // answer may be the status that the open itself took.
    virtual bool GetStatus(FileStatus& status) = 0;
    virtual bool SetPermissions(std::uint32_t permissions) = 0;
    // Whether `path` itself (a final link not followed) still names this
    // file. After Close, only a file opened with CreateLocked can tell.
    virtual bool IsAt(const std::string& path) = 0;
};

// A name of a directory listing, with the kind of what it names where the
// disk tells it without a status query (never for a symbolic link).
struct DirectoryName {
    std::string name;
    FileKind kind = FileKind::Other;
    bool kindKnown = false;
};

// A directory of a disk held open: its names are listed and its files
// opened or examined by name, without the path to it being looked up again
// for each. It stays the directory it was when opened, wherever that goes.
class CDiskDirectory {
public:
    CDiskDirectory() = default;
    CDiskDirectory(const CDiskDirectory&) = delete;
    CDiskDirectory& operator=(const CDiskDirectory&) = delete;
    virtual ~CDiskDirectory();

    // As CDisk::ListDirectory with kinds.
    virtual bool List(std::vector<DirectoryName>& names) = 0;
    // The status of the directory itself.
    virtual bool GetStatus(FileStatus& status) = 0;
    // The status of what `name` names in it, links followed.
    virtual bool GetStatus(const std::string& name, FileStatus& status) = 0;
    // A file of it opened as CDisk::Open with OpenMode::Read opens one.
    virtual std::unique_ptr<CDiskFile> OpenFile(const std::string& name) = 0;
    // The same, the file object made in `arena`, which must outlive it. A
    // disk that does not do that makes it as OpenFile does.
    virtual std::unique_ptr<CDiskFile> OpenFileIn(CArena& arena, const std::string& name);
};

// What a range copy did: the bytes copied, and which side failed if one did.
struct CopyResult {
    std::uint64_t copied = 0;
    bool readFailed = false;
    bool writeFailed = false;
};

// Everything the tools do to a file system. The host's own disk is the
// programs' default (SystemDisk); tests and fuzzers use one held in memory.
// Paths go to the disk unchanged. Every operation reports failure by its
// result and leaves the errors to its caller.
class CDisk {
public:
    CDisk() = default;
    CDisk(const CDisk&) = delete;
    CDisk& operator=(const CDisk&) = delete;
    virtual ~CDisk();

    // Null when the file cannot be opened in that mode.
    virtual std::unique_ptr<CDiskFile> Open(const std::string& path, OpenMode mode) = 0;
    // Status following symbolic links; false when it cannot be had.
    virtual bool GetStatus(const std::string& path, FileStatus& status) = 0;
    // Status of the path itself, a final symbolic link not followed.
    virtual bool GetLinkStatus(const std::string& path, FileStatus& status) = 0;
    // The raw names of a directory in any order ("." and ".." included where
    // the disk reports them), appended to `names`.
    virtual bool ListDirectory(const std::string& path, std::vector<std::string>& names) = 0;
    // The same with the kinds that the listing itself tells.
    virtual bool ListDirectory(const std::string& path, std::vector<DirectoryName>& names) = 0;
    // The directory at `path` (links followed) held open; null when it
    // cannot be read.
    virtual std::unique_ptr<CDiskDirectory> OpenDirectory(const std::string& path) = 0;
    // One directory level.
    virtual bool MakeDirectory(const std::string& path) = 0;
    // Removes a name of a file (never a directory).
    virtual bool RemoveFile(const std::string& path) = 0;
    // Renames `from` to `to`, atomically replacing whatever is at `to`.
    virtual bool RenameReplace(const std::string& from, const std::string& to) = 0;
    // Makes `link` a second name of the existing file `existing`.
    virtual bool HardLink(const std::string& existing, const std::string& link) = 0;
    // The permission bits that a new file gets by default.
    virtual std::uint32_t DefaultPermissions() = 0;

    // Copies up to `count` bytes from `offset` of `from` to the current
    // position of `to`, fewer only where `from` ends. A plain buffered loop
    // over ReadAt and Write; a disk may do it faster.
    virtual CopyResult CopyRange(CDiskFile& from, std::int64_t offset, std::uint64_t count,
                                 CDiskFile& to);

    // A file may be held open from when a run first sees it until it is done
    // with it, which spares opening it twice. HoldOpenFile counts one more
    // such file and is false when the disk cannot have that many open at
    // once (the file is then opened again when needed); ReleaseOpenFile gives
    // one back.
    bool HoldOpenFile();
    void ReleaseOpenFile();

protected:
    // How many files may be held open that way.
    virtual std::uint64_t OpenFileLimit() = 0;

private:
    // A file held open may be given back by another thread.
    std::atomic<std::uint64_t> held_{0};
};

// The host's file system, implemented by the platform layer.
CDisk& SystemDisk();

// Writes all `count` bytes, going on after partial writes; false on an error.
bool WriteAll(CDiskFile& file, const void* buffer, std::uint64_t count);

} // namespace XALFcl
