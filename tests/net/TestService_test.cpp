// The HTTP test service answers as the network tests expect, through real
// WinHTTP under Wine, and its C++ client reads it back correctly.
#include "support/TestPaths.h"
#include "support/TestService.h"

#include <gtest/gtest.h>

#include <wincrypt.h>
#include <winhttp.h>

#include <thread>

using namespace testsupport;

namespace {

const TestService& Service()
{
    const TestService& s = TestService::Get();
    EXPECT_TRUE(s.Available()) << std::string(s.Error().begin(), s.Error().end());
    return s;
}

std::string HeaderValue(const std::wstring& block, const std::wstring& name)
{
    std::wstring lowerBlock = block, lowerName = name + L":";
    for (auto& c : lowerBlock) c = towlower(c);
    for (auto& c : lowerName) c = towlower(c);
    size_t at = lowerBlock.find(L"\r\n" + lowerName);
    if (at == std::wstring::npos)
        return "<none>";
    size_t start = at + 2 + lowerName.size();
    size_t end = block.find(L"\r\n", start);
    std::wstring v = block.substr(start, end - start);
    while (!v.empty() && v[0] == L' ')
        v.erase(0, 1);
    return std::string(v.begin(), v.end());
}

} // namespace

TEST(TestService, GeneratedBodiesMatchTheDocumentedRule)
{
    // Digests computed by the service's own generator (server.py gen_bytes):
    // the C++ rule must give the same bytes.
    struct Case { uint32_t seed; uint64_t offset; uint64_t length; const char* sha; };
    const Case cases[] = {
        {7, 0, 300000, "F6D076405D6CEC1D9BAFB81C52025EF1EC7473652B2739B31A0CD8009BD36E9F"},
        {1, 5000, 65001, "DBABE864C969E295DDF816581531B5BBEC3B27F811DF119EF757B0BECA875B4C"},
        {0xFFFFFF, (1ull << 32) - 10, 4096 * 3 + 5, "425D5D5255F514A8110169418D58215F26746DD68D24EE2DF57268F426E228AA"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GeneratedSha256(c.seed, c.offset, c.length), c.sha) << c.seed << " " << c.offset;
    EXPECT_EQ(Sha256Hex(GeneratedBytes(7, 0, 300000)), cases[0].sha);
    // A piece of a range is the same bytes as the whole at that offset.
    EXPECT_EQ(GeneratedBytes(7, 4094, 4), GeneratedBytes(7, 0, 8192).substr(4094, 4));
    EXPECT_NE(GeneratedBytes(7, 0, 4096), GeneratedBytes(8, 0, 4096));
    EXPECT_NE(GeneratedBytes(7, 0, 4096), GeneratedBytes(7, 4096, 4096));
    EXPECT_EQ(Sha256Hex(std::string()), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST(TestService, ServesGeneratedBodiesAndSingleRanges)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"ranges");
    const std::wstring base = L"/pkg.bin?tag=" + tag + L"&size=300000&seed=7";
    struct Case {
        const wchar_t* extra;
        const wchar_t* range;   // Range header or null
        DWORD status;
        uint64_t first, length; // expected bytes of the generated body
        const char* contentRange;
        const char* acceptRanges;
    };
    const Case cases[] = {
        {L"", nullptr, 200, 0, 300000, "<none>", "bytes"},
        {L"", L"bytes=5000-70000", 206, 5000, 65001, "bytes 5000-70000/300000", "bytes"},
        {L"", L"bytes=299990-", 206, 299990, 10, "bytes 299990-299999/300000", "bytes"},
        {L"", L"bytes=299000-999999", 206, 299000, 1000, "bytes 299000-299999/300000", "bytes"},
        {L"", L"bytes=300000-", 416, 0, 0, "bytes */300000", "bytes"},
        {L"&ranges=ignore", L"bytes=100-199", 200, 0, 300000, "<none>", "bytes"},
        {L"&accept_ranges=none", nullptr, 200, 0, 300000, "<none>", "<none>"},
        {L"&accept_ranges=none", L"bytes=100-199", 206, 100, 100, "bytes 100-199/300000", "<none>"},
        {L"&accept_ranges=Bytes", nullptr, 200, 0, 300000, "<none>", "Bytes"},
        {L"&range_shift=7", L"bytes=100-199", 206, 107, 100, "bytes 107-206/300000", "bytes"},
        {L"&range_status=500&range_from=1000", L"bytes=0-99", 206, 0, 100, "bytes 0-99/300000", "bytes"},
        {L"&range_status=500&range_from=1000", L"bytes=1000-1099", 500, 0, 0, "bytes */300000", "bytes"},
    };
    for (const Case& c : cases) {
        std::wstring headers = c.range ? std::wstring(L"Range: ") + c.range : std::wstring();
        stFetchResult r = HttpFetch(s.Url(base + c.extra), L"GET", std::string(), headers);
        SCOPED_TRACE(std::string("case ") + std::string(c.extra, c.extra + wcslen(c.extra)) + " " +
                     (c.range ? std::string(c.range, c.range + wcslen(c.range)) : std::string("-")));
        ASSERT_EQ(r.error, 0u);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(HeaderValue(r.headers, L"Content-Range"), c.contentRange);
        EXPECT_EQ(HeaderValue(r.headers, L"Accept-Ranges"), c.acceptRanges);
        EXPECT_EQ(r.body.size(), c.length);
        EXPECT_TRUE(r.body == GeneratedBytes(7, c.first, static_cast<size_t>(c.length)));
    }
    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), sizeof(cases) / sizeof(cases[0]));
    EXPECT_EQ(log[1].range, "bytes=5000-70000");
    EXPECT_EQ(log[1].RangeStart(), 5000);
    EXPECT_EQ(log[0].RangeStart(), -1);
}

TEST(TestService, IfRangeFollowsTheCurrentValidator)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"ifrange");
    const std::wstring url = s.Url(L"/p?tag=" + tag + L"&size=5000&seed=3&etag=%22v1%22");
    stFetchResult same = HttpFetch(url, L"GET", std::string(), L"Range: bytes=100-\r\nIf-Range: \"v1\"");
    EXPECT_EQ(same.status, 206u);
    EXPECT_EQ(HeaderValue(same.headers, L"ETag"), "\"v1\"");
    // The package changes under the same URL: new bytes, new validator.
    ASSERT_TRUE(s.Set(tag, L"etag=%22v2%22&seed=4"));
    stFetchResult changed = HttpFetch(url, L"GET", std::string(), L"Range: bytes=100-\r\nIf-Range: \"v1\"");
    EXPECT_EQ(changed.status, 200u);
    EXPECT_EQ(HeaderValue(changed.headers, L"ETag"), "\"v2\"");
    EXPECT_TRUE(changed.body == GeneratedBytes(4, 0, 5000));
    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].ifRange, "\"v1\"");

    // Without an ETag the date is the validator.
    ASSERT_TRUE(s.Reset(tag));
    const std::wstring lm = L"Wed,%2021%20Oct%202015%2007:28:00%20GMT";
    stFetchResult dateOnly = HttpFetch(s.Url(L"/p?tag=" + tag + L"&size=5000&seed=3&last_modified=" + lm),
                                       L"GET", std::string(), L"Range: bytes=10-19\r\nIf-Range: Wed, 21 Oct 2015 07:28:00 GMT");
    EXPECT_EQ(dateOnly.status, 206u);
    EXPECT_EQ(dateOnly.body, GeneratedBytes(3, 10, 10));
    stFetchResult otherDate = HttpFetch(s.Url(L"/p?tag=" + tag + L"&size=5000&seed=3&last_modified=" + lm),
                                        L"GET", std::string(), L"Range: bytes=10-19\r\nIf-Range: Thu, 22 Oct 2015 07:28:00 GMT");
    EXPECT_EQ(otherDate.status, 200u);
    EXPECT_EQ(otherDate.body.size(), 5000u);
    EXPECT_EQ(s.Log(tag).size(), 2u);  // the log started again at Reset
}

TEST(TestService, StatusesRedirectsAndFraming)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"status");
    for (DWORD code : {404u, 500u, 204u}) {
        stFetchResult r = HttpFetch(s.Url(L"/x?tag=" + tag + L"&status=" + std::to_wstring(code)));
        EXPECT_EQ(r.error, 0u);
        EXPECT_EQ(r.status, code);
    }
    for (DWORD code : {301u, 302u}) {
        stFetchResult r = HttpFetch(s.Url(L"/x?tag=" + tag + L"&status=" + std::to_wstring(code) +
                                          L"&location=" + UrlEncode(s.Url(L"/y?tag=" + tag))));
        EXPECT_EQ(r.status, code);
        EXPECT_EQ(HeaderValue(r.headers, L"Location"), std::string("http://127.0.0.1:") +
                                                           std::to_string(s.HttpPort()) + "/y?tag=" +
                                                           std::string(tag.begin(), tag.end()));
    }

    stFetchResult chunked = HttpFetch(s.Url(L"/c?tag=" + tag + L"&size=100000&seed=2&chunked=1&chunk=777"));
    EXPECT_EQ(chunked.error, 0u);
    EXPECT_EQ(HeaderValue(chunked.headers, L"Transfer-Encoding"), "chunked");
    EXPECT_EQ(HeaderValue(chunked.headers, L"Content-Length"), "<none>");
    EXPECT_TRUE(chunked.body == GeneratedBytes(2, 0, 100000));

    stFetchResult noLength = HttpFetch(s.Url(L"/c?tag=" + tag + L"&size=70000&seed=2&length=none"));
    EXPECT_EQ(noLength.error, 0u);
    EXPECT_EQ(HeaderValue(noLength.headers, L"Content-Length"), "<none>");
    EXPECT_TRUE(noLength.body == GeneratedBytes(2, 0, 70000));

    stFetchResult empty = HttpFetch(s.Url(L"/c?tag=" + tag + L"&size=0"));
    EXPECT_EQ(empty.status, 200u);
    EXPECT_EQ(HeaderValue(empty.headers, L"Content-Length"), "0");
    EXPECT_TRUE(empty.body.empty());

    // Cut short: the header promises more than arrives.
    stFetchResult cut = HttpFetch(s.Url(L"/c?tag=" + tag + L"&size=100000&seed=2&cut=3000"), L"GET", std::string(),
                                  std::wstring(), 3000);
    EXPECT_EQ(HeaderValue(cut.headers, L"Content-Length"), "100000");
    EXPECT_LT(cut.body.size(), 100000u);
    EXPECT_TRUE(cut.body == GeneratedBytes(2, 0, cut.body.size()));

    stFetchResult liar = HttpFetch(s.Url(L"/c?tag=" + tag + L"&size=1000&length=2000&close=1"), L"GET", std::string(),
                                   std::wstring(), 3000);
    EXPECT_EQ(HeaderValue(liar.headers, L"Content-Length"), "2000");
    EXPECT_LE(liar.body.size(), 1000u);

    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log[0].outcome, "complete");
    EXPECT_EQ(log[0].status, 404);
    EXPECT_EQ(log[8].outcome, "cut");
    EXPECT_EQ(log[8].sent, 3000u);
}

TEST(TestService, ResetAndStallFailTheTransfer)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"reset");
    stFetchResult before = HttpFetch(s.Url(L"/r?tag=" + tag + L"&size=100000&reset=now"));
    EXPECT_NE(before.error, 0u);
    EXPECT_EQ(before.status, 0u);

    // Wine's WinHTTP ends the body at a reset without an error: only the
    // count against Content-Length shows the loss.
    stFetchResult during = HttpFetch(s.Url(L"/r?tag=" + tag + L"&size=1000000&reset=20000"));
    EXPECT_EQ(during.status, 200u);
    EXPECT_EQ(HeaderValue(during.headers, L"Content-Length"), "1000000");
    EXPECT_LE(during.body.size(), 20000u);
    EXPECT_TRUE(during.body == GeneratedBytes(0, 0, during.body.size()));
    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].outcome, "reset");
    EXPECT_EQ(log[0].status, 0);
    EXPECT_EQ(log[1].outcome, "reset");
    EXPECT_EQ(log[1].status, 200);
    EXPECT_EQ(log[1].sent, 20000u);

    // Stalled after 1000 bytes: the read times out.
    stFetchResult stalled = HttpFetch(s.Url(L"/r?tag=" + tag + L"&size=100000&stall=1000&stall_ms=20000"), L"GET",
                                      std::string(), std::wstring(), 1000);
    EXPECT_EQ(stalled.status, 200u);
    EXPECT_NE(stalled.error, 0u);
    EXPECT_EQ(stalled.body.size(), 1000u);
    // The service notices that the client gave up.
    std::string outcome;
    for (int i = 0; i < 100 && outcome != "stalled"; ++i, Sleep(50))
        outcome = s.Log(tag).back().outcome;
    EXPECT_EQ(outcome, "stalled");
}

TEST(TestService, EchoAndLogShowTheRequestAsSent)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"echo");
    const std::string body = std::string("{\"a\":1}\0\x01\xff", 10);
    stFetchResult r = HttpFetch(s.Url(L"/api/x?tag=" + tag + L"&echo=1"), L"POST", body,
                                L"Content-Type: application/json\r\nX-Probe: one two");
    ASSERT_EQ(r.status, 200u);
    EXPECT_NE(r.body.find("\"method\": \"POST\""), std::string::npos) << r.body;
    EXPECT_NE(r.body.find("X-Probe"), std::string::npos);

    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    const stLoggedRequest& q = log[0];
    EXPECT_EQ(q.method, "POST");
    EXPECT_EQ(q.path, "/api/x");
    EXPECT_EQ(q.target, "/api/x?tag=" + std::string(tag.begin(), tag.end()) + "&echo=1");
    EXPECT_EQ(q.version, "HTTP/1.1");
    EXPECT_EQ(q.Header("x-probe"), "one two");
    EXPECT_EQ(q.Header("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(q.Header("Content-Length"), "10");
    EXPECT_FALSE(q.HasHeader("Range"));
    EXPECT_EQ(q.body, body);
    EXPECT_EQ(q.bodyLength, 10u);
    EXPECT_GT(q.conn, 0);
    EXPECT_GE(q.connRequest, 1);
    EXPECT_EQ(q.portKind, "http");
    // Other tags do not see it.
    EXPECT_TRUE(s.Log(NewTag(L"other")).empty());
}

TEST(TestService, OneConnectionCarriesSeveralRequests)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"conn");
    HINTERNET session = WinHttpOpen(L"t", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    ASSERT_NE(session, nullptr);
    HINTERNET connect = WinHttpConnect(session, L"127.0.0.1", s.HttpPort(), 0);
    for (int i = 0; i < 3; ++i) {
        std::wstring path = L"/k?tag=" + tag + L"&size=1000";
        HINTERNET req = WinHttpOpenRequest(connect, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
        ASSERT_TRUE(WinHttpSendRequest(req, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0));
        ASSERT_TRUE(WinHttpReceiveResponse(req, nullptr));
        char buf[2048];
        DWORD got = 0, total = 0;
        while (WinHttpReadData(req, buf, sizeof(buf), &got) && got > 0)
            total += got;
        EXPECT_EQ(total, 1000u);
        WinHttpCloseHandle(req);
    }
    WinHttpCloseHandle(connect);
    WinHttpCloseHandle(session);
    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].conn, log[0].conn);
    EXPECT_EQ(log[2].conn, log[0].conn);
    // Wine keeps connections open across sessions of a process, so count
    // from the first of these requests.
    EXPECT_EQ(log[2].connRequest, log[0].connRequest + 2);
}

TEST(TestService, GateHoldsTheAnswerUntilOpened)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"gate");
    stFetchResult held;
    std::thread t([&] { held = HttpFetch(s.Url(L"/g?tag=" + tag + L"&size=5000&seed=9&gate=g1"), L"GET",
                                         std::string(), std::wstring(), 30000); });
    std::vector<stLoggedRequest> log = s.WaitForLog(tag, 1);
    ASSERT_EQ(log.size(), 1u);
    Sleep(300);
    EXPECT_EQ(held.status, 0u);  // still held
    ASSERT_TRUE(s.OpenGate(tag, L"g1"));
    t.join();
    EXPECT_EQ(held.status, 200u);
    EXPECT_TRUE(held.body == GeneratedBytes(9, 0, 5000));

    // A gate after some bytes holds the rest of the body.
    stFetchResult mid;
    std::thread t2([&] { mid = HttpFetch(s.Url(L"/g?tag=" + tag + L"&size=300000&seed=9&gate=g2&gate_at=100000"),
                                         L"GET", std::string(), std::wstring(), 30000); });
    s.WaitForLog(tag, 2);
    Sleep(300);
    EXPECT_EQ(mid.body.size(), 0u);
    ASSERT_TRUE(s.OpenGate(tag, L"g2"));
    t2.join();
    EXPECT_EQ(mid.error, 0u);
    EXPECT_TRUE(mid.body == GeneratedBytes(9, 0, 300000));
}

TEST(TestService, RateAndDelaySlowTheAnswerDown)
{
    // Lower bounds only: the service must not answer faster than asked.
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"rate");
    ULONGLONG t0 = GetTickCount64();
    stFetchResult r = HttpFetch(s.Url(L"/t?tag=" + tag + L"&size=200000&seed=5&rate=400000"));
    ULONGLONG t1 = GetTickCount64();
    EXPECT_TRUE(r.body == GeneratedBytes(5, 0, 200000));
    EXPECT_GE(t1 - t0, 400u);
    stFetchResult d = HttpFetch(s.Url(L"/t?tag=" + tag + L"&size=10&delay=500"));
    EXPECT_EQ(d.status, 200u);
    EXPECT_GE(GetTickCount64() - t1, 450u);
}

TEST(TestService, TlsGoodPassesAndBadCertificatesFail)
{
    const TestService& s = Service();
    ASSERT_NE(s.HttpsPort(TlsKind::Good), 0);
    const std::wstring tag = NewTag(L"tls");
    stFetchResult good = HttpFetch(s.HttpsUrl(TlsKind::Good, L"/s?tag=" + tag + L"&size=70000&seed=1"));
    EXPECT_EQ(good.error, 0u) << "is the test CA trusted in this prefix? (scripts/prefix-setup.sh)";
    EXPECT_EQ(good.status, 200u);
    EXPECT_TRUE(good.body == GeneratedBytes(1, 0, 70000));

    struct Bad { TlsKind kind; const char* name; };
    for (Bad b : {Bad{TlsKind::Untrusted, "untrusted"}, Bad{TlsKind::Expired, "expired"},
                  Bad{TlsKind::WrongName, "wrongname"}}) {
        ASSERT_NE(s.HttpsPort(b.kind), 0) << b.name;
        stFetchResult r = HttpFetch(s.HttpsUrl(b.kind, L"/s?tag=" + tag + L"&size=10"));
        EXPECT_EQ(r.status, 0u) << b.name;
        EXPECT_TRUE(r.error == ERROR_WINHTTP_SECURE_FAILURE || r.error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR ||
                    r.error == ERROR_WINHTTP_SECURE_INVALID_CA || r.error == ERROR_WINHTTP_SECURE_CERT_DATE_INVALID ||
                    r.error == ERROR_WINHTTP_SECURE_CERT_CN_INVALID)
            << b.name << " failed with " << r.error;
    }
    // Only the good connection got as far as a request.
    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].portKind, "good");
}

TEST(TestService, ReportsTheLeafHashOfEachTlsPort)
{
    const TestService& s = Service();
    for (TlsKind kind : {TlsKind::Good, TlsKind::Untrusted, TlsKind::Expired, TlsKind::WrongName}) {
        HINTERNET session = WinHttpOpen(L"t", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        HINTERNET connect = WinHttpConnect(session, L"127.0.0.1", s.HttpsPort(kind), 0);
        HINTERNET req = WinHttpOpenRequest(connect, L"GET", L"/h?size=1", nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
        // Only to read the certificate: accept it whatever it is.
        DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                       SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
        WinHttpSetOption(req, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof(ignore));
        ASSERT_TRUE(WinHttpSendRequest(req, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
            << GetLastError();
        ASSERT_TRUE(WinHttpReceiveResponse(req, nullptr));
        PCCERT_CONTEXT cert = nullptr;
        DWORD size = sizeof(cert);
        ASSERT_TRUE(WinHttpQueryOption(req, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size));
        EXPECT_EQ(Sha256Hex(cert->pbCertEncoded, cert->cbCertEncoded), s.LeafSha256(kind));
        EXPECT_EQ(s.LeafSha256(kind).size(), 64u);
        CertFreeCertificateContext(cert);
        WinHttpCloseHandle(req);
        WinHttpCloseHandle(connect);
        WinHttpCloseHandle(session);
    }
    EXPECT_NE(s.LeafSha256(TlsKind::Good), s.LeafSha256(TlsKind::Expired));
}

TEST(TestService, PrefixKeepsTheHostRootOffFixedDisks)
{
    // z: maps the host's root folder; the installer must never take it for
    // a disk to install on (scripts/prefix-setup.sh).
    EXPECT_NE(GetDriveTypeW(L"Z:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_NE(GetFileAttributesW(SourceDir().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TestService, FaultsCanBeLimitedToSomeRequests)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"only");
    // The second request of the tag fails; the others do not.
    const std::wstring nth = s.Url(L"/n?tag=" + tag + L"&size=100&status=500&only_nth=2");
    EXPECT_EQ(HttpFetch(nth).status, 200u);
    EXPECT_EQ(HttpFetch(nth).status, 500u);
    EXPECT_EQ(HttpFetch(nth).status, 200u);

    // A probe without Range and an early slice pass; a later slice is cut.
    const std::wstring late = s.Url(L"/n?tag=" + tag + L"&size=100000&cut=10&close=1&only_range_from=50000");
    stFetchResult probe = HttpFetch(late);
    EXPECT_EQ(probe.body.size(), 100000u);
    stFetchResult early = HttpFetch(late, L"GET", std::string(), L"Range: bytes=0-49999");
    EXPECT_EQ(early.status, 206u);
    EXPECT_EQ(early.body.size(), 50000u);
    stFetchResult cut = HttpFetch(late, L"GET", std::string(), L"Range: bytes=50000-99999", 3000);
    EXPECT_EQ(cut.status, 206u);
    EXPECT_EQ(cut.body.size(), 10u);

    std::vector<stLoggedRequest> log = s.Log(tag);
    ASSERT_EQ(log.size(), 6u);
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].tagIndex, static_cast<int>(i + 1));
}

TEST(TestService, UnusedPortRefusesConnections)
{
    unsigned short port = UnusedPort();
    ASSERT_NE(port, 0);
    stFetchResult r = HttpFetch(L"http://127.0.0.1:" + std::to_wstring(port) + L"/x");
    EXPECT_EQ(r.error, static_cast<DWORD>(ERROR_WINHTTP_CANNOT_CONNECT));
}
