// Positions and sizes are 64-bit also where off_t defaults to 32 bits.
#define _FILE_OFFSET_BITS 64

#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
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
    status.length = static_cast<std::uint64_t>(st.st_size);
    return true;
}

// Clears O_NONBLOCK, set only so that opening could not wait; false on failure.
bool make_blocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Bytes written are gathered up to this many and handed on together; copies
// read straight into the same buffer, so large data moves in pieces this big.
constexpr std::size_t write_buffer_size = 256 * 1024;

// An open file descriptor. Reads go straight to the system; writes are
// gathered in a buffer that is allocated at the first write. The position of
// a regular file is kept here, so that asking for it costs no call.
class posix_file : public disk_file {
public:
    posix_file(int fd, bool regular, bool writable)
        : fd_(fd), regular_(regular), writable_(writable) {}
    posix_file(const posix_file&) = delete;
    posix_file& operator=(const posix_file&) = delete;
    ~posix_file() override {
        if (fd_ >= 0)
            ::close(fd_);
    }

    io_result read(void* buffer, std::size_t count) override {
        io_result result;
        if (!flush_buffer()) {
            result.status = io_status::failed;
            return result;
        }
        ssize_t got = ::read(fd_, buffer, count);
        // A regular file opened without waiting is read as if it waited.
        if (got < 0 && errno == EAGAIN && make_blocking(fd_))
            got = ::read(fd_, buffer, count);
        if (got < 0) {
            // A signal that cut the read short leaves nothing wrong with the
            // file; the rest can be read again.
            result.status = errno == EINTR ? io_status::interrupted : io_status::failed;
            return result;
        }
        result.count = static_cast<std::size_t>(got);
        position_ += result.count;
        return result;
    }

    io_result write(const void* data, std::size_t count) override {
        io_result result;
        if (!writable_ || (count > write_buffer_size - pending_ && !flush_buffer())) {
            result.status = io_status::failed;
            return result;
        }
        if (count >= write_buffer_size) {
            // Nothing is gathered now: a large write goes out as it is.
            const ssize_t put = ::write(fd_, data, count);
            if (put < 0) {
                result.status = errno == EINTR ? io_status::interrupted : io_status::failed;
                failed_ = failed_ || result.status == io_status::failed;
                return result;
            }
            result.count = static_cast<std::size_t>(put);
            position_ += result.count;
            return result;
        }
        allocate_buffer();
        std::memcpy(buffer_.get() + pending_, data, count);
        pending_ += count;
        position_ += count;
        result.count = count;
        return result;
    }

    copy_result copy_from(disk_file& source, std::size_t count) override {
        copy_result result;
        if (!writable_ || (pending_ == write_buffer_size && !flush_buffer())) {
            result.write = io_status::failed;
            return result;
        }
        allocate_buffer();
        const io_result read =
            source.read(buffer_.get() + pending_, std::min(count, write_buffer_size - pending_));
        result.count = read.count;
        result.read = read.status;
        pending_ += read.count;
        position_ += read.count;
        if (pending_ == write_buffer_size && !flush_buffer())
            result.write = io_status::failed;
        return result;
    }

    bool seek(std::uint64_t position) override {
        if (!flush_buffer()
            || position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())
            || ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
            return false;
        position_ = position;
        return true;
    }

    bool tell(std::uint64_t& position) override {
        if (regular_) {
            position = position_;
            return true;
        }
        // A device keeps its own position, or none.
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        if (at < 0)
            return false;
        position = static_cast<std::uint64_t>(at) + pending_;
        return true;
    }

    bool flush() override { return flush_buffer() && !failed_; }

    bool close() override {
        if (fd_ < 0)
            return false;
        const bool flushed = flush();
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 && flushed;
    }

    bool status(file_status& status) override {
        struct stat st;
        if (!flush_buffer() || ::fstat(fd_, &st) != 0 || st.st_size < 0)
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
    void allocate_buffer() {
        if (!buffer_)
            buffer_ = std::make_unique<unsigned char[]>(write_buffer_size);
    }

    // Writes out the gathered bytes, continuing short and interrupted
    // writes; false when that failed. Bytes that could not be written are
    // dropped, and the file reports the failure when flushed or closed.
    bool flush_buffer() {
        const std::size_t pending = pending_;
        pending_ = 0;
        for (std::size_t done = 0; done < pending;) {
            const ssize_t put = ::write(fd_, buffer_.get() + done, pending - done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                failed_ = true;
                return false;
            }
            done += static_cast<std::size_t>(put);
        }
        return true;
    }

    int fd_;
    bool regular_;
    bool writable_;
    std::uint64_t position_ = 0;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t pending_ = 0;
    bool failed_ = false;
};

class posix_disk : public disk {
public:
    std::unique_ptr<disk_file> open_for_reading(const std::string& path) override {
        if (!representable(path))
            return nullptr;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        // O_NONBLOCK stays set: reading a regular file does not wait either way.
        struct stat status;
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<posix_file>(fd, true, false);
    }

    std::unique_ptr<disk_file> open_for_writing(const std::string& path) override {
        if (!representable(path))
            return nullptr;
        // A FIFO without a reader fails to open at once instead of waiting for one.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0)
            return nullptr;
        struct stat status;
        if (!make_blocking(fd) || ::fstat(fd, &status) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<posix_file>(fd, S_ISREG(status.st_mode), true);
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
