#include "platform.h"

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

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

// Clears O_NONBLOCK, set only so that opening could not wait; false on failure.
bool make_blocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

std::string host_path(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

input_file open_for_reading(const std::string& path) {
    if (!representable(path))
        return input_file();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return input_file();
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !make_blocking(fd)) {
        ::close(fd);
        return input_file();
    }
    std::FILE* const file = ::fdopen(fd, "rb");
    if (file == nullptr)
        ::close(fd);
    return input_file(file);
}

bool status_of(std::FILE* file, file_status& status) {
    struct stat st;
    if (::fstat(::fileno(file), &st) != 0 || st.st_size < 0)
        return false;
#if defined(__APPLE__)
    status.last_write.seconds = st.st_mtimespec.tv_sec;
    status.last_write.nanoseconds = st.st_mtimespec.tv_nsec;
#else
    status.last_write.seconds = st.st_mtim.tv_sec;
    status.last_write.nanoseconds = st.st_mtim.tv_nsec;
#endif
    status.length = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool last_write_time(const std::string& path, file_time& time) {
    const input_file file = open_for_reading(path);
    file_status status;
    if (!file || !status_of(file.get(), status))
        return false;
    time = status.last_write;
    return true;
}

bool identify(const std::string& path, file_id& id) {
    struct stat status;
    if (!representable(path) || ::stat(path.c_str(), &status) != 0)
        return false;
    id = id_of(status);
    return true;
}

std::FILE* open_for_writing(const std::string& path) {
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
    std::FILE* const file = ::fdopen(fd, "wb");
    if (file == nullptr)
        ::close(fd);
    return file;
}

output_identity identify(std::FILE* file) {
    output_identity identity;
    struct stat status;
    if (::fstat(::fileno(file), &status) == 0) {
        identity.regular = S_ISREG(status.st_mode);
        identity.file = id_of(status);
    }
    return identity;
}

void discard_output(const std::string& path, const output_identity& identity) {
    if (!identity.regular)
        return;
    struct stat status;
    // Emptying first also clears the data that other hard links or a
    // symbolic link would still show after the name is gone.
    if (::stat(path.c_str(), &status) == 0 && id_of(status) == identity.file)
        static_cast<void>(::truncate(path.c_str(), 0));
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        id_of(status) == identity.file)
        ::unlink(path.c_str());
}

void ignore_broken_pipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace platform
