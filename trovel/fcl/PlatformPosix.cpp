// Large-file offsets on 32-bit hosts; must come before any system header.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "fcl/Arena.h"
#include "fcl/Disk.h"
#include "fcl/FileName.h"
#include "fcl/Platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace XALFcl {

static_assert(sizeof(off_t) >= sizeof(std::int64_t), "64-bit file offsets are required");

namespace Platform {

const char kNativeSeparator = '/';
const char* const kTextLineEnd = "\n";

bool IsReservedFileName(const std::string& name) {
    return IsPosixReservedName(name);
}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace Platform

namespace {

// Some hosts refuse single transfers of 2 GiB or more.
constexpr std::uint64_t kMaxTransfer = std::uint64_t{1} << 30;

std::size_t TransferSize(std::uint64_t count) {
    return static_cast<std::size_t>(std::min(count, kMaxTransfer));
}

void FillStatus(const struct stat& info, FileStatus& status) {
    if (S_ISREG(info.st_mode))
        status.kind = FileKind::Regular;
    else if (S_ISDIR(info.st_mode))
        status.kind = FileKind::Directory;
    else
        status.kind = FileKind::Other;
    status.modTime = static_cast<std::int64_t>(info.st_mtime);
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.device = static_cast<std::uint64_t>(info.st_dev);
    status.inode = static_cast<std::uint64_t>(info.st_ino);
    status.permissions = static_cast<std::uint32_t>(info.st_mode & 0777);
    status.isLink = S_ISLNK(info.st_mode);
}

// The status of a path by `call` (stat or lstat).
bool StatusOf(int (*call)(const char*, struct stat*), const std::string& path, FileStatus& status) {
    struct stat info;
    if (call(path.c_str(), &info) != 0)
        return false;
    FillStatus(info, status);
    return true;
}

int OpenRetrying(const std::string& path, int flags, mode_t permissions) {
    int fd;
    do
        fd = ::open(path.c_str(), flags, permissions);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Clears O_NONBLOCK on an open descriptor; closes it on failure.
int MakeBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A reader must never block on a FIFO or a device: open without blocking
// and accept regular files only, whose reads O_NONBLOCK does not change, so
// it stays. The status taken here is kept in `info`. A relative path is
// taken from the directory `at` (AT_FDCWD: the current one).
int OpenForReading(const std::string& path, struct stat& info, int at = AT_FDCWD) {
    int fd;
    do
        fd = ::openat(at, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A writer must not wait for a FIFO's reader: without one the open fails at
// once (ENXIO); with one, writes block as usual.
int OpenForWriting(const std::string& path) {
    const int fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    return fd < 0 ? -1 : MakeBlocking(fd);
}

// The locks of OpenMode::CreateLocked are flock locks: they belong to the
// open file, so a duplicate of its descriptor keeps them, and they vanish
// with the last descriptor (a writer that dies leaves an unlocked file).
// A file system that has no locks at all (some network shares) cannot tell
// a live writer from a dead one: there the lock counts as taken, and runs
// saving at once are not kept apart, as on a host without locks.
bool TryLock(int fd) {
    int result;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0 || errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOTSUP
        || errno == EINVAL;
}

// Whether `path` itself, not followed, is the open file `fd`.
bool NameRefersTo(int fd, const std::string& path) {
    struct stat opened, named;
    return fd >= 0 && ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0
        && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// OpenMode::CreateLocked. Every round either creates and locks the file, or
// clears away what was in the way; a round lost to another process (which
// removed or replaced the name in between) is tried again a few times.
int CreateLocked(const std::string& path) {
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        const int fd =
            OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // Until it is locked, another process may take the new file for
            // a leftover: it then holds the lock (we lose), or has already
            // removed the name (we start again).
            const bool locked = TryLock(fd);
            if (locked && NameRefersTo(fd, path))
                return fd;
            ::close(fd);
            if (!locked)
                return -1;
            continue;
        }
        if (errno != EEXIST)
            return -1;
        struct stat there;
        if (::lstat(path.c_str(), &there) != 0) {
            if (errno == ENOENT)
                continue;
            return -1;
        }
        if (!S_ISREG(there.st_mode)) {
            if (::unlink(path.c_str()) != 0 && errno != ENOENT)
                return -1;
            continue;
        }
        const int probe = OpenRetrying(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
        if (probe < 0) {
            if (errno == ENOENT || errno == ELOOP)
                continue;
            return -1;
        }
        // A live writer holds its lock until its file has left the name. An
        // unlocked file is a dead writer's leftover: it is removed under its
        // lock, unless the name has moved on meanwhile.
        const bool live = !TryLock(probe);
        const bool failed = live || (NameRefersTo(probe, path) && ::unlink(path.c_str()) != 0);
        ::close(probe);
        if (failed)
            return -1;
    }
    return -1;
}

class CPosixFile : public CDiskFile {
public:
    // `lockFd` duplicates `fd` for a file that must stay locked past Close.
    // `opened` is the status taken by the open, when it took one.
    CPosixFile(int fd, int lockFd, const struct stat* opened) : fd_(fd), lockFd_(lockFd) {
        if (opened != nullptr) {
            opened_ = *opened;
            haveOpened_ = true;
        }
    }
    ~CPosixFile() override {
        if (fd_ >= 0)
            ::close(fd_);
        if (lockFd_ >= 0)
            ::close(lockFd_);
    }

    std::int64_t Read(void* buffer, std::uint64_t count) override {
        ssize_t n;
        do
            n = ::read(fd_, buffer, TransferSize(count));
        while (n < 0 && errno == EINTR);
        return n;
    }

    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count) override {
        ssize_t n;
        do
            n = ::pread(fd_, buffer, TransferSize(count), static_cast<off_t>(offset));
        while (n < 0 && errno == EINTR);
        return n;
    }

    std::int64_t Write(const void* buffer, std::uint64_t count) override {
        ssize_t n;
        do
            n = ::write(fd_, buffer, TransferSize(count));
        while (n < 0 && errno == EINTR);
        return count > 0 && n == 0 ? -1 : n;
    }

    std::int64_t Seek(std::int64_t offset, int origin) override {
        return static_cast<std::int64_t>(::lseek(fd_, static_cast<off_t>(offset), origin));
    }

    bool Close() override {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

    // The first question after the open is answered by the status the open
    // took: a reader asks it at once, and nothing of ours changed the file.
    bool GetStatus(FileStatus& status) override {
        struct stat info;
        if (haveOpened_)
            info = opened_;
        else if (::fstat(Identity(), &info) != 0)
            return false;
        haveOpened_ = false;
        FillStatus(info, status);
        return true;
    }

    bool SetPermissions(std::uint32_t permissions) override {
        haveOpened_ = false;
        return ::fchmod(fd_, static_cast<mode_t>(permissions & 0777)) == 0;
    }

    bool IsAt(const std::string& path) override { return NameRefersTo(Identity(), path); }

private:
    // A descriptor of the file for questions about it, also after Close.
    int Identity() const { return fd_ >= 0 ? fd_ : lockFd_; }

    int fd_;
    int lockFd_;
    struct stat opened_ {};
    bool haveOpened_ = false;
};

// Hands every entry of an open directory stream to `take`.
template <class Take>
bool ReadEntries(DIR* dir, Take take) {
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr)
            return errno == 0;
        take(*entry);
    }
}

DirectoryName NameOf(const dirent& entry) {
    DirectoryName name;
    name.name = entry.d_name;
#ifdef DT_REG
    name.kindKnown = entry.d_type == DT_REG || entry.d_type == DT_DIR;
    name.kind = entry.d_type == DT_REG ? FileKind::Regular
        : entry.d_type == DT_DIR       ? FileKind::Directory
                                       : FileKind::Other;
#endif
    return name;
}

class CPosixDirectory : public CDiskDirectory {
public:
    explicit CPosixDirectory(DIR* dir) : dir_(dir) {}
    ~CPosixDirectory() override { ::closedir(dir_); }

    bool List(std::vector<DirectoryName>& names) override {
        ::rewinddir(dir_);
        return ReadEntries(dir_, [&](const dirent& entry) { names.push_back(NameOf(entry)); });
    }

    bool GetStatus(FileStatus& status) override {
        struct stat info;
        if (::fstat(::dirfd(dir_), &info) != 0)
            return false;
        FillStatus(info, status);
        return true;
    }

    bool GetStatus(const std::string& name, FileStatus& status) override {
        struct stat info;
        if (::fstatat(::dirfd(dir_), name.c_str(), &info, 0) != 0)
            return false;
        FillStatus(info, status);
        return true;
    }

    std::unique_ptr<CDiskFile> OpenFile(const std::string& name) override {
        return Open(name, nullptr);
    }

    std::unique_ptr<CDiskFile> OpenFileIn(CArena& arena, const std::string& name) override {
        return Open(name, &arena);
    }

private:
    std::unique_ptr<CDiskFile> Open(const std::string& name, CArena* arena) {
        struct stat opened;
        const int fd = OpenForReading(name, opened, ::dirfd(dir_));
        if (fd < 0)
            return nullptr;
        if (arena != nullptr)
            return std::unique_ptr<CDiskFile>(new (*arena) CPosixFile(fd, -1, &opened));
        return std::make_unique<CPosixFile>(fd, -1, &opened);
    }

    DIR* dir_;
};

class CPosixDisk : public CDisk {
public:
    // Hands every entry of the directory to `take`.
    template <class Take>
    static bool List(const std::string& path, Take take) {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr)
            return false;
        const bool ok = ReadEntries(dir, take);
        ::closedir(dir);
        return ok;
    }

    std::unique_ptr<CDiskDirectory> OpenDirectory(const std::string& path) override {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr)
            return nullptr;
        return std::make_unique<CPosixDirectory>(dir);
    }

    std::unique_ptr<CDiskFile> Open(const std::string& path, OpenMode mode) override {
        int fd = -1;
        struct stat opened;
        switch (mode) {
        case OpenMode::Read: fd = OpenForReading(path, opened); break;
        case OpenMode::WriteTruncate: fd = OpenForWriting(path); break;
        case OpenMode::WriteExclusive:
            fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            break;
        case OpenMode::CreateLocked: fd = CreateLocked(path); break;
        }
        if (fd < 0)
            return nullptr;
        int lockFd = -1;
        if (mode == OpenMode::CreateLocked) {
            lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            if (lockFd < 0) {
                ::close(fd);
                return nullptr;
            }
        }
        return std::make_unique<CPosixFile>(fd, lockFd, mode == OpenMode::Read ? &opened : nullptr);
    }

    bool GetStatus(const std::string& path, FileStatus& status) override {
        return StatusOf(::stat, path, status);
    }

    bool GetLinkStatus(const std::string& path, FileStatus& status) override {
        return StatusOf(::lstat, path, status);
    }

    bool ListDirectory(const std::string& path, std::vector<std::string>& names) override {
        return List(path, [&](const dirent& entry) { names.emplace_back(entry.d_name); });
    }

    bool ListDirectory(const std::string& path, std::vector<DirectoryName>& names) override {
        return List(path, [&](const dirent& entry) { names.push_back(NameOf(entry)); });
    }

    bool MakeDirectory(const std::string& path) override {
        return ::mkdir(path.c_str(), 0777) == 0;
    }

    bool RemoveFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    bool RenameReplace(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }

    bool HardLink(const std::string& existing, const std::string& link) override {
        return ::link(existing.c_str(), link.c_str()) == 0;
    }

    // The soft limit of open files is raised to the hard one once; a margin
    // stays for the files that a run opens besides (archive, temporary file,
    // backup, header, standard streams).
    std::uint64_t OpenFileLimit() override {
        static const std::uint64_t limit = [] {
            constexpr rlim_t kMargin = 64;
            constexpr rlim_t kEnough = rlim_t{1} << 17;
            struct rlimit files;
            if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
                return std::uint64_t{0};
            if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < kEnough
                && files.rlim_cur < files.rlim_max) {
                struct rlimit raised = files;
                raised.rlim_cur = std::min(files.rlim_max, kEnough);
                if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
                    files = raised;
            }
            const rlim_t current = std::min(files.rlim_cur, kEnough);
            return static_cast<std::uint64_t>(current > 2 * kMargin ? current - kMargin : 0);
        }();
        return limit;
    }

    std::uint32_t DefaultPermissions() override {
        // The umask can only be read by setting it; the tools are
        // single-threaded.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<std::uint32_t>(0666 & ~mask);
    }
};

} // namespace

CDisk& SystemDisk() {
    static CPosixDisk disk;
    return disk;
}

} // namespace XALFcl
