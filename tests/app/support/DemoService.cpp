#include "app/support/DemoService.h"

#include "support/TestPaths.h"
#include "support/TestService.h"

#include <memory>
#include <sstream>

namespace apptest {

namespace {

bool ParseJson(const std::string& text, Json::Value& value)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

} // namespace

const DemoService& DemoService::Get()
{
    static const DemoService service;
    return service;
}

DemoService::DemoService()
{
    wchar_t file[1024] = {};
    if (!GetEnvironmentVariableW(L"CORVEL_DEMO_SERVICE", file, 1024)) {
        m_error = L"CORVEL_DEMO_SERVICE is not set (the ctest fixture demo.start sets it)";
        return;
    }
    std::string text;
    Json::Value info;
    if (!testsupport::ReadFileBytes(file, text) || !ParseJson(text, info) || !info.isObject()) {
        m_error = std::wstring(L"cannot read the demo service file ") + file;
        return;
    }
    m_port = static_cast<unsigned short>(info.get("port", 0).asUInt());
    m_logPath = Widen(info.get("log_win", "").asString());
    if (m_port == 0 || m_logPath.empty()) {
        m_error = std::wstring(L"demo service file without port or log: ") + file;
        return;
    }
    m_ok = true;
}

Json::Value DemoPackage(const char* packageSn, const char* name)
{
    Json::Value package;
    package["package_sn"] = packageSn;
    package["name"] = name;
    return package;
}

Json::Value DemoProduct(const std::string& desc)
{
    Json::Value product;
    product["product_sn"] = "CVL2026";
    product["name"] = "Corvel Notes";
    product["desc"] = desc;
    product["pop_ad"]["enable"] = false;
    product["packages"].append(DemoPackage("CVL2026-STD", "Corvel Notes"));
    return product;
}

std::string ProductsAnswerText(const Json::Value& product)
{
    Json::Value answer;
    answer["code"] = 0;
    answer["data"].append(product);
    return Json::writeString(Json::StreamWriterBuilder(), answer);
}

stServiceEndpoint TestEndpoint(const std::wstring& baseUrl)
{
    stServiceEndpoint endpoint;
    endpoint.baseUrl = baseUrl;
    endpoint.identity = BuildIdentity(L"CVL2026", "00-11-22-33-44-55", L"10.0.19045", L"中文");
    endpoint.osVersionCode = kTestOsCode;
    return endpoint;
}

std::wstring DemoService::BaseUrl(const std::wstring& tag) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/t/" + tag;
}

std::wstring DemoService::DownUrl()
{
    return L"http://127.0.0.1:" + std::to_wstring(testsupport::UnusedPort());
}

bool DemoService::Configure(const std::wstring& tag, const Json::Value& config) const
{
    Json::StreamWriterBuilder writer;
    const std::string body = Json::writeString(writer, config);
    testsupport::stFetchResult r = testsupport::HttpFetch(
        L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/_config/" + tag, L"POST", body,
        L"Content-Type: application/json\r\n");
    return r.error == 0 && r.status == 200;
}

std::vector<Json::Value> DemoService::Requests(const std::wstring& tag) const
{
    std::vector<Json::Value> out;
    std::string text;
    if (!testsupport::ReadFileBytes(m_logPath, text))
        return out;
    const std::string wanted = testsupport::Narrow(tag);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        Json::Value entry;
        if (ParseJson(line, entry) && entry.isObject() && entry.get("tag", "").asString() == wanted)
            out.push_back(entry);
    }
    return out;
}

std::vector<Json::Value> DemoService::Transfers(const std::wstring& tag) const
{
    std::vector<Json::Value> out;
    const testsupport::stFetchResult r =
        testsupport::HttpFetch(L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/_transfers/" + tag);
    Json::Value list;
    if (r.error != 0 || r.status != 200 || !ParseJson(r.body, list) || !list.isArray())
        return out;
    for (const Json::Value& transfer : list)
        out.push_back(transfer);
    return out;
}

std::vector<Json::Value> DemoService::WaitForRequests(const std::wstring& tag, size_t count, DWORD timeoutMs) const
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<Json::Value> requests = Requests(tag);
        if (requests.size() >= count || GetTickCount64() >= end)
            return requests;
        Sleep(20);
    }
}

} // namespace apptest
