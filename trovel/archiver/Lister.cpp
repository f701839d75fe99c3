#include "archiver/Lister.h"

#include "arc/Archive.h"
#include "fcl/Console.h"

#include <cinttypes>
#include <cstdio>

namespace XALArchiver {

CLister::CLister(XALArc::CArchive& archive) : archive_(archive), path_("/", '/') {
    path_.text.reserve(1024);
}

void CLister::PrintListing() {
    XALFcl::PrintLine("");
    XALFcl::PrintLine("fileID:  byte(s) name");
    XALFcl::PrintLine("----------------------------------------");
    archive_.Walk(*this);
}

void CLister::EnterDirectory(XALArc::CDirEntry& dir) {
    path_.Append(dir.name);
}

void CLister::LeaveDirectory(XALArc::CDirEntry&) {
    path_.RemoveLast();
}

int CLister::Visit(XALArc::CArcEntry& entry) {
    const std::size_t length = path_.Append(entry.name);
    char head[48];
    if (entry.IsDirectory()) {
        line_ = "<DIR> :        0 ";
        line_ += path_.str();
        line_ += '/';
    } else {
        const auto* file = static_cast<XALArc::CFileEntry*>(&entry);
        std::snprintf(head, sizeof head, "%6u: %8" PRIu64 " ", static_cast<unsigned>(nextFileId_),
                      file->size);
        ++nextFileId_;
        line_ = head;
        line_ += path_.str();
    }
    XALFcl::PrintLine(line_);
    path_.Truncate(length);
    return 0;
}

} // namespace XALArchiver
