#include "arc/Extracter.h"

#include "arc/ArcEntry.h"
#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/FileStream.h"
#include "fcl/Platform.h"

namespace XALArc {

namespace {

using XALFcl::CFileException;

// Walks the tree in the order extraction writes it and stops at the first
// name that cannot be extracted.
class CNameChecker : public CArcEntryVisitor {
public:
    CNameChecker() : path_("/", '/') {}

    void EnterDirectory(CDirEntry& dir) override { path_.Append(dir.name); }
    void LeaveDirectory(CDirEntry&) override { path_.RemoveLast(); }

    int Visit(CArcEntry& entry) override {
        if (!IsExtractableName(entry.name)) {
            path_.Append(entry.name);
            throw CArcException(CArcException::kInvalidFileName, path_.str());
        }
        return 0;
    }

private:
    CPathString path_;
};

} // namespace

// A "\" is refused on every host: an archive holding one extracts alike
// everywhere or nowhere.
bool IsExtractableName(const std::string& name) {
    return name.find('\\') == std::string::npos && !XALFcl::Platform::IsReservedFileName(name);
}

void CheckExtractableNames(CArchive& archive) {
    CNameChecker checker;
    archive.Walk(checker);
}

// The directory's name is used as given: it is the very name that was
// created, so its separators must not be rewritten.
CExtracter::CExtracter(XALFcl::CDisk& disk, const std::string& outputDirectory)
    : disk_(disk), path_(std::string(), XALFcl::Platform::kNativeSeparator) {
    path_.text = outputDirectory;
}

void CExtracter::EnterDirectory(CDirEntry& dir) {
    path_.Append(dir.name);
}

void CExtracter::LeaveDirectory(CDirEntry&) {
    path_.RemoveLast();
}

int CExtracter::Visit(CArcEntry& entry) {
    const std::size_t length = path_.Append(entry.name);
    if (entry.IsDirectory()) {
        if (!disk_.MakeDirectory(path_.str()))
            throw CFileException(CFileException::kCannotCreateDirectory, path_.str());
    } else {
        // Created exclusively: a name that collides with one written before
        // (a volume that ignores case) fails instead of overwriting it.
        XALFcl::CFileOutputStream out(disk_, path_.str(), "wbx");
        static_cast<CFileEntry&>(entry).CopyTo(out.GetFile());
        if (out.state & XALFcl::CIosBase::kFailure)
            throw CFileException(CFileException::kCannotWrite, path_.str());
        out.Close();
    }
    path_.Truncate(length);
    return 0;
}

} // namespace XALArc
