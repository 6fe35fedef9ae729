// Winsock before windows.h (through the header).
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/TestService.h"
#include "support/TestPaths.h"

#include <bcrypt.h>
#include <winhttp.h>

#include <json/json.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

namespace testsupport {

namespace {

std::string ToUtf8(const std::wstring& w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

std::string FromHex(const std::string& hex)
{
    auto nib = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(char(nib(hex[i]) << 4 | nib(hex[i + 1])));
    return out;
}

std::string ToHex(const unsigned char* p, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

struct WinHttpHandle {
    HINTERNET h = nullptr;
    explicit WinHttpHandle(HINTERNET v = nullptr) : h(v) {}
    ~WinHttpHandle() { if (h) WinHttpCloseHandle(h); }
    WinHttpHandle(const WinHttpHandle&) = delete;
    WinHttpHandle& operator=(const WinHttpHandle&) = delete;
};

int KindIndex(TlsKind kind) { return static_cast<int>(kind); }

const char* const kKindNames[4] = {"good", "untrusted", "expired", "wrongname"};

} // namespace

// ---------------------------------------------------------------------------

std::string stLoggedRequest::Header(const std::string& name) const
{
    std::string want = Lower(name);
    for (const auto& h : headers)
        if (Lower(h.first) == want)
            return h.second;
    return std::string();
}

bool stLoggedRequest::HasHeader(const std::string& name) const
{
    std::string want = Lower(name);
    for (const auto& h : headers)
        if (Lower(h.first) == want)
            return true;
    return false;
}

int64_t stLoggedRequest::RangeStart() const
{
    const std::string prefix = "bytes=";
    if (range.compare(0, prefix.size(), prefix) != 0)
        return -1;
    size_t i = prefix.size();
    if (i >= range.size() || range[i] < '0' || range[i] > '9')
        return -1;
    int64_t v = 0;
    while (i < range.size() && range[i] >= '0' && range[i] <= '9')
        v = v * 10 + (range[i++] - '0');
    return v;
}

// ---------------------------------------------------------------------------

const TestService& TestService::Get()
{
    static TestService instance;
    return instance;
}

TestService::TestService()
{
    wchar_t env[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableW(L"CORVEL_TEST_SERVICE", env, MAX_PATH * 2);
    std::wstring file = (n > 0 && n < MAX_PATH * 2) ? std::wstring(env, n)
                                                    : BinaryDir() + L"\\test-service\\service.json";
    std::string text;
    if (!ReadFileBytes(file, text)) {
        m_error = L"test service not running: cannot read " + file +
                  L" (ctest starts it through the service.start fixture; by hand: "
                  L"bash tests/service/start.sh build/x86_64/test-service)";
        return;
    }
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errs;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errs) || !root.isObject()) {
        m_error = L"malformed service file " + file;
        return;
    }
    m_httpPort = static_cast<unsigned short>(root.get("http_port", 0).asUInt());
    const Json::Value& tls = root["tls"];
    for (int i = 0; i < 4; ++i) {
        if (tls.isObject() && tls.isMember(kKindNames[i])) {
            m_tlsPort[i] = static_cast<unsigned short>(tls[kKindNames[i]].get("port", 0).asUInt());
            m_tlsSha256[i] = tls[kKindNames[i]].get("sha256", "").asString();
        }
    }
    m_caSha256 = root.get("ca_sha256", "").asString();
    if (m_httpPort == 0) {
        m_error = L"service file without a port: " + file;
        return;
    }
    m_ok = true;
}

unsigned short TestService::HttpsPort(TlsKind kind) const { return m_tlsPort[KindIndex(kind)]; }

std::wstring TestService::Url(const std::wstring& pathAndQuery) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_httpPort) + pathAndQuery;
}

std::wstring TestService::HttpsUrl(TlsKind kind, const std::wstring& pathAndQuery) const
{
    return L"https://127.0.0.1:" + std::to_wstring(HttpsPort(kind)) + pathAndQuery;
}

std::string TestService::LeafSha256(TlsKind kind) const { return m_tlsSha256[KindIndex(kind)]; }

std::wstring TestService::Control(const wchar_t* path, const std::wstring& tag, const std::wstring& extra) const
{
    std::wstring url = Url(path) + L"?tag=" + UrlEncode(tag);
    if (!extra.empty())
        url += L"&" + extra;
    return url;
}

std::vector<stLoggedRequest> TestService::Log(const std::wstring& tag) const
{
    std::vector<stLoggedRequest> out;
    if (!m_ok)
        return out;
    stFetchResult r = HttpFetch(Control(L"/_log", tag, std::wstring()));
    if (r.error != 0 || r.status != 200)
        return out;
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errs;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(r.body.data(), r.body.data() + r.body.size(), &root, &errs) || !root.isArray())
        return out;
    for (const Json::Value& e : root) {
        stLoggedRequest q;
        q.seq = e.get("seq", 0).asInt();
        q.tagIndex = e.get("tag_index", 0).asInt();
        q.conn = e.get("conn", 0).asInt();
        q.connRequest = e.get("conn_request", 0).asInt();
        q.portKind = e.get("port_kind", "").asString();
        q.method = e.get("method", "").asString();
        q.target = e.get("target", "").asString();
        q.path = e.get("path", "").asString();
        q.query = e.get("query", "").asString();
        q.version = e.get("version", "").asString();
        for (const Json::Value& h : e["headers"])
            if (h.isArray() && h.size() == 2)
                q.headers.emplace_back(h[0].asString(), h[1].asString());
        q.range = e.get("range", "").asString();
        q.ifRange = e.get("if_range", "").asString();
        q.body = FromHex(e.get("body_hex", "").asString());
        q.bodyLength = e.get("body_length", 0).asUInt64();
        q.status = e.get("status", 0).asInt();
        q.sent = e.get("sent", 0).asUInt64();
        q.outcome = e.get("outcome", "").asString();
        q.error = e.get("error", "").asString();
        out.push_back(std::move(q));
    }
    return out;
}

std::vector<stLoggedRequest> TestService::WaitForLog(const std::wstring& tag, size_t count, DWORD timeoutMs) const
{
    ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<stLoggedRequest> log = Log(tag);
        if (log.size() >= count || GetTickCount64() >= end)
            return log;
        Sleep(20);
    }
}

bool TestService::OpenGate(const std::wstring& tag, const std::wstring& name) const
{
    stFetchResult r = HttpFetch(Control(L"/_gate", tag, L"name=" + UrlEncode(name)));
    return r.error == 0 && r.status == 200;
}

bool TestService::Set(const std::wstring& tag, const std::wstring& query) const
{
    stFetchResult r = HttpFetch(Control(L"/_set", tag, query));
    return r.error == 0 && r.status == 200;
}

bool TestService::Reset(const std::wstring& tag) const
{
    stFetchResult r = HttpFetch(Control(L"/_reset", tag, std::wstring()));
    return r.error == 0 && r.status == 200;
}

// ---------------------------------------------------------------------------

unsigned short UnusedPort()
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 0;
    unsigned short port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        int len = sizeof(addr);
        if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        closesocket(s);
    }
    WSACleanup();
    return port;
}

std::wstring NewTag(const wchar_t* prefix)
{
    static std::atomic<unsigned> counter{0};
    wchar_t buf[128];
    swprintf(buf, 128, L"%s-%lu-%u-%llu", prefix ? prefix : L"t", GetCurrentProcessId(), counter++,
             static_cast<unsigned long long>(GetTickCount64()));
    std::wstring s = buf;
    for (wchar_t& c : s)
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-'))
            c = L'-';
    return s;
}

std::wstring UrlEncode(const std::wstring& text)
{
    std::string u = ToUtf8(text);
    std::wstring out;
    static const wchar_t digits[] = L"0123456789ABCDEF";
    for (unsigned char c : u) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out.push_back(wchar_t(c));
        } else {
            out.push_back(L'%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

stFetchResult HttpFetch(const std::wstring& url, const std::wstring& verb, const std::string& body,
                        const std::wstring& headers, DWORD timeoutMs)
{
    stFetchResult r;
    URL_COMPONENTS uc = {};
    uc.dwStructSize = sizeof(uc);
    wchar_t host[256] = {};
    wchar_t path[4096] = {};
    uc.lpszHostName = host;
    uc.dwHostNameLength = 256;
    uc.lpszUrlPath = path;
    uc.dwUrlPathLength = 4096;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &uc)) {
        r.error = GetLastError();
        return r;
    }
    WinHttpHandle session(WinHttpOpen(L"corvel-tests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.h) {
        r.error = GetLastError();
        return r;
    }
    WinHttpSetTimeouts(session.h, timeoutMs, timeoutMs, timeoutMs, timeoutMs);
    WinHttpHandle connect(WinHttpConnect(session.h, host, uc.nPort, 0));
    if (!connect.h) {
        r.error = GetLastError();
        return r;
    }
    DWORD flags = uc.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    WinHttpHandle request(WinHttpOpenRequest(connect.h, verb.c_str(), path, nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request.h) {
        r.error = GetLastError();
        return r;
    }
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.h, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    if (!headers.empty())
        WinHttpAddRequestHeaders(request.h, headers.c_str(), (DWORD)-1L, WINHTTP_ADDREQ_FLAG_ADD);
    if (!WinHttpSendRequest(request.h, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            body.empty() ? WINHTTP_NO_REQUEST_DATA : (LPVOID)body.data(), (DWORD)body.size(),
                            (DWORD)body.size(), 0) ||
        !WinHttpReceiveResponse(request.h, nullptr)) {
        r.error = GetLastError();
        return r;
    }
    DWORD status = 0, size = sizeof(status);
    WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    r.status = status;
    size = 0;
    WinHttpQueryHeaders(request.h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (size > 0) {
        std::wstring h(size / sizeof(wchar_t) + 1, L'\0');
        if (WinHttpQueryHeaders(request.h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, &h[0], &size,
                                WINHTTP_NO_HEADER_INDEX)) {
            h.resize(size / sizeof(wchar_t));
            r.headers = h;
        }
    }
    std::string buf(65536, '\0');
    for (;;) {
        // Read what is there, as the engine does: a stalled body then
        // yields the bytes that did arrive before the time-out.
        DWORD avail = 0;
        if (!WinHttpQueryDataAvailable(request.h, &avail)) {
            r.error = GetLastError();
            break;
        }
        if (avail == 0)
            break;
        DWORD got = 0;
        if (!WinHttpReadData(request.h, &buf[0], avail < buf.size() ? avail : (DWORD)buf.size(), &got)) {
            r.error = GetLastError();
            break;
        }
        if (got == 0)
            break;
        r.body.append(buf.data(), got);
    }
    return r;
}

// ---------------------------------------------------------------------------
// Generated bodies; the same rule as gen_bytes() in tests/service/server.py.

namespace {

const uint64_t kBlock = 4096;
const uint64_t kTableSpan = 1u << 20;
const size_t kTableLen = (1u << 20) + 4096;

uint64_t SplitMix64(uint64_t x)
{
    uint64_t z = x + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::shared_ptr<const std::string> Table(uint32_t seed)
{
    static std::mutex lock;
    static std::map<uint32_t, std::shared_ptr<const std::string>> tables;
    std::lock_guard<std::mutex> guard(lock);
    auto it = tables.find(seed);
    if (it != tables.end())
        return it->second;
    auto t = std::make_shared<std::string>(kTableLen, '\0');
    uint64_t base = static_cast<uint64_t>(seed & 0xFFFFFF) << 40;
    for (size_t k = 0; k < kTableLen / 8; ++k) {
        uint64_t w = SplitMix64(base + k);
        for (int i = 0; i < 8; ++i)
            (*t)[k * 8 + i] = char((w >> (8 * i)) & 0xFF);
    }
    if (tables.size() > 8)
        tables.clear();
    tables[seed] = t;
    return t;
}

uint64_t BlockStart(uint32_t seed, uint64_t b)
{
    uint64_t base = (static_cast<uint64_t>(seed & 0xFFFFFF) << 40) | (1ull << 39);
    return SplitMix64(base + b) % kTableSpan;
}

// Calls sink(pointer, length) for consecutive pieces of the range.
template <typename Sink>
void Generate(uint32_t seed, uint64_t offset, uint64_t length, Sink sink)
{
    auto table = Table(seed);
    const char* t = table->data();
    uint64_t pos = offset, end = offset + length;
    while (pos < end) {
        uint64_t b = pos / kBlock;
        uint64_t within = pos - b * kBlock;
        uint64_t n = kBlock - within;
        if (n > end - pos)
            n = end - pos;
        sink(t + BlockStart(seed, b) + within, static_cast<size_t>(n));
        pos += n;
    }
}

} // namespace

std::string GeneratedBytes(uint32_t seed, uint64_t offset, size_t length)
{
    std::string out;
    out.reserve(length);
    Generate(seed, offset, length, [&](const char* p, size_t n) { out.append(p, n); });
    return out;
}

std::string GeneratedSha256(uint32_t seed, uint64_t offset, uint64_t length)
{
    CSha256 sha;
    Generate(seed, offset, length, [&](const char* p, size_t n) { sha.Update(p, n); });
    return sha.FinishHex();
}

// ---------------------------------------------------------------------------

CSha256::CSha256()
{
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
        return;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) != 0) {
        BCryptCloseAlgorithmProvider(alg, 0);
        return;
    }
    m_alg = alg;
    m_hash = hash;
}

CSha256::~CSha256()
{
    if (m_hash)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash));
    if (m_alg)
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(m_alg), 0);
}

void CSha256::Update(const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (m_hash && size > 0) {
        ULONG n = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_hash), const_cast<PUCHAR>(p), n, 0);
        p += n;
        size -= n;
    }
}

std::string CSha256::FinishHex()
{
    unsigned char digest[32] = {};
    if (!m_hash || BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash), digest, sizeof(digest), 0) != 0)
        return std::string();
    BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash));
    m_hash = nullptr;
    return ToHex(digest, sizeof(digest));
}

std::string Sha256Hex(const void* data, size_t size)
{
    CSha256 sha;
    sha.Update(data, size);
    return sha.FinishHex();
}

bool FileSha256Hex(const std::wstring& path, std::string& hex)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    CSha256 sha;
    std::unique_ptr<char[]> buf(new char[1 << 20]);
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(f, buf.get(), 1 << 20, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        sha.Update(buf.get(), got);
    }
    CloseHandle(f);
    if (ok)
        hex = sha.FinishHex();
    return ok && !hex.empty();
}

} // namespace testsupport
