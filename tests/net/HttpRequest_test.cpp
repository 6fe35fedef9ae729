// Synchronous requests over WinHTTP against the test service.
#include "net/HttpRequest.h"
#include "net/NetResManager.h"
#include "support/NetTestUtil.h"
#include "support/RecordingHandler.h"

#include <gtest/gtest.h>

using namespace testsupport;
using nettest::Narrow;
using nettest::Service;

namespace {

struct Outcome {
    bool accepted;
    int resultCode;
};

Outcome RunSync(stRequestTask& task, RecordingHandler& handler)
{
    CNetResManager manager(nullptr);
    task.handler = &handler;
    task.synchronous = 1;
    bool ok = manager.AddTask(&task);
    return {ok, task.resultCode};
}

} // namespace

TEST(HttpRequest, SendsRequestLineHeadersAndBodyAsGiven)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"sent");
    const std::string body = "{\"k\":1,\"text\":\"\xE4\xBD\xA0\"}";
    RecordingHandler handler;
    handler.upload = "+EXTRA-BYTES";
    stRequestTask task;
    task.verb = kHttpVerbPost;
    task.url = s.Url(L"/api/resource/products?tag=" + tag + L"&a=1%202&b=x");
    task.userAgent = L"agent-under-test";
    task.headers = L"@@Content-Type: application/json\r\nX-Trace: abc\r\nUser-Agent: zirezirovad\r\n\r\n";
    task.headerStart = 2;
    task.cookie = L"##sid=42; theme=dark";
    task.cookieStart = 2;
    task.body = reinterpret_cast<const uint8_t*>(body.data());
    task.bodyLength = static_cast<uint32_t>(body.size());
    task.extraUploadLength = static_cast<uint32_t>(handler.upload.size());
    Outcome r = RunSync(task, handler);
    ASSERT_TRUE(r.accepted) << r.resultCode;
    EXPECT_EQ(handler.completes, 1);

    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    const stLoggedRequest& q = log[0];
    EXPECT_EQ(q.method, "POST");
    EXPECT_EQ(q.target, "/api/resource/products?tag=" + Narrow(tag) + "&a=1%202&b=x");
    EXPECT_EQ(q.version, "HTTP/1.1");
    EXPECT_EQ(q.Header("Content-Type"), "application/json");
    EXPECT_EQ(q.Header("X-Trace"), "abc");
    EXPECT_EQ(q.Header("Cookie"), "sid=42; theme=dark");
    EXPECT_NE(q.Header("User-Agent").find("zirezirovad"), std::string::npos) << q.Header("User-Agent");
    EXPECT_EQ(q.body, body + "+EXTRA-BYTES");
    EXPECT_EQ(q.Header("Content-Length"), std::to_string(body.size() + handler.upload.size()));

    // A GET carries no body and no stray headers.
    const std::wstring tag2 = NewTag(L"get");
    RecordingHandler h2;
    stRequestTask get;
    get.url = s.Url(L"/img.png?tag=" + tag2 + L"#fragment");
    ASSERT_TRUE(RunSync(get, h2).accepted);
    log = s.Log(tag2);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].target, "/img.png?tag=" + Narrow(tag2));
    EXPECT_EQ(log[0].bodyLength, 0u);
    EXPECT_FALSE(log[0].HasHeader("Cookie"));
}

TEST(HttpRequest, StatusesReachTheHandler)
{
    const TestService& s = Service();
    struct Case {
        const wchar_t* query;
        const wchar_t* headers;
        int status;
        std::string body;  // delivered body (only for 200 and 206)
    };
    const Case cases[] = {
        {L"size=5000&seed=3", L"", 200, GeneratedBytes(3, 0, 5000)},
        {L"size=5000&seed=3", L"Range: bytes=100-1099\r\n", 206, GeneratedBytes(3, 100, 1000)},
        {L"status=404&body=missing", L"", 404, ""},
        {L"status=500&body=boom", L"", 500, ""},
        // A redirect is followed; the handler sees the final answer.
        {L"status=302&location=%2Fmoved%3Fbody%3Dmoved-here", L"", 200, "moved-here"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        RecordingHandler h;
        stRequestTask task;
        task.url = s.Url(std::wstring(L"/s?") + c.query);
        task.headers = c.headers;
        Outcome r = RunSync(task, h);
        // An HTTP error status is an answer, not a transport failure.
        EXPECT_TRUE(r.accepted);
        EXPECT_EQ(r.resultCode, 0);
        if (c.status == 200 || c.status == 206) {
            EXPECT_TRUE(h.errors.empty());
            EXPECT_EQ(h.begins, 1);
            EXPECT_EQ(h.beginStatus, c.status);
            EXPECT_EQ(h.beginLength, static_cast<long long>(c.body.size()));
            EXPECT_EQ(h.completes, 1);
            EXPECT_TRUE(h.body == c.body);
            ASSERT_EQ(h.headerBlocks.size(), 1u);
            EXPECT_EQ(h.headerBlocks[0].find(L"HTTP/1.1 " + std::to_wstring(c.status)), 0u) << Narrow(h.headerBlocks[0]);
        } else {
            ASSERT_EQ(h.errors.size(), 1u);
            EXPECT_EQ(h.errors[0].error, 0);
            EXPECT_EQ(h.errors[0].status, c.status);
            EXPECT_EQ(h.begins, 0);
            EXPECT_EQ(h.completes, 0);
            EXPECT_TRUE(h.body.empty());
        }
    }
}

TEST(HttpRequest, WholeBodiesInEveryFraming)
{
    const TestService& s = Service();
    struct Case {
        const wchar_t* query;
        size_t size;
        long long announced;
    };
    const Case cases[] = {
        {L"size=300000&seed=5", 300000, 300000},
        {L"size=300000&seed=5&chunked=1&chunk=1000", 300000, -1},
        {L"size=70000&seed=5&length=none", 70000, -1},
        {L"size=0", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.query));
        RecordingHandler h;
        stRequestTask task;
        task.url = s.Url(std::wstring(L"/b?") + c.query);
        Outcome r = RunSync(task, h);
        EXPECT_TRUE(r.accepted) << r.resultCode;
        EXPECT_TRUE(h.errors.empty());
        EXPECT_EQ(h.beginLength, c.announced);
        EXPECT_EQ(h.completes, 1);
        EXPECT_EQ(h.body.size(), c.size);
        EXPECT_TRUE(h.body == GeneratedBytes(5, 0, c.size));
    }
}

TEST(HttpRequest, BrokenBodiesAreErrorsNotCompletions)
{
    const TestService& s = Service();
    struct Case {
        const wchar_t* query;
        int receiveTimeout;
    };
    const Case cases[] = {
        {L"size=300000&cut=1000", 5000},              // connection closed early
        {L"size=300000&reset=20000", 5000},           // connection reset mid-body
        {L"size=3000&length=9000&close=1", 5000},     // promises more than it sends
        {L"size=300000&stall=5000&stall_ms=4000", 700},  // stalls past the receive timeout
        {L"size=300000&chunked=1&chunk=1000&reset=5000", 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.query));
        RecordingHandler h;
        stRequestTask task;
        task.url = s.Url(std::wstring(L"/b?") + c.query);
        task.receiveTimeout = c.receiveTimeout;
        Outcome r = RunSync(task, h);
        EXPECT_FALSE(r.accepted);
        EXPECT_NE(r.resultCode, 0);
        EXPECT_EQ(h.completes, 0);
        ASSERT_FALSE(h.errors.empty());
        EXPECT_NE(h.errors.back().error, 0);
        EXPECT_EQ(h.errors.back().status, 200);
    }
}

TEST(HttpRequest, TimeoutRefusedAndBadUrl)
{
    const TestService& s = Service();
    {
        RecordingHandler h;
        stRequestTask task;
        task.url = s.Url(L"/slow?delay=3000");
        task.receiveTimeout = 500;
        Outcome r = RunSync(task, h);
        EXPECT_FALSE(r.accepted);
        EXPECT_EQ(r.resultCode, ERROR_WINHTTP_TIMEOUT);
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_EQ(h.errors[0].error, ERROR_WINHTTP_TIMEOUT);
        EXPECT_EQ(h.begins, 0);
    }
    {
        RecordingHandler h;
        stRequestTask task;
        task.url = L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x";
        Outcome r = RunSync(task, h);
        EXPECT_FALSE(r.accepted);
        EXPECT_EQ(r.resultCode, ERROR_WINHTTP_CANNOT_CONNECT);
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_EQ(h.errors[0].error, ERROR_WINHTTP_CANNOT_CONNECT);
    }
    for (const wchar_t* url : {L"not a url", L"ftp://127.0.0.1/x", L""}) {
        RecordingHandler h;
        stRequestTask task;
        task.url = url;
        Outcome r = RunSync(task, h);
        EXPECT_FALSE(r.accepted);
        EXPECT_EQ(r.resultCode, 1);
        EXPECT_EQ(h.completes, 0);
    }
}

TEST(HttpRequest, HandlerCancelEndsTheTransferAsAnError)
{
    const TestService& s = Service();
    RecordingHandler h;
    h.cancelAfter = 1;
    stRequestTask task;
    task.url = s.Url(L"/b?size=300000");
    Outcome r = RunSync(task, h);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.resultCode, ERROR_CANCELLED);
    EXPECT_EQ(h.completes, 0);
    EXPECT_LT(h.body.size(), 300000u);
}

TEST(HttpRequest, NamedProxyCarriesTheAbsoluteTarget)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"proxy");
    RecordingHandler h;
    stRequestTask task;
    task.proxyType = kProxyNamed;
    task.proxy = L"127.0.0.1:" + std::to_wstring(s.HttpPort());
    task.proxyBypass = L"";
    task.url = L"http://proxied.invalid/p?tag=" + tag + L"&body=via-proxy";
    Outcome r = RunSync(task, h);
    ASSERT_TRUE(r.accepted) << r.resultCode;
    EXPECT_EQ(h.body, "via-proxy");
    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    // The proxy gets the absolute form (WinHTTP may name the default port).
    const std::string tail = "/p?tag=" + Narrow(tag) + "&body=via-proxy";
    EXPECT_TRUE(log[0].target == "http://proxied.invalid" + tail || log[0].target == "http://proxied.invalid:80" + tail)
        << log[0].target;
}
