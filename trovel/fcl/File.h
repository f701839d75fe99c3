#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace XALFcl {

// An owned binary stdio file whose I/O errors become CFileException carrying
// the file's name: 1 open, 2 read, 3 write, 4 seek. End of file is no error.
class CFile {
public:
    CFile();
    // Opens the file; a failure throws code 1 with `path`.
    CFile(const std::string& path, const char* mode);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Closes any open file first. Modes: "rb"/"r" read a regular file only,
    // "wb"/"w" create or truncate (never waiting for a FIFO's reader),
    // "wbx"/"wx" create a new file (never through a link), "wbl"/"wl" create
    // a new owner-only file locked against other processes, replacing a dead
    // writer's leftover (Platform::OpenMode::CreateLocked). False on failure
    // or an unknown mode, leaving it closed.
    bool Open(const std::string& path, const char* mode);
    // Closes without checking (the destructor's path).
    void Close();
    // Flushes and closes, checked: a failure throws code 3 after the file
    // has been closed anyway.
    void Finish();

    std::uint64_t Read(void* buffer, std::uint64_t count);
    // Reads at an absolute offset, bypassing the stream's buffer and
    // position; fewer than `count` bytes only at the end of the file.
    std::uint64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count);
    std::uint64_t Write(const void* buffer, std::uint64_t count);
    // The next byte (0..255), or -1 at end of file.
    int GetChar();
    void PutChar(std::uint8_t byte);
    // Origins SEEK_SET, SEEK_CUR, SEEK_END; returns the new position.
    std::int64_t Seek(std::int64_t offset, int origin);
    std::int64_t Tell();
    // The file's length; the position stays where it was.
    std::int64_t GetSize();
    // Back to the start, error and end-of-file indicators cleared.
    void Rewind();

    bool IsOpen() const { return handle != nullptr; }
    const std::string& GetName() const { return name; }
    std::FILE* GetHandle() const { return handle; }

private:
    std::string name;               // empty while closed
    std::FILE* handle = nullptr;
};

} // namespace XALFcl
