// Large-file offsets on 32-bit hosts; must come before any system header.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "fcl/Platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace XALFcl::Platform {

static_assert(sizeof(off_t) >= sizeof(std::int64_t), "64-bit file offsets are required");

namespace {

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
    status.isLink = S_ISLNK(info.st_mode);
}

int OpenRetrying(const std::string& path, int flags, mode_t permissions) {
    int fd;
    do
        fd = ::open(path.c_str(), flags, permissions);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// A reader must never block on a FIFO or a device: open without blocking,
// accept regular files only, then switch back to blocking reads.
int OpenForReading(const std::string& path) {
    const int fd = OpenRetrying(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct stat info;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0
        || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool GetStatus(const std::string& path, FileStatus& status) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return false;
    FillStatus(info, status);
    return true;
}

bool GetLinkStatus(const std::string& path, FileStatus& status) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    FillStatus(info, status);
    return true;
}

bool GetOpenStatus(std::FILE* file, FileStatus& status) {
    struct stat info;
    if (file == nullptr || ::fstat(::fileno(file), &info) != 0)
        return false;
    FillStatus(info, status);
    return true;
}

std::FILE* OpenFile(const std::string& path, OpenMode mode) {
    int fd = -1;
    const char* stdioMode = "wb";
    switch (mode) {
    case OpenMode::Read:
        fd = OpenForReading(path);
        stdioMode = "rb";
        break;
    case OpenMode::WriteTruncate:
        fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        break;
    case OpenMode::WriteExclusive:
        fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        break;
    }
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, stdioMode);
    if (file == nullptr)
        ::close(fd);
    return file;
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
    return ::fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t TellFile(std::FILE* file) {
    return static_cast<std::int64_t>(::ftello(file));
}

std::int64_t ReadFileAt(std::FILE* file, std::int64_t offset, void* buffer, std::uint64_t count) {
    // Some hosts refuse single reads of 2 GiB or more.
    constexpr std::uint64_t kMaxRead = std::uint64_t{1} << 30;
    const int fd = ::fileno(file);
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::uint64_t done = 0;
    while (done < count) {
        const std::uint64_t want = std::min(count - done, kMaxRead);
        const ssize_t n = ::pread(fd, bytes + done, static_cast<std::size_t>(want),
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::uint64_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool ListDirectory(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return false;
    bool ok = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            ok = errno == 0;
            break;
        }
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return ok;
}

bool MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RenameReplace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool HardLink(const std::string& existing, const std::string& link) {
    return ::link(existing.c_str(), link.c_str()) == 0;
}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace XALFcl::Platform
