#include "net/SliceDownloader.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

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

TEST(SlicePlan, DownloadNamesThatAreOneFileInTheFolder)
{
    struct Case {
        const wchar_t* name;
        bool plain;
    } cases[] = {
        {L"pkg.bin", true},
        {L"包.zip", true},
        {L"a b.c d", true},
        {L".hidden", true},
        {L"CONSOLE.bin", true},
        {L"COM10", true},
        {L"nul-free.bin", true},
        {L"", false},
        {L".", false},
        {L"..", false},
        {L"..\\x.bin", false},
        {L"sub\\x.bin", false},
        {L"sub/x.bin", false},
        {L"\\x.bin", false},
        {L"C:x.bin", false},
        {L"pkg.bin:stream", false},
        {L"pkg?.bin", false},
        {L"pkg*.bin", false},
        {L"a<b", false},
        {L"a>b", false},
        {L"a|b", false},
        {L"a\"b", false},
        {L"a\tb", false},
        {L"pkg.bin.", false},
        {L"pkg.bin ", false},
        {L"NUL", false},
        {L"nul", false},
        {L"con", false},
        {L"Con.txt", false},
        {L"nul .txt", false},
        {L"PRN", false},
        {L"aux.bin", false},
        {L"COM1", false},
        {L"lpt9.log", false},
        {L"COM\x00B9", false},
        {L"CONIN$", false},
        {L"conout$.x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPlainFileName(c.name), c.plain) << std::string(c.name, c.name + wcslen(c.name));
}

TEST(SlicePlan, AnAnswerOfAnotherVersion)
{
    const wchar_t* lm1 = L"Wed, 01 Jan 2020 00:00:00 GMT";
    const wchar_t* lm2 = L"Thu, 02 Jan 2020 00:00:00 GMT";
    struct Case {
        const char* name;
        stValidators probe;
        stValidators answer;
        bool same;
    } cases[] = {
        {"same ETag", {L"\"v1\"", L""}, {L"\"v1\"", L""}, true},
        {"other ETag", {L"\"v1\"", L""}, {L"\"v2\"", L""}, false},
        {"ETag differs, Last-Modified agrees", {L"\"v1\"", lm1}, {L"\"v2\"", lm1}, false},
        {"other Last-Modified", {L"", lm1}, {L"", lm2}, false},
        {"same ETag, other Last-Modified", {L"\"v1\"", lm1}, {L"\"v1\"", lm2}, false},
        {"answer without validators", {L"\"v1\"", lm1}, {L"", L""}, true},
        {"probe without validators", {L"", L""}, {L"\"v2\"", lm2}, true},
        {"weak ETags compared as sent", {L"W/\"v1\"", L""}, {L"W/\"v1\"", L""}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SameVersion(c.probe, c.answer), c.same) << c.name;
}

TEST(SlicePlan, ProgressTicks)
{
    struct Step {
        uint64_t sum, fetched, nowMs;
        uint64_t downloaded, perSecond;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"a second apart", {{1000, 1000, 1000, 1000, 1000}, {3000, 3000, 2000, 3000, 2000}}},
        {"an early tick is scaled to a second", {{1000, 1000, 1000, 1000, 1000}, {1500, 1500, 1250, 1500, 2000}}},
        {"a late tick too", {{4000, 4000, 2000, 4000, 2000}}},
        {"resumed bytes are no speed", {{9000, 1000, 1000, 9000, 1000}}},
        {"a count that drops is held, the speed stays real",
         {{9000, 1000, 1000, 9000, 1000}, {2000, 3000, 2000, 9000, 2000}, {10000, 11000, 3000, 10000, 8000}}},
        {"no time passed", {{100, 100, 0, 100, 100000}}},
        {"the clock going back", {{100, 100, 1000, 100, 100}, {200, 200, 500, 200, 100000}}},
        {"huge counts do not wrap", {{1ull << 62, 1ull << 62, 1000, 1ull << 62, (1ull << 62) / 1000 * 1000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stTickClock clock;
        for (const Step& s : c.steps) {
            stTick tick = NextTick(clock, s.sum, s.fetched, s.nowMs);
            EXPECT_EQ(tick.downloaded, s.downloaded);
            EXPECT_EQ(tick.bytesPerSecond, s.perSecond);
        }
    }
}

TEST(SlicePlan, ReadSizesFollowTheSpeed)
{
    struct Case {
        uint32_t current;
        uint64_t elapsedMs;
        uint32_t next;
    } cases[] = {
        {kFirstReadBytes, 5, kFirstReadBytes * 2},
        {kMaxReadBytes, 5, kMaxReadBytes},
        {kFirstReadBytes, 250, kFirstReadBytes},
        {kFirstReadBytes, 2000, kFirstReadBytes / 2},
        {kMinReadBytes, 2000, kMinReadBytes},
        {0, 250, kMinReadBytes},
        {0xFFFFFFFFu, 250, kMaxReadBytes},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NextReadSize(c.current, c.elapsedMs), c.next) << c.current << " after " << c.elapsedMs << " ms";
}
