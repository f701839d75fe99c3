#include "arc/ScriptReader.h"

#include "arc/ArcException.h"
#include "fcl/Exception.h"
#include "fcl/Path.h"
#include "fcl/Platform.h"
#include "fcl/Text.h"

#include <algorithm>

namespace XALArc {

namespace {

// A line longer than this is read in pieces, each counted as a line.
constexpr std::size_t kMaxLineLength = 1023;
constexpr int kNoByte = -2;

CScriptException CannotRead() {
    return CScriptException(CScriptException::kCannotOpen, 0, 0, std::string());
}

} // namespace

CScriptReader::CScriptReader(XALFcl::CDisk& disk, const std::string& path)
    : file_(disk), lookahead_(kNoByte),
      baseDirectory_(std::string(), XALFcl::Platform::kNativeSeparator) {
    if (!file_.Open(path, "rb"))
        throw CannotRead();
    baseDirectory_.SetDirectory(path);
}

int CScriptReader::ReadByte() {
    try {
        return file_.GetChar();
    } catch (const XALFcl::CFileException&) {
        // A script that breaks off is reported like one that cannot be opened.
        throw CannotRead();
    }
}

// The script is text: a carriage return before a line feed belongs to the
// line break and is read as part of it.
int CScriptReader::ReadChar() {
    int c = lookahead_;
    lookahead_ = kNoByte;
    if (c == kNoByte)
        c = ReadByte();
    if (c == '\r') {
        const int next = ReadByte();
        if (next == '\n')
            return next;
        lookahead_ = next;
    }
    return c;
}

bool CScriptReader::ReadLine() {
    line_.clear();
    while (line_.size() < kMaxLineLength) {
        const int c = ReadChar();
        if (c < 0)
            break;
        line_.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    if (line_.empty())
        return false;
    // The line's text ends at a NUL byte; nothing after it reaches a path.
    line_.resize(std::min(line_.find('\0'), line_.size()));
    return true;
}

void CScriptReader::SkipSpace(std::size_t& position) const {
    while (position < line_.size() && XALFcl::IsAsciiSpace(line_[position]))
        ++position;
}

// A field is the exact text between two double quotes; a missing closing
// quote is blamed on the opening one.
void CScriptReader::ReadField(std::size_t& position, std::string& field) const {
    if (position >= line_.size() || line_[position] != '"')
        Fail(position);
    const std::size_t close = line_.find('"', position + 1);
    if (close == std::string::npos)
        Fail(position);
    field.assign(line_, position + 1, close - position - 1);
    position = close + 1;
    SkipSpace(position);
}

void CScriptReader::Fail(std::size_t position) const {
    std::string text = line_;
    XALFcl::ReplaceChar(text, '\t', ' ');
    throw CScriptException(CScriptException::kIncorrectDescription, lineNumber_,
                           static_cast<std::int32_t>(position), text);
}

bool CScriptReader::Next() {
    while (ReadLine()) {
        ++lineNumber_;
        std::size_t position = 0;
        SkipSpace(position);
        if (position == line_.size() || line_[position] == ';')
            continue;

        const std::size_t opening = position;
        ReadField(position, diskField_);
        // An empty disk path would silently stand for the script's whole
        // directory.
        if (diskField_.empty())
            Fail(opening);
        XALFcl::ReplaceChar(diskField_, '\\', XALFcl::Platform::kNativeSeparator);

        if (position < line_.size() && line_[position] == ',') {
            ++position;
            SkipSpace(position);
            ReadField(position, archiveField_);
        } else if (diskField_.front() == '/' || diskField_.front() == '\\') {
            archiveField_ = diskField_;
        } else {
            archiveField_ = "/" + diskField_;
        }

        if (position < line_.size() && line_[position] != ';')
            Fail(position);
        return true;
    }
    return false;
}

std::string CScriptReader::GetDiskPath() const {
    if (diskField_.size() >= 2 && XALFcl::IsAsciiLetter(diskField_[0]) && diskField_[1] == ':')
        return diskField_;
    return baseDirectory_.str() + diskField_;
}

} // namespace XALArc
