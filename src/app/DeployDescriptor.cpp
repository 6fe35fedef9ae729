#include "app/DeployDescriptor.h"

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "Corvel/Core/StringConv.h"
#include "net/KernelHandle.h"
#include "net/NetResManager.h"

namespace {

constexpr const char* kPackageSnKey = "package_sn";

// Polling of workers started from now on; 0 means the class default.
std::atomic<DWORD> g_pollIntervalMs{0};
std::atomic<DWORD> g_pollLimitMs{0};

void ReadBootEntries(const Json::Value& data, std::vector<stBootEntry>& boot)
{
    if (!data.isMember("boot") || !data["boot"].isArray())
        return;
    for (const Json::Value& element : data["boot"]) {
        stBootEntry entry;
        GetJsonString(element, "name", entry.name);
        GetJsonString(element, "path", entry.path);
        boot.push_back(std::move(entry));
    }
}

void ReadOrderData(const Json::Value& data, const std::string& defaultCompressLink, stOrderDetail& order)
{
    GetJsonString(data, "name", order.name);
    GetJsonString(data, "desc", order.desc);
    GetJsonString(data, "guide_link", order.guide_link);
    GetJsonString(data, "download_url", order.download_url);
    GetJsonString(data, "official_link", order.official_link);
    GetJsonString(data, "compress_link", order.compress_link);
    // JsonCpp's isInt: an integer, or a real with a whole 32-bit value; a
    // state sent as text is not one.
    if (data.isMember("state") && data["state"].isInt())
        order.state = data["state"].asInt();
    if (order.compress_link.empty())
        order.compress_link = defaultCompressLink;
    ReadBootEntries(data, order.boot);
}

} // namespace

std::string DefaultCompressLink(const std::wstring& baseUrl)
{
    return ui::WideToUtf8String(baseUrl + kDefaultCompressPath);
}

std::wstring DescriptorFailureText(int code)
{
    switch (code) {
    case kDescriptorEmptyAnswer:
        return L"服务器无响应,请检查网络后重试";
    case kDescriptorNotJson:
        return L"服务器返回数据异常,请稍后重试";
    case kDescriptorRefused:
        return L"服务器拒绝了部署请求,请稍后重试";
    case kDescriptorNoData:
        return L"未获取到部署信息,请稍后重试";
    case kDescriptorTimedOut:
        return L"准备超时,请稍后重试";
    default:
        return std::wstring();
    }
}

int ReadOrderAnswer(const std::string& text, const std::string& defaultCompressLink, stOrderDetail& order)
{
    if (text.empty())
        return kDescriptorEmptyAnswer;
    CApiResponse response;
    if (!response.Parse(text))
        return kDescriptorNotJson;
    int32_t code = 0;
    if (response.GetCode(code) && code != 0)
        return kDescriptorRefused;
    Json::Value data;
    if (!response.GetData(data))
        return kDescriptorNoData;
    stOrderDetail read;
    ReadOrderData(data, defaultCompressLink, read);
    order = std::move(read);
    return kDescriptorValid;
}

// ---------------------------------------------------------------- worker

// What the worker's thread and its owner share.
struct DeployDescriptorWorker::Shared {
    Shared(stDescriptorRequest r, DeployDescriptorCallback c)
        : request(std::move(r)),
          callback(std::move(c)),
          stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          endedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        // Service calls need the process's network resource manager; this
        // reference keeps it for as long as the thread may still call.
        AcquireNetResManager();
    }
    ~Shared() { ReleaseNetResManager(); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    const stDescriptorRequest request;
    const DeployDescriptorCallback callback;
    CKernelHandle stopEvent;   // manual reset: set by Stop
    CKernelHandle endedEvent;  // manual reset: set when the thread ends
    DWORD intervalMs = kPollIntervalMs;
    DWORD limitMs = kPollLimitMs;
    std::mutex lock;           // guards stopped and every callback
    bool stopped = false;

    void Run();
    std::string Ask() const;
    // Calls back unless stopped; the lock keeps Stop from returning while a
    // callback runs.
    void Deliver(const stOrderDetail& order, int code);
    // True when the stop event came within ms.
    bool WaitForStop(DWORD ms) const;
};

std::string DeployDescriptorWorker::Shared::Ask() const
{
    Json::Value members(Json::objectValue);
    members[kPackageSnKey] = request.packageSn;
    return CallService(request.endpoint, kApiOrder, members);
}

void DeployDescriptorWorker::Shared::Deliver(const stOrderDetail& order, int code)
{
    std::lock_guard<std::mutex> guard(lock);
    if (stopped || !callback)
        return;
    callback(order, false, code, DescriptorFailureText(code));
}

bool DeployDescriptorWorker::Shared::WaitForStop(DWORD ms) const
{
    return !stopEvent || WaitForSingleObject(stopEvent.Get(), ms) != WAIT_TIMEOUT;
}

void DeployDescriptorWorker::Shared::Run()
{
    const ULONGLONG start = GetTickCount64();
    stOrderDetail order;
    for (;;) {
        if (WaitForStop(0))
            return;
        const int code = ReadOrderAnswer(Ask(), request.defaultCompressLink, order);
        if (code != kDescriptorValid || order.state == stOrderDetail::kStateReady) {
            Deliver(order, code);
            return;
        }
        // Another request would only come after the limit: give up now.
        if (GetTickCount64() - start + intervalMs > limitMs) {
            Deliver(order, kDescriptorTimedOut);
            return;
        }
        if (WaitForStop(intervalMs))
            return;
    }
}

DeployDescriptorWorker::DeployDescriptorWorker(stDescriptorRequest request, DeployDescriptorCallback callback)
    : m_shared(std::make_shared<Shared>(std::move(request), std::move(callback)))
{
}

DeployDescriptorWorker::~DeployDescriptorWorker()
{
    Stop();
}

bool DeployDescriptorWorker::Start()
{
    if (m_started || !m_shared->stopEvent || !m_shared->endedEvent)
        return false;
    const DWORD interval = g_pollIntervalMs.load();
    const DWORD limit = g_pollLimitMs.load();
    m_shared->intervalMs = interval ? interval : kPollIntervalMs;
    m_shared->limitMs = limit ? limit : kPollLimitMs;
    try {
        std::shared_ptr<Shared> shared = m_shared;
        std::thread([shared] {
            shared->Run();
            SetEvent(shared->endedEvent.Get());
        }).detach();
    } catch (const std::system_error&) {
        return false;  // no thread: nothing will call back
    }
    m_started = true;
    return true;
}

void DeployDescriptorWorker::Stop()
{
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->stopped = true;
    if (m_shared->stopEvent)
        SetEvent(m_shared->stopEvent.Get());
}

bool DeployDescriptorWorker::WaitForEndForTesting(DWORD ms) const
{
    return m_shared->endedEvent && WaitForSingleObject(m_shared->endedEvent.Get(), ms) == WAIT_OBJECT_0;
}

void DeployDescriptorWorker::SetPollingForTesting(DWORD intervalMs, DWORD limitMs)
{
    g_pollIntervalMs.store(intervalMs);
    g_pollLimitMs.store(limitMs);
}
