// Event reports: one thread sends the queued codes in order; code 0 is
// never sent; the thread ends when stopped and lets go of the queue.
#include "app/EventReports.h"

#include "app/AppValues.h"
#include "app/Encodings.h"
#include "app/support/DemoService.h"
#include "support/TestService.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using apptest::DemoService;

constexpr DWORD kWaitMs = 10000;
constexpr DWORD kQuietMs = 500;
// The test identity's uid and mac: md5 of "CVL2026" followed by
// "00-11-22-33-44-55", and base64 of that MAC text.
const std::string kExpectedUid = Md5Hex("CVL202600-11-22-33-44-55", 24);

stServiceEndpoint EndpointFor(const std::wstring& baseUrl)
{
    return apptest::TestEndpoint(baseUrl);
}

// Waits until the queue's last owner, its thread, has let go.
bool ThreadLetGo(const std::weak_ptr<CPushReportQueue>& watch)
{
    for (int i = 0; i < 500 && !watch.expired(); ++i)
        Sleep(20);
    return watch.expired();
}

TEST(EventReports, SendsQueuedCodesInOrderOneRequestEachWithTheIdentity)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"push");
    auto queue = CPushReportQueue::Create(EndpointFor(DemoService::Get().BaseUrl(tag)));
    EXPECT_FALSE(queue->ThreadStartedForTesting());
    queue->Push(kEventStartUp);
    queue->Push(kEventNone);
    queue->Push(7);
    queue->Push(3);
    std::vector<Json::Value> log = DemoService::Get().WaitForRequests(tag, 3, kWaitMs);
    Sleep(kQuietMs);
    log = DemoService::Get().Requests(tag);
    ASSERT_EQ(3u, log.size()) << "code 0 is never sent";
    const int expected[] = {1, 7, 3};
    for (size_t i = 0; i < 3; ++i) {
        const Json::Value& body = log[i]["body"];
        EXPECT_EQ("/api/common/pushed", log[i]["path"].asString());
        EXPECT_EQ(expected[i], body["type"].asInt());
        EXPECT_TRUE(body["type"].isInt());
        EXPECT_EQ(kExpectedUid, body["uid"].asString());
        EXPECT_EQ("MDAtMTEtMjItMzMtNDQtNTU=", body["mac"].asString());
        EXPECT_EQ("10.0.19045", body["winver"].asString());
        EXPECT_EQ("CVL2026", body["product_sn"].asString());
        EXPECT_EQ(u8"中文", body["promo_code"].asString());
    }
    std::weak_ptr<CPushReportQueue> watch = queue;
    queue->Stop();
    queue.reset();
    EXPECT_TRUE(ThreadLetGo(watch));
}

TEST(EventReports, StopWhileWaitingEndsTheThreadWithoutARequest)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"stop");
    auto queue = CPushReportQueue::Create(EndpointFor(DemoService::Get().BaseUrl(tag)));
    queue->Push(kEventNone);  // starts the thread, which then waits
    ASSERT_TRUE(queue->ThreadStartedForTesting());
    Sleep(100);
    std::weak_ptr<CPushReportQueue> watch = queue;
    queue->Stop();
    queue.reset();
    EXPECT_TRUE(ThreadLetGo(watch));
    Sleep(kQuietMs);
    EXPECT_EQ(0u, DemoService::Get().Requests(tag).size());
}

// Reports to a service that is down are lost, one by one, without holding
// up the caller; the queue still stops.
TEST(EventReports, ServiceDownLosesReportsAndStillStops)
{
    auto queue = CPushReportQueue::Create(EndpointFor(DemoService::DownUrl()));
    const ULONGLONG start = GetTickCount64();
    for (int i = 1; i <= 3; ++i)
        queue->Push(i);
    EXPECT_LT(GetTickCount64() - start, 1000u) << "a push waited for the network";
    Sleep(200);
    std::weak_ptr<CPushReportQueue> watch = queue;
    queue->Stop();
    queue.reset();
    EXPECT_TRUE(ThreadLetGo(watch));
}

TEST(EventReports, TheProcessQueueTakesPushesUntilReleased)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"proc");
    PushEventReport(kEventStartUp);  // no queue yet: nothing happens
    CreateReportQueue(EndpointFor(DemoService::Get().BaseUrl(tag)));
    ASSERT_NE(nullptr, reportQueue);
    PushEventReport(kEventStartUp);
    EXPECT_EQ(1u, DemoService::Get().WaitForRequests(tag, 1, kWaitMs).size());
    std::weak_ptr<CPushReportQueue> watch = reportQueue->shared_from_this();
    ReleaseReportQueue();
    EXPECT_EQ(nullptr, reportQueue);
    EXPECT_TRUE(ThreadLetGo(watch));
    PushEventReport(kEventStartUp);
    Sleep(kQuietMs);
    EXPECT_EQ(1u, DemoService::Get().Requests(tag).size());
}

} // namespace
