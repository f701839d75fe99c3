#pragma once

#include "fcl/File.h"
#include "fcl/Stream.h"

#include <string>

namespace XALFcl {

// Reads a regular file. A CFileException from a read marks the stream as
// failed and passes on; a short read only sets end of data. Seek returns the
// new absolute position.
class CFileInputStream : public CRandomInputStream {
public:
    // Opens `path` of `disk` for reading; failure throws kCannotOpen.
    CFileInputStream(CDisk& disk, const std::string& path);
    // Opens `name` of the open directory `directory` (when given), named
    // `path`.
    CFileInputStream(CDisk& disk, const std::string& path, CDiskDirectory* directory,
                     const std::string& name);

    void Reset() override;
    void Read(void* buffer, std::uint64_t count) override;
    std::uint8_t ReadU8() override;
    std::uint16_t ReadU16() override;
    std::uint32_t ReadU32() override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t GetSize() override;
    std::int64_t Tell() override;

    CFile& GetFile() { return file_; }

private:
    // Reads `width` bytes; false (end of data set) when the file ended first.
    bool ReadBytes(std::uint8_t* bytes, int width);

    CFile file_;
};

// Writes a file, by default created or truncated ("wb"). A CFileException
// from a write marks the stream as failed and passes on; a short write
// without an I/O error only sets failure.
class CFileOutputStream : public CRandomOutputStream {
public:
    CFileOutputStream(CDisk& disk, const std::string& path, const char* mode = "wb");

    // Flushes and closes, checked: failure throws kCannotWrite.
    void Close();

    void Reset() override;
    void Write(const void* buffer, std::uint64_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t GetSize() override;
    std::int64_t Tell() override;

    CFile& GetFile() { return file_; }

private:
    void WriteBytes(const std::uint8_t* bytes, int width) override;

    CFile file_;
};

} // namespace XALFcl
