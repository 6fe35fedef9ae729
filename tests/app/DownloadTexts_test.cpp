// What the main window shows for the downloader's reports: the speed text
// and the restart timer's pace from the bytes of the last second, the
// percentage in 32-bit floating point and the message texts.
#include "app/DownloadTexts.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

TEST(DownloadTexts, TickSpeedTextAndPaceFollowTheBytesOfTheLastSecond)
{
    struct Case {
        uint64_t c;
        TickPace pace;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, TickPace::kSlow, L"专享高速通道 0B/S"},
        {512, TickPace::kSlow, L"专享高速通道 512B/S"},  // at the limit: still slow
        {513, TickPace::kFast, L"专享高速通道 513B/S"},
        {1024, TickPace::kFast, L"专享高速通道 1024B/S"},
        {1025, TickPace::kFast, L"专享高速通道 1.0KB/S"},
        {1536, TickPace::kFast, L"专享高速通道 1.5KB/S"},
        {1048576, TickPace::kFast, L"专享高速通道 1024.0KB/S"},
        {1048577, TickPace::kFast, L"专享高速通道 1.0MB/S"},
        {5767168, TickPace::kFast, L"专享高速通道 5.5MB/S"},
        {UINT64_MAX, TickPace::kFast, L"专享高速通道 17592186044416.0MB/S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.c);
        const stTickView view = ViewOfTick(10, 1000, c.c);
        EXPECT_FALSE(view.done);
        EXPECT_EQ(view.pace, c.pace);
        EXPECT_EQ(view.speedText, c.text);
        EXPECT_EQ(SpeedText(c.c), c.text);
    }
}

// The tick that brings the last byte shows the verification text whatever
// the speed, and leaves the restart timer alone.
TEST(DownloadTexts, TheLastTickShowsVerificationAndLeavesTheTimer)
{
    for (uint64_t c : {uint64_t{0}, uint64_t{512}, uint64_t{2000000}}) {
        SCOPED_TRACE(c);
        const stTickView view = ViewOfTick(4096, 4096, c);
        EXPECT_TRUE(view.done);
        EXPECT_EQ(view.pace, TickPace::kNone);
        EXPECT_EQ(view.percent, 100.0f);
        EXPECT_EQ(view.speedText, L"校验文件完整性...");
        EXPECT_EQ(DownloadingStateText(view.percent), L"下载中 100.00%");
    }
}

TEST(DownloadTexts, PercentIsComputedInSinglePrecision)
{
    struct Case {
        uint64_t a, b;
        float percent;
        const wchar_t* downloading;
        const wchar_t* verifying;
    };
    const Case cases[] = {
        {0, 300, 0.0f, L"下载中 0.00%", L"校验中 0.00%"},
        {1, 3, 100.0f / 3.0f, L"下载中 33.33%", L"校验中 33.33%"},
        {2, 3, 200.0f / 3.0f, L"下载中 66.67%", L"校验中 66.67%"},
        {1, 200000, 0.0005f, L"下载中 0.00%", L"校验中 0.00%"},
        // Near the end of a large file single precision already reads 100.
        {(uint64_t{1} << 40) - 1, uint64_t{1} << 40, 100.0f, L"下载中 100.00%", L"校验中 100.00%"},
        {5, 0, 0.0f, L"下载中 0.00%", L"校验中 0.00%"},  // no total: nothing to divide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " of " << c.b);
        const float percent = DownloadPercent(c.a, c.b);
        EXPECT_EQ(percent, c.percent);
        EXPECT_EQ(DownloadingStateText(percent), c.downloading);
        EXPECT_EQ(VerifyingStateText(percent), c.verifying);
    }
    EXPECT_FALSE(ViewOfTick((uint64_t{1} << 40) - 1, uint64_t{1} << 40, 0).done);
}

// Report errors are int32 values carried in 64 bits: -1 (a body that ended
// early) reads as -1, not as a 20-digit number.
TEST(DownloadTexts, FailureTextsCarryTheCode)
{
    EXPECT_EQ(StartFailureText(ERROR_INVALID_NAME), L"下载失败[123],请检查网络连接");
    EXPECT_EQ(StartFailureText(404), L"下载失败[404],请检查网络连接");
    EXPECT_EQ(StartFailureText(12029), L"下载失败[12029],请检查网络连接");
    EXPECT_EQ(SliceFailureText(static_cast<uint64_t>(int64_t{-1})), L"环境异常[-1],将为您跳转至浏览器下载");
    EXPECT_EQ(SliceFailureText(12002), L"环境异常[12002],将为您跳转至浏览器下载");
    EXPECT_EQ(MergeFailureText(32), L"环境异常[32],释放文件失败,可能被杀毒软件拦截,请退出杀毒软件后重试");
}
