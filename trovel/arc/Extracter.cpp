#include "arc/Extracter.h"

#include "arc/ArcEntry.h"
#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/FileStream.h"
#include "fcl/Platform.h"
#include "fcl/Text.h"

#include <cstring>

namespace XALArc {

namespace {

using XALFcl::CFileException;

// Hosts whose paths use backslashes are Windows, whose file names have
// rules of their own.
constexpr bool kWindowsNames = XALFcl::Platform::kNativeSeparator == '\\';

// Windows opens these as devices whatever extension follows them.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    XALFcl::ToUpper(stem);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (stem == device)
            return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           XALFcl::IsAsciiDigit(stem[3]);
}

bool HasWindowsOnlyFault(const std::string& name) {
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr(":<>\"|?*", c) != nullptr)
            return true;
    }
    return name.back() == '.' || name.back() == ' ' || IsDeviceName(name);
}

// Walks the tree in the order extraction writes it and stops at the first
// name that cannot be extracted.
class CNameChecker : public CArcEntryVisitor {
public:
    CNameChecker() : path_("/", '/') {}

    void EnterDirectory(CDirEntry& dir) override { path_.Append(dir.name); }
    void LeaveDirectory(CDirEntry&) override { path_.RemoveLast(); }

    int Visit(CArcEntry& entry) override {
        if (!IsExtractableName(entry.name, kWindowsNames)) {
            path_.Append(entry.name);
            throw CArcException(CArcException::kInvalidFileName, path_.str());
        }
        return 0;
    }

private:
    CPathString path_;
};

} // namespace

bool IsExtractableName(const std::string& name, bool windowsRules) {
    if (name.empty() || name == "." || name == "..")
        return false;
    if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        return false;
    return !windowsRules || !HasWindowsOnlyFault(name);
}

void CheckExtractableNames(CArchive& archive) {
    CNameChecker checker;
    archive.Walk(checker);
}

// The directory's name is used as given: it is the very name that was
// created, so its separators must not be rewritten.
CExtracter::CExtracter(const std::string& outputDirectory)
    : path_(std::string(), XALFcl::Platform::kNativeSeparator) {
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
        if (!XALFcl::Platform::MakeDirectory(path_.str()))
            throw CFileException(CFileException::kCannotCreateDirectory, path_.str());
    } else {
        // Created exclusively: a name that collides with one written before
        // (a volume that ignores case) fails instead of overwriting it.
        XALFcl::CFileOutputStream out(path_.str(), "wbx");
        static_cast<CFileEntry&>(entry).Store(out);
        if (out.state & XALFcl::CIosBase::kFailure)
            throw CFileException(CFileException::kCannotWrite, path_.str());
        out.Close();
    }
    path_.Truncate(length);
    return 0;
}

} // namespace XALArc
