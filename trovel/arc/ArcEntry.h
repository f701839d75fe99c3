#pragma once

#include "arc/FoldedIndex.h"
#include "fcl/Arena.h"
#include "fcl/List.h"
#include "fcl/PathTokenizer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace XALFcl {
class CDisk;
class CDiskDirectory;
class CDiskFile;
class CDiskFileCloser;
class CFile;
class CInputStream;
class COutputStream;
} // namespace XALFcl

namespace XALArc {

class CArcEntryVisitor;
class CArchiveImage;
class CDirEntry;
class CFileEntry;

// One node of the archive tree: a file or a directory, named by one path
// component. Entries are destroyed through the virtual destructor, which
// unlinks them from their directory. The tree makes its entries in the arena
// of its root (`new (dir->Arena()) ...`): deleting one runs its destructor,
// and its memory goes with the arena. An entry made with a plain `new` goes
// back to the heap.
class CArcEntry : public XALFcl::CArenaObject {
public:
    enum : std::uint8_t { kFile = 1, kDirectory = 2 };

    CArcEntry(const CArcEntry&) = delete;
    CArcEntry& operator=(const CArcEntry&) = delete;
    virtual ~CArcEntry() = default;

    bool IsFile() const { return (type & kFile) != 0; }
    bool IsDirectory() const { return (type & kDirectory) != 0; }
    CFileEntry* AsFile();
    CDirEntry* AsDirectory();

    XALFcl::COwnedLink<CArcEntry> link{this};
    std::string name;
    std::uint8_t type;
    std::uint32_t id = 0;

protected:
    CArcEntry(std::string name, std::uint8_t type);
};

using CEntryList = XALFcl::CList<CArcEntry, XALFcl::COwnedLink<CArcEntry>, &CArcEntry::link>;

// A directory owns its children. Names are unique within a directory when
// compared without regard to ASCII case; beside the ordered child list it
// keeps indexes so that lookups and sorted insertion do not scan.
class CDirEntry : public CArcEntry {
public:
    // A directory without parent is only the root; it owns the arena of
    // the tree.
    CDirEntry(std::string name, CDirEntry* parent, bool sorted);
    ~CDirEntry() override;

    // Where the entries of this tree, and what they keep, are made.
    XALFcl::CArena& Arena() const { return *arena_; }

    // Places a newly constructed child: appended, or before the first child
    // whose name is not less (unsigned bytes) when the directory is sorted.
    void Insert(CArcEntry* entry);
    // Appends a child whatever the sort rule (an archive's stored order).
    void Append(CArcEntry* entry);
    // Called by a child that is going away.
    void Unlink(CArcEntry* entry);
    // Room in the name index for `count` more children.
    void Reserve(std::size_t count);
    // Switching sorting on is refused while the directory has children.
    bool SetSorted(bool flag);
    // For an empty sorted directory about to get many children: they are
    // appended as they come and put in name order at once by ResumeSorting,
    // which gives the order that sorted insertion one by one would. Lookups
    // meanwhile work as always; subdirectories still inherit `sorted`.
    void DeferSorting();
    // Ends a DeferSorting; allocates nothing, so it may run while unwinding.
    void ResumeSorting() noexcept;

    // One path component: ".", "..", or a child name in any letter case.
    CArcEntry* Lookup(const std::string& component);
    CDirEntry* LookupDirectory(const std::string& component);
    CFileEntry* LookupFile(const std::string& component);

    // The remaining components of a tokenized path, from this directory.
    // `path` is the whole path, for messages. MakeDirectoryPath adds every
    // directory it creates to `created` (when given), parents first.
    CArcEntry* FindEntryByPath(XALFcl::CPathTokenizer& tokens, const std::string& path);
    CFileEntry* FindFileByPath(XALFcl::CPathTokenizer& tokens, const std::string& path);
    CDirEntry* MakeDirectoryPath(XALFcl::CPathTokenizer& tokens, const std::string& path,
                                 std::vector<CDirEntry*>* created = nullptr);
    CFileEntry* MakeFilePath(XALFcl::CPathTokenizer& tokens, const std::string& path);

    void DeleteAll();
    std::int64_t CountFiles();
    // Removes subdirectories that hold no file anywhere below them; returns
    // the number of children left. This directory itself stays.
    std::int32_t RemoveEmptyDirectories();
    // Puts every directory of this subtree in name order (unsigned bytes).
    void SortByName();
    // Sets the sort rule of every directory of this subtree, whatever they
    // hold; it governs only entries added afterwards.
    void ApplySortRule(bool flag);

    int Walk(CArcEntryVisitor& visitor, bool recursive);

    CEntryList entries;
    CDirEntry* parent;
    bool sorted;

private:
    // The root's arena, and every directory's pointer to it.
    std::unique_ptr<XALFcl::CArena> ownArena_;
    XALFcl::CArena* arena_;

    bool IsRiser(CArcEntry* entry) const;
    // Forgets the indexes, for a directory whose children all go.
    void DropIndexes();
    void FindRisers();

    // The children by their names without regard to case.
    CFoldedIndex byFoldedName_;
    // By name, the children whose names are greater (unsigned bytes) than
    // that of every child before them in the list. The first child in list
    // order whose name is not less than a given one is always one of these,
    // the least such, so sorted insertion finds its place without scanning
    // the list even when the list is out of name order. While the list is in
    // name order every child is a riser. Only a sorted directory keeps them
    // up to date as children come; another finds them when it needs them.
    std::map<std::string, CArcEntry*> risers_;
    // Removing a riser can turn the children up to the next riser into
    // risers; they are found again before the next sorted insertion.
    bool risersStale_ = false;
    // Between DeferSorting and ResumeSorting.
    bool deferred_ = false;
};

// A file entry's contents are in one of three places: in memory (owned by
// the entry), a range of a loaded archive's file image, or a disk file as a
// directory walk saw it. Only in-memory contents cost memory by their size;
// the others are read in pieces when they are written out or compared, and a
// disk file must then still have the size and time it had when it was seen.
// Replacing the contents drops where they were before.
class CFileEntry : public CArcEntry {
public:
    CFileEntry(std::string name, CDirEntry* parent);
    ~CFileEntry() override;

    // Replaces the contents with n bytes read from the stream.
    void Load(XALFcl::CInputStream& stream, std::uint64_t n);
    // Makes the contents the disk file as it is now: it is opened (a failure
    // is "Cannot open file") and its size and time are kept, but its bytes
    // are read only when needed. A file that by then delivers other bytes
    // than that many, or has another size or time, fails with "Cannot load
    // file" naming it.
    // With `directory`, the file is its `name`, opened without looking up
    // the path again.
    void LoadFile(XALFcl::CDisk& disk, const std::string& diskPath,
                  XALFcl::CDiskDirectory* directory = nullptr, const std::string& name = {});
    // Makes the contents the n bytes at `offset` of the archive image; an
    // empty range leaves the entry empty and refers to nothing.
    void Refer(std::shared_ptr<CArchiveImage> image, std::uint64_t offset, std::uint64_t n);
    // Closes the archive file whose range the contents are, once a save has
    // written them; they cannot be read afterwards.
    void CloseArchiveImage();
    // Writes the contents to a stream; nothing for an empty file.
    void Store(XALFcl::COutputStream& stream) const;
    // Appends the contents to `out` (open for writing) in bounded pieces.
    // After a failure `out` holds an unspecified part of them.
    void CopyTo(XALFcl::CFile& out) const;
    // True only for equal, non-zero length and identical bytes.
    bool Compare(XALFcl::CInputStream& stream, std::uint64_t n) const;

    // Whether the contents are a disk file, read only when needed.
    bool IsDiskFile() const { return disk_ != nullptr; }
    // That disk file, opened again unless held open since it was seen (the
    // held file then passes to the caller), and checked as CopyTo checks it:
    // "Cannot open file" or "Cannot load file" naming it.
    std::unique_ptr<XALFcl::CDiskFile> TakeSource();
    // The path of the disk file, for messages.
    std::string DiskPath() const { return std::string(diskPath_, diskPathLength_); }
    const char* DiskPathText() const { return diskPath_; }

    // The contents in memory (null for an empty file). Contents elsewhere are
    // read into a buffer of the entry's own first.
    const std::uint8_t* Data();

    CDirEntry* parent;
    std::uint64_t size = 0;

private:
    void Keep(std::vector<std::uint8_t>& bytes);
    // The disk file of the contents, held open since it was seen or opened
    // again into `opened`, after checking that it is still as it was seen.
    XALFcl::CDiskFile& OpenSource(XALFcl::CDiskFileCloser& opened) const;
    // Fails when the open disk file has another size or time than was seen.
    void CheckSource(XALFcl::CDiskFile& file) const;
    // Drops a disk file of the contents.
    void DropSource();
    // The `count` bytes at `start` of the contents; `source` is the disk
    // file opened by OpenSource, when the contents are one.
    void ReadPiece(XALFcl::CDiskFile* source, std::uint64_t start, std::uint8_t* buffer,
                   std::uint64_t count) const;
    // Fails when the disk file goes on past the size that was seen.
    void CheckSourceEnd(XALFcl::CDiskFile& source) const;

    std::vector<std::uint8_t> bytes_;
    std::shared_ptr<CArchiveImage> image_;
    std::uint64_t offset_ = 0;
    // A disk file, while the contents are one.
    XALFcl::CDisk* disk_ = nullptr;
    // Its path, kept in the tree's arena.
    const char* diskPath_ = nullptr;
    std::size_t diskPathLength_ = 0;
    std::int64_t modTime_ = 0;
    // The disk file held open since it was seen, while the disk allows it.
    std::unique_ptr<XALFcl::CDiskFile> held_;
};

} // namespace XALArc
