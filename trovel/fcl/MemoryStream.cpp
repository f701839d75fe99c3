#include "fcl/MemoryStream.h"

#include <cstdio>
#include <cstring>

namespace XALFcl {

namespace {

// Moves `position` within 0..size without overflowing, however large the
// offset; returns the distance actually moved. An unknown origin stays.
std::int64_t ClampedSeek(std::int64_t& position, std::int64_t size, std::int64_t offset,
                         int origin) {
    std::int64_t base;
    switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = position; break;
    case SEEK_END: base = size; break;
    default: return 0;
    }
    const std::int64_t old = position;
    if (offset > size - base)
        position = size;
    else if (offset < -base)
        position = 0;
    else
        position = base + offset;
    return position - old;
}

// How many of `count` bytes fit between `position` and `size`. The fields
// are public, so a position out of range counts as no room at all.
std::uint64_t Fitting(std::uint64_t count, std::int64_t position, std::int64_t size) {
    if (position < 0 || position > size)
        return 0;
    const auto room = static_cast<std::uint64_t>(size - position);
    return count > room ? room : count;
}

bool Fits(std::int64_t width, std::int64_t position, std::int64_t size) {
    return Fitting(static_cast<std::uint64_t>(width), position, size)
        == static_cast<std::uint64_t>(width);
}

} // namespace

CMemoryInputStream::CMemoryInputStream() = default;

CMemoryInputStream::CMemoryInputStream(const void* buffer_, std::int64_t size_) {
    Init(buffer_, size_);
}

void CMemoryInputStream::Init(const void* buffer_, std::int64_t size_) {
    buffer = static_cast<const std::uint8_t*>(buffer_);
    // Without a buffer there is nothing to read, whatever size was given.
    size = buffer == nullptr || size_ < 0 ? 0 : size_;
    position = 0;
    state = buffer == nullptr ? kFailure : 0;
}

void CMemoryInputStream::Reset() {
    position = 0;
    state = 0;
}

void CMemoryInputStream::Read(void* out, std::uint64_t count) {
    const std::uint64_t n = Fitting(count, position, size);
    if (n < count)
        state |= kEndOfData;
    if (n > 0) {
        std::memcpy(out, buffer + position, static_cast<std::size_t>(n));
        position += static_cast<std::int64_t>(n);
    }
}

std::uint8_t CMemoryInputStream::ReadU8() {
    if (!Fits(1, position, size)) {
        state |= kEndOfData;
        return 0;
    }
    return buffer[position++];
}

std::uint16_t CMemoryInputStream::ReadU16() {
    if (!Fits(2, position, size)) {
        state |= kEndOfData;
        return 0;
    }
    const auto value = static_cast<std::uint16_t>(Assemble(buffer + position, 2));
    position += 2;
    return value;
}

std::uint32_t CMemoryInputStream::ReadU32() {
    if (!Fits(4, position, size)) {
        state |= kEndOfData;
        return 0;
    }
    const std::uint32_t value = Assemble(buffer + position, 4);
    position += 4;
    return value;
}

std::int64_t CMemoryInputStream::Seek(std::int64_t offset, int origin) {
    return ClampedSeek(position, size, offset, origin);
}

CMemoryOutputStream::CMemoryOutputStream(void* buffer_, std::int64_t capacity) {
    Init(buffer_, capacity);
}

void CMemoryOutputStream::Init(void* buffer_, std::int64_t capacity) {
    buffer = static_cast<std::uint8_t*>(buffer_);
    size = buffer == nullptr || capacity < 0 ? 0 : capacity;
    position = 0;
    state = buffer == nullptr ? kFailure : 0;
}

void CMemoryOutputStream::Reset() {
    position = 0;
    state = 0;
}

std::uint64_t CMemoryOutputStream::Fill(std::uint64_t count, std::uint8_t value) {
    const std::uint64_t n = Fitting(count, position, size);
    if (n < count)
        state |= kFailure;
    if (n > 0) {
        std::memset(buffer + position, value, static_cast<std::size_t>(n));
        position += static_cast<std::int64_t>(n);
    }
    return count;
}

void CMemoryOutputStream::Write(const void* in, std::uint64_t count) {
    const std::uint64_t n = Fitting(count, position, size);
    if (n < count)
        state |= kFailure;
    if (n > 0) {
        std::memcpy(buffer + position, in, static_cast<std::size_t>(n));
        position += static_cast<std::int64_t>(n);
    }
}

// A value that does not fit whole is not written at all.
void CMemoryOutputStream::WriteBytes(const std::uint8_t* bytes, int width) {
    if (!Fits(width, position, size)) {
        state |= kFailure;
        return;
    }
    std::memcpy(buffer + position, bytes, static_cast<std::size_t>(width));
    position += width;
}

std::int64_t CMemoryOutputStream::Seek(std::int64_t offset, int origin) {
    return ClampedSeek(position, size, offset, origin);
}

} // namespace XALFcl
