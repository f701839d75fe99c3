#pragma once

// A disk held in memory, for tests and fuzz targets: wendle runs on it
// unchanged, and any of its calls can be made to go wrong.

#include "util/disk.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

// Regular files, devices (which cannot be read, and take every write and
// keep no position, like /dev/null) and symbolic and hard links, all named by
// normalised paths: "." and empty components are dropped and ".." folds the
// component before it. A relative path is relative to the root; directories
// are implicit, only the last component of a path may be a symbolic link, and
// a path holding a NUL byte names nothing, as on the host. Every change
// stamps its file with a clock that advances by one nanosecond each time.
//
// Every call of the disk and of the files it opened counts, from 1. One of
// them can be made to go wrong (inject), and writes can run out of space at
// a byte position (limit_space). Files must not outlive their disk.
class memory_disk : public disk {
public:
    enum class fault {
        fail,           // the call fails
        short_transfer, // a read or write moves at most half the bytes asked for
        interrupt,      // a read or write is interrupted before it moves a byte
    };

    memory_disk();
    ~memory_disk() override;
    memory_disk(const memory_disk&) = delete;
    memory_disk& operator=(const memory_disk&) = delete;

    // Setting up. Each replaces whatever held the name before.
    void add_file(const std::string& path, const std::string& bytes);
    void add_device(const std::string& path);
    void add_link(const std::string& path, const std::string& target);
    void add_hard_link(const std::string& path, const std::string& existing);
    void set_time(const std::string& path, file_time time);

    // Looking: whether the name exists (links not followed), and the bytes of
    // every regular file by name (links left out).
    bool exists(const std::string& path) const;
    std::map<std::string, std::string> files() const;

    // Makes call number `call` go wrong in the way `kind` says; short
    // transfers and interruptions touch only reads and writes, other calls
    // go on as usual.
    void inject(fault kind, std::size_t call);
    // Writes that would take a file past `bytes` bytes write up to there,
    // then fail for lack of space.
    void limit_space(std::uint64_t bytes);
    // How many calls were made so far.
    std::size_t calls() const { return calls_; }

    std::unique_ptr<disk_file> open_for_reading(const std::string& path) override;
    std::unique_ptr<disk_file> open_for_writing(const std::string& path) override;
    bool status_of(const std::string& path, path_status& status) override;
    bool link_status_of(const std::string& path, path_status& status) override;
    bool truncate(const std::string& path) override;
    bool unlink(const std::string& path) override;

private:
    enum class node_kind { regular, device, link };
    // What a name holds; hard links share one. A link's bytes are its target.
    struct node {
        node_kind kind = node_kind::regular;
        std::string bytes;
        file_time last_write;
        std::uint64_t inode = 0;
    };
    class file;

    // Counts a call; the fault it meets, if any.
    std::optional<fault> count_call();
    // The name that `path` leads to, links followed; empty after too many
    // links in a row.
    std::string resolve(const std::string& path) const;
    std::shared_ptr<node> find(const std::string& name) const;
    bool status_of_name(const std::string& name, path_status& status) const;
    std::shared_ptr<node> add(const std::string& path, node_kind kind);
    file_time tick();

    std::map<std::string, std::shared_ptr<node>> names_;
    std::uint64_t next_inode_ = 1;
    file_time clock_;
    std::size_t calls_ = 0;
    std::size_t fault_call_ = 0;
    fault fault_kind_ = fault::fail;
    std::uint64_t space_ = UINT64_MAX;
};
