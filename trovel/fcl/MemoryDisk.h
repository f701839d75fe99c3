#pragma once

#include "fcl/Disk.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace XALFcl {

// A whole disk held in memory, for tests and fuzzers: directories, regular
// files, symbolic links, hard links (names sharing one file), permission
// bits, times, inode numbers and the locks of OpenMode::CreateLocked, with
// the POSIX disk's rules. Paths are resolved from its root, relative ones
// too; there are no devices or FIFOs. New files get the bits 0644 (a umask
// of 022), new directories 0755, and both the disk's clock as their time.
//
// Its calls may come from several threads; each runs alone.
//
// It can be told to fail: every call of the disk and of its open files is
// counted, so a test can run once to count the calls and then fail each one
// in turn. Setting up and inspecting the disk (AddFile, Contents, ...) is
// neither counted nor ever fails.
class CMemoryDisk : public CDisk {
public:
    // The kinds of call, for counting and failing them. Status covers the
    // status of paths and of open files and IsAt; Read covers ReadAt.
    enum class Op {
        Any,
        Open,
        Status,
        List,
        MakeDirectory,
        Remove,
        Rename,
        Link,
        Read,
        Write,
        Seek,
        Close,
        Permissions,
    };
    // How an injected failure shows. Error: the call fails and changes
    // nothing. Interrupted: a read or write moves only part of its bytes (at
    // least one), any other call just succeeds, as a caller that retries
    // sees it. EndOfFile: a read finds the end of the file there; any other
    // call fails as with Error.
    enum class Fault { Error, Interrupted, EndOfFile };

    CMemoryDisk();
    ~CMemoryDisk() override;

    std::unique_ptr<CDiskFile> Open(const std::string& path, OpenMode mode) override;
    bool GetStatus(const std::string& path, FileStatus& status) override;
    bool GetLinkStatus(const std::string& path, FileStatus& status) override;
    bool ListDirectory(const std::string& path, std::vector<std::string>& names) override;
    // Tells the kinds of files and directories, not of links.
    bool ListDirectory(const std::string& path, std::vector<DirectoryName>& names) override;
    // Opening a directory counts as a listing (Op::List); its files are
    // opened and examined by the calls of their kinds.
    std::unique_ptr<CDiskDirectory> OpenDirectory(const std::string& path) override;
    bool MakeDirectory(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool RenameReplace(const std::string& from, const std::string& to) override;
    bool HardLink(const std::string& existing, const std::string& link) override;
    std::uint32_t DefaultPermissions() override;

protected:
    std::uint64_t OpenFileLimit() override;

public:
    // The calls of kind `op` made so far.
    std::uint64_t Calls(Op op = Op::Any) const;
    // The `n`-th call of kind `op`, counted from the creation of the disk
    // (1 is the first), fails as `fault` says. One such failure is pending
    // at a time; a later FailAt replaces it.
    void FailAt(std::uint64_t n, Op op = Op::Any, Fault fault = Fault::Error);
    // Whether the failure of FailAt has happened.
    bool Failed() const;
    // The files may hold `bytes` in all (names that share a file count it
    // once; a removed file still open counts until it is closed): a write
    // past that writes what fits, and fails when nothing does.
    void SpaceLimit(std::uint64_t bytes);
    // Every later call of kind `op` (of any kind for Op::Any) fails: a file
    // system without hard links, say.
    void Refuse(Op op);
    // How many files the disk lets a run hold open (HoldOpenFile); 2 unless
    // set, so that a run of a few files both holds and opens again.
    void SetOpenFileLimit(std::uint64_t limit);

    // Creates or replaces a file, making missing directories above it.
    void AddFile(const std::string& path, const std::string& bytes);
    // Makes a directory and any missing ones above it.
    void AddDirectory(const std::string& path);
    void AddLink(const std::string& target, const std::string& path);
    // Sets the time of what `path` names (links followed).
    void SetTime(const std::string& path, std::int64_t time);
    // The time that what is created or written from now on gets.
    void SetClock(std::int64_t time);
    // The bytes of the file at `path` (links followed); empty when there is
    // no such file.
    std::string Contents(const std::string& path) const;
    // Whether anything, a dangling link too, is at `path`.
    bool Exists(const std::string& path) const;
    // Every name on the disk, sorted: "/d/" for a directory, "/d/f" for a
    // file, "/d/l -> target" for a link.
    std::vector<std::string> Paths() const;

private:
    enum class NodeKind { File, Directory, Link };
    struct Node;
    struct Space;
    struct Lookup;
    class COpenFile;
    class COpenDirectory;

    // Counts a call; the fault it must show, if any.
    std::optional<Fault> Call(Op op);
    // From `start` for a relative path when given, else from the root.
    Lookup Find(const std::string& path, bool followFinal,
                const std::shared_ptr<Node>& start = nullptr) const;
    std::unique_ptr<CDiskFile> OpenForReading(const Lookup& found);
    static void ListNode(const Node& directory, std::vector<DirectoryName>& names);
    std::shared_ptr<Node> NewNode(NodeKind kind, std::uint32_t permissions);
    std::shared_ptr<Node> MakePath(const std::string& path, NodeKind kind);
    bool Status(const std::string& path, bool followFinal, FileStatus& status,
                const std::shared_ptr<Node>& start = nullptr);
    void Fill(const Node& node, FileStatus& status) const;
    std::unique_ptr<CDiskFile> Create(const Lookup& place, std::uint32_t permissions, bool locked);

    mutable std::recursive_mutex mutex_;
    std::shared_ptr<Node> root_;
    std::shared_ptr<Space> space_;
    std::array<std::uint64_t, 13> calls_{};
    std::uint64_t failAt_ = 0;
    Op failOp_ = Op::Any;
    Fault fault_ = Fault::Error;
    bool failed_ = false;
    std::vector<Op> refused_;
    std::int64_t clock_ = 0;
    std::uint64_t nextInode_ = 1;
    std::uint64_t openFileLimit_ = 2;
};

} // namespace XALFcl
