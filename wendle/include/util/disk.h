#pragma once

// The disk as wendle reaches it: open files that read, write and seek, and
// the few things done to paths. One implementation per host family is the
// program's; another keeps every file in memory and can be told to fail any
// call, so that tests and fuzz targets run the tool without touching a disk.
// Paths are handed to the implementation as they are.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A last-write time at the file system's full resolution.
struct file_time {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
};

inline bool operator<(const file_time& a, const file_time& b) {
    return a.seconds != b.seconds ? a.seconds < b.seconds : a.nanoseconds < b.nanoseconds;
}

// Which file a path leads to: its device and inode.
struct file_id {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

inline bool operator==(const file_id& a, const file_id& b) {
    return a.device == b.device && a.inode == b.inode;
}
inline bool operator<(const file_id& a, const file_id& b) {
    return a.device != b.device ? a.device < b.device : a.inode < b.inode;
}

// The status of an open file.
struct file_status {
    file_time last_write;
    std::uint64_t length = 0;
    bool regular = false;
    file_id id;
};

// What a path names: which file, and whether it is a regular file.
struct path_status {
    file_id id;
    bool regular = false;
    std::uint64_t length = 0;
};

// How a read or a write ended. `count` bytes moved either way. An interrupted
// call may be repeated for the bytes it did not move; a failed one may not.
enum class io_status { done, interrupted, failed };

struct io_result {
    std::size_t count = 0;
    io_status status = io_status::done;
};

// How a copy from one file to another ended: `count` bytes were read and
// written; `read` tells how the read ended, as for a read, and `write` is
// failed when the bytes read could not all be written.
struct copy_result {
    std::size_t count = 0;
    io_status read = io_status::done;
    io_status write = io_status::done;
};

// One open file. It is closed when it goes away, if it was not closed before.
class disk_file {
public:
    virtual ~disk_file() = default;

    // Reads up to `count` bytes at the current position. Fewer bytes may come
    // back also before the end of the file; none, done, means the end.
    virtual io_result read(void* buffer, std::size_t count) = 0;
    // Writes up to `count` bytes at the current position. Fewer bytes may
    // move, also when the call is done.
    virtual io_result write(const void* data, std::size_t count) = 0;

    // Reads once from `source`, a file of the same disk, up to `count` bytes
    // at its position, and writes them here at the current position. Fewer
    // bytes may come as for a read; none, read done, means the source ended.
    // A disk may move the bytes without passing them through the caller.
    virtual copy_result copy_from(disk_file& source, std::size_t count) = 0;

    // Positions are counted in bytes from the start of the file.
    virtual bool seek(std::uint64_t position) = 0;
    virtual bool tell(std::uint64_t& position) = 0;
    // Hands written bytes on to the system.
    virtual bool flush() = 0;
    // Flushes and closes; false when either failed. The file is closed
    // afterwards in any case, and nothing else may be called on it.
    virtual bool close() = 0;
    virtual bool status(file_status& status) = 0;
};

class disk {
public:
    virtual ~disk() = default;

    // Opens a regular file for reading, without waiting on a FIFO or a
    // device; null when the path cannot be opened or is not a regular file.
    virtual std::unique_ptr<disk_file> open_for_reading(const std::string& path) = 0;
    // Opens a file for writing, creating it or emptying it, without waiting
    // for the reader of a FIFO; null on failure.
    virtual std::unique_ptr<disk_file> open_for_writing(const std::string& path) = 0;

    // The file that `path` leads to, links followed; false when there is none.
    virtual bool status_of(const std::string& path, path_status& status) = 0;
    // The same for the name itself: a symbolic link is not followed, and it
    // is not a regular file.
    virtual bool link_status_of(const std::string& path, path_status& status) = 0;

    // Empties the file that `path` leads to, links followed.
    virtual bool truncate(const std::string& path) = 0;
    // Removes the name `path`; a symbolic link goes, not what it leads to.
    virtual bool unlink(const std::string& path) = 0;
};
