#include "arc/ArcException.h"

#include <cstdio>
#include <iterator>
#include <utility>

namespace XALArc {

namespace {

const char* const kArcMessages[] = {
    "",
    ": Not a Quorvane VELKO-System archive.",
    ": Archive does not contain a Name Table.",
    ": Invalid archive.",
    ": Directory exists with the same name as the specified file name.",
    ": File exists with the same name as the specified directory name.",
    ": Specifies the root's parent directory.",
    ": Specified file or directory does not exist in the archive.",
    ": No file name described in path.",
    ": Archive path not specified with an absolute path.",
    ": The specified file is different from the file in the archive.",
    ": The specified file does not exist in the archive.",
    ": Name is too long.",
    ": Too many directories.",
    ": Too many files.",
    ": Archive is too large.",
    ": Invalid file name in archive.",
    ": Same file as the archive.",
};

const char* const kScriptMessages[] = {
    "",
    "Cannot open script file.",
    "Incorrect script description.",
};

} // namespace

CArcException::CArcException(std::int32_t code_, std::string subject_)
    : code(code_), subject(std::move(subject_)) {}

const char* CArcException::Message(std::int32_t code) {
    return XALFcl::LookupMessage(kArcMessages, std::size(kArcMessages), code);
}

void CArcException::Print() const {
    XALFcl::PrintSubjectMessage(subject, Message(code));
}

CScriptException::CScriptException(std::int32_t code_, std::int32_t lineNumber_,
                                   std::int32_t column_, std::string lineText_)
    : code(code_), lineNumber(lineNumber_), column(column_), lineText(std::move(lineText_)) {}

void CScriptException::Print() const {
    std::fflush(stdout);
    std::fprintf(stderr, "line %d: %s\n", static_cast<int>(lineNumber),
                 XALFcl::LookupMessage(kScriptMessages, std::size(kScriptMessages), code));
    std::fwrite(lineText.data(), 1, lineText.size(), stderr);
    // A last line without its own line break still gets the caret on a line
    // of its own.
    if (!lineText.empty() && lineText.back() != '\n')
        std::fputc('\n', stderr);
    for (std::int32_t i = 0; i < column; ++i)
        std::fputc('-', stderr);
    std::fputs("^\n", stderr);
    std::fflush(stderr);
}

} // namespace XALArc
