// Client of the HTTP test service (tests/service/server.py, URL grammar in
// tests/service/README.md). The service is started by the ctest fixture
// "service.start"; tests find it through the file that CORVEL_TEST_SERVICE
// names (default: <build>\test-service\service.json).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The TLS ports: a leaf under the test CA (trusted in the test prefix) for
// 127.0.0.1 and localhost; a self-signed leaf; an expired leaf under the CA;
// a leaf under the CA for another name.
enum class TlsKind { Good, Untrusted, Expired, WrongName };

// One request as the service saw it.
struct stLoggedRequest {
    int seq = 0;              // order of arrival over the whole service
    int tagIndex = 0;         // 1 for the tag's first request (only_nth counts this)
    int conn = 0;             // TCP connection id (same id = same connection)
    int connRequest = 0;      // 1 for the first request on its connection
    std::string portKind;     // "http", "good", "untrusted", "expired", "wrongname"
    std::string method;
    std::string target;       // path and query as sent
    std::string path;
    std::string query;
    std::string version;      // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in order
    std::string range;        // Range header or empty
    std::string ifRange;      // If-Range header or empty
    std::string body;         // request body (first MiB)
    uint64_t bodyLength = 0;
    // The answer so far: status sent (0 before the status line), body bytes
    // written, and "open", "complete", "cut", "reset", "stalled",
    // "gate timeout", "client gone" or "service error".
    int status = 0;
    uint64_t sent = 0;
    std::string outcome;
    // With outcome "service error": the service's own fault (a traceback),
    // never a staged one; the answer was status 599 or a closed connection.
    std::string error;

    // Value of the first header with this name (any case); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
    // First byte of a "bytes=N-..." range, or -1.
    int64_t RangeStart() const;
};

// Result of HttpFetch: error is the WinHTTP/Win32 error (0 = answered).
struct stFetchResult {
    DWORD error = 0;
    DWORD status = 0;
    std::wstring headers;     // raw header block
    std::string body;
};

class TestService {
public:
    // The running service, read once per process.
    static const TestService& Get();

    bool Available() const { return m_ok; }
    const std::wstring& Error() const { return m_error; }

    unsigned short HttpPort() const { return m_httpPort; }
    unsigned short HttpsPort(TlsKind kind) const;

    // "http://127.0.0.1:<port>" + pathAndQuery (which starts with '/').
    std::wstring Url(const std::wstring& pathAndQuery) const;
    // "https://127.0.0.1:<port of kind>" + pathAndQuery.
    std::wstring HttpsUrl(TlsKind kind, const std::wstring& pathAndQuery) const;
    // SHA-256 of the leaf's DER certificate: 64 upper-case hex digits.
    std::string LeafSha256(TlsKind kind) const;
    std::string CaSha256() const { return m_caSha256; }

    // Requests logged under a tag, in order of arrival (control requests
    // such as this one are not logged).
    std::vector<stLoggedRequest> Log(const std::wstring& tag) const;
    // Polls the log until it holds at least count requests or the time is
    // up; returns what it holds then.
    std::vector<stLoggedRequest> WaitForLog(const std::wstring& tag, size_t count, DWORD timeoutMs = 10000) const;
    // Opens the gate name of a tag: held answers go on, later ones pass.
    bool OpenGate(const std::wstring& tag, const std::wstring& name) const;
    // Sets per-tag overrides of query keys for all later requests of the tag,
    // e.g. Set(tag, L"etag=%22v2%22&seed=9") (the value is a query string).
    bool Set(const std::wstring& tag, const std::wstring& query) const;
    // Forgets a tag's log, gates and overrides.
    bool Reset(const std::wstring& tag) const;

private:
    TestService();
    std::wstring Control(const wchar_t* path, const std::wstring& tag, const std::wstring& extra) const;

    bool m_ok = false;
    std::wstring m_error;
    unsigned short m_httpPort = 0;
    unsigned short m_tlsPort[4] = {};
    std::string m_tlsSha256[4];
    std::string m_caSha256;
};

// A port on 127.0.0.1 that nothing listens on (bound and released at once):
// a connection to it is refused.
unsigned short UnusedPort();

// A tag unique to this process and call (letters, digits and '-').
std::wstring NewTag(const wchar_t* prefix = L"t");
// Percent-encodes a UTF-16 text as UTF-8 for a query value.
std::wstring UrlEncode(const std::wstring& text);

// Plain WinHTTP request without proxy and without the engine under test;
// redirects are not followed. timeoutMs applies to each step.
stFetchResult HttpFetch(const std::wstring& url, const std::wstring& verb = L"GET",
                        const std::string& body = std::string(), const std::wstring& headers = std::wstring(),
                        DWORD timeoutMs = 10000);

// The service's generated bodies (query size=N&seed=S): bytes
// [offset, offset + length) of the body for a seed (0..0xFFFFFF).
std::string GeneratedBytes(uint32_t seed, uint64_t offset, size_t length);
// SHA-256 (64 upper-case hex digits) of bytes [offset, offset + length).
std::string GeneratedSha256(uint32_t seed, uint64_t offset, uint64_t length);

// Incremental SHA-256 over bcrypt.
class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;
    void Update(const void* data, size_t size);
    // Upper-case hex digest; the object is spent afterwards.
    std::string FinishHex();

private:
    void* m_alg = nullptr;
    void* m_hash = nullptr;
};

std::string Sha256Hex(const void* data, size_t size);
inline std::string Sha256Hex(const std::string& bytes) { return Sha256Hex(bytes.data(), bytes.size()); }
// SHA-256 of a whole file; false when it cannot be read.
bool FileSha256Hex(const std::wstring& path, std::string& hex);

} // namespace testsupport
