#pragma once

#include <cstdint>
#include <string>

namespace XALFcl {

// Base of every error the archive tool raises. The driver catches it once
// and lets it print its own message.
class CException {
public:
    virtual void Print() const;
    virtual ~CException() = default;
};

// A disk file or directory could not be opened, read, written, sought,
// found, enumerated or created. `subject` is the path concerned.
class CFileException : public CException {
public:
    enum Code : std::int32_t {
        kCannotOpen = 1,
        kCannotLoad = 2,
        kCannotWrite = 3,
        kCannotSeek = 4,
        kCannotFind = 5,
        kCannotOpenDirectory = 6,
        kCannotCreateDirectory = 7,
    };

    CFileException(std::int32_t code, std::string subject);
    void Print() const override;
    ~CFileException() override = default;

    std::int32_t code;
    std::string subject;
};

// Writes "<subject><text>\n" to standard error and flushes it. Shared by the
// exception classes whose message is a subject followed by a table text.
void PrintSubjectMessage(const std::string& subject, const char* text);

// Table lookup that never fails: unknown codes give an empty text.
const char* LookupMessage(const char* const* table, std::size_t size, std::int32_t code);

} // namespace XALFcl
