#include "archiver/ArchiverException.h"

#include <iterator>
#include <utility>

namespace {

const char* const kArchiverMessages[] = {
    "",
    ": Cannot make directory.",
};

} // namespace

CArchiverException::CArchiverException(std::int32_t code_, std::string subject_)
    : code(code_), subject(std::move(subject_)) {}

void CArchiverException::Print() const {
    XALFcl::PrintSubjectMessage(
        subject, XALFcl::LookupMessage(kArchiverMessages, std::size(kArchiverMessages), code));
}
