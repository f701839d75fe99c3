#include "fcl/Exception.h"

#include <cstdio>
#include <iterator>
#include <utility>

namespace XALFcl {

namespace {

const char* const kFileMessages[] = {
    "",
    ": Cannot open file.",
    ": Cannot load file.",
    ": Cannot write to file.",
    ": Cannot seek in file.",
    ": Cannot find file.",
    ": Cannot open directory.",
    ": Cannot create directory.",
};

} // namespace

void CException::Print() const {
    std::fputs("fatal error occur in library.\n", stdout);
    std::fflush(stdout);
}

CFileException::CFileException(std::int32_t code_, std::string subject_)
    : code(code_), subject(std::move(subject_)) {}

void CFileException::Print() const {
    PrintSubjectMessage(subject, LookupMessage(kFileMessages, std::size(kFileMessages), code));
}

void PrintSubjectMessage(const std::string& subject, const char* text) {
    std::fflush(stdout);
    std::fwrite(subject.data(), 1, subject.size(), stderr);
    std::fputs(text, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

const char* LookupMessage(const char* const* table, std::size_t size, std::int32_t code) {
    if (code < 0 || static_cast<std::size_t>(code) >= size)
        return "";
    return table[code];
}

} // namespace XALFcl
