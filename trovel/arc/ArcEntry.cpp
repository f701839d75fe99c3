#include "arc/ArcEntry.h"

#include "arc/ArcEntryVisitor.h"
#include "arc/ArcException.h"
#include "arc/ArchiveImage.h"
#include "fcl/Arena.h"
#include "fcl/Disk.h"
#include "fcl/Exception.h"
#include "fcl/File.h"
#include "fcl/FileStream.h"
#include "fcl/Stream.h"
#include "fcl/Text.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace XALArc {

CArcEntry::CArcEntry(std::string name_, std::uint8_t type_) : name(std::move(name_)), type(type_) {}

CFileEntry* CArcEntry::AsFile() {
    return IsFile() ? static_cast<CFileEntry*>(this) : nullptr;
}

CDirEntry* CArcEntry::AsDirectory() {
    return IsDirectory() ? static_cast<CDirEntry*>(this) : nullptr;
}

// ---------------------------------------------------------------------------

CDirEntry::CDirEntry(std::string name_, CDirEntry* parent_, bool sorted_)
    : CArcEntry(std::move(name_), kDirectory), parent(parent_), sorted(sorted_),
      ownArena_(parent_ == nullptr ? std::make_unique<XALFcl::CArena>() : nullptr),
      arena_(parent_ == nullptr ? ownArena_.get() : parent_->arena_) {
    if (parent != nullptr)
        parent->Insert(this);
}

CDirEntry::~CDirEntry() {
    DeleteAll();
    if (parent != nullptr)
        parent->Unlink(this);
}

// The new child goes before the first child whose name is not less, which
// the scan of the list would find: a riser, the least that is not less. The
// new child then exceeds every child before it, and the one it went before
// (a greater name, names being distinct) stays a riser.
void CDirEntry::Insert(CArcEntry* entry) {
    if (!sorted || deferred_) {
        Append(entry);
        return;
    }
    if (risersStale_)
        FindRisers();
    const auto at = risers_.lower_bound(entry->name);
    if (at == risers_.end())
        entries.Append(entry);
    else
        entries.InsertBefore(at->second, entry);
    risers_.emplace_hint(at, entry->name, entry);
    byFoldedName_.Add(entry);
}

// While the risers are known, the last of them holds the greatest name. An
// unsorted directory leaves them to be found when it needs them.
void CDirEntry::Append(CArcEntry* entry) {
    if (!sorted || deferred_) {
        if (!risersStale_) {
            risers_.clear();
            risersStale_ = true;
        }
    } else if (!risersStale_ && (risers_.empty() || risers_.rbegin()->first < entry->name)) {
        risers_.emplace_hint(risers_.end(), entry->name, entry);
    }
    entries.Append(entry);
    byFoldedName_.Add(entry);
}

void CDirEntry::Unlink(CArcEntry* entry) {
    CArcEntry* next = entries.Next(entry);
    entries.Remove(entry);
    byFoldedName_.Remove(entry->name);
    if (!risersStale_ && IsRiser(entry)) {
        risers_.erase(entry->name);
        if (next != nullptr && !IsRiser(next))
            risersStale_ = true;
    }
    if (entries.Empty()) {
        risers_.clear();
        risersStale_ = false;
    }
}

void CDirEntry::DropIndexes() {
    byFoldedName_.Clear();
    risers_.clear();
    risersStale_ = false;
}

bool CDirEntry::IsRiser(CArcEntry* entry) const {
    const auto found = risers_.find(entry->name);
    return found != risers_.end() && found->second == entry;
}

void CDirEntry::FindRisers() {
    risers_.clear();
    for (CArcEntry* child = entries.First(); child != nullptr; child = entries.Next(child)) {
        if (risers_.empty() || risers_.rbegin()->first < child->name)
            risers_.emplace_hint(risers_.end(), child->name, child);
    }
    risersStale_ = false;
}

void CDirEntry::Reserve(std::size_t count) {
    byFoldedName_.Reserve(count);
}

bool CDirEntry::SetSorted(bool flag) {
    if (flag && !entries.Empty())
        return false;
    sorted = flag;
    return true;
}

void CDirEntry::DeferSorting() {
    deferred_ = sorted && entries.Empty();
}

namespace {

const std::string& NameOf(XALFcl::CBaseLink* link) {
    return CEntryList::Owner(link)->name;
}

} // namespace

// A bottom-up merge sort of the links in place, with runs of doubling
// width; the prev links and the sentinel are set again at the end.
void CDirEntry::ResumeSorting() noexcept {
    if (!deferred_)
        return;
    deferred_ = false;
    risers_.clear();
    risersStale_ = true;
    if (entries.Empty())
        return;
    XALFcl::CBaseLink* sentinel = entries.End();
    XALFcl::CBaseLink* chain = sentinel->next;
    sentinel->prev->next = nullptr;
    for (std::size_t width = 1;; width *= 2) {
        XALFcl::CBaseLink* p = chain;
        XALFcl::CBaseLink* tail = nullptr;
        chain = nullptr;
        std::size_t merges = 0;
        while (p != nullptr) {
            ++merges;
            XALFcl::CBaseLink* q = p;
            std::size_t pCount = 0;
            for (; pCount < width && q != nullptr; ++pCount)
                q = q->next;
            std::size_t qCount = width;
            while (pCount > 0 || (qCount > 0 && q != nullptr)) {
                XALFcl::CBaseLink* next;
                if (pCount > 0 && (qCount == 0 || q == nullptr || !(NameOf(q) < NameOf(p)))) {
                    next = p;
                    p = p->next;
                    --pCount;
                } else {
                    next = q;
                    q = q->next;
                    --qCount;
                }
                (tail != nullptr ? tail->next : chain) = next;
                tail = next;
            }
            p = q;
        }
        tail->next = nullptr;
        if (merges <= 1)
            break;
    }
    XALFcl::CBaseLink* previous = sentinel;
    for (XALFcl::CBaseLink* link = chain; link != nullptr; link = link->next) {
        link->prev = previous;
        previous = link;
    }
    previous->next = sentinel;
    sentinel->prev = previous;
    sentinel->next = chain;
}

CArcEntry* CDirEntry::Lookup(const std::string& component) {
    if (component == ".")
        return this;
    if (component == "..") {
        if (parent == nullptr)
            throw CArcException(CArcException::kRootParent, component);
        return parent;
    }
    if (component.empty())
        return nullptr;
    return byFoldedName_.Find(component);
}

CDirEntry* CDirEntry::LookupDirectory(const std::string& component) {
    CArcEntry* entry = Lookup(component);
    if (entry != nullptr && !entry->IsDirectory())
        throw CArcException(CArcException::kFileExists, component);
    return static_cast<CDirEntry*>(entry);
}

CFileEntry* CDirEntry::LookupFile(const std::string& component) {
    CArcEntry* entry = Lookup(component);
    if (entry != nullptr && !entry->IsFile())
        throw CArcException(CArcException::kDirectoryExists, component);
    return static_cast<CFileEntry*>(entry);
}

CArcEntry* CDirEntry::FindEntryByPath(XALFcl::CPathTokenizer& tokens, const std::string& path) {
    CDirEntry* dir = this;
    std::string component;
    while (tokens.Next(component)) {
        CArcEntry* entry = dir->Lookup(component);
        if (entry == nullptr || tokens.Exhausted())
            return entry;
        if (!entry->IsDirectory())
            throw CArcException(CArcException::kFileExists, path);
        dir = static_cast<CDirEntry*>(entry);
    }
    return dir;
}

CFileEntry* CDirEntry::FindFileByPath(XALFcl::CPathTokenizer& tokens, const std::string& path) {
    CArcEntry* entry = FindEntryByPath(tokens, path);
    if (entry != nullptr && !entry->IsFile())
        throw CArcException(CArcException::kDirectoryExists, path);
    return static_cast<CFileEntry*>(entry);
}

CDirEntry* CDirEntry::MakeDirectoryPath(XALFcl::CPathTokenizer& tokens, const std::string&,
                                        std::vector<CDirEntry*>* created) {
    CDirEntry* dir = this;
    std::string component;
    while (tokens.Next(component) && !component.empty()) {
        CDirEntry* next = dir->LookupDirectory(component);
        if (next == nullptr) {
            next = new (dir->Arena()) CDirEntry(component, dir, dir->sorted);
            if (created != nullptr)
                created->push_back(next);
        }
        dir = next;
    }
    return dir;
}

CFileEntry* CDirEntry::MakeFilePath(XALFcl::CPathTokenizer& tokens, const std::string& path) {
    CDirEntry* dir = this;
    std::string component;
    for (;;) {
        if (!tokens.Next(component) || component.empty())
            throw CArcException(CArcException::kNoFileName, path);
        if (tokens.Exhausted()) {
            CFileEntry* file = dir->LookupFile(component);
            return file != nullptr ? file : new (dir->Arena()) CFileEntry(component, dir);
        }
        CDirEntry* next = dir->LookupDirectory(component);
        if (next == nullptr)
            next = new (dir->Arena()) CDirEntry(component, dir, dir->sorted);
        dir = next;
    }
}

// Destroys the subtree in the order a directory destroying its children
// one by one would, but without recursion: the walk goes down to the first
// directory that still has children and deletes only entries that are files
// or empty directories, so no destructor ever has children left to destroy.
// Every directory emptied here loses its indexes first, so that its
// children go without lookups.
void CDirEntry::DeleteAll() {
    CDirEntry* dir = this;
    dir->DropIndexes();
    for (;;) {
        CArcEntry* child = dir->entries.First();
        if (child == nullptr) {
            if (dir == this)
                return;
            CDirEntry* up = dir->parent;
            delete dir;
            dir = up;
        } else if (child->IsDirectory() && !static_cast<CDirEntry*>(child)->entries.Empty()) {
            dir = static_cast<CDirEntry*>(child);
            dir->DropIndexes();
        } else {
            delete child;
        }
    }
}

std::int64_t CDirEntry::CountFiles() {
    std::int64_t count = 0;
    std::vector<CDirEntry*> pending{this};
    while (!pending.empty()) {
        CDirEntry* dir = pending.back();
        pending.pop_back();
        for (CArcEntry* child = dir->entries.First(); child != nullptr;
             child = dir->entries.Next(child)) {
            if (child->IsFile())
                ++count;
            else
                pending.push_back(static_cast<CDirEntry*>(child));
        }
    }
    return count;
}

// Each open directory counts the children it keeps; a subdirectory is
// judged when its own frame is done, and its successor in the parent was
// taken before descending into it.
std::int32_t CDirEntry::RemoveEmptyDirectories() {
    struct Frame {
        CDirEntry* dir;
        CArcEntry* next;
        std::int32_t kept;
    };
    std::vector<Frame> frames{{this, entries.First(), 0}};
    for (;;) {
        Frame& frame = frames.back();
        if (frame.next == nullptr) {
            const Frame done = frame;
            frames.pop_back();
            if (frames.empty())
                return done.kept;
            if (done.kept == 0)
                delete done.dir;
            else
                ++frames.back().kept;
            continue;
        }
        CArcEntry* child = frame.next;
        frame.next = frame.dir->entries.Next(child);
        if (child->IsDirectory()) {
            CDirEntry* sub = static_cast<CDirEntry*>(child);
            frames.push_back({sub, sub->entries.First(), 0});
        } else {
            ++frame.kept;
        }
    }
}

void CDirEntry::SortByName() {
    std::vector<CDirEntry*> pending{this};
    std::vector<CArcEntry*> children;
    while (!pending.empty()) {
        CDirEntry* dir = pending.back();
        pending.pop_back();
        children.clear();
        for (CArcEntry* child = dir->entries.First(); child != nullptr;
             child = dir->entries.Next(child)) {
            children.push_back(child);
            if (child->IsDirectory())
                pending.push_back(static_cast<CDirEntry*>(child));
        }
        const auto byName = [](const CArcEntry* a, const CArcEntry* b) {
            return a->name < b->name;
        };
        if (!dir->risersStale_ && dir->risers_.size() == children.size())
            continue;
        // The risers are found when a sorted insertion needs them.
        dir->risers_.clear();
        dir->risersStale_ = true;
        if (std::is_sorted(children.begin(), children.end(), byName))
            continue;
        std::sort(children.begin(), children.end(), byName);
        for (CArcEntry* child : children)
            dir->entries.Remove(child);
        for (CArcEntry* child : children)
            dir->entries.Append(child);
    }
}

void CDirEntry::ApplySortRule(bool flag) {
    std::vector<CDirEntry*> pending{this};
    while (!pending.empty()) {
        CDirEntry* dir = pending.back();
        pending.pop_back();
        dir->sorted = flag;
        for (CArcEntry* child = dir->entries.First(); child != nullptr;
             child = dir->entries.Next(child)) {
            if (child->IsDirectory())
                pending.push_back(static_cast<CDirEntry*>(child));
        }
    }
}

// The walk keeps one frame per directory in progress, holding the next
// child to descend into. Every successor is taken before the call that
// might destroy its predecessor.
int CDirEntry::Walk(CArcEntryVisitor& visitor, bool recursive) {
    struct Frame {
        CDirEntry* dir;
        CArcEntry* next;
    };
    std::vector<Frame> frames;
    int result = 0;
    const auto enter = [&](CDirEntry& dir) {
        visitor.EnterDirectory(dir);
        for (CArcEntry* child = dir.entries.First(); child != nullptr && result == 0;) {
            CArcEntry* next = dir.entries.Next(child);
            result = visitor.Visit(*child);
            child = next;
        }
        visitor.EndOfEntries(dir);
        frames.push_back({&dir, recursive ? dir.entries.First() : nullptr});
    };
    enter(*this);
    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (result != 0 || frame.next == nullptr) {
            CDirEntry& dir = *frame.dir;
            frames.pop_back();
            visitor.LeaveDirectory(dir);
            continue;
        }
        CArcEntry* child = frame.next;
        frame.next = frame.dir->entries.Next(child);
        if (child->IsDirectory())
            enter(*static_cast<CDirEntry*>(child));
    }
    return result;
}

// ---------------------------------------------------------------------------

CFileEntry::CFileEntry(std::string name_, CDirEntry* parent_)
    : CArcEntry(std::move(name_), kFile), parent(parent_) {
    parent->Insert(this);
}

CFileEntry::~CFileEntry() {
    DropSource();
    parent->Unlink(this);
}

void CFileEntry::Load(XALFcl::CInputStream& stream, std::uint64_t n) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(n));
    stream.Read(buffer.data(), n);
    Keep(buffer);
}

void CFileEntry::LoadFile(XALFcl::CDisk& disk, const std::string& diskPath,
                          XALFcl::CDiskDirectory* directory, const std::string& name) {
    XALFcl::CDiskFileCloser file(directory != nullptr
                                     ? directory->OpenFileIn(parent->Arena(), name)
                                     : disk.Open(diskPath, XALFcl::OpenMode::Read));
    if (file.get() == nullptr)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotOpen, diskPath);
    XALFcl::FileStatus status;
    if (!file->GetStatus(status))
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, diskPath);
    std::vector<std::uint8_t> none;
    Keep(none);
    disk_ = &disk;
    diskPath_ = parent->Arena().Copy(diskPath.data(), diskPath.size());
    diskPathLength_ = diskPath.size();
    modTime_ = status.modTime;
    size = status.size;
    if (disk.HoldOpenFile())
        held_ = file.Release();
}

void CFileEntry::DropSource() {
    if (held_ != nullptr) {
        held_->Close();
        held_.reset();
        disk_->ReleaseOpenFile();
    }
    disk_ = nullptr;
    diskPath_ = nullptr;
    diskPathLength_ = 0;
    modTime_ = 0;
}

void CFileEntry::Refer(std::shared_ptr<CArchiveImage> image, std::uint64_t offset,
                       std::uint64_t n) {
    std::vector<std::uint8_t> none;
    Keep(none);
    image_ = n > 0 ? std::move(image) : nullptr;
    offset_ = offset;
    size = n;
}

void CFileEntry::CloseArchiveImage() {
    if (image_)
        image_->Close();
}

// The bytes become the entry's own contents; any range or disk file is
// dropped.
void CFileEntry::Keep(std::vector<std::uint8_t>& bytes) {
    size = bytes.size();
    bytes_.swap(bytes);
    std::vector<std::uint8_t>().swap(bytes);
    image_.reset();
    offset_ = 0;
    DropSource();
}

XALFcl::CDiskFile& CFileEntry::OpenSource(XALFcl::CDiskFileCloser& opened) const {
    XALFcl::CDiskFile* file = held_.get();
    if (file == nullptr) {
        opened = XALFcl::CDiskFileCloser(disk_->Open(DiskPath(), XALFcl::OpenMode::Read));
        file = opened.get();
        if (file == nullptr)
            throw XALFcl::CFileException(XALFcl::CFileException::kCannotOpen, DiskPath());
    }
    CheckSource(*file);
    return *file;
}

void CFileEntry::CheckSource(XALFcl::CDiskFile& file) const {
    XALFcl::FileStatus status;
    if (!file.GetStatus(status) || status.size != size || status.modTime != modTime_)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, DiskPath());
}

std::unique_ptr<XALFcl::CDiskFile> CFileEntry::TakeSource() {
    XALFcl::CDiskFileCloser file;
    if (held_ != nullptr) {
        file = XALFcl::CDiskFileCloser(std::move(held_));
        disk_->ReleaseOpenFile();
    } else {
        file = XALFcl::CDiskFileCloser(disk_->Open(DiskPath(), XALFcl::OpenMode::Read));
        if (file.get() == nullptr)
            throw XALFcl::CFileException(XALFcl::CFileException::kCannotOpen, DiskPath());
    }
    CheckSource(*file.get());
    return file.Release();
}

void CFileEntry::ReadPiece(XALFcl::CDiskFile* source, std::uint64_t start, std::uint8_t* buffer,
                           std::uint64_t count) const {
    if (image_ != nullptr) {
        image_->Read(offset_ + start, buffer, count);
    } else if (source != nullptr) {
        if (XALFcl::ReadFileAt(*source, diskPath_, static_cast<std::int64_t>(start), buffer, count)
            != count)
            throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, DiskPath());
    } else {
        std::memcpy(buffer, bytes_.data() + start, static_cast<std::size_t>(count));
    }
}

void CFileEntry::CheckSourceEnd(XALFcl::CDiskFile& source) const {
    std::uint8_t extra;
    if (XALFcl::ReadFileAt(source, diskPath_, static_cast<std::int64_t>(size), &extra, 1) != 0)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, DiskPath());
}

const std::uint8_t* CFileEntry::Data() {
    if (image_ != nullptr || disk_ != nullptr) {
        XALFcl::CDiskFileCloser opened;
        XALFcl::CDiskFile* source = disk_ != nullptr ? &OpenSource(opened) : nullptr;
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
        ReadPiece(source, 0, buffer.data(), size);
        if (source != nullptr)
            CheckSourceEnd(*source);
        Keep(buffer);
    }
    return bytes_.empty() ? nullptr : bytes_.data();
}

void CFileEntry::Store(XALFcl::COutputStream& stream) const {
    if (disk_ == nullptr && image_ == nullptr) {
        if (size > 0)
            stream.Write(bytes_.data(), bytes_.size());
        return;
    }
    if (image_ != nullptr) {
        image_->CopyTo(stream, offset_, size);
        return;
    }
    XALFcl::CDiskFileCloser opened;
    XALFcl::CDiskFile& source = OpenSource(opened);
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min(size, CArchiveImage::kChunkSize)));
    for (std::uint64_t done = 0; done < size;) {
        const std::uint64_t n = std::min<std::uint64_t>(size - done, chunk.size());
        ReadPiece(&source, done, chunk.data(), n);
        stream.Write(chunk.data(), n);
        done += n;
    }
    CheckSourceEnd(source);
}

// A disk file is asked for one byte more than it should hold: the read that
// brings its last bytes also shows whether it grew.
void CFileEntry::CopyTo(XALFcl::CFile& out) const {
    if (disk_ != nullptr) {
        XALFcl::CDiskFileCloser opened;
        if (out.CopyFrom(OpenSource(opened), diskPath_, 0, size + 1, size) != size)
            throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, DiskPath());
    } else if (image_ != nullptr) {
        image_->CopyTo(out, offset_, size);
    } else if (size > 0) {
        out.Write(bytes_.data(), size);
    }
}

// The disk side is read first in every chunk, so that a disk file that
// ended early is seen by the caller as such; stored contents that ended
// early fail where they are read.
bool CFileEntry::Compare(XALFcl::CInputStream& stream, std::uint64_t n) const {
    const bool inMemory = image_ == nullptr && disk_ == nullptr;
    if (n != size || size == 0 || (inMemory && bytes_.size() != size))
        return false;
    XALFcl::CDiskFileCloser opened;
    XALFcl::CDiskFile* source = disk_ != nullptr ? &OpenSource(opened) : nullptr;
    const std::uint64_t chunkSize = std::min(size, CArchiveImage::kChunkSize);
    // Left uninitialised: every byte compared has been read first. A small
    // member's bytes fit on the stack.
    std::uint8_t small[std::size_t{16} << 10];
    std::unique_ptr<std::uint8_t[]> large;
    if (chunkSize > sizeof small)
        large.reset(new std::uint8_t[chunkSize]);
    std::uint8_t* const block = large != nullptr ? large.get() : small;
    std::unique_ptr<std::uint8_t[]> stored;
    for (std::uint64_t done = 0; done < size;) {
        const std::uint64_t chunk = std::min(size - done, chunkSize);
        stream.Read(block, chunk);
        if (stream.state & XALFcl::CIosBase::kEndOfData)
            return false;
        // A small member of the archive is compared where the image holds it.
        const std::uint8_t* expected = nullptr;
        if (image_ != nullptr)
            expected = image_->Peek(offset_ + done, chunk);
        else if (source == nullptr)
            expected = bytes_.data() + done;
        if (expected == nullptr) {
            if (stored == nullptr)
                stored.reset(new std::uint8_t[chunkSize]);
            ReadPiece(source, done, stored.get(), chunk);
            expected = stored.get();
        }
        if (std::memcmp(block, expected, static_cast<std::size_t>(chunk)) != 0)
            return false;
        done += chunk;
    }
    if (source != nullptr)
        CheckSourceEnd(*source);
    return true;
}

} // namespace XALArc
