// TLS certificate validation and certificate pins, on the synchronous and
// the queued path.
#include "net/NetResManager.h"
#include "support/NetTestUtil.h"
#include "support/RecordingHandler.h"

#include <gtest/gtest.h>

#include <winhttp.h>

#include <algorithm>
#include <cctype>

using namespace testsupport;
using nettest::Narrow;
using nettest::Service;

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

struct Outcome {
    bool accepted;
    int resultCode;
};

Outcome RunTask(stRequestTask& task, RecordingHandler& h, bool queued = false)
{
    CNetResManager manager(nullptr);
    task.handler = &h;
    task.synchronous = queued ? 0 : 1;
    bool ok = manager.AddTask(&task);
    if (queued) {
        EXPECT_TRUE(h.WaitDone());
    }
    return {ok, task.resultCode};
}

} // namespace

TEST(Tls, CertificateValidationStaysOn)
{
    const TestService& s = Service();
    struct Case {
        TlsKind kind;
        const char* name;
        bool ok;
    };
    const Case cases[] = {
        {TlsKind::Good, "good", true},
        {TlsKind::Untrusted, "untrusted", false},
        {TlsKind::Expired, "expired", false},
        {TlsKind::WrongName, "wrong name", false},
    };
    for (bool queued : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (queued ? " queued" : " sync"));
            RecordingHandler h;
            stRequestTask task;
            task.url = s.HttpsUrl(c.kind, L"/t?body=secret");
            Outcome r = RunTask(task, h, queued);
            if (c.ok) {
                EXPECT_TRUE(r.accepted);
                EXPECT_EQ(h.completes, 1);
                EXPECT_EQ(h.body, "secret");
            } else {
                if (!queued) {
                    EXPECT_FALSE(r.accepted);
                    EXPECT_NE(r.resultCode, 0);
                }
                ASSERT_EQ(h.errors.size(), 1u);
                EXPECT_NE(h.errors[0].error, 0);
                EXPECT_EQ(h.begins, 0);
                EXPECT_EQ(h.completes, 0);
                EXPECT_TRUE(h.body.empty());
            }
        }
    }
}

TEST(Tls, PinIsVerifiedOnEveryPath)
{
    const TestService& s = Service();
    const std::string leaf = s.LeafSha256(TlsKind::Good);
    ASSERT_EQ(leaf.size(), 64u);
    std::string mixed = leaf;
    for (size_t i = 0; i < mixed.size(); i += 2)
        mixed[i] = static_cast<char>(tolower(static_cast<unsigned char>(mixed[i])));
    struct Case {
        const char* name;
        std::string pin;
        bool ok;
    };
    const Case cases[] = {
        {"upper case", leaf, true},
        {"lower case", Lower(leaf), true},
        {"mixed case", mixed, true},
        {"the CA's hash", s.CaSha256(), false},
        {"another leaf", s.LeafSha256(TlsKind::Expired), false},
    };
    for (bool queued : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (queued ? " queued" : " sync"));
            RecordingHandler h;
            stRequestTask task;
            task.url = s.HttpsUrl(TlsKind::Good, L"/t?body=pinned");
            task.expectedCertHash = c.pin;
            Outcome r = RunTask(task, h, queued);
            if (c.ok) {
                EXPECT_TRUE(r.accepted) << r.resultCode;
                EXPECT_EQ(h.completes, 1);
                EXPECT_EQ(h.body, "pinned");
            } else {
                if (!queued) {
                    EXPECT_FALSE(r.accepted);
                    EXPECT_EQ(r.resultCode, ERROR_WINHTTP_SECURE_FAILURE);
                }
                ASSERT_FALSE(h.errors.empty());
                EXPECT_EQ(h.errors.back().error, ERROR_WINHTTP_SECURE_FAILURE);
                EXPECT_EQ(h.begins, 0);
                EXPECT_EQ(h.completes, 0);
                EXPECT_TRUE(h.body.empty());
            }
        }
    }
}

TEST(Tls, PinMismatchKeepsTheBodyFromTheServer)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"pinbody");
    const std::string secret = "{\"uid\":\"do-not-leak\"}";
    RecordingHandler h;
    stRequestTask task;
    task.verb = kHttpVerbPost;
    task.url = s.HttpsUrl(TlsKind::Good, L"/api/x?tag=" + tag);
    task.body = reinterpret_cast<const uint8_t*>(secret.data());
    task.bodyLength = static_cast<uint32_t>(secret.size());
    task.expectedCertHash = s.CaSha256();
    Outcome r = RunTask(task, h);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.resultCode, ERROR_WINHTTP_SECURE_FAILURE);
    Sleep(300);
    for (const stLoggedRequest& q : s.Log(tag))
        EXPECT_EQ(q.body.find("do-not-leak"), std::string::npos);
}

TEST(Tls, MalformedOrUnusablePinFailsClosedWithoutTraffic)
{
    const TestService& s = Service();
    const std::string leaf = s.LeafSha256(TlsKind::Good);
    std::string colons;
    for (size_t i = 0; i < leaf.size(); i += 2)
        colons += (i ? ":" : "") + leaf.substr(i, 2);
    struct Case {
        const char* name;
        std::string pin;
        bool https;
        int error;
    };
    const Case cases[] = {
        {"too short", leaf.substr(0, 63), true, ERROR_INVALID_PARAMETER},
        {"too long", leaf + "0", true, ERROR_INVALID_PARAMETER},
        {"not hex", "G" + leaf.substr(1), true, ERROR_INVALID_PARAMETER},
        {"colons", colons, true, ERROR_INVALID_PARAMETER},
        {"spaces", " " + leaf.substr(1), true, ERROR_INVALID_PARAMETER},
        {"plain http", leaf, false, ERROR_WINHTTP_SECURE_FAILURE},
    };
    for (bool queued : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (queued ? " queued" : " sync"));
            const std::wstring tag = NewTag(L"badpin");
            RecordingHandler h;
            stRequestTask task;
            task.url = c.https ? s.HttpsUrl(TlsKind::Good, L"/t?tag=" + tag) : s.Url(L"/t?tag=" + tag);
            task.expectedCertHash = c.pin;
            Outcome r = RunTask(task, h, queued);
            if (!queued) {
                EXPECT_FALSE(r.accepted);
                EXPECT_EQ(r.resultCode, c.error);
            }
            ASSERT_EQ(h.errors.size(), 1u);
            EXPECT_EQ(h.errors[0].error, c.error);
            EXPECT_EQ(h.begins, 0);
            EXPECT_TRUE(s.Log(tag).empty());
        }
    }
}
