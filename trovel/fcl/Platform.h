#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The only interface between the archive tool and the host. One
// implementation file per host family (PlatformPosix.cpp, and beside it a
// Windows one), chosen by the build. Paths are handed to the OS unchanged.
namespace XALFcl::Platform {

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

enum class FileKind { Regular, Directory, Other };

struct FileStatus {
    FileKind kind = FileKind::Other;
    std::int64_t modTime = 0;       // whole seconds since 1970-01-01 00:00 UTC
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t permissions = 0;  // the permission bits (0777 on POSIX)
    bool isLink = false;            // only set by GetLinkStatus
};

// Status of a path, following symbolic links. False when it cannot be had.
bool GetStatus(const std::string& path, FileStatus& status);
// Status of a path itself, without following a final symbolic link.
bool GetLinkStatus(const std::string& path, FileStatus& status);
// Status of an open file.
bool GetOpenStatus(std::FILE* file, FileStatus& status);

enum class OpenMode {
    Read,            // regular files only; never blocks on a FIFO
    WriteTruncate,   // create or truncate; fails at once on a FIFO without a reader
    WriteExclusive,  // create a new file; fails when anything (a link too) is there
    // A new file readable by its owner only, for a name that several
    // processes may write at once (a temporary file): it is created holding
    // an exclusive lock that other processes can test, kept until the file
    // is closed (or longer, see FileLock). What is at the name already goes
    // first when it is not a regular file (a link is unlinked, never
    // followed), and when it is a regular file that nobody holds locked (the
    // leftover of a writer that died). A locked file there belongs to a live
    // writer: the open fails and the file is left alone.
    CreateLocked,
};

// Opens a binary stdio stream, or returns null.
std::FILE* OpenFile(const std::string& path, OpenMode mode);

// Keeps the lock of a file opened with OpenMode::CreateLocked past the
// closing of its stream (the stream's close is checked before the file is
// renamed into place, and the lock must last until then). Released when the
// object goes away.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Shares the lock that `file` holds. False when it cannot.
    bool Hold(std::FILE* file);
    // Whether `path` itself (not followed) is still the locked file.
    bool IsAt(const std::string& path) const;

private:
    std::intptr_t handle = -1;
};

// Sets the permission bits of an open file.
bool SetPermissions(std::FILE* file, std::uint32_t permissions);
// The permission bits that a new file gets by default (on POSIX 0666 less
// the process's umask).
std::uint32_t DefaultPermissions();

// 64-bit positioning of a stdio stream; origin is SEEK_SET, SEEK_CUR or SEEK_END.
bool SeekFile(std::FILE* file, std::int64_t offset, int origin);
// The position, or -1 on failure.
std::int64_t TellFile(std::FILE* file);
// Reads `count` bytes at the absolute `offset` of an open file, around its
// stdio buffer and without moving its position; fewer only where the file
// ends. The number read, or -1 on a read error.
std::int64_t ReadFileAt(std::FILE* file, std::int64_t offset, void* buffer, std::uint64_t count);

// The raw names of a directory, in the order the OS delivers them ("." and
// ".." included where the OS reports them). False when it cannot be read.
bool ListDirectory(const std::string& path, std::vector<std::string>& names);

// One directory level.
bool MakeDirectory(const std::string& path);
// Removes a file (never a directory).
bool RemoveFile(const std::string& path);
// Renames `from` to `to`, atomically replacing whatever is at `to`.
bool RenameReplace(const std::string& from, const std::string& to);
// Makes `link` a second name of the existing file `existing`.
bool HardLink(const std::string& existing, const std::string& link);

// A closed pipe on standard output must not kill a run before it saves.
void IgnoreBrokenPipe();

} // namespace XALFcl::Platform
