#pragma once

#include "arc/ArcEntryVisitor.h"
#include "arc/PathString.h"

#include <cstdint>

namespace XALArc {
class CArchive;
}

namespace XALArchiver {

// Prints every file and directory of the tree with its file number and size,
// in the order the saver numbers the files.
class CLister : public XALArc::CArcEntryVisitor {
public:
    explicit CLister(XALArc::CArchive& archive);

    void PrintListing();

    void EnterDirectory(XALArc::CDirEntry& dir) override;
    void LeaveDirectory(XALArc::CDirEntry& dir) override;
    int Visit(XALArc::CArcEntry& entry) override;

private:
    XALArc::CArchive& archive_;
    XALArc::CPathString path_;
    std::uint16_t nextFileId_ = 0;
    std::string line_;
};

} // namespace XALArchiver
