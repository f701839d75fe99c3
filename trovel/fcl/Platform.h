#pragma once

#include <string>

// Facts about the host that the tools' logic must know, and the little it
// asks of the host besides its disk (see Disk.h, whose system disk the same
// implementation file provides). One implementation file per host family
// (PlatformPosix.cpp, and beside it a Windows one), chosen by the build.
namespace XALFcl::Platform {

// The separator of disk paths: "/" on POSIX, "\" on Windows.
extern const char kNativeSeparator;

// The line end of the text files the tools write: "\n" on POSIX, "\r\n" on
// Windows.
extern const char* const kTextLineEnd;

// Whether the host refuses `name` as the name of one file in a directory,
// or takes it for something else (see FileName.h for each family's rules).
bool IsReservedFileName(const std::string& name);

// A closed pipe on standard output must not kill a run before it saves.
void IgnoreBrokenPipe();

} // namespace XALFcl::Platform
