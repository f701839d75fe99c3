#pragma once

#include <string>

namespace XALArc {
class CArchive;
}

// Extracts the whole archive into a new directory named after `baseName`:
// the name without its extension, or the first of name.1 to name.9 under
// which nothing exists yet. Refuses an archive holding a name that cannot be
// written safely before anything is created.
void ExtractArchive(XALArc::CArchive& archive, const std::string& baseName);
