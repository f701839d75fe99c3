#include "fcl/FileStream.h"

#include "fcl/Exception.h"

namespace XALFcl {

CFileInputStream::CFileInputStream(CDisk& disk, const std::string& path)
    : file_(disk, path, "rb") {}

CFileInputStream::CFileInputStream(CDisk& disk, const std::string& path, CDiskDirectory* directory,
                                   const std::string& name)
    : file_(disk) {
    if (!file_.OpenIn(directory, name, path))
        throw CFileException(CFileException::kCannotOpen, path);
}

void CFileInputStream::Reset() {
    file_.Rewind();
    state = 0;
}

void CFileInputStream::Read(void* buffer, std::uint64_t count) {
    try {
        if (file_.Read(buffer, count) < count)
            state |= kEndOfData;
    } catch (const CFileException&) {
        state |= kFailure;
        throw;
    }
}

bool CFileInputStream::ReadBytes(std::uint8_t* bytes, int width) {
    try {
        for (int i = 0; i < width; ++i) {
            const int c = file_.GetChar();
            if (c < 0) {
                state |= kEndOfData;
                return false;
            }
            bytes[i] = static_cast<std::uint8_t>(c);
        }
        return true;
    } catch (const CFileException&) {
        state |= kFailure;
        throw;
    }
}

std::uint8_t CFileInputStream::ReadU8() {
    std::uint8_t byte;
    return ReadBytes(&byte, 1) ? byte : 0;
}

std::uint16_t CFileInputStream::ReadU16() {
    std::uint8_t bytes[2];
    return ReadBytes(bytes, 2) ? static_cast<std::uint16_t>(Assemble(bytes, 2)) : 0;
}

std::uint32_t CFileInputStream::ReadU32() {
    std::uint8_t bytes[4];
    return ReadBytes(bytes, 4) ? Assemble(bytes, 4) : 0;
}

std::int64_t CFileInputStream::Seek(std::int64_t offset, int origin) {
    return file_.Seek(offset, origin);
}

std::int64_t CFileInputStream::GetSize() {
    return file_.GetSize();
}

std::int64_t CFileInputStream::Tell() {
    return file_.Tell();
}

CFileOutputStream::CFileOutputStream(CDisk& disk, const std::string& path, const char* mode)
    : file_(disk, path, mode) {}

void CFileOutputStream::Close() {
    try {
        file_.Finish();
    } catch (const CFileException&) {
        state |= kFailure;
        throw;
    }
}

void CFileOutputStream::Reset() {
    file_.Rewind();
    state = 0;
}

void CFileOutputStream::Write(const void* buffer, std::uint64_t count) {
    try {
        if (file_.Write(buffer, count) < count)
            state |= kFailure;
    } catch (const CFileException&) {
        state |= kFailure;
        throw;
    }
}

void CFileOutputStream::WriteBytes(const std::uint8_t* bytes, int width) {
    try {
        file_.PutBytes(bytes, static_cast<std::size_t>(width));
    } catch (const CFileException&) {
        state |= kFailure;
        throw;
    }
}

std::int64_t CFileOutputStream::Seek(std::int64_t offset, int origin) {
    return file_.Seek(offset, origin);
}

std::int64_t CFileOutputStream::GetSize() {
    return file_.GetSize();
}

std::int64_t CFileOutputStream::Tell() {
    return file_.Tell();
}

} // namespace XALFcl
