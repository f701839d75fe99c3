#pragma once

#include <string>

namespace XALFcl {

// Writes the text and a line break to standard output and flushes it, so
// that progress lines appear as they happen. Write errors are not checked.
void PrintLine(const std::string& text);

} // namespace XALFcl
