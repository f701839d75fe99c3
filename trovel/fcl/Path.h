#pragma once

#include <string>

namespace XALFcl {

// Extension helpers. Both look for the last "." anywhere in the path,
// directory parts included, change the string in place and return it.

// Appends "." + ext when the path holds no "." at all.
std::string& AddExtension(std::string& path, const std::string& ext);

// Replaces the text after the last "." with ext; appends "." + ext when the
// path holds no ".".
std::string& ReplaceExtension(std::string& path, const std::string& ext);

// Turns every `from` character into `to`.
std::string& ReplaceChar(std::string& text, char from, char to);

} // namespace XALFcl
