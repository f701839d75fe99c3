// wendle's host part on Windows: paths are UTF-8 inside the program and go
// to the wide-character API; positions are 64-bit.
#include "platform.h"

#include <algorithm>
#include <limits>
#include <memory>

#include <windows.h>

namespace platform {

namespace {

// A path as the wide API takes it; false when there is none (a NUL byte, or
// bytes that are not UTF-8).
bool widen(const std::string& text, std::wstring& wide) {
    if (text.empty() || text.find('\0') != std::string::npos)
        return false;
    const int size = static_cast<int>(text.size());
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.assign(static_cast<std::size_t>(length), L'\0');
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], length)
        == length;
}

HANDLE open_path(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
    std::wstring wide;
    if (!widen(path, wide))
        return INVALID_HANDLE_VALUE;
    return ::CreateFileW(wide.c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, flags, nullptr);
}

constexpr std::int64_t ticks_per_second = 10000000;
// 1601-01-01 to 1970-01-01 in 100 ns ticks.
constexpr std::int64_t epoch_ticks = 11644473600LL * ticks_per_second;

file_time time_of(const FILETIME& time) {
    const std::int64_t ticks =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32
                                  | time.dwLowDateTime)
        - epoch_ticks;
    std::int64_t seconds = ticks / ticks_per_second;
    std::int64_t rest = ticks % ticks_per_second;
    if (rest < 0) {
        rest += ticks_per_second;
        --seconds;
    }
    file_time result;
    result.seconds = seconds;
    result.nanoseconds = rest * 100;
    return result;
}

file_id id_of(const BY_HANDLE_FILE_INFORMATION& info) {
    file_id id;
    id.device = info.dwVolumeSerialNumber;
    id.inode = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return id;
}

// A regular file: on a disk, neither a directory nor, examined as itself, a
// link.
bool is_regular(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info, bool as_link) {
    return ::GetFileType(handle) == FILE_TYPE_DISK
        && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        && !(as_link && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT));
}

bool status_by(const std::string& path, bool as_link, path_status& status) {
    const HANDLE handle =
        open_path(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | (as_link ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    if (known) {
        status.id = id_of(info);
        status.regular = is_regular(handle, info, as_link);
        status.length = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    }
    ::CloseHandle(handle);
    return known;
}

// A single ReadFile or WriteFile moves a 32-bit count at most.
DWORD transfer_size(std::size_t count) {
    return static_cast<DWORD>(std::min<std::size_t>(count, std::size_t{1} << 30));
}

// Copies move their bytes through a buffer this big, allocated at the first.
constexpr std::size_t copy_buffer_size = 256 * 1024;

// An open file. The position is kept here and every transfer on a disk file
// names its offset. Writes go straight to the system: wendle gathers its
// small fields itself, and its wave data comes by copies in large pieces.
class windows_file : public disk_file {
public:
    windows_file(HANDLE handle, bool writable)
        : handle_(handle), seekable_(::GetFileType(handle) == FILE_TYPE_DISK), writable_(writable) {
    }
    windows_file(const windows_file&) = delete;
    windows_file& operator=(const windows_file&) = delete;
    ~windows_file() override {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }

    io_result read(void* buffer, std::size_t count) override {
        io_result result;
        DWORD got = 0;
        if (!::ReadFile(handle_, buffer, transfer_size(count), &got, at())
            && ::GetLastError() != ERROR_HANDLE_EOF) {
            result.status = io_status::failed;
            return result;
        }
        result.count = got;
        position_ += got;
        return result;
    }

    io_result write(const void* data, std::size_t count) override {
        io_result result;
        DWORD put = 0;
        if (!writable_ || !::WriteFile(handle_, data, transfer_size(count), &put, at())) {
            failed_ = failed_ || writable_;
            result.status = io_status::failed;
            return result;
        }
        result.count = put;
        position_ += put;
        return result;
    }

    copy_result copy_from(disk_file& source, std::size_t count) override {
        copy_result result;
        if (!buffer_)
            buffer_ = std::make_unique<unsigned char[]>(copy_buffer_size);
        const io_result read = source.read(buffer_.get(), std::min(count, copy_buffer_size));
        result.read = read.status;
        for (std::size_t done = 0; done < read.count;) {
            const io_result put = write(buffer_.get() + done, read.count - done);
            if (put.status == io_status::failed || put.count == 0) {
                result.write = io_status::failed;
                break;
            }
            done += put.count;
            result.count = done;
        }
        return result;
    }

    bool seek(std::uint64_t position) override {
        if (position > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return false;
        position_ = position;
        return true;
    }

    // A device keeps no position: like /dev/null on POSIX hosts, it is
    // always at its start.
    bool tell(std::uint64_t& position) override {
        position = seekable_ ? position_ : 0;
        return true;
    }

    bool flush() override { return !failed_; }

    bool close() override {
        if (handle_ == INVALID_HANDLE_VALUE)
            return false;
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0 && !failed_;
    }

    bool status(file_status& status) override {
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(handle_, &info))
            return false;
        status.last_write = time_of(info.ftLastWriteTime);
        status.length = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
        status.regular = is_regular(handle_, info, false);
        status.id = id_of(info);
        return true;
    }

private:
    // The offset of a transfer at the position: only disk files take one.
    OVERLAPPED* at() {
        if (!seekable_)
            return nullptr;
        overlapped_ = OVERLAPPED{};
        overlapped_.Offset = static_cast<DWORD>(position_);
        overlapped_.OffsetHigh = static_cast<DWORD>(position_ >> 32);
        return &overlapped_;
    }

    HANDLE handle_;
    bool seekable_;
    bool writable_;
    std::uint64_t position_ = 0;
    OVERLAPPED overlapped_{};
    std::unique_ptr<unsigned char[]> buffer_;
    // A write failed: the file reports it when flushed or closed.
    bool failed_ = false;
};

class windows_disk : public disk {
public:
    std::unique_ptr<disk_file> open_for_reading(const std::string& path) override {
        const HANDLE handle = open_path(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(handle, &info) || !is_regular(handle, info, false)) {
            ::CloseHandle(handle);
            return nullptr;
        }
        return std::make_unique<windows_file>(handle, false);
    }

    std::unique_ptr<disk_file> open_for_writing(const std::string& path) override {
        const HANDLE handle = open_path(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<windows_file>(handle, true);
    }

    bool status_of(const std::string& path, path_status& status) override {
        return status_by(path, false, status);
    }

    bool link_status_of(const std::string& path, path_status& status) override {
        return status_by(path, true, status);
    }

    bool truncate(const std::string& path) override {
        const HANDLE handle =
            open_path(path, GENERIC_WRITE, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL);
        return handle != INVALID_HANDLE_VALUE && ::CloseHandle(handle) != 0;
    }

    bool unlink(const std::string& path) override {
        std::wstring wide;
        return widen(path, wide) && ::DeleteFileW(wide.c_str()) != 0;
    }
};

} // namespace

// Windows takes both "\" and "/" as separators: a path stays as written.
std::string host_path(std::string text) {
    return text;
}

disk& host_disk() {
    static windows_disk host;
    return host;
}

// Windows raises no signal for a closed pipe: the write fails instead.
void ignore_broken_pipe() {}

} // namespace platform
