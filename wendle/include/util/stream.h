#pragma once

// Helpers over stdio streams for the console's little-endian binary formats:
// exact-size reads, integer and tag writes, zero padding, and fields whose
// value is patched in later, so that a writer can emit a file strictly front
// to back although some sizes and offsets are known only at the end.

#include <cassert>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace strm {

// A binary read delivered fewer bytes than asked for (end of file or a read
// error; the stream's error indicator tells which).
struct failure {};

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

inline position tell(std::FILE* stream) {
    const long at = std::ftell(stream);
    if (at < 0)
        throw write_failure{};
    return static_cast<position>(at);
}

inline void seek(std::FILE* stream, position at) {
    if (at > static_cast<position>(LONG_MAX) ||
        std::fseek(stream, static_cast<long>(at), SEEK_SET) != 0)
        throw write_failure{};
}

inline void read_bytes(std::FILE* stream, void* buffer, std::size_t count) {
    if (std::fread(buffer, 1, count, stream) != count)
        throw failure{};
}

inline std::uint8_t read_u8(std::FILE* stream) {
    unsigned char b[1];
    read_bytes(stream, b, sizeof b);
    return b[0];
}

inline std::uint16_t read_u16(std::FILE* stream) {
    unsigned char b[2];
    read_bytes(stream, b, sizeof b);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

inline std::uint32_t read_u32(std::FILE* stream) {
    unsigned char b[4];
    read_bytes(stream, b, sizeof b);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

inline void write_bytes(std::FILE* stream, const void* data, std::size_t count) {
    if (std::fwrite(data, 1, count, stream) != count)
        throw write_failure{};
}

inline void write_u8(std::FILE* stream, std::uint8_t value) {
    write_bytes(stream, &value, 1);
}

inline void write_u16(std::FILE* stream, std::uint16_t value) {
    const unsigned char b[2] = {static_cast<unsigned char>(value),
                                static_cast<unsigned char>(value >> 8)};
    write_bytes(stream, b, sizeof b);
}

inline void write_u32(std::FILE* stream, std::uint32_t value) {
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
        : value_(static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24 |
                 static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16 |
                 static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8 |
                 static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]))) {}

    constexpr std::uint32_t value() const { return value_; }
    constexpr bool operator==(const block_tag& other) const { return value_ == other.value_; }
    constexpr bool operator!=(const block_tag& other) const { return value_ != other.value_; }

private:
    std::uint32_t value_;
};

inline block_tag read_tag(std::FILE* stream) {
    unsigned char b[4];
    read_bytes(stream, b, sizeof b);
    return block_tag(static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                     static_cast<std::uint32_t>(b[2]) << 8 | static_cast<std::uint32_t>(b[3]));
}

inline void write(std::FILE* stream, const block_tag& tag) {
    const std::uint32_t v = tag.value();
    const unsigned char b[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    write_bytes(stream, b, sizeof b);
}

// Written to a stream, pads it with zero bytes up to the next multiple of n.
struct align {
    explicit align(unsigned n) : n_(n) {}
    unsigned n_;
};

inline void write(std::FILE* stream, const align& to) {
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
    friend void write(std::FILE* stream, writeback_field& field);
    friend void resolve(writeback_field& field, std::FILE* stream, position base);

    std::vector<position> pending_;
    std::uint32_t value_ = 0;
    bool writeback_ = false;
};

inline void write(std::FILE* stream, writeback_field& field) {
    if (field.writeback_) {
        write_u32(stream, field.value_);
        return;
    }
    field.pending_.push_back(tell(stream));
    write_u32(stream, 0);
}

// Fixes the field to the current position minus base, patches every place
// it was written at, and returns to the current position.
inline void resolve(writeback_field& field, std::FILE* stream, position base) {
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
    file_header_writer(std::FILE* stream, block_tag magic, std::uint16_t version,
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

    std::FILE* stream_;
    bool finished_ = false;
};

// Writes a block header (kind and size) and, when finished, pads the block
// to a multiple of 4, fills in its size and returns to its end. One that goes
// out of scope unfinished finishes then, ignoring failures.
class block_writer {
public:
    block_writer(std::FILE* stream, block_tag kind) : stream_(stream), start_(tell(stream)) {
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
    std::FILE* stream_;
    position start_;
    position size_position_ = 0;
    bool finished_ = false;
};

// Owns one open stdio stream, or none, and closes it when it goes away.
class output_file {
public:
    explicit output_file(std::FILE* handle) : handle_(handle) {}
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    ~output_file() { close(); }

    std::FILE* get() const { return handle_; }
    bool is_open() const { return handle_ != nullptr; }

    // Flushes and closes the stream; false when either failed. Closing with
    // nothing open succeeds.
    bool close() {
        if (handle_ == nullptr)
            return true;
        std::FILE* const handle = handle_;
        handle_ = nullptr;
        const bool flushed = std::fflush(handle) == 0 && std::ferror(handle) == 0;
        return std::fclose(handle) == 0 && flushed;
    }

private:
    std::FILE* handle_ = nullptr;
};

} // namespace strm
