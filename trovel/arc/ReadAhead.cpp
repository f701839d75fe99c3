#include "arc/ReadAhead.h"

#include "arc/ArcEntry.h"
#include "fcl/Exception.h"
#include "fcl/File.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace XALArc {

namespace {

// Small members travel many to a batch; a batch is written as it came. The
// batches bound what is read ahead: 2 MiB.
constexpr std::size_t kBatchSize = std::size_t{256} << 10;
constexpr std::size_t kBatches = 8;

} // namespace

CReadAhead::CReadAhead(std::vector<CFileEntry*> members, std::uint64_t alignment,
                       std::uint8_t padding)
    : members_(std::move(members)), alignment_(alignment), padding_(padding) {
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

std::uint64_t CReadAhead::PaddingOf(std::uint64_t size) const {
    return (alignment_ - size % alignment_) % alignment_;
}

void CReadAhead::WritePadding(XALFcl::CFile& out, std::uint64_t count) const {
    std::uint8_t bytes[256];
    std::memset(bytes, padding_, static_cast<std::size_t>(std::min<std::uint64_t>(count, 256)));
    for (; count > 0;) {
        const std::uint64_t n = std::min<std::uint64_t>(count, sizeof bytes);
        out.Write(bytes, n);
        count -= n;
    }
}

// The reads are those of CFileEntry::CopyTo: one byte more than the member
// should hold is asked for, so that the read bringing its last bytes shows
// its end too. The padding takes the place of that byte and what follows. A
// member that fits a batch whole, with that byte or its padding, is not
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
        const std::uint64_t padding = PaddingOf(size);
        const std::uint64_t whole = size + std::max<std::uint64_t>(padding, 1);
        if (whole <= kBatchSize && whole > kBatchSize - batch->used && !next())
            return;
        XALFcl::CDiskFileCloser file(member.TakeSource());
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
        file = XALFcl::CDiskFileCloser();
        for (std::uint64_t left = padding; left > 0;) {
            if (batch->used == kBatchSize && !next())
                return;
            const std::uint64_t n = std::min<std::uint64_t>(left, kBatchSize - batch->used);
            std::memset(batch->bytes.data() + batch->used, padding_, static_cast<std::size_t>(n));
            batch->used += static_cast<std::size_t>(n);
            left -= n;
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

std::size_t CReadAhead::CopyNext(XALFcl::CFile& out) {
    CFileEntry& member = *members_[next_++];
    if (!member.IsDiskFile()) {
        member.CopyTo(out);
        WritePadding(out, PaddingOf(member.size));
        return 1;
    }
    for (;;) {
        const Span& span = NextSpan();
        if (span.member != next_ - 1)
            throw std::logic_error("read ahead out of order");
        if (span.failure || !span.last) {
            out.Write(reading_->bytes.data() + span.begin, span.end - span.begin);
            if (span.failure)
                std::rethrow_exception(span.failure);
            continue;
        }
        // The members that follow whole in the batch lie right after it.
        std::size_t end = span.end;
        std::size_t written = 1;
        for (; span_ < reading_->spans.size(); ++span_, ++next_, ++written) {
            const Span& following = reading_->spans[span_];
            if (following.member != next_ || following.begin != end || !following.last
                || following.failure)
                break;
            end = following.end;
        }
        out.Write(reading_->bytes.data() + span.begin, end - span.begin);
        return written;
    }
}

} // namespace XALArc
