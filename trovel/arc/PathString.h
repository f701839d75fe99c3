#pragma once

#include <cstddef>
#include <string>

namespace XALArc {

// The path builder of every walk: a byte string joined with one separator,
// '/' for archive paths and the host's native separator for disk paths.
class CPathString {
public:
    CPathString(std::string text, char separator);

    // Turns every occurrence of the other separator into this one.
    void Normalize();
    // Adds one separator unless the string is empty, already ends with one,
    // or the component starts with one; then the component. Returns the
    // length before, for Truncate.
    std::size_t Append(const std::string& component);
    // Appends the part of `path` after its last separator.
    std::size_t AppendName(const std::string& path);
    // Drops the last component; a leading separator alone stays.
    void RemoveLast();
    // Becomes the part of `path` up to and including its last separator.
    void SetDirectory(const std::string& path);
    void Truncate(std::size_t length) { text.resize(length); }

    const std::string& str() const { return text; }
    std::size_t size() const { return text.size(); }

    std::string text;
    char separator;
};

} // namespace XALArc
