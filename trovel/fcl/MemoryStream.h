#pragma once

#include "fcl/Stream.h"

namespace XALFcl {

// Reads a caller's buffer, which must outlive the stream. Never throws:
// running out of data sets end of data and yields zeros or a shorter copy.
// Seek returns the distance actually moved; the position stays in 0..size.
class CMemoryInputStream : public CRandomInputStream {
public:
    CMemoryInputStream();
    CMemoryInputStream(const void* buffer, std::int64_t size);
    // Rebinds the stream and clears its state; a null buffer is an empty
    // stream in failure.
    void Init(const void* buffer, std::int64_t size);

    void Reset() override;
    void Read(void* buffer, std::uint64_t count) override;
    std::uint8_t ReadU8() override;
    std::uint16_t ReadU16() override;
    std::uint32_t ReadU32() override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t GetSize() override { return size; }
    std::int64_t Tell() override { return position; }

    const std::uint8_t* buffer = nullptr;
    std::int64_t size = 0;
    std::int64_t position = 0;
};

// Writes into a caller's fixed-size buffer; never grows. Running out of room
// sets failure and writes nothing (or a shortened copy).
class CMemoryOutputStream : public CRandomOutputStream {
public:
    CMemoryOutputStream(void* buffer, std::int64_t capacity);
    void Init(void* buffer, std::int64_t capacity);

    void Reset() override;
    std::uint64_t Fill(std::uint64_t count, std::uint8_t value) override;
    void Write(const void* buffer, std::uint64_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t GetSize() override { return size; }
    std::int64_t Tell() override { return position; }

    std::uint8_t* buffer = nullptr;
    std::int64_t size = 0; // the capacity
    std::int64_t position = 0;

private:
    void WriteBytes(const std::uint8_t* bytes, int width) override;
};

} // namespace XALFcl
