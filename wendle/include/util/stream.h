#pragma once

// Helpers over open disk files for the console's little-endian binary
// formats: exact-size reads, integer and tag writes, zero padding, and fields
// whose value is patched in later, so that a writer can emit a file strictly
// front to back although some sizes and offsets are known only at the end.
// Reads and writes that the file cuts short or that are interrupted are
// continued here, so that callers see only whole transfers or failures.

#include "util/disk.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace strm {

// A binary read delivered fewer bytes than asked for: the file ended first.
struct failure {};

// A read failed: the file could not deliver bytes that it holds.
struct read_failure {};

// A write, seek or position query on an output failed, or a size or offset
// no longer fits the 32-bit field that has to hold it.
struct write_failure {};

using position = std::uint64_t;

// The largest value a 32-bit size or offset field can hold.
constexpr position max_field_value = 0xFFFFFFFFu;

// The generic file header: its length and the byte-order mark it starts with
// after the magic.
constexpr std::uint16_t file_header_size = 16;
constexpr std::uint16_t byte_order_mark = 0xFEFF;

inline position tell(disk_file& stream) {
    position at = 0;
    if (!stream.tell(at))
        throw write_failure{};
    return at;
}

inline void seek(disk_file& stream, position at) {
    if (!stream.seek(at))
        throw write_failure{};
}

// Reads up to `count` bytes, fewer only when the file ends first; 0 at the
// end. A failed read raises read_failure.
inline std::size_t read_some(disk_file& stream, void* buffer, std::size_t count) {
    unsigned char* const bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const io_result result = stream.read(bytes + done, count - done);
        done += result.count;
        if (result.status == io_status::failed)
            throw read_failure{};
        if (result.status == io_status::done && result.count == 0)
            break;
    }
    return done;
}

inline void read_bytes(disk_file& stream, void* buffer, std::size_t count) {
    if (read_some(stream, buffer, count) != count)
        throw failure{};
}

inline std::uint8_t read_u8(disk_file& stream) {
    unsigned char b[1];
    read_bytes(stream, b, sizeof b);
    return b[0];
}

inline std::uint16_t read_u16(disk_file& stream) {
    unsigned char b[2];
    read_bytes(stream, b, sizeof b);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

inline std::uint32_t read_u32(disk_file& stream) {
    unsigned char b[4];
    read_bytes(stream, b, sizeof b);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8
        | static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

inline void write_bytes(disk_file& stream, const void* data, std::size_t count) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const io_result result = stream.write(bytes, count);
        // A write that is done but moved nothing would never finish.
        if (result.status == io_status::failed
            || (result.status == io_status::done && result.count == 0))
            throw write_failure{};
        bytes += result.count;
        count -= result.count;
    }
}

inline void write_u8(disk_file& stream, std::uint8_t value) {
    write_bytes(stream, &value, 1);
}

inline void write_u16(disk_file& stream, std::uint16_t value) {
    const unsigned char b[2] = {static_cast<unsigned char>(value),
                                static_cast<unsigned char>(value >> 8)};
    write_bytes(stream, b, sizeof b);
}

inline void write_u32(disk_file& stream, std::uint32_t value) {
    const unsigned char b[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    write_bytes(stream, b, sizeof b);
}

// A four-character tag held as one 32-bit value whose most significant byte
// is the first character; it is stored in reading order.
class block_tag {
public:
    constexpr explicit block_tag(std::uint32_t value) : value_(value) {}
    constexpr explicit block_tag(const char (&text)[5])
        : value_(static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24
                 | static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16
                 | static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8
                 | static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]))) {}

    constexpr std::uint32_t value() const { return value_; }
    constexpr bool operator==(const block_tag& other) const { return value_ == other.value_; }
    constexpr bool operator!=(const block_tag& other) const { return value_ != other.value_; }

private:
    std::uint32_t value_;
};

inline block_tag read_tag(disk_file& stream) {
    unsigned char b[4];
    read_bytes(stream, b, sizeof b);
    return block_tag(static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16
                     | static_cast<std::uint32_t>(b[2]) << 8 | static_cast<std::uint32_t>(b[3]));
}

inline void write(disk_file& stream, const block_tag& tag) {
    const std::uint32_t v = tag.value();
    const unsigned char b[4] = {static_cast<unsigned char>(v >> 24),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    write_bytes(stream, b, sizeof b);
}

// Written to a stream, pads it with zero bytes up to the next multiple of n.
struct align {
    explicit align(unsigned n) : n_(n) {}
    unsigned n_;
};

inline void write(disk_file& stream, const align& to) {
    const position remainder = tell(stream) % to.n_;
    if (remainder == 0)
        return;
    for (position i = remainder; i < to.n_; ++i)
        write_u8(stream, 0);
}

// A 32-bit field whose value is known only after it has been written. Until
// it is resolved, every write of it leaves four zero bytes and remembers
// where they are; resolving patches all of them.
class writeback_field {
public:
    std::uint32_t value() const { return value_; }

private:
    friend void write(disk_file& stream, writeback_field& field);
    friend void resolve(writeback_field& field, disk_file& stream, position base);

    std::vector<position> pending_;
    std::uint32_t value_ = 0;
    bool writeback_ = false;
};

inline void write(disk_file& stream, writeback_field& field) {
    if (field.writeback_) {
        write_u32(stream, field.value_);
        return;
    }
    field.pending_.push_back(tell(stream));
    write_u32(stream, 0);
}

// Fixes the field to the current position minus base, patches every place
// it was written at, and returns to the current position.
inline void resolve(writeback_field& field, disk_file& stream, position base) {
    assert(!field.writeback_);
    const position here = tell(stream);
    if (here < base || here - base > max_field_value)
        throw write_failure{};
    field.value_ = static_cast<std::uint32_t>(here - base);
    for (const position at : field.pending_) {
        seek(stream, at);
        write_u32(stream, field.value_);
    }
    field.pending_.clear();
    seek(stream, here);
    field.writeback_ = true;
}

// Completes a writer that goes out of scope unfinished, as far as it can. When
// that happens during unwinding, the failure that started the unwinding is
// the one reported, so a failure here is ignored.
template <class Writer>
void finish_quietly(Writer& writer) noexcept {
    if (writer.finished())
        return;
    try {
        writer.finish();
    } catch (const write_failure&) {
    }
}

// Writes the 16-byte generic file header at the start of a file and, when
// finished, its file size: the length of the file, padded to a multiple of 4.
// Finishing is the last write, so this writer must finish after every other.
// One that goes out of scope unfinished finishes then, ignoring failures.
class file_header_writer {
public:
    file_header_writer(disk_file& stream, block_tag magic, std::uint16_t version,
                       std::uint16_t block_count)
        : stream_(stream) {
        write(stream_, magic);
        write_u16(stream_, byte_order_mark);
        write_u16(stream_, version);
        write_u32(stream_, 0);
        write_u16(stream_, file_header_size);
        write_u16(stream_, block_count);
        write(stream_, align(4));
    }
    file_header_writer(const file_header_writer&) = delete;
    file_header_writer& operator=(const file_header_writer&) = delete;

    ~file_header_writer() { finish_quietly(*this); }

    bool finished() const { return finished_; }
    void finish() {
        finished_ = true;
        write(stream_, align(4));
        const position length = tell(stream_);
        if (length > max_field_value)
            throw write_failure{};
        seek(stream_, file_size_position);
        write_u32(stream_, static_cast<std::uint32_t>(length));
    }

private:
    static constexpr position file_size_position = 8;

    disk_file& stream_;
    bool finished_ = false;
};

// Writes a block header (kind and size) and, when finished, pads the block
// to a multiple of 4, fills in its size and returns to its end. One that goes
// out of scope unfinished finishes then, ignoring failures.
class block_writer {
public:
    block_writer(disk_file& stream, block_tag kind) : stream_(stream), start_(tell(stream)) {
        write(stream_, kind);
        size_position_ = tell(stream_);
        write_u32(stream_, 0);
    }
    block_writer(const block_writer&) = delete;
    block_writer& operator=(const block_writer&) = delete;

    ~block_writer() { finish_quietly(*this); }

    bool finished() const { return finished_; }
    void finish() {
        finished_ = true;
        write(stream_, align(4));
        const position end = tell(stream_);
        // A device that keeps no position, such as /dev/null, reports one
        // before the block's start: there is nothing to patch.
        if (end < start_)
            return;
        if (end - start_ > max_field_value)
            throw write_failure{};
        seek(stream_, size_position_);
        write_u32(stream_, static_cast<std::uint32_t>(end - start_));
        seek(stream_, end);
    }

private:
    disk_file& stream_;
    position start_;
    position size_position_ = 0;
    bool finished_ = false;
};

// Owns one open file, or none, and closes it when it goes away.
class output_file {
public:
    explicit output_file(std::unique_ptr<disk_file> file) : file_(std::move(file)) {}
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    ~output_file() { close(); }

    disk_file* get() const { return file_.get(); }
    bool is_open() const { return file_ != nullptr; }

    // Flushes and closes the file; false when either failed. Closing with
    // nothing open succeeds.
    bool close() {
        if (file_ == nullptr)
            return true;
        const std::unique_ptr<disk_file> file = std::move(file_);
        return file->close();
    }

private:
    std::unique_ptr<disk_file> file_;
};

} // namespace strm
