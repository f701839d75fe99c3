#include "archiver/IndexCreator.h"

#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/File.h"
#include "fcl/Platform.h"
#include "fcl/Text.h"

#include <string>

namespace XALArchiver {

namespace {

using XALFcl::CFileException;

const char* const kRule =
    "*****************************************************************************";

// The prefix and the header path without its extension, as an identifier.
std::string MakeSymbolBase(const std::string& prefix, const std::string& headerPath) {
    std::string base = prefix + headerPath;
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos)
        base.resize(dot);
    return XALFcl::MakeIdentifier(base);
}

} // namespace

CIndexCreator::CIndexCreator(XALArc::CArchive& archive, const std::string& headerPath,
                             const std::string& prefix, bool useLongSymbol)
    : archive_(archive), path_(std::string(), '/'), headerPath_(headerPath),
      symbolBase_(MakeSymbolBase(prefix, headerPath)), output_(archive.disk, headerPath, "wb"),
      useLongSymbol_(useLongSymbol) {
    path_.text.reserve(1024);
    output_.GetFile().GetStatus(opened_);
}

void CIndexCreator::WriteHeader() {
    try {
        WriteLines();
        output_.Close();
    } catch (...) {
        // A header cut short would still compile into something wrong.
        output_.GetFile().Close();
        DiscardHeader();
        throw;
    }
}

// Only the regular file this run opened is taken away. It is emptied first,
// so that no other name of it (a symbolic or a second hard link) keeps the
// partial text; then its name goes unless that name is a symbolic link. A
// device or pipe named as the header is left alone.
void CIndexCreator::DiscardHeader() {
    XALFcl::CDisk& disk = output_.GetFile().GetDisk();
    XALFcl::FileStatus target;
    if (opened_.kind != XALFcl::FileKind::Regular || !disk.GetStatus(headerPath_, target)
        || target.kind != XALFcl::FileKind::Regular || target.device != opened_.device
        || target.inode != opened_.inode)
        return;
    XALFcl::CFile(disk).Open(headerPath_, "wb");
    XALFcl::FileStatus itself;
    if (disk.GetLinkStatus(headerPath_, itself) && !itself.isLink)
        disk.RemoveFile(headerPath_);
}

void CIndexCreator::WriteLines() {
    std::string guard = symbolBase_;
    XALFcl::ToUpper(guard) += "_KPIX_";

    PutLine(std::string("/") + kRule);
    PutLine("\tArchive file index definition.");
    PutLine("\tFile: " + headerPath_);
    PutLine("");
    PutLine("\tThis file was created by QUORVANE VELKO-System Archiver.");
    PutLine("");
    PutLine("\tUpdate:" + XALFcl::GetTimeStamp());
    PutLine(std::string(" ") + kRule + "/");
    PutLine("");
    PutLine("#ifndef " + guard);
    PutLine("#define " + guard);
    PutLine("");
    PutLine("enum {");
    archive_.Walk(*this);
    PutLine("");
    PutLine("};");
    PutLine("");
    PutLine("/* " + guard + " */");
    PutLine("#endif");
}

void CIndexCreator::Put(const std::string& text) {
    output_.Write(text.data(), text.size());
    if (output_.state & XALFcl::CIosBase::kFailure)
        throw CFileException(CFileException::kCannotWrite, headerPath_);
}

void CIndexCreator::PutLine(const std::string& text) {
    Put(text + XALFcl::Platform::kTextLineEnd);
}

void CIndexCreator::EnterDirectory(XALArc::CDirEntry& dir) {
    path_.Append(dir.name);
}

void CIndexCreator::LeaveDirectory(XALArc::CDirEntry&) {
    path_.RemoveLast();
}

int CIndexCreator::Visit(XALArc::CArcEntry& entry) {
    if (!entry.IsFile())
        return 0;
    if (first_)
        first_ = false;
    else
        Put(std::string(",") + XALFcl::Platform::kTextLineEnd);

    std::string text;
    if (useLongSymbol_) {
        const std::size_t length = path_.Append(entry.name);
        text = path_.str();
        path_.Truncate(length);
    } else {
        text = entry.name;
    }
    XALFcl::MakeSymbol(text, symbolBase_);
    Put("\t" + text + " = " + std::to_string(nextFileId_));
    ++nextFileId_;
    return 0;
}

} // namespace XALArchiver
