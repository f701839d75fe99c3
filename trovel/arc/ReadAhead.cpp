#include "arc/ReadAhead.h"

#include "arc/ArcEntry.h"
#include "fcl/Exception.h"
#include "fcl/File.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace XALArc {

namespace {

// Small members travel many to a batch; a batch is written as it came. The
// batches bound what is read ahead: 2 MiB.
constexpr std::size_t kBatchSize = std::size_t{256} << 10;
constexpr std::size_t kBatches = 8;

} // namespace

CReadAhead::CReadAhead(std::vector<CFileEntry*> members) : members_(std::move(members)) {
    if (std::none_of(members_.begin(), members_.end(),
                     [](const CFileEntry* member) { return member->IsDiskFile(); }))
        return;
    for (std::size_t i = 0; i < kBatches; ++i) {
        batches_.push_back(std::make_unique<Batch>());
        batches_.back()->bytes.resize(kBatchSize);
        empty_.push_back(batches_.back().get());
    }
    thread_ = std::thread([this] { Run(); });
}

CReadAhead::~CReadAhead() {
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void CReadAhead::Run() {
    Batch* batch = TakeEmpty();
    for (std::size_t i = 0; i < members_.size() && batch != nullptr; ++i) {
        if (members_[i]->IsDiskFile())
            Read(i, batch);
    }
    if (batch != nullptr && !batch->spans.empty())
        Publish(batch);
}

// The reads are those of CFileEntry::CopyTo: one byte more than the member
// should hold is asked for, so that the read bringing its last bytes shows
// its end too. A member that fits a batch whole, with that byte, is not
// split. After a failure nothing more is read.
void CReadAhead::Read(std::size_t index, Batch*& batch) {
    CFileEntry& member = *members_[index];
    Span span;
    span.member = index;
    span.begin = batch->used;
    const auto next = [&] {
        span.end = batch->used;
        if (span.end > span.begin)
            batch->spans.push_back(span);
        Publish(batch);
        batch = TakeEmpty();
        span.begin = 0;
        return batch != nullptr;
    };
    try {
        const std::uint64_t size = member.size;
        if (size < kBatchSize && size + 1 > kBatchSize - batch->used && !next())
            return;
        const XALFcl::CDiskFileCloser file(member.TakeSource());
        for (std::uint64_t done = 0;;) {
            if (batch->used == kBatchSize && !next())
                return;
            const std::uint64_t want =
                std::min<std::uint64_t>(size - done + 1, kBatchSize - batch->used);
            const std::uint64_t got = XALFcl::ReadFileAt(
                *file.get(), member.DiskPathText(), static_cast<std::int64_t>(done),
                batch->bytes.data() + batch->used, want, std::min(want, size - done));
            batch->used += static_cast<std::size_t>(got);
            done += got;
            if (done > size || (got < want && done < size))
                throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad,
                                             member.DiskPath());
            if (got < want)
                break;
        }
        span.end = batch->used;
        span.last = true;
        batch->spans.push_back(span);
    } catch (...) {
        span.end = batch->used;
        span.last = true;
        span.failure = std::current_exception();
        batch->spans.push_back(span);
        Publish(batch);
        batch = nullptr;
    }
}

void CReadAhead::Publish(Batch* filled) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        filled_.push_back(filled);
    }
    changed_.notify_all();
}

CReadAhead::Batch* CReadAhead::TakeEmpty() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stop_ || !empty_.empty(); });
    if (stop_)
        return nullptr;
    Batch* batch = empty_.front();
    empty_.pop_front();
    batch->used = 0;
    batch->spans.clear();
    return batch;
}

const CReadAhead::Span& CReadAhead::NextSpan() {
    if (reading_ != nullptr && span_ < reading_->spans.size())
        return reading_->spans[span_++];
    std::unique_lock<std::mutex> lock(mutex_);
    if (reading_ != nullptr) {
        empty_.push_back(reading_);
        reading_ = nullptr;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return !filled_.empty(); });
    reading_ = filled_.front();
    filled_.pop_front();
    span_ = 1;
    return reading_->spans.front();
}

void CReadAhead::CopyNext(XALFcl::CFile& out) {
    CFileEntry& member = *members_[next_++];
    if (!member.IsDiskFile()) {
        member.CopyTo(out);
        return;
    }
    for (;;) {
        const Span& span = NextSpan();
        if (span.member != next_ - 1)
            throw std::logic_error("read ahead out of order");
        out.Write(reading_->bytes.data() + span.begin, span.end - span.begin);
        if (span.failure)
            std::rethrow_exception(span.failure);
        if (span.last)
            return;
    }
}

} // namespace XALArc
