#pragma once

#include "fcl/Exception.h"

#include <cstdint>
#include <string>

namespace XALArc {

// A fault of the archive tree or of an archive file. `subject` is an archive
// path, a path component or the archive file's path.
class CArcException : public XALFcl::CException {
public:
    enum Code : std::int32_t {
        kNotArchive = 1,
        kNoNameTable = 2,
        kInvalidArchive = 3,
        kDirectoryExists = 4,
        kFileExists = 5,
        kRootParent = 6,
        kNotInArchive = 7,
        kNoFileName = 8,
        kNotAbsolute = 9,
        kDifferentFile = 10,
        kMissingFile = 11,
        kNameTooLong = 12,
        kTooManyDirectories = 13,
        kTooManyFiles = 14,
        kArchiveTooLarge = 15,
        kInvalidFileName = 16,
        kSameFile = 17,
    };

    CArcException(std::int32_t code, std::string subject);
    void Print() const override;
    ~CArcException() override = default;

    // The table text of a code, such as ": Invalid archive.".
    static const char* Message(std::int32_t code);

    std::int32_t code;
    std::string subject;
};

// A script file that cannot be opened or read, or a line it cannot parse.
class CScriptException : public XALFcl::CException {
public:
    enum Code : std::int32_t {
        kCannotOpen = 1,
        kIncorrectDescription = 2,
    };

    CScriptException(std::int32_t code, std::int32_t lineNumber, std::int32_t column,
                     std::string lineText);
    void Print() const override;
    ~CScriptException() override = default;

    std::int32_t code;
    std::int32_t lineNumber;
    std::int32_t column;
    std::string lineText;
};

} // namespace XALArc
