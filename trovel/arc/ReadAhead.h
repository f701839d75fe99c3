#pragma once

#include "fcl/RawAllocator.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace XALFcl {
class CFile;
} // namespace XALFcl

namespace XALArc {

class CFileEntry;

// Reads the disk files of the members that a save writes, in member order,
// on a second thread, a bounded number of bytes ahead of the writer. What it
// finds goes to the writer in that order: the bytes, then a failure where it
// happened, so that a save makes the same file and fails with the same
// message at the same member as one that reads each member when it is
// written. Members of other contents are left to the writer.
//
// Each member is followed by `padding` bytes up to a multiple of the
// alignment. The reader puts them into its batches after a disk file's
// bytes, so that a run of whole members in one batch goes out in one write.
class CReadAhead {
public:
    // `members` in the order they are written; the thread starts when one is
    // a disk file. The entries must outlive this object.
    CReadAhead(std::vector<CFileEntry*> members, std::uint64_t alignment, std::uint8_t padding);
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;
    // Stops the thread, also when the writer failed half way.
    ~CReadAhead();

    // Appends the contents of the next member and its padding to `out`, the
    // contents as CFileEntry::CopyTo does; members are taken in order. Whole
    // members that follow it in the same batch go too. Returns the number of
    // members written.
    std::size_t CopyNext(XALFcl::CFile& out);
    // The members, in the order they are written.
    const std::vector<CFileEntry*>& Members() const { return members_; }

private:
    // The part of a batch that holds bytes of one member, and whether the
    // member ends there, by its last byte or by `failure`.
    struct Span {
        std::size_t member = 0;
        std::size_t begin = 0;
        std::size_t end = 0;
        bool last = false;
        std::exception_ptr failure;
    };
    struct Batch {
        // Filled by reads before they are written: never cleared.
        std::vector<std::uint8_t, XALFcl::CRawAllocator<std::uint8_t>> bytes;
        std::size_t used = 0;
        std::vector<Span> spans;
    };

    void Run();
    // Reads member `index` and its padding into batches.
    void Read(std::size_t index, Batch*& batch);
    // The padding that follows a member of `size` bytes.
    std::uint64_t PaddingOf(std::uint64_t size) const;
    // Writes `count` padding bytes to `out`.
    void WritePadding(XALFcl::CFile& out, std::uint64_t count) const;
    // Hands a filled batch to the writer.
    void Publish(Batch* filled);
    // Waits for an empty batch; null once the writer has gone.
    Batch* TakeEmpty();
    // The writer's next span, waiting for its batch.
    const Span& NextSpan();

    std::vector<CFileEntry*> members_;
    std::uint64_t alignment_;
    std::uint8_t padding_;
    std::size_t next_ = 0;
    std::vector<std::unique_ptr<Batch>> batches_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch*> empty_;
    std::deque<Batch*> filled_;
    bool stop_ = false;

    // The writer's batch and its next span.
    Batch* reading_ = nullptr;
    std::size_t span_ = 0;

    std::thread thread_;
};

} // namespace XALArc
