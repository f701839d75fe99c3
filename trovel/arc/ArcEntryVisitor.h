#pragma once

namespace XALArc {

class CArcEntry;
class CDirEntry;

// Walks the archive tree. A directory's children are all visited before any
// of its subdirectories is entered; a nonzero Visit result stops the walk.
class CArcEntryVisitor {
public:
    virtual ~CArcEntryVisitor() = default;
    virtual void EnterDirectory(CDirEntry&) {}
    virtual void LeaveDirectory(CDirEntry&) {}
    // The directory's own children are done, its subdirectories not yet.
    virtual void EndOfEntries(CDirEntry&) {}
    virtual int Visit(CArcEntry& entry) = 0;
};

} // namespace XALArc
