#pragma once

// The only place where wendle meets the host's operating system. One
// implementation file per host family, chosen by the build; paths are handed
// to the OS as they are.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

// A path as the user wrote it, in the host's spelling: on POSIX hosts every
// "\" becomes "/".
std::string host_path(std::string text);

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using input_file = std::unique_ptr<std::FILE, file_closer>;

// Opens a regular file for binary reading without blocking on a FIFO or a
// device; empty when the path cannot be opened or is not a regular file.
input_file open_for_reading(const std::string& path);

// A last-write time at the file system's full resolution.
struct file_time {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
};

inline bool operator<(const file_time& a, const file_time& b) {
    return a.seconds != b.seconds ? a.seconds < b.seconds : a.nanoseconds < b.nanoseconds;
}

// The last-write time and the length of an open file.
struct file_status {
    file_time last_write;
    std::uint64_t length = 0;
};

// False when the status of the open file cannot be read.
bool status_of(std::FILE* file, file_status& status);

// The last-write time of a regular file, taken from the file opened for
// reading. False when it cannot be opened that way.
bool last_write_time(const std::string& path, file_time& time);

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

// The file that `path` leads to, links followed; false when there is none.
bool identify(const std::string& path, file_id& id);

// Opens a file for binary writing, creating it or emptying it, without
// waiting for a reader of a FIFO; null on failure.
std::FILE* open_for_writing(const std::string& path);

// What an output stream was opened on, to know later what may be removed.
struct output_identity {
    bool regular = false;
    file_id file;
};

output_identity identify(std::FILE* file);

// Takes back an output that was opened as `identity` and is closed now. A
// regular file is emptied, and its name is removed when the path itself
// still is that file (not a link to it); anything else (a device, a pipe, a
// file that another program put at the path meanwhile) is left alone.
void discard_output(const std::string& path, const output_identity& identity);

// A reader that goes away must not end the run by a signal.
void ignore_broken_pipe();

} // namespace platform
