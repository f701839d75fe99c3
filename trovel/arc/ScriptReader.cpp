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
    : file(disk),
      lookahead(kNoByte),
      baseDirectory(std::string(), XALFcl::Platform::kNativeSeparator) {
    if (!file.Open(path, "rb"))
        throw CannotRead();
    baseDirectory.SetDirectory(path);
}

int CScriptReader::ReadByte() {
    try {
        return file.GetChar();
    } catch (const XALFcl::CFileException&) {
        // A script that breaks off is reported like one that cannot be opened.
        throw CannotRead();
    }
}

// The script is text: a carriage return before a line feed belongs to the
// line break and is read as part of it.
int CScriptReader::ReadChar() {
    int c = lookahead;
    lookahead = kNoByte;
    if (c == kNoByte)
        c = ReadByte();
    if (c == '\r') {
        const int next = ReadByte();
        if (next == '\n')
            return next;
        lookahead = next;
    }
    return c;
}

bool CScriptReader::ReadLine() {
    line.clear();
    while (line.size() < kMaxLineLength) {
        const int c = ReadChar();
        if (c < 0)
            break;
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    if (line.empty())
        return false;
    // The line's text ends at a NUL byte; nothing after it reaches a path.
    line.resize(std::min(line.find('\0'), line.size()));
    return true;
}

void CScriptReader::SkipSpace(std::size_t& position) const {
    while (position < line.size() && XALFcl::IsAsciiSpace(line[position]))
        ++position;
}

// A field is the exact text between two double quotes; a missing closing
// quote is blamed on the opening one.
void CScriptReader::ReadField(std::size_t& position, std::string& field) const {
    if (position >= line.size() || line[position] != '"')
        Fail(position);
    const std::size_t close = line.find('"', position + 1);
    if (close == std::string::npos)
        Fail(position);
    field.assign(line, position + 1, close - position - 1);
    position = close + 1;
    SkipSpace(position);
}

void CScriptReader::Fail(std::size_t position) const {
    std::string text = line;
    XALFcl::ReplaceChar(text, '\t', ' ');
    throw CScriptException(CScriptException::kIncorrectDescription, lineNumber,
                           static_cast<std::int32_t>(position), text);
}

bool CScriptReader::Next() {
    while (ReadLine()) {
        ++lineNumber;
        std::size_t position = 0;
        SkipSpace(position);
        if (position == line.size() || line[position] == ';')
            continue;

        const std::size_t opening = position;
        ReadField(position, diskField);
        // An empty disk path would silently stand for the script's whole
        // directory.
        if (diskField.empty())
            Fail(opening);
        XALFcl::ReplaceChar(diskField, '\\', XALFcl::Platform::kNativeSeparator);

        if (position < line.size() && line[position] == ',') {
            ++position;
            SkipSpace(position);
            ReadField(position, archiveField);
        } else if (diskField.front() == '/' || diskField.front() == '\\') {
            archiveField = diskField;
        } else {
            archiveField = "/" + diskField;
        }

        if (position < line.size() && line[position] != ';')
            Fail(position);
        return true;
    }
    return false;
}

std::string CScriptReader::GetDiskPath() const {
    if (diskField.size() >= 2 && XALFcl::IsAsciiLetter(diskField[0]) && diskField[1] == ':')
        return diskField;
    return baseDirectory.str() + diskField;
}

} // namespace XALArc
