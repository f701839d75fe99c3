#pragma once

#include "arc/ArcEntryVisitor.h"
#include "arc/PathString.h"

#include <string>

namespace XALFcl {
class CDisk;
} // namespace XALFcl

namespace XALArc {

class CArchive;

// Writes the archive tree out below an output directory that already
// exists: one disk directory per archive directory, one new file per member.
class CExtracter : public CArcEntryVisitor {
public:
    CExtracter(XALFcl::CDisk& disk, const std::string& outputDirectory);

    void EnterDirectory(CDirEntry& dir) override;
    void LeaveDirectory(CDirEntry& dir) override;
    int Visit(CArcEntry& entry) override;

private:
    XALFcl::CDisk& disk_;
    CPathString path_;
};

// Whether `name` can become one file name on this host's disk without
// reaching outside its directory or naming something else.
bool IsExtractableName(const std::string& name);

// Refuses the first entry, in walk order, whose name this host cannot
// extract safely: CArcException "Invalid file name in archive." with the
// entry's archive path.
void CheckExtractableNames(CArchive& archive);

} // namespace XALArc
