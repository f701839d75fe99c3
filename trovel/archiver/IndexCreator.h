#pragma once

#include "arc/ArcEntryVisitor.h"
#include "arc/PathString.h"
#include "fcl/FileStream.h"

#include <cstdint>
#include <string>

namespace XALArc {
class CArchive;
}

namespace XALArchiver {

// Writes the C header that gives every file of the archive an enumeration
// constant equal to its file ID, numbering the files in the saver's order.
class CIndexCreator : public XALArc::CArcEntryVisitor {
public:
    // Creates or truncates the header file; failure throws "Cannot open file".
    CIndexCreator(XALArc::CArchive& archive, const std::string& headerPath,
                  const std::string& prefix, bool useLongSymbol);

    // Writes the whole header and closes it. A failed write, flush or close
    // removes the partly written header and throws "Cannot write to file".
    void WriteHeader();

    void EnterDirectory(XALArc::CDirEntry& dir) override;
    void LeaveDirectory(XALArc::CDirEntry& dir) override;
    int Visit(XALArc::CArcEntry& entry) override;

private:
    void WriteLines();
    void Put(const std::string& text);
    void PutLine(const std::string& text);
    void DiscardHeader();

    XALArc::CArchive& archive_;
    XALArc::CPathString path_;
    std::string headerPath_;
    std::string symbolBase_;
    XALFcl::CFileOutputStream output_;
    // The file as opened, to recognise it when a failure must discard it.
    XALFcl::FileStatus opened_;
    std::uint16_t nextFileId_ = 0;
    bool useLongSymbol_;
    bool first_ = true;
};

} // namespace XALArchiver
