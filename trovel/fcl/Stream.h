#pragma once

#include <cstdint>

namespace XALFcl {

// State and byte order shared by every stream. Flags are only added by the
// operations; only Reset and Init clear them.
class CIosBase {
public:
    enum : std::uint8_t {
        kEndOfData = 1, // a read found fewer bytes than it needed
        kFailure = 2,   // a write did not fit, I/O failed, or no buffer
    };

    virtual ~CIosBase() = default;
    virtual void Reset();

    std::uint8_t state = 0;
    // 0: multi-byte values are big-endian; anything else: little-endian.
    // Callers may switch it between two fields.
    std::int32_t littleEndian = 0;

    // Multi-byte values in this stream's byte order, `width` 2 or 4: a
    // value's bytes, for a writer that stages many of them at once.
    void Emit(std::uint32_t value, int width, std::uint8_t* bytes) const;

protected:
    std::uint32_t Assemble(const std::uint8_t* bytes, int width) const;
};

// Sequential reading.
class CInputStream : public CIosBase {
public:
    // Moves over `count` bytes; returns how many were passed over.
    virtual std::uint64_t Skip(std::uint64_t count) = 0;
    virtual void Read(void* buffer, std::uint64_t count) = 0;
    virtual std::uint8_t ReadU8() = 0;
    virtual std::uint16_t ReadU16() = 0;
    virtual std::uint32_t ReadU32() = 0;
};

// Reading with position, size and seeking (origins SEEK_SET, SEEK_CUR,
// SEEK_END).
class CRandomInputStream : public CInputStream {
public:
    // Passes over at most the bytes that remain; sets end of data when
    // fewer than `count` remained.
    std::uint64_t Skip(std::uint64_t count) override;
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
    virtual std::int64_t GetSize() = 0;
    virtual std::int64_t Tell() = 0;
    virtual std::int64_t GetRemain();
};

// Sequential writing.
class COutputStream : public CIosBase {
public:
    // Writes `count` bytes of `value`, with the result of as many WriteU8
    // calls; returns `count`.
    virtual std::uint64_t Fill(std::uint64_t count, std::uint8_t value);
    virtual void Write(const void* buffer, std::uint64_t count) = 0;
    // Values in the stream's byte order, written as one unit: a value that
    // does not fit is not written at all.
    virtual void WriteU8(std::uint8_t value);
    virtual void WriteU16(std::uint16_t value);
    virtual void WriteU32(std::uint32_t value);

protected:
    // Writes `width` bytes (1, 2 or 4) of one value.
    virtual void WriteBytes(const std::uint8_t* bytes, int width) = 0;
};

// Writing with position, size, seeking and alignment padding.
class CRandomOutputStream : public COutputStream {
public:
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
    virtual std::int64_t GetSize() = 0;
    virtual std::int64_t Tell() = 0;
    // Pads with `value` until Tell() is a multiple of `alignment`.
    void Align(std::uint32_t alignment, std::uint8_t value);
};

} // namespace XALFcl
