#include "arc/Archive.h"

#include "arc/ArcException.h"
#include "fcl/PathTokenizer.h"

namespace XALArc {

namespace {

// Tokenizes an archive path after checking that it is absolute: its first
// component must be empty.
XALFcl::CPathTokenizer Tokenize(const std::string& path) {
    XALFcl::CPathTokenizer tokens(path, 0, '/');
    std::string first;
    if (!tokens.Next(first) || !first.empty())
        throw CArcException(CArcException::kNotAbsolute, path);
    return tokens;
}

} // namespace

CArchive::CArchive(bool sorted, XALFcl::CDisk& disk_)
    : root(std::string(), nullptr, sorted), disk(disk_) {}

CArchive::~CArchive() {
    root.DeleteAll();
}

CDirEntry* CArchive::CreateDirectory(const std::string& path, std::vector<CDirEntry*>* created) {
    XALFcl::CPathTokenizer tokens = Tokenize(path);
    return root.MakeDirectoryPath(tokens, path, created);
}

CFileEntry* CArchive::CreateFile(const std::string& path) {
    XALFcl::CPathTokenizer tokens = Tokenize(path);
    return root.MakeFilePath(tokens, path);
}

CFileEntry* CArchive::AddFile(const std::string& path, const std::string& diskPath) {
    CFileEntry* file = CreateFile(path);
    file->LoadFile(disk, diskPath);
    return file;
}

CArcEntry* CArchive::FindEntry(const std::string& path) {
    XALFcl::CPathTokenizer tokens = Tokenize(path);
    return root.FindEntryByPath(tokens, path);
}

CFileEntry* CArchive::FindFile(const std::string& path) {
    XALFcl::CPathTokenizer tokens = Tokenize(path);
    return root.FindFileByPath(tokens, path);
}

CFileEntry* CArchive::ReplaceFile(const std::string& path, const std::string& diskPath) {
    CFileEntry* file = FindFile(path);
    if (file != nullptr)
        file->LoadFile(disk, diskPath);
    return file;
}

int CArchive::Walk(CArcEntryVisitor& visitor) {
    return root.Walk(visitor, true);
}

} // namespace XALArc
