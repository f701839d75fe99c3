#pragma once

#include <cstdint>
#include <string>

namespace XALArc {

enum class OperandKind : std::int32_t {
    Path = 0,             // a file or directory after the archive path
    WorkingDirectory = 1, // -D, --directory=
    Script = 2,           // -S, --script=
};

// One operand in command-line order; a working directory applies to the Path
// operands after it, and scripts run at their place in the sequence.
struct COperand {
    std::string text;
    OperandKind kind;
};

} // namespace XALArc
