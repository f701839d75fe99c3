#pragma once

#include "arc/Operand.h"

#include <vector>

namespace XALArc {

class CFileVisitor;

// Hands every operand, in order, to a disk visitor as one (archive path,
// disk path) pair: Path operands joined to the current working directory and
// repeated below the archive root (or, with addToRoot, reduced to their
// names), script entries as the script gives them.
void WalkOperands(const std::vector<COperand>& operands, bool addToRoot, bool verbose,
                  CFileVisitor& visitor);

} // namespace XALArc
