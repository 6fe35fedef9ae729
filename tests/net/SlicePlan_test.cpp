#include "net/SliceDownloader.h"

#include <gtest/gtest.h>

namespace {

const uint64_t MiB = 1024 * 1024;
const uint64_t GiB = 1024 * MiB;

void ExpectContiguous(uint64_t total, const std::vector<stSliceRange>& plan)
{
    ASSERT_FALSE(plan.empty());
    EXPECT_EQ(plan.front().first, 0u);
    EXPECT_EQ(plan.back().last, total - 1);
    for (size_t i = 0; i < plan.size(); ++i) {
        EXPECT_LE(plan[i].first, plan[i].last) << i;
        if (i > 0) {
            EXPECT_EQ(plan[i].first, plan[i - 1].last + 1) << i;
        }
    }
}

} // namespace

TEST(SlicePlan, BucketBoundariesWithShippingThresholds)
{
    struct Case {
        uint64_t total;
        bool ranges;
        int slices;
    } cases[] = {
        {1, true, 1},
        {50 * MiB, true, 1},
        {50 * MiB + 1, true, 2},
        {200 * MiB, true, 2},
        {200 * MiB + 1, true, 3},
        {GiB, true, 3},
        {GiB + 1, true, 4},
        {8 * GiB + 3, true, 4},
        {50 * MiB + 1, false, 1},
        {GiB + 1, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << (c.ranges ? " ranges" : " no ranges"));
        int n = SliceCountFor(c.total, c.ranges);
        EXPECT_EQ(n, c.slices);
        std::vector<stSliceRange> plan = PlanSlices(c.total, n);
        EXPECT_EQ(plan.size(), static_cast<size_t>(c.slices));
        ExpectContiguous(c.total, plan);
    }
}

TEST(SlicePlan, EqualPartsWithTheRemainderInTheLastSlice)
{
    std::vector<stSliceRange> plan = PlanSlices(GiB + 3, 4);
    ASSERT_EQ(plan.size(), 4u);
    uint64_t part = (GiB + 3) / 4;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plan[i].first, part * i);
        EXPECT_EQ(plan[i].last, part * (i + 1) - 1);
    }
    EXPECT_EQ(plan[3].first, part * 3);
    EXPECT_EQ(plan[3].last, GiB + 2);
}

TEST(SlicePlan, TinyFilesAndInjectedThresholds)
{
    // Never an empty slice, whatever the count asked for.
    EXPECT_TRUE(PlanSlices(0, 4).empty());
    std::vector<stSliceRange> three = PlanSlices(3, 4);
    ASSERT_EQ(three.size(), 3u);
    ExpectContiguous(3, three);

    stSliceThresholds small;
    small.twoSlices = 100;
    small.threeSlices = 200;
    small.fourSlices = 300;
    EXPECT_EQ(SliceCountFor(100, true, small), 1);
    EXPECT_EQ(SliceCountFor(101, true, small), 2);
    EXPECT_EQ(SliceCountFor(201, true, small), 3);
    EXPECT_EQ(SliceCountFor(301, true, small), 4);
    EXPECT_EQ(SliceCountFor(301, false, small), 1);
    // The default object holds the shipping values.
    stSliceThresholds shipping;
    EXPECT_EQ(shipping.twoSlices, 0x3200000u);
    EXPECT_EQ(shipping.threeSlices, 0xC800000u);
    EXPECT_EQ(shipping.fourSlices, 0x40000000u);
}
