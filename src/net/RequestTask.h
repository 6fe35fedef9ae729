// One HTTP request as the caller describes it. Copied member by member when
// it is queued, so every field must survive a copy.
#pragma once

#include <cstdint>
#include <string>

class CHttpTaskHandler;
class CNetResHander;

enum : int32_t {
    kHttpVerbGet = 1,
    kHttpVerbPost = 2,
};

// WinHTTP access-type numbering.
enum : int32_t {
    kProxyAutoDetect = 0,   // system settings with automatic discovery
    kProxyNone = 1,
    kProxyNamed = 3,
};

// Default limits of a request, in milliseconds: a stalled service call fails
// within seconds; name resolution is not limited (0).
constexpr int32_t kDefaultSendTimeoutMs = 5000;
constexpr int32_t kDefaultReceiveTimeoutMs = 5000;
constexpr int32_t kDefaultResolveTimeoutMs = 0;
constexpr int32_t kDefaultConnectTimeoutMs = 5000;

struct stRequestTask {
    int32_t verb = kHttpVerbGet;
    int32_t proxyType = kProxyNone;
    std::wstring proxyBypass = L"<local>";
    std::wstring proxy;
    std::wstring proxyUser;
    std::wstring proxyPassword;
    // SHA-256 of the server certificate, 64 hex digits (either case); empty = no pin.
    std::string expectedCertHash;
    std::wstring url;
    std::wstring userAgent;
    std::wstring headers;        // raw header lines ended by CR LF
    std::wstring cookie;         // sent as "Cookie: <value>"
    uint32_t headerStart = 0;
    uint32_t cookieStart = 0;
    const uint8_t* body = nullptr;   // not owned: must outlive a queued task
    uint32_t bodyLength = 0;
    uint32_t extraUploadLength = 0;  // supplied by the handler's ReadUploadChunk
    int64_t cacheValidity = 0;       // seconds, 0 = never expires
    void* userData = nullptr;        // the handler's result record
    CNetResHander* sink = nullptr;   // set by AddTask
    CHttpTaskHandler* handler = nullptr;  // not owned
    int64_t reserved[2] = {0, 0};
    int32_t sendTimeout = kDefaultSendTimeoutMs;
    int32_t receiveTimeout = kDefaultReceiveTimeoutMs;
    int32_t resolveTimeout = kDefaultResolveTimeoutMs;
    int32_t connectTimeout = kDefaultConnectTimeoutMs;
    int32_t synchronous = 1;
    int32_t useCache = 1;
    int32_t resultCode = 0;
};
