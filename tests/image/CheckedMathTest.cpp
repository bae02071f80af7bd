#include "image/CheckedMath.h"

#include <gtest/gtest.h>

using talvore::CheckedAdd;
using talvore::CheckedMul;
using talvore::CheckedRowStride;

TEST(CheckedMath, MultiplyAtTheOverflowEdge) {
    constexpr uint64_t max = std::numeric_limits<uint64_t>::max();
    uint64_t out = 7;
    EXPECT_TRUE(CheckedMul<uint64_t>(max, 1, &out));
    EXPECT_EQ(out, max);
    EXPECT_TRUE(CheckedMul<uint64_t>(uint64_t{1} << 32, (uint64_t{1} << 32) - 1, &out));
    out = 7;
    EXPECT_FALSE(CheckedMul<uint64_t>(uint64_t{1} << 32, uint64_t{1} << 32, &out));
    EXPECT_EQ(out, 7u) << "a refused product leaves the output alone";
    uint32_t small = 0;
    EXPECT_FALSE(CheckedMul<uint32_t>(65536, 65536, &small));
    EXPECT_TRUE(CheckedMul<uint32_t>(65535, 65537, &small));
    EXPECT_EQ(small, 0xFFFFFFFFu);
}

TEST(CheckedMath, AddAtTheOverflowEdge) {
    size_t out = 0;
    EXPECT_TRUE(CheckedAdd<size_t>(SIZE_MAX - 1, 1, &out));
    EXPECT_EQ(out, SIZE_MAX);
    EXPECT_FALSE(CheckedAdd<size_t>(SIZE_MAX, 1, &out));
}

TEST(CheckedMath, RowStrideRoundsToFourBytes) {
    struct Case {
        uint64_t width, bits, stride;
    };
    for (const Case c : {Case{3, 24, 12}, Case{9, 1, 4}, Case{1, 1, 4}, Case{32, 1, 4},
                         Case{33, 1, 8}, Case{5, 4, 4}, Case{4000, 24, 12000}}) {
        uint64_t stride = 0;
        ASSERT_TRUE(CheckedRowStride(c.width, c.bits, &stride));
        EXPECT_EQ(stride, c.stride) << c.width << " x " << c.bits;
    }
    uint64_t stride = 0;
    EXPECT_FALSE(CheckedRowStride(std::numeric_limits<uint64_t>::max() / 2, 24, &stride));
}
