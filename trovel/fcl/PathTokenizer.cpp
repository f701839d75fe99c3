#include "fcl/PathTokenizer.h"

#include <utility>

namespace XALFcl {

CPathTokenizer::CPathTokenizer(std::string text_, std::int64_t start, char separator_)
    : text(std::move(text_)), position(start), separator(separator_) {
    if (position > static_cast<std::int64_t>(text.size()))
        position = -1;
}

bool CPathTokenizer::Next(std::string& component) {
    if (position < 0)
        return false;
    const auto from = static_cast<std::size_t>(position);
    const std::size_t at = text.find(separator, from);
    if (at == std::string::npos) {
        component.assign(text, from, std::string::npos);
        position = -1;
    } else {
        component.assign(text, from, at - from);
        position = static_cast<std::int64_t>(at) + 1;
    }
    return true;
}

} // namespace XALFcl
