// The deploy descriptor: the order answer read into the record, and the
// worker polling the demo service until the package may be deployed, giving
// up on a bad answer or after its time limit, and stopping when told.
#include "app/DeployDescriptor.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/support/DemoService.h"
#include "net/NetResManager.h"
#include "support/Text.h"

using apptest::DemoService;
using testsupport::Narrow;

namespace {

constexpr const char* kDefaultLink = "http://127.0.0.1:9/res/Compress.dll";

// A state no answer gives, to see that a failed read leaves the record alone.
constexpr int32_t kUntouchedState = 77;

// A JSON text nested deeper than the reader's stack allows.
std::string DeeplyNested(int depth, const std::string& inner)
{
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

// ---- the reader

struct AnswerCase {
    const char* what;
    std::string text;
    int code;
};

TEST(DescriptorAnswer, FailuresGiveTheirCodesAndLeaveTheRecordAlone)
{
    const AnswerCase cases[] = {
        {"empty", "", kDescriptorEmptyAnswer},
        {"binary", std::string("\x00<html>not json \xff\xfe", 20), kDescriptorNotJson},
        {"cut off", R"({"code":0,"data":{"state":2)", kDescriptorNotJson},
        {"too deep", DeeplyNested(100000, "1"), kDescriptorNotJson},
        {"too deep inside data",
         R"({"code":0,"data":{"state":2,"x":)" + DeeplyNested(100000, "1") + "}}", kDescriptorNotJson},
        {"code refused", R"({"code":3,"data":{"state":2}})", kDescriptorRefused},
        {"code negative", R"({"code":-1,"msg":"no"})", kDescriptorRefused},
        {"code as whole real", R"({"code":1.0,"data":{"state":2}})", kDescriptorRefused},
        {"no data", R"({"code":0})", kDescriptorNoData},
        {"data array", R"({"code":0,"data":[{"state":2}]})", kDescriptorNoData},
        {"data text", R"({"code":0,"data":"state 2"})", kDescriptorNoData},
        {"data null", R"({"code":0,"data":null})", kDescriptorNoData},
        {"root array", R"([{"code":0,"data":{"state":2}}])", kDescriptorNoData},
        {"root number", "42", kDescriptorNoData},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.what);
        stOrderDetail order;
        order.state = kUntouchedState;
        order.download_url = "kept";
        EXPECT_EQ(ReadOrderAnswer(c.text, kDefaultLink, order), c.code);
        EXPECT_EQ(order.state, kUntouchedState);
        EXPECT_EQ(order.download_url, "kept");
        EXPECT_TRUE(order.compress_link.empty());
        EXPECT_FALSE(DescriptorFailureText(c.code).empty());
    }
    EXPECT_TRUE(DescriptorFailureText(kDescriptorValid).empty());
}

TEST(DescriptorAnswer, ReadsEveryFieldAndTheBootListInOrder)
{
    const std::string text = R"({"code":0,"msg":"ok","data":{
        "state":2, "name":"笔记", "desc":"说明", "download_url":"http://h/pkg/a.zip?x=1",
        "guide_link":"http://h/guide", "official_link":"http://h/official", "compress_link":"http://h/7z.dll",
        "boot":[{"path":"bin\\app.exe","name":"应用"}, {"name":"no path"}, {"path":"only.exe"}, {}, 5,
                {"path":7,"name":["x"]}],
        "extra":{"nested":[1,2,{"deep":true}]}}})";
    stOrderDetail order;
    ASSERT_EQ(ReadOrderAnswer(text, kDefaultLink, order), kDescriptorValid);
    EXPECT_EQ(order.state, 2);
    EXPECT_EQ(order.name, "笔记");
    EXPECT_EQ(order.desc, "说明");
    EXPECT_EQ(order.download_url, "http://h/pkg/a.zip?x=1");
    EXPECT_EQ(order.guide_link, "http://h/guide");
    EXPECT_EQ(order.official_link, "http://h/official");
    EXPECT_EQ(order.compress_link, "http://h/7z.dll");
    // Every element adds an entry; members that are missing or not text
    // stay empty (an empty path is the caller's to refuse).
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"bin\\app.exe", "应用"}, {"", "no path"}, {"only.exe", ""}, {"", ""}, {"", ""}, {"", ""}};
    ASSERT_EQ(order.boot.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(order.boot[i].path, expected[i].first) << i;
        EXPECT_EQ(order.boot[i].name, expected[i].second) << i;
    }

    // A second answer replaces the whole record: no entries carried over.
    ASSERT_EQ(ReadOrderAnswer(R"({"code":0,"data":{"state":1,"boot":[{"path":"b.exe"}]}})", kDefaultLink, order),
              kDescriptorValid);
    EXPECT_EQ(order.state, 1);
    EXPECT_TRUE(order.name.empty());
    ASSERT_EQ(order.boot.size(), 1u);
    EXPECT_EQ(order.boot[0].path, "b.exe");
}

TEST(DescriptorAnswer, OddMembersKeepTheirDefaults)
{
    struct Case {
        const char* what;
        const char* data;
        int32_t state;
        const char* compressLink;
        size_t bootEntries;
    };
    const Case cases[] = {
        {"nothing", R"({})", 1, kDefaultLink, 0},
        {"state as text", R"({"state":"2"})", 1, kDefaultLink, 0},
        {"state as whole real", R"({"state":2.0})", 2, kDefaultLink, 0},
        {"state as fraction", R"({"state":2.5})", 1, kDefaultLink, 0},
        {"state beyond 32 bits", R"({"state":4294967298})", 1, kDefaultLink, 0},
        {"state true", R"({"state":true})", 1, kDefaultLink, 0},
        {"empty compress_link", R"({"state":2,"compress_link":""})", 2, kDefaultLink, 0},
        {"compress_link a number", R"({"state":2,"compress_link":5})", 2, kDefaultLink, 0},
        {"boot an object", R"({"boot":{"path":"a.exe"}})", 1, kDefaultLink, 0},
        {"boot a text", R"({"boot":"a.exe"})", 1, kDefaultLink, 0},
        {"boot empty", R"({"boot":[]})", 1, kDefaultLink, 0},
        {"comments allowed", "{/* c */ \"state\":2 // d\n}", 2, kDefaultLink, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        stOrderDetail order;
        const std::string text = std::string(R"({"code":0,"data":)") + c.data + "}";
        ASSERT_EQ(ReadOrderAnswer(text, kDefaultLink, order), kDescriptorValid);
        EXPECT_EQ(order.state, c.state);
        EXPECT_EQ(order.compress_link, c.compressLink);
        EXPECT_EQ(order.boot.size(), c.bootEntries);
        EXPECT_TRUE(order.name.empty());
    }
}

TEST(DescriptorAnswer, DefaultEngineLinkIsUnderTheServiceBaseUrl)
{
    EXPECT_EQ(DefaultCompressLink(L"http://127.0.0.1:18080/t/x"), "http://127.0.0.1:18080/t/x/res/Compress.dll");
    EXPECT_EQ(DefaultCompressLink(L"http://例子.test"), "http://例子.test/res/Compress.dll");
}

// ---- the worker against the demo service

// Collects the callbacks of one worker; the test waits for them.
class CallbackLog {
public:
    DeployDescriptorCallback Callback()
    {
        return [this](const stOrderDetail& order, bool flag, int code, const std::wstring& message) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_calls.push_back({order, flag, code, message, GetCurrentThreadId()});
            m_changed.notify_all();
        };
    }
    struct Call {
        stOrderDetail order;
        bool flag;
        int code;
        std::wstring message;
        DWORD thread;
    };
    // The calls once one arrived, or after ms.
    std::vector<Call> WaitForCall(DWORD ms)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait_for(guard, std::chrono::milliseconds(ms), [this] { return !m_calls.empty(); });
        return m_calls;
    }
    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_calls;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Call> m_calls;
};

// Bounded waits: a worker's answer, and its thread's end.
constexpr DWORD kAnswerWaitMs = 20000;
constexpr DWORD kEndWaitMs = 10000;

stDescriptorRequest RequestFor(const std::wstring& baseUrl, const std::string& packageSn)
{
    stDescriptorRequest request;
    request.endpoint = apptest::TestEndpoint(baseUrl);
    request.packageSn = packageSn;
    request.defaultCompressLink = DefaultCompressLink(baseUrl);
    return request;
}

std::vector<Json::Value> OrderRequests(const std::wstring& tag)
{
    std::vector<Json::Value> orders;
    for (const Json::Value& request : DemoService::Get().Requests(tag)) {
        if (request["path"].asString() == "/api/resource/order")
            orders.push_back(request);
    }
    return orders;
}

// The process's network resource manager for the test's own calls.
class DescriptorWorkerTest : public ::testing::Test {
protected:
    void SetUp() override { AcquireNetResManager(); }
    void TearDown() override
    {
        DeployDescriptorWorker::SetPollingForTesting(0, 0);
        ReleaseNetResManager();
    }
};

TEST_F(DescriptorWorkerTest, PollsEveryIntervalUntilStateTwoThenCallsBackOnce)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"descriptor-poll";
    Json::Value config;
    config["order_states"].append(1);
    config["order_states"].append(1);
    config["order_states"].append(2);
    ASSERT_TRUE(DemoService::Get().Configure(tag, config));
    CallbackLog log;
    const std::wstring base = DemoService::Get().BaseUrl(tag);
    DeployDescriptorWorker worker(RequestFor(base, "CVL2026-PRO"), log.Callback());
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start()) << "a worker runs once";

    const std::vector<CallbackLog::Call> calls = log.WaitForCall(kAnswerWaitMs);
    ASSERT_EQ(calls.size(), 1u);
    const CallbackLog::Call& call = calls[0];
    EXPECT_EQ(call.code, kDescriptorValid);
    EXPECT_TRUE(call.message.empty());
    EXPECT_FALSE(call.flag);
    EXPECT_NE(call.thread, GetCurrentThreadId());
    EXPECT_EQ(call.order.state, 2);
    EXPECT_EQ(call.order.download_url, Narrow(base) + "/pkg/CVL2026-PRO.zip");
    EXPECT_EQ(call.order.guide_link, Narrow(base) + "/pages/guide.html");
    EXPECT_EQ(call.order.compress_link, Narrow(base) + "/res/Compress.dll");
    ASSERT_EQ(call.order.boot.size(), 1u);
    EXPECT_EQ(call.order.boot[0].path, "CorvelNotes.exe");

    // Three order calls, each with the common body and the package, spaced
    // by the interval; nothing after the ready answer.
    EXPECT_TRUE(worker.WaitForEndForTesting(kEndWaitMs));
    const std::vector<Json::Value> orders = OrderRequests(tag);
    ASSERT_EQ(orders.size(), 3u);
    for (size_t i = 0; i < orders.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(orders[i]["method"].asString(), "POST");
        EXPECT_EQ(orders[i]["body"]["package_sn"].asString(), "CVL2026-PRO");
        EXPECT_EQ(orders[i]["body"]["product_sn"].asString(), "CVL2026");
        EXPECT_FALSE(orders[i]["body"]["uid"].asString().empty());
        if (i > 0) {
            const double gap = orders[i]["time"].asDouble() - orders[i - 1]["time"].asDouble();
            EXPECT_GE(gap, 1.8) << "the next request came before the interval";
        }
    }
    EXPECT_EQ(log.Calls().size(), 1u);
}

TEST_F(DescriptorWorkerTest, BadAnswersStopThePollingAtOnceWithTheirCodes)
{
    REQUIRE_DEMO_SERVICE();
    struct Case {
        const wchar_t* tag;
        const char* mode;   // null: an exact order answer
        const char* order;  // null: the mode's answer
        int code;
    };
    const Case cases[] = {
        {L"descriptor-empty", "empty", nullptr, kDescriptorEmptyAnswer},
        {L"descriptor-garbage", "garbage", nullptr, kDescriptorNotJson},
        {L"descriptor-refused", nullptr, R"({"code":1001,"msg":"sold out","data":{"state":2}})", kDescriptorRefused},
        {L"descriptor-nodata", nullptr, R"({"code":0,"data":[]})", kDescriptorNoData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.tag));
        Json::Value config;
        if (c.mode)
            config["mode"] = c.mode;
        if (c.order)
            config["order"] = c.order;
        config["order_states"].append(1);
        ASSERT_TRUE(DemoService::Get().Configure(c.tag, config));
        CallbackLog log;
        DeployDescriptorWorker worker(RequestFor(DemoService::Get().BaseUrl(c.tag), "CVL2026-STD"), log.Callback());
        ASSERT_TRUE(worker.Start());
        const std::vector<CallbackLog::Call> calls = log.WaitForCall(kAnswerWaitMs);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].code, c.code);
        EXPECT_EQ(calls[0].message, DescriptorFailureText(c.code));
        EXPECT_EQ(calls[0].order.state, 1) << "a failure carries the defaults";
        EXPECT_TRUE(worker.WaitForEndForTesting(kEndWaitMs));
        EXPECT_EQ(OrderRequests(c.tag).size(), 1u) << "a failure is not asked again";
    }

    // A service that is down answers nothing at all.
    CallbackLog log;
    DeployDescriptorWorker worker(RequestFor(DemoService::DownUrl(), "CVL2026-STD"), log.Callback());
    ASSERT_TRUE(worker.Start());
    const std::vector<CallbackLog::Call> calls = log.WaitForCall(kAnswerWaitMs);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, kDescriptorEmptyAnswer);
}

TEST_F(DescriptorWorkerTest, GivesUpWithCodeNineWhenNeverReady)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"descriptor-timeout";
    Json::Value config;
    config["order_states"].append(1);
    ASSERT_TRUE(DemoService::Get().Configure(tag, config));
    constexpr DWORD kIntervalMs = 100, kLimitMs = 600;
    DeployDescriptorWorker::SetPollingForTesting(kIntervalMs, kLimitMs);
    CallbackLog log;
    DeployDescriptorWorker worker(RequestFor(DemoService::Get().BaseUrl(tag), "CVL2026-STD"), log.Callback());
    ASSERT_TRUE(worker.Start());
    const std::vector<CallbackLog::Call> calls = log.WaitForCall(kAnswerWaitMs);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, kDescriptorTimedOut);
    EXPECT_NE(calls[0].message.find(L"准备超时"), std::wstring::npos) << Narrow(calls[0].message);
    EXPECT_TRUE(worker.WaitForEndForTesting(kEndWaitMs));
    // It asked again, and never past the limit: each request after the first
    // costs at least one interval.
    const size_t asked = OrderRequests(tag).size();
    EXPECT_GE(asked, 2u);
    EXPECT_LE(asked, kLimitMs / kIntervalMs + 1);
}

TEST_F(DescriptorWorkerTest, StopWakesTheWaitAndNothingIsCalledBack)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"descriptor-stop";
    Json::Value config;
    config["order_states"].append(1);
    ASSERT_TRUE(DemoService::Get().Configure(tag, config));
    // A wait far longer than the test's bounded waits: only the stop can end
    // it in time.
    DeployDescriptorWorker::SetPollingForTesting(600000, 6000000);
    CallbackLog log;
    {
        DeployDescriptorWorker worker(RequestFor(DemoService::Get().BaseUrl(tag), "CVL2026-STD"), log.Callback());
        ASSERT_TRUE(worker.Start());
        ASSERT_EQ(DemoService::Get().WaitForRequests(tag, 1, kEndWaitMs).size(), 1u);
        // The answer is in; the thread is (about to be) waiting.
        Sleep(200);
        worker.Stop();
        EXPECT_TRUE(worker.WaitForEndForTesting(kEndWaitMs)) << "the wait was not woken";
    }
    EXPECT_TRUE(log.Calls().empty());
    EXPECT_EQ(OrderRequests(tag).size(), 1u);
}

} // namespace
