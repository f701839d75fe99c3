#include "memory_disk.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Symbolic links followed in a row before a path counts as a loop.
constexpr int max_links = 40;

bool representable(const std::string& path) {
    return path.find('\0') == std::string::npos;
}

std::string normalise(const std::string& path) {
    const bool rooted = !path.empty() && path[0] == '/';
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string piece = path.substr(start, slash - start);
        start = slash + 1;
        if (piece.empty() || piece == ".")
            continue;
        if (piece == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!(piece == ".." && rooted && parts.empty()))
            parts.push_back(piece);
    }
    std::string name = rooted ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i)
        name += (i == 0 ? "" : "/") + parts[i];
    return name;
}

// A copy moves at most this many bytes at a time.
constexpr std::size_t copy_piece = 0x10000;

// A short transfer moves at most half of what was asked, and at least one byte.
std::size_t shortened(std::size_t count) {
    return count > 1 ? count / 2 : count;
}

} // namespace

class memory_disk::file : public disk_file {
public:
    file(memory_disk& disk, std::shared_ptr<node> data, bool writable)
        : disk_(disk), node_(std::move(data)), writable_(writable) {}

    io_result read(void* buffer, std::size_t count) override {
        const std::optional<fault> met = disk_.count_call();
        if (met == fault::fail || writable_)
            return {0, io_status::failed};
        if (met == fault::interrupt)
            return {0, io_status::interrupted};
        const std::string& bytes = node_->bytes;
        std::size_t moved = position_ < bytes.size()
            ? static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes.size() - position_))
            : 0;
        if (met == fault::short_transfer)
            moved = shortened(moved);
        if (moved > 0)
            std::memcpy(buffer, bytes.data() + position_, moved);
        position_ += moved;
        return {moved, io_status::done};
    }

    io_result write(const void* data, std::size_t count) override {
        const std::optional<fault> met = disk_.count_call();
        if (met == fault::fail || !writable_)
            return {0, io_status::failed};
        if (met == fault::interrupt)
            return {0, io_status::interrupted};
        std::size_t moved = met == fault::short_transfer ? shortened(count) : count;
        if (node_->kind == node_kind::device)
            return {moved, io_status::done};
        io_status status = io_status::done;
        if (position_ > disk_.space_ || moved > disk_.space_ - position_) {
            moved =
                position_ < disk_.space_ ? static_cast<std::size_t>(disk_.space_ - position_) : 0;
            status = io_status::failed;
        }
        if (moved > 0) {
            std::string& bytes = node_->bytes;
            if (bytes.size() < position_ + moved)
                bytes.resize(static_cast<std::size_t>(position_ + moved), '\0');
            bytes.replace(static_cast<std::size_t>(position_), moved,
                          static_cast<const char*>(data), moved);
            position_ += moved;
            node_->last_write = disk_.tick();
        }
        return {moved, status};
    }

    // A read of the source and the writes of what it gave, each a call of
    // its own that can go wrong.
    copy_result copy_from(disk_file& source, std::size_t count) override {
        piece_.resize(std::min(count, copy_piece));
        const io_result read = source.read(piece_.data(), piece_.size());
        copy_result result;
        result.read = read.status;
        while (result.count < read.count) {
            const io_result written =
                write(piece_.data() + result.count, read.count - result.count);
            result.count += written.count;
            if (written.status == io_status::failed
                || (written.status == io_status::done && written.count == 0)) {
                result.write = io_status::failed;
                break;
            }
        }
        return result;
    }

    bool seek(std::uint64_t position) override {
        if (disk_.count_call() == fault::fail)
            return false;
        if (node_->kind != node_kind::device)
            position_ = position;
        return true;
    }

    bool tell(std::uint64_t& position) override {
        if (disk_.count_call() == fault::fail)
            return false;
        position = position_;
        return true;
    }

    bool flush() override { return disk_.count_call() != fault::fail; }
    bool close() override { return disk_.count_call() != fault::fail; }

    bool status(file_status& status) override {
        if (disk_.count_call() == fault::fail)
            return false;
        status.last_write = node_->last_write;
        status.length = node_->bytes.size();
        status.regular = node_->kind == node_kind::regular;
        status.id = file_id{1, node_->inode};
        return true;
    }

private:
    memory_disk& disk_;
    std::shared_ptr<node> node_;
    bool writable_;
    std::uint64_t position_ = 0;
    std::vector<unsigned char> piece_;
};

memory_disk::memory_disk() = default;
memory_disk::~memory_disk() = default;

void memory_disk::add_file(const std::string& path, const std::string& bytes) {
    const std::shared_ptr<node> added = add(path, node_kind::regular);
    added->bytes = bytes;
}

void memory_disk::add_device(const std::string& path) {
    add(path, node_kind::device);
}

void memory_disk::add_link(const std::string& path, const std::string& target) {
    add(path, node_kind::link)->bytes = target;
}

void memory_disk::add_hard_link(const std::string& path, const std::string& existing) {
    if (const std::shared_ptr<node> found = find(normalise(existing)))
        names_[normalise(path)] = found;
}

void memory_disk::set_time(const std::string& path, file_time time) {
    if (const std::shared_ptr<node> found = find(resolve(path)))
        found->last_write = time;
}

bool memory_disk::exists(const std::string& path) const {
    return names_.count(normalise(path)) != 0;
}

std::map<std::string, std::string> memory_disk::files() const {
    std::map<std::string, std::string> result;
    for (const auto& entry : names_) {
        if (entry.second->kind == node_kind::regular)
            result[entry.first] = entry.second->bytes;
    }
    return result;
}

void memory_disk::inject(fault kind, std::size_t call) {
    fault_kind_ = kind;
    fault_call_ = call;
}

void memory_disk::limit_space(std::uint64_t bytes) {
    space_ = bytes;
}

std::unique_ptr<disk_file> memory_disk::open_for_reading(const std::string& path) {
    if (count_call() == fault::fail || !representable(path))
        return nullptr;
    const std::shared_ptr<node> found = find(resolve(path));
    if (!found || found->kind != node_kind::regular)
        return nullptr;
    return std::make_unique<file>(*this, found, false);
}

std::unique_ptr<disk_file> memory_disk::open_for_writing(const std::string& path) {
    if (count_call() == fault::fail || !representable(path))
        return nullptr;
    const std::string name = resolve(path);
    if (name.empty() || name == "/")
        return nullptr;
    std::shared_ptr<node> found = find(name);
    if (!found) {
        found = add(name, node_kind::regular);
    } else if (found->kind == node_kind::regular) {
        found->bytes.clear();
        found->last_write = tick();
    }
    return std::make_unique<file>(*this, found, true);
}

bool memory_disk::status_of(const std::string& path, path_status& status) {
    return count_call() != fault::fail && representable(path)
        && status_of_name(resolve(path), status);
}

bool memory_disk::link_status_of(const std::string& path, path_status& status) {
    return count_call() != fault::fail && representable(path)
        && status_of_name(normalise(path), status);
}

bool memory_disk::truncate(const std::string& path) {
    if (count_call() == fault::fail || !representable(path))
        return false;
    const std::shared_ptr<node> found = find(resolve(path));
    if (!found || found->kind != node_kind::regular)
        return false;
    found->bytes.clear();
    found->last_write = tick();
    return true;
}

bool memory_disk::unlink(const std::string& path) {
    if (count_call() == fault::fail || !representable(path))
        return false;
    return names_.erase(normalise(path)) != 0;
}

std::optional<memory_disk::fault> memory_disk::count_call() {
    ++calls_;
    if (calls_ == fault_call_)
        return fault_kind_;
    return std::nullopt;
}

std::string memory_disk::resolve(const std::string& path) const {
    std::string name = normalise(path);
    for (int links = 0; links < max_links; ++links) {
        const std::shared_ptr<node> found = find(name);
        if (!found || found->kind != node_kind::link)
            return name;
        const std::string& target = found->bytes;
        name = normalise(!target.empty() && target[0] == '/'
                             ? target
                             : name.substr(0, name.find_last_of('/') + 1) + target);
    }
    return std::string();
}

bool memory_disk::status_of_name(const std::string& name, path_status& status) const {
    const std::shared_ptr<node> found = find(name);
    if (!found)
        return false;
    status.id = file_id{1, found->inode};
    status.regular = found->kind == node_kind::regular;
    status.length = found->bytes.size();
    return true;
}

std::shared_ptr<memory_disk::node> memory_disk::find(const std::string& name) const {
    const auto found = names_.find(name);
    return found == names_.end() ? nullptr : found->second;
}

std::shared_ptr<memory_disk::node> memory_disk::add(const std::string& path, node_kind kind) {
    const std::shared_ptr<node> added = std::make_shared<node>();
    added->kind = kind;
    added->inode = next_inode_++;
    added->last_write = tick();
    names_[normalise(path)] = added;
    return added;
}

file_time memory_disk::tick() {
    if (++clock_.nanoseconds == 1000000000) {
        clock_.nanoseconds = 0;
        ++clock_.seconds;
    }
    return clock_;
}
