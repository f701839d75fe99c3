#pragma once

#include <cstdint>
#include <string>

namespace XALFcl {

// Splits a text at one separator character, left to right. Empty pieces are
// tokens too: "/a/b" with '/' yields "", "a", "b".
class CPathTokenizer {
public:
    CPathTokenizer(std::string text, std::int64_t start, char separator);

    // Stores the next token in `component`; false once the text is exhausted.
    bool Next(std::string& component);
    bool Exhausted() const { return position < 0; }

    std::string text;
    std::int64_t position; // index of the next token; -1 once exhausted
    char separator;
};

} // namespace XALFcl
