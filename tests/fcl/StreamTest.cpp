#include "fcl/MemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

using XALFcl::CIosBase;
using XALFcl::CMemoryInputStream;
using XALFcl::CMemoryOutputStream;

namespace {

TEST(StreamTest, AlignPadsToTheNextMultiple) {
    std::vector<std::uint8_t> buffer(8, 0);
    CMemoryOutputStream out(buffer.data(), 8);
    out.Seek(4, SEEK_SET);
    out.Align(4, 0xFF);
    EXPECT_EQ(out.Tell(), 4);
    out.WriteU8(1);
    out.Align(4, 0xFF);
    EXPECT_EQ(out.Tell(), 8);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF}));
    out.Align(0, 0xFF);
    out.Align(1, 0xFF);
    EXPECT_EQ(out.state, 0);
}

TEST(StreamTest, FillBeyondTheCapacityFillsWhatFitsAndFails) {
    std::vector<std::uint8_t> buffer(5, 0);
    CMemoryOutputStream out(buffer.data(), 5);
    out.WriteU8(1);
    EXPECT_EQ(out.Fill(std::numeric_limits<std::uint64_t>::max(), 0xEE),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(out.state, CIosBase::kFailure);
}

TEST(StreamTest, SkipStopsAtTheEndAndSetsEndOfData) {
    const std::uint8_t data[6] = {};
    CMemoryInputStream in(data, sizeof data);
    EXPECT_EQ(in.Skip(4), 4u);
    EXPECT_EQ(in.GetRemain(), 2);
    EXPECT_EQ(in.state, 0);
    EXPECT_EQ(in.Skip(std::numeric_limits<std::uint64_t>::max()), 2u);
    EXPECT_EQ(in.state, CIosBase::kEndOfData);
    EXPECT_EQ(in.Tell(), 6);
    EXPECT_EQ(in.GetRemain(), 0);
}

TEST(StreamTest, SkipOfExactlyTheRestReachesTheEndWithoutEndOfData) {
    const std::uint8_t data[6] = {};
    // Every skip from every start: end of data only when more than the rest
    // was asked for.
    for (std::int64_t start = 0; start <= 6; ++start) {
        for (std::int64_t count = 0; count <= 8; ++count) {
            CMemoryInputStream in(data, sizeof data);
            in.Seek(start, SEEK_SET);
            const std::int64_t passed = std::min(count, 6 - start);
            EXPECT_EQ(in.Skip(static_cast<std::uint64_t>(count)),
                      static_cast<std::uint64_t>(passed))
                << start << "+" << count;
            EXPECT_EQ(in.Tell(), start + passed) << start << "+" << count;
            EXPECT_EQ(in.state, passed < count ? CIosBase::kEndOfData : 0) << start << "+" << count;
        }
    }
}

} // namespace
