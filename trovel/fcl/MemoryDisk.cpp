#include "fcl/MemoryDisk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

namespace XALFcl {

namespace {

constexpr std::uint32_t kFilePermissions = 0644; // 0666 less a umask of 022
constexpr std::uint32_t kDirectoryPermissions = 0755;
constexpr std::uint32_t kLockedFilePermissions = 0600;
constexpr int kMaxLinkDepth = 40; // then a path is a loop
constexpr std::uint64_t kDevice = 1;

// The components of a path; empty ones (doubled or leading slashes) go.
std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

// Whether an injected fault makes a call fail. An interrupted call is one
// that its caller (the host disk's code) retries, so it succeeds in the end.
bool Fails(const std::optional<CMemoryDisk::Fault>& fault) {
    return fault && *fault != CMemoryDisk::Fault::Interrupted;
}

} // namespace

// The bytes that all files hold together. Files share it, so that one still
// open after its last name went counts until it goes.
struct CMemoryDisk::Space {
    std::uint64_t used = 0;
    std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
};

struct CMemoryDisk::Node {
    Node(NodeKind kind_, std::uint32_t permissions_, std::uint64_t inode_, std::int64_t time_,
         std::shared_ptr<Space> space_)
        : kind(kind_), permissions(permissions_), inode(inode_), time(time_),
          space(std::move(space_)) {}
    ~Node() { space->used -= bytes.size(); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    void Resize(std::size_t size) {
        space->used = space->used - bytes.size() + size;
        bytes.resize(size);
    }

    NodeKind kind;
    std::uint32_t permissions;
    std::uint64_t inode;
    std::int64_t time;
    std::shared_ptr<Space> space;
    std::string bytes;                                     // a file's contents
    std::string target;                                    // a link's target
    std::map<std::string, std::shared_ptr<Node>> children; // a directory's names
    std::weak_ptr<Node> parent;                            // a directory's parent
    int locks = 0;
};

// Where a path leads. `ok` when every component but the last could be
// walked; then `node` is what the path names (null when nothing is there),
// and `parent` and `name` the directory and name of its last component
// (null and empty for the root, "." and "..").
struct CMemoryDisk::Lookup {
    bool ok = false;
    std::shared_ptr<Node> node;
    std::shared_ptr<Node> parent;
    std::string name;
};

class CMemoryDisk::COpenFile : public CDiskFile {
public:
    COpenFile(CMemoryDisk& disk, std::shared_ptr<Node> node, bool writable, bool locked)
        : disk_(disk), node_(std::move(node)), writable_(writable), locked_(locked) {
        if (locked_)
            ++node_->locks;
    }
    // The node goes under the lock too: the last reference to a file that
    // lost its names gives its space back.
    ~COpenFile() override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        if (locked_)
            --node_->locks;
        node_.reset();
    }

    std::int64_t Read(void* buffer, std::uint64_t count) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        const std::int64_t n = ReadAt(position_, buffer, count, disk_.Call(Op::Read));
        if (n > 0)
            position_ += n;
        return n;
    }

    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        return ReadAt(offset, buffer, count, disk_.Call(Op::Read));
    }

    std::int64_t Write(const void* buffer, std::uint64_t count) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        const std::optional<Fault> fault = disk_.Call(Op::Write);
        if (!open_ || !writable_ || Fails(fault))
            return -1;
        std::uint64_t allowed = Allowed(fault, count);
        // What the write adds to the file (a gap before it included) must
        // fit in the space left.
        const auto size = static_cast<std::uint64_t>(node_->bytes.size());
        const auto position = static_cast<std::uint64_t>(position_);
        const Space& space = *node_->space;
        const std::uint64_t room = space.limit > space.used ? space.limit - space.used : 0;
        if (position + allowed > size + room)
            allowed = position >= size + room ? 0 : size + room - position;
        if (allowed == 0)
            return count == 0 ? 0 : -1;
        if (position + allowed > size)
            node_->Resize(static_cast<std::size_t>(position + allowed));
        std::memcpy(&node_->bytes[static_cast<std::size_t>(position)], buffer,
                    static_cast<std::size_t>(allowed));
        position_ += static_cast<std::int64_t>(allowed);
        node_->time = disk_.clock_;
        return static_cast<std::int64_t>(allowed);
    }

    std::int64_t Seek(std::int64_t offset, int origin) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        const std::optional<Fault> fault = disk_.Call(Op::Seek);
        if (!open_ || Fails(fault))
            return -1;
        std::int64_t base = 0;
        if (origin == SEEK_CUR)
            base = position_;
        else if (origin == SEEK_END)
            base = static_cast<std::int64_t>(node_->bytes.size());
        else if (origin != SEEK_SET)
            return -1;
        if (offset < -base)
            return -1;
        position_ = base + offset;
        return position_;
    }

    bool Close() override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        const std::optional<Fault> fault = disk_.Call(Op::Close);
        const bool wasOpen = open_;
        open_ = false;
        return wasOpen && !Fails(fault);
    }

    bool GetStatus(FileStatus& status) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        if (!Answers(disk_.Call(Op::Status)))
            return false;
        disk_.Fill(*node_, status);
        return true;
    }

    bool SetPermissions(std::uint32_t permissions) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        const std::optional<Fault> fault = disk_.Call(Op::Permissions);
        if (!open_ || Fails(fault))
            return false;
        node_->permissions = permissions & 0777;
        return true;
    }

    bool IsAt(const std::string& path) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        return Answers(disk_.Call(Op::Status)) && disk_.Find(path, false).node == node_;
    }

private:
    // The bytes a transfer of `count` may move under `fault`.
    static std::uint64_t Allowed(const std::optional<Fault>& fault, std::uint64_t count) {
        return fault && *fault == Fault::Interrupted ? (count + 1) / 2 : count;
    }

    // Whether the file can tell about itself: while open, or, holding a
    // lock, until it goes.
    bool Answers(const std::optional<Fault>& fault) const {
        return (open_ || locked_) && !Fails(fault);
    }

    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count,
                        const std::optional<Fault>& fault) {
        if (!open_ || writable_ || offset < 0 || (fault && *fault == Fault::Error))
            return -1;
        const auto size = static_cast<std::uint64_t>(node_->bytes.size());
        const auto start = static_cast<std::uint64_t>(offset);
        if ((fault && *fault == Fault::EndOfFile) || start >= size || count == 0)
            return 0;
        const std::uint64_t n = std::min(Allowed(fault, count), size - start);
        std::memcpy(buffer, node_->bytes.data() + start, static_cast<std::size_t>(n));
        return static_cast<std::int64_t>(n);
    }

    CMemoryDisk& disk_;
    std::shared_ptr<Node> node_;
    const bool writable_;
    const bool locked_;
    bool open_ = true;
    std::int64_t position_ = 0;
};

// A directory held open: names are looked up from its node, wherever it
// has gone since.
class CMemoryDisk::COpenDirectory : public CDiskDirectory {
public:
    COpenDirectory(CMemoryDisk& disk, std::shared_ptr<Node> node)
        : disk_(disk), node_(std::move(node)) {}
    ~COpenDirectory() override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        node_.reset();
    }

    bool List(std::vector<DirectoryName>& names) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        if (Fails(disk_.Call(Op::List)))
            return false;
        ListNode(*node_, names);
        return true;
    }

    bool GetStatus(FileStatus& status) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        if (Fails(disk_.Call(Op::Status)))
            return false;
        disk_.Fill(*node_, status);
        return true;
    }

    bool GetStatus(const std::string& name, FileStatus& status) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        return disk_.Status(name, true, status, node_);
    }

    std::unique_ptr<CDiskFile> OpenFile(const std::string& name) override {
        const std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        if (Fails(disk_.Call(Op::Open)))
            return nullptr;
        return disk_.OpenForReading(disk_.Find(name, true, node_));
    }

private:
    CMemoryDisk& disk_;
    std::shared_ptr<Node> node_;
};

CMemoryDisk::CMemoryDisk() : space_(std::make_shared<Space>()) {
    root_ = NewNode(NodeKind::Directory, kDirectoryPermissions);
    root_->parent = root_;
}

CMemoryDisk::~CMemoryDisk() = default;

std::optional<CMemoryDisk::Fault> CMemoryDisk::Call(Op op) {
    ++calls_[static_cast<std::size_t>(Op::Any)];
    const std::uint64_t count = ++calls_[static_cast<std::size_t>(op)];
    for (const Op refused : refused_) {
        if (refused == op || refused == Op::Any)
            return Fault::Error;
    }
    if (failed_ || failAt_ == 0 || (failOp_ != Op::Any && failOp_ != op))
        return std::nullopt;
    if ((failOp_ == Op::Any ? calls_[static_cast<std::size_t>(Op::Any)] : count) != failAt_)
        return std::nullopt;
    failed_ = true;
    return fault_;
}

CMemoryDisk::Lookup CMemoryDisk::Find(const std::string& path, bool followFinal,
                                      const std::shared_ptr<Node>& start) const {
    Lookup result;
    if (path.empty())
        return result;
    const bool wantsDirectory = path.back() == '/';
    std::vector<std::string> pending = Split(path);
    std::reverse(pending.begin(), pending.end());
    std::shared_ptr<Node> current = start != nullptr && path.front() != '/' ? start : root_;
    int links = 0;
    while (!pending.empty()) {
        if (current->kind != NodeKind::Directory)
            return result;
        std::string part = std::move(pending.back());
        pending.pop_back();
        const bool last = pending.empty();
        if (part == "." || part == "..") {
            if (part == "..")
                current = current->parent.lock();
            continue;
        }
        const auto child = current->children.find(part);
        if (child == current->children.end()) {
            if (!last || wantsDirectory)
                return result;
            result.ok = true;
            result.parent = current;
            result.name = part;
            return result;
        }
        const Node& node = *child->second;
        if (node.kind == NodeKind::Link && (!last || followFinal || wantsDirectory)) {
            if (++links > kMaxLinkDepth || node.target.empty())
                return result;
            if (node.target.front() == '/')
                current = root_;
            std::vector<std::string> target = Split(node.target);
            pending.insert(pending.end(), target.rbegin(), target.rend());
            continue;
        }
        if (last) {
            if (wantsDirectory && node.kind != NodeKind::Directory)
                return result;
            result.ok = true;
            result.node = child->second;
            result.parent = current;
            result.name = part;
            return result;
        }
        current = child->second;
    }
    if (current->kind != NodeKind::Directory)
        return result;
    result.ok = true;
    result.node = current;
    return result;
}

std::shared_ptr<CMemoryDisk::Node> CMemoryDisk::NewNode(NodeKind kind, std::uint32_t permissions) {
    return std::make_shared<Node>(kind, permissions, nextInode_++, clock_, space_);
}

void CMemoryDisk::Fill(const Node& node, FileStatus& status) const {
    status.kind = node.kind == NodeKind::File ? FileKind::Regular
        : node.kind == NodeKind::Directory    ? FileKind::Directory
                                              : FileKind::Other;
    status.isLink = node.kind == NodeKind::Link;
    status.modTime = node.time;
    status.size = node.kind == NodeKind::Link ? node.target.size() : node.bytes.size();
    status.device = kDevice;
    status.inode = node.inode;
    status.permissions = node.permissions;
}

std::unique_ptr<CDiskFile> CMemoryDisk::Create(const Lookup& place, std::uint32_t permissions,
                                               bool locked) {
    if (!place.ok || place.node != nullptr || place.parent == nullptr)
        return nullptr;
    std::shared_ptr<Node> node = NewNode(NodeKind::File, permissions);
    place.parent->children[place.name] = node;
    return std::make_unique<COpenFile>(*this, std::move(node), true, locked);
}

std::unique_ptr<CDiskFile> CMemoryDisk::Open(const std::string& path, OpenMode mode) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::Open);
    if (Fails(fault))
        return nullptr;
    switch (mode) {
    case OpenMode::Read: return OpenForReading(Find(path, true));
    case OpenMode::WriteTruncate: {
        const Lookup found = Find(path, true);
        if (found.node == nullptr)
            return Create(found, kFilePermissions, false);
        if (found.node->kind != NodeKind::File)
            return nullptr;
        found.node->Resize(0);
        found.node->time = clock_;
        return std::make_unique<COpenFile>(*this, found.node, true, false);
    }
    case OpenMode::WriteExclusive: return Create(Find(path, false), kFilePermissions, false);
    case OpenMode::CreateLocked: {
        Lookup found = Find(path, false);
        if (found.node != nullptr) {
            // A link or a dead writer's leftover goes; a live writer's file
            // and a directory stay.
            if (found.node->kind == NodeKind::Directory || found.node->locks > 0)
                return nullptr;
            found.parent->children.erase(found.name);
            found.node = nullptr;
        }
        return Create(found, kLockedFilePermissions, true);
    }
    }
    return nullptr;
}

std::unique_ptr<CDiskFile> CMemoryDisk::OpenForReading(const Lookup& found) {
    if (found.node == nullptr || found.node->kind != NodeKind::File)
        return nullptr;
    return std::make_unique<COpenFile>(*this, found.node, false, false);
}

bool CMemoryDisk::GetStatus(const std::string& path, FileStatus& status) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Status(path, true, status);
}

bool CMemoryDisk::GetLinkStatus(const std::string& path, FileStatus& status) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Status(path, false, status);
}

bool CMemoryDisk::Status(const std::string& path, bool followFinal, FileStatus& status,
                         const std::shared_ptr<Node>& start) {
    const std::optional<Fault> fault = Call(Op::Status);
    const Lookup found = Find(path, followFinal, start);
    if (Fails(fault) || found.node == nullptr)
        return false;
    Fill(*found.node, status);
    return true;
}

bool CMemoryDisk::ListDirectory(const std::string& path, std::vector<std::string>& names) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::List);
    const Lookup found = Find(path, true);
    if (Fails(fault) || found.node == nullptr || found.node->kind != NodeKind::Directory)
        return false;
    names.emplace_back(".");
    names.emplace_back("..");
    for (const auto& child : found.node->children)
        names.push_back(child.first);
    return true;
}

bool CMemoryDisk::ListDirectory(const std::string& path, std::vector<DirectoryName>& names) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::List);
    const Lookup found = Find(path, true);
    if (Fails(fault) || found.node == nullptr || found.node->kind != NodeKind::Directory)
        return false;
    ListNode(*found.node, names);
    return true;
}

void CMemoryDisk::ListNode(const Node& directory, std::vector<DirectoryName>& names) {
    for (const char* dot : {".", ".."})
        names.push_back({dot, FileKind::Directory, true});
    for (const auto& child : directory.children) {
        const NodeKind kind = child.second->kind;
        names.push_back({child.first,
                         kind == NodeKind::Directory ? FileKind::Directory : FileKind::Regular,
                         kind != NodeKind::Link});
    }
}

// Opening a directory counts as a listing.
std::unique_ptr<CDiskDirectory> CMemoryDisk::OpenDirectory(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::List);
    const Lookup found = Find(path, true);
    if (Fails(fault) || found.node == nullptr || found.node->kind != NodeKind::Directory)
        return nullptr;
    return std::make_unique<COpenDirectory>(*this, found.node);
}

bool CMemoryDisk::MakeDirectory(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::MakeDirectory);
    const Lookup found = Find(path, false);
    if (Fails(fault) || !found.ok || found.node != nullptr || found.parent == nullptr)
        return false;
    std::shared_ptr<Node> directory = NewNode(NodeKind::Directory, kDirectoryPermissions);
    directory->parent = found.parent;
    found.parent->children[found.name] = std::move(directory);
    return true;
}

bool CMemoryDisk::RemoveFile(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::Remove);
    const Lookup found = Find(path, false);
    if (Fails(fault) || found.node == nullptr || found.parent == nullptr
        || found.node->kind == NodeKind::Directory)
        return false;
    found.parent->children.erase(found.name);
    return true;
}

bool CMemoryDisk::RenameReplace(const std::string& from, const std::string& to) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::Rename);
    const Lookup source = Find(from, false);
    const Lookup target = Find(to, false);
    if (Fails(fault) || source.node == nullptr || source.parent == nullptr || !target.ok
        || target.parent == nullptr)
        return false;
    if (target.node == source.node)
        return true;
    const bool moveDirectory = source.node->kind == NodeKind::Directory;
    if (target.node != nullptr) {
        const bool intoDirectory = target.node->kind == NodeKind::Directory;
        if (intoDirectory != moveDirectory || (intoDirectory && !target.node->children.empty()))
            return false;
    }
    if (moveDirectory) {
        // Never into itself or below it.
        for (std::shared_ptr<Node> up = target.parent; up != root_; up = up->parent.lock()) {
            if (up == source.node)
                return false;
        }
        source.node->parent = target.parent;
    }
    const std::shared_ptr<Node> node = source.node;
    source.parent->children.erase(source.name);
    target.parent->children[target.name] = node;
    return true;
}

bool CMemoryDisk::HardLink(const std::string& existing, const std::string& link) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<Fault> fault = Call(Op::Link);
    const Lookup source = Find(existing, false);
    const Lookup target = Find(link, false);
    if (Fails(fault) || source.node == nullptr || source.node->kind == NodeKind::Directory
        || !target.ok || target.node != nullptr || target.parent == nullptr)
        return false;
    target.parent->children[target.name] = source.node;
    return true;
}

std::uint32_t CMemoryDisk::DefaultPermissions() {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return kFilePermissions;
}

std::uint64_t CMemoryDisk::Calls(Op op) const {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return calls_[static_cast<std::size_t>(op)];
}

void CMemoryDisk::FailAt(std::uint64_t n, Op op, Fault fault) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    failAt_ = n;
    failOp_ = op;
    fault_ = fault;
    failed_ = false;
}

bool CMemoryDisk::Failed() const {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return failed_;
}

void CMemoryDisk::SpaceLimit(std::uint64_t bytes) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    space_->limit = bytes;
}

void CMemoryDisk::Refuse(Op op) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    refused_.push_back(op);
}

std::shared_ptr<CMemoryDisk::Node> CMemoryDisk::MakePath(const std::string& path, NodeKind kind) {
    const std::vector<std::string> parts = Split(path);
    std::shared_ptr<Node> current = root_;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::shared_ptr<Node>& slot = current->children[parts[i]];
        const bool last = i + 1 == parts.size();
        const NodeKind wanted = last ? kind : NodeKind::Directory;
        if (slot == nullptr || slot->kind != wanted || (last && wanted != NodeKind::Directory)) {
            slot = NewNode(
                wanted, wanted == NodeKind::Directory ? kDirectoryPermissions : kFilePermissions);
            if (wanted == NodeKind::Directory)
                slot->parent = current;
        }
        current = slot;
    }
    return current;
}

void CMemoryDisk::AddFile(const std::string& path, const std::string& bytes) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::shared_ptr<Node> file = MakePath(path, NodeKind::File);
    file->Resize(bytes.size());
    file->bytes = bytes;
}

void CMemoryDisk::AddDirectory(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    MakePath(path, NodeKind::Directory);
}

void CMemoryDisk::AddLink(const std::string& target, const std::string& path) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    MakePath(path, NodeKind::Link)->target = target;
}

void CMemoryDisk::SetTime(const std::string& path, std::int64_t time) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const Lookup found = Find(path, true);
    if (found.node != nullptr)
        found.node->time = time;
}

void CMemoryDisk::SetOpenFileLimit(std::uint64_t limit) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    openFileLimit_ = limit;
}

std::uint64_t CMemoryDisk::OpenFileLimit() {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return openFileLimit_;
}

void CMemoryDisk::SetClock(std::int64_t time) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    clock_ = time;
}

std::string CMemoryDisk::Contents(const std::string& path) const {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const Lookup found = Find(path, true);
    return found.node != nullptr && found.node->kind == NodeKind::File ? found.node->bytes
                                                                       : std::string();
}

bool CMemoryDisk::Exists(const std::string& path) const {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Find(path, false).node != nullptr;
}

std::vector<std::string> CMemoryDisk::Paths() const {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<std::string> paths;
    std::vector<std::pair<std::string, const Node*>> pending{{"/", root_.get()}};
    while (!pending.empty()) {
        const auto [prefix, directory] = pending.back();
        pending.pop_back();
        for (const auto& [name, node] : directory->children) {
            const std::string path = prefix + name;
            if (node->kind == NodeKind::Directory) {
                paths.push_back(path + "/");
                pending.emplace_back(path + "/", node.get());
            } else if (node->kind == NodeKind::Link) {
                paths.push_back(path + " -> " + node->target);
            } else {
                paths.push_back(path);
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace XALFcl
