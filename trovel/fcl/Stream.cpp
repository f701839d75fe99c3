#include "fcl/Stream.h"

#include <algorithm>
#include <iterator>

namespace XALFcl {

void CIosBase::Reset() {
    state = 0;
}

std::uint32_t CIosBase::Assemble(const std::uint8_t* bytes, int width) const {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const int at = littleEndian ? width - 1 - i : i;
        value = (value << 8) | bytes[at];
    }
    return value;
}

void CIosBase::Emit(std::uint32_t value, int width, std::uint8_t* bytes) const {
    for (int i = 0; i < width; ++i) {
        const int at = littleEndian ? i : width - 1 - i;
        bytes[at] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t CRandomInputStream::Skip(std::uint64_t count) {
    const std::int64_t remain = std::max<std::int64_t>(GetRemain(), 0);
    std::uint64_t passed = count;
    if (count > static_cast<std::uint64_t>(remain)) {
        passed = static_cast<std::uint64_t>(remain);
        state |= kEndOfData;
    }
    if (passed > 0)
        Seek(static_cast<std::int64_t>(passed), 1);
    return passed;
}

std::int64_t CRandomInputStream::GetRemain() {
    return GetSize() - Tell();
}

std::uint64_t COutputStream::Fill(std::uint64_t count, std::uint8_t value) {
    // Written in blocks: the bytes and the flags come out as from single
    // WriteU8 calls. Once a block does not fit, neither would the rest.
    std::uint8_t block[4096];
    std::fill(block, block + std::min<std::uint64_t>(count, sizeof block), value);
    const bool failedBefore = (state & kFailure) != 0;
    for (std::uint64_t left = count; left > 0;) {
        const std::uint64_t part = std::min<std::uint64_t>(left, sizeof block);
        Write(block, part);
        if (!failedBefore && (state & kFailure))
            break;
        left -= part;
    }
    return count;
}

void CRandomOutputStream::Align(std::uint32_t alignment, std::uint8_t value) {
    if (alignment <= 1)
        return;
    const std::int64_t rest = Tell() % alignment;
    if (rest != 0)
        Fill(static_cast<std::uint64_t>(alignment - rest), value);
}

void COutputStream::WriteU8(std::uint8_t value) {
    WriteBytes(&value, 1);
}

void COutputStream::WriteU16(std::uint16_t value) {
    std::uint8_t bytes[2];
    Emit(value, 2, bytes);
    WriteBytes(bytes, 2);
}

void COutputStream::WriteU32(std::uint32_t value) {
    std::uint8_t bytes[4];
    Emit(value, 4, bytes);
    WriteBytes(bytes, 4);
}

} // namespace XALFcl
