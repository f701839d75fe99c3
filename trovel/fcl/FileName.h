#pragma once

#include <string>

// The file names that each host family refuses in a directory or takes for
// something else. Both sets of rules are here, whatever the host, so that
// each can be tested anywhere; Platform::IsReservedFileName picks the host's.
namespace XALFcl {

// Empty, ".", "..", or holding "/" or a NUL byte.
bool IsPosixReservedName(const std::string& name);

// What POSIX refuses, and also "\", ":", a control byte, one of <>"|?*, a
// trailing "." or space, and the device names (CON, NUL, COM1, ...) whatever
// extension follows them.
bool IsWindowsReservedName(const std::string& name);

} // namespace XALFcl
