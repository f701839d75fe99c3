#pragma once

#include "arc/PathString.h"
#include "fcl/File.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace XALArc {

// Reads a script file: one member per line, written as "disk path" or
// "disk path", "archive path", with blank lines and ';' comments between.
// Yields the entries in file order; a line it cannot parse is a
// CScriptException carrying the line and the column of the fault.
class CScriptReader {
public:
    // Opens the script by the name given, relative to the current directory;
    // relative disk paths in it resolve against the script's own directory.
    CScriptReader(XALFcl::CDisk& disk, const std::string& path);

    // Moves to the next entry; false at the end of the file.
    bool Next();
    // The disk field joined to the script's directory, or the field itself
    // when it names a drive ("C:...").
    std::string GetDiskPath() const;
    // The second field, or "/" + the disk field when there is none (the disk
    // field alone when it already starts with a separator).
    const std::string& GetArchivePath() const { return archiveField_; }

private:
    bool ReadLine();
    int ReadChar();
    int ReadByte();
    void SkipSpace(std::size_t& position) const;
    void ReadField(std::size_t& position, std::string& field) const;
    [[noreturn]] void Fail(std::size_t position) const;

    XALFcl::CFile file_;
    int lookahead_;               // a byte read past a carriage return, if any
    std::string line_;            // the current line as read
    std::int32_t lineNumber_ = 0; // lines read so far
    CPathString baseDirectory_;
    std::string diskField_;
    std::string archiveField_;
};

} // namespace XALArc
