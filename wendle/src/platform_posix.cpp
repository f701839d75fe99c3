// Positions and sizes are 64-bit also where off_t defaults to 32 bits.
#define _FILE_OFFSET_BITS 64

#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace platform {

namespace {

static_assert(sizeof(off_t) >= sizeof(std::int64_t), "64-bit file positions");

// The OS sees a path up to its first NUL byte; such a path cannot name the
// file the user wrote.
bool representable(const std::string& path) {
    return path.find('\0') == std::string::npos;
}

file_id id_of(const struct stat& status) {
    file_id id;
    id.device = static_cast<std::uint64_t>(status.st_dev);
    id.inode = static_cast<std::uint64_t>(status.st_ino);
    return id;
}

// The status of a path by stat or lstat; false when the path cannot be seen.
bool status_by(int (*call)(const char*, struct stat*), const std::string& path,
               path_status& status) {
    struct stat st;
    if (!representable(path) || call(path.c_str(), &st) != 0)
        return false;
    status.id = id_of(st);
    status.regular = S_ISREG(st.st_mode);
    return true;
}

// Clears O_NONBLOCK, set only so that opening could not wait; false on failure.
bool make_blocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// An open file as a buffered stdio stream.
class posix_file : public disk_file {
public:
    explicit posix_file(std::FILE* file) : file_(file) {}
    posix_file(const posix_file&) = delete;
    posix_file& operator=(const posix_file&) = delete;
    ~posix_file() override {
        if (file_ != nullptr)
            std::fclose(file_);
    }

    io_result read(void* buffer, std::size_t count) override {
        io_result result;
        result.count = std::fread(buffer, 1, count, file_);
        if (result.count < count && std::ferror(file_)) {
            // A signal that cut the read short leaves nothing wrong with the
            // stream; the rest can be read again.
            result.status = errno == EINTR ? io_status::interrupted : io_status::failed;
            if (result.status == io_status::interrupted)
                std::clearerr(file_);
        }
        return result;
    }

    io_result write(const void* data, std::size_t count) override {
        io_result result;
        result.count = std::fwrite(data, 1, count, file_);
        if (result.count < count)
            result.status = io_status::failed;
        return result;
    }

    bool seek(std::uint64_t position) override {
        return position <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())
            && ::fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
    }

    bool tell(std::uint64_t& position) override {
        const off_t at = ::ftello(file_);
        if (at < 0)
            return false;
        position = static_cast<std::uint64_t>(at);
        return true;
    }

    bool flush() override { return std::fflush(file_) == 0 && std::ferror(file_) == 0; }

    bool close() override {
        if (file_ == nullptr)
            return false;
        std::FILE* const file = file_;
        file_ = nullptr;
        const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
        return std::fclose(file) == 0 && flushed;
    }

    bool status(file_status& status) override {
        struct stat st;
        if (::fstat(::fileno(file_), &st) != 0 || st.st_size < 0)
            return false;
#if defined(__APPLE__)
        status.last_write.seconds = st.st_mtimespec.tv_sec;
        status.last_write.nanoseconds = st.st_mtimespec.tv_nsec;
#else
        status.last_write.seconds = st.st_mtim.tv_sec;
        status.last_write.nanoseconds = st.st_mtim.tv_nsec;
#endif
        status.length = static_cast<std::uint64_t>(st.st_size);
        status.regular = S_ISREG(st.st_mode);
        status.id = id_of(st);
        return true;
    }

private:
    std::FILE* file_;
};

// Wraps an open descriptor in a stream; closes it and gives null on failure.
std::unique_ptr<disk_file> stream_of(int fd, const char* mode) {
    std::FILE* const file = ::fdopen(fd, mode);
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<posix_file>(file);
}

class posix_disk : public disk {
public:
    std::unique_ptr<disk_file> open_for_reading(const std::string& path) override {
        if (!representable(path))
            return nullptr;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat status;
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !make_blocking(fd)) {
            ::close(fd);
            return nullptr;
        }
        return stream_of(fd, "rb");
    }

    std::unique_ptr<disk_file> open_for_writing(const std::string& path) override {
        if (!representable(path))
            return nullptr;
        // A FIFO without a reader fails to open at once instead of waiting for one.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0)
            return nullptr;
        if (!make_blocking(fd)) {
            ::close(fd);
            return nullptr;
        }
        return stream_of(fd, "wb");
    }

    bool status_of(const std::string& path, path_status& status) override {
        return status_by(::stat, path, status);
    }

    bool link_status_of(const std::string& path, path_status& status) override {
        return status_by(::lstat, path, status);
    }

    bool truncate(const std::string& path) override {
        return representable(path) && ::truncate(path.c_str(), 0) == 0;
    }

    bool unlink(const std::string& path) override {
        return representable(path) && ::unlink(path.c_str()) == 0;
    }
};

} // namespace

std::string host_path(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

disk& host_disk() {
    static posix_disk host;
    return host;
}

void ignore_broken_pipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace platform
