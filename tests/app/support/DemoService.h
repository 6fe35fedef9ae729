// Client of the installer's demo service (demo/service/server.py) for the
// tests under tests/app/. The ctest fixture "demo.start" runs it; tests find
// it through the file that CORVEL_DEMO_SERVICE names. Each test works under
// a tag of its own: its base URL routes every call to the tag's scenario and
// its log lines carry the tag.
#pragma once

#include "app/ServiceApi.h"
#include "support/Text.h"

#include <json/json.h>

#include <windows.h>

#include <string>
#include <vector>

namespace apptest {

class DemoService {
public:
    static const DemoService& Get();

    bool Available() const { return m_ok; }
    const std::wstring& Error() const { return m_error; }

    // Base URL of the service as the installer uses it, scoped to tag.
    std::wstring BaseUrl(const std::wstring& tag) const;
    // Base URL on a port where nothing listens (a service that is down).
    static std::wstring DownUrl();

    // Sets the tag's scenario: a JSON object with "mode" ("normal",
    // "garbage", "empty", "drop", "suicide"), exact answer texts by endpoint
    // ("settings", "products", "pushed", "order") and "order_states"; the
    // package and engine keys (package_kind, package_version,
    // package_drop_after, package_rate, compress_kind, pkg_*) are listed in
    // demo/service/README.md.
    bool Configure(const std::wstring& tag, const Json::Value& config) const;

    // The tag's requests from the service's JSON-lines log, oldest first:
    // objects with method, path, body (parsed JSON or null), body_text,
    // content_type, user_agent.
    std::vector<Json::Value> Requests(const std::wstring& tag) const;
    // The bodies the tag's GETs streamed, once each has ended, oldest first:
    // objects with seq, path, range, status, first, length and sent (body
    // bytes that went out).
    std::vector<Json::Value> Transfers(const std::wstring& tag) const;
    // Polls until count requests of the tag are logged (or timeoutMs passed).
    std::vector<Json::Value> WaitForRequests(const std::wstring& tag, size_t count, DWORD timeoutMs) const;

private:
    DemoService();

    bool m_ok = false;
    std::wstring m_error;
    unsigned short m_port = 0;
    std::wstring m_logPath;   // Windows path of the JSON-lines log
};

// An endpoint at baseUrl with a fixed identity: product "CVL2026", machine
// "00-11-22-33-44-55", Windows "10.0.19045", promotion code "中文", os 10.
stServiceEndpoint TestEndpoint(const std::wstring& baseUrl);
constexpr int32_t kTestOsCode = 10;

// A package entry of a products answer.
Json::Value DemoPackage(const char* packageSn, const char* name);
// The demo product "CVL2026" ("Corvel Notes") as a products answer carries
// it: with `desc`, its exit advertisement off (a session's shutdown would
// wait in it) and the standard package "CVL2026-STD" only. Tests change or
// add keys before wrapping it with ProductsAnswerText.
Json::Value DemoProduct(const std::string& desc);
// The products answer text ({"code": 0, "data": [product]}) a scenario's
// "products" key takes.
std::string ProductsAnswerText(const Json::Value& product);

// Skips the test with the reason when the demo service is not there.
#define REQUIRE_DEMO_SERVICE()                                                                    \
    do {                                                                                         \
        if (!::apptest::DemoService::Get().Available())                                          \
            GTEST_SKIP() << "demo service: " << testsupport::Narrow(::apptest::DemoService::Get().Error()); \
    } while (0)

} // namespace apptest
