#include "app/AppModel.h"

#include "app/AppValues.h"
#include "app/Encodings.h"
#include "app/PathSafety.h"
#include "net/NetResManager.h"

#include <thread>
#include <utility>

namespace {

// The start-up's share of the process's model; appModel borrows it.
std::shared_ptr<CAppModel> g_appModelOwner;

std::wstring FolderNameOf(const std::string& utf8Name)
{
    const SafeFileName safe = ReduceToFileName(Utf8ToWideString(utf8Name));
    return safe.IsValid() ? safe.name : std::wstring();
}

// False for an empty or non-JSON answer.
bool ParseAnswer(const std::string& text, CApiResponse& response)
{
    return !text.empty() && response.Parse(text);
}

void ReadPopAd(const Json::Value& product, stPopAd& popAd)
{
    if (!product.isMember("pop_ad") || !product["pop_ad"].isObject())
        return;
    const Json::Value& ad = product["pop_ad"];
    GetJsonBool(ad, "enable", popAd.enable);
    if (!popAd.enable)
        return;
    GetJsonString(ad, "img", popAd.img);
    GetJsonString(ad, "link", popAd.link);
}

// One record per element, in order; the list ends at the first element
// without a string `package_sn` and a string `name`.
void ReadPackages(const Json::Value& product, std::vector<stPackageInfo>& packages)
{
    if (!product.isMember("packages") || !product["packages"].isArray())
        return;
    for (const Json::Value& element : product["packages"]) {
        stPackageInfo package;
        if (!GetJsonString(element, "package_sn", package.package_sn) || !GetJsonString(element, "name", package.name))
            break;
        packages.push_back(std::move(package));
    }
}

} // namespace

std::wstring stPackageInfo::FolderName() const
{
    return FolderNameOf(name);
}

std::wstring stProductInfo::FolderName() const
{
    return FolderNameOf(name);
}

bool ReadSettingsAnswer(const std::string& text, stServiceLinks& links)
{
    CApiResponse response;
    Json::Value data;
    if (!ParseAnswer(text, response) || !response.GetData(data))
        return false;
    GetJsonString(data, "customer_service_link", links.customer_service_link);
    GetJsonString(data, "privacy_protocol_link", links.privacy_protocol_link);
    GetJsonString(data, "user_agreement_link", links.user_agreement_link);
    return true;
}

bool ReadProductsAnswer(const std::string& text, stProductInfo& product)
{
    CApiResponse response;
    if (!ParseAnswer(text, response))
        return false;
    const Json::Value& root = response.Root();
    if (!root.isObject() || !root.isMember("data") || !root["data"].isArray() || root["data"].empty())
        return false;
    const Json::Value& first = root["data"][0];
    if (!GetJsonString(first, "product_sn", product.product_sn) || !GetJsonString(first, "name", product.name))
        return true;
    GetJsonBool(first, "suicide", product.suicide);
    if (product.suicide)
        return true;
    GetJsonString(first, "desc", product.desc);
    GetJsonString(first, "banner", product.banner);
    ReadPopAd(first, product.pop_ad);
    ReadPackages(first, product.packages);
    return true;
}

CAppModel::CAppModel(stServiceEndpoint endpoint, DWORD uiThreadId)
    : m_endpoint(std::move(endpoint)),
      m_uiThreadId(uiThreadId),
      m_releaseEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_windowReadyEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    AcquireNetResManager();
}

CAppModel::~CAppModel()
{
    Release();
    if (m_windowReadyEvent)
        SetEvent(m_windowReadyEvent.Get());
    ReleaseNetResManager();
}

void CAppModel::SetMainWindow(HWND window)
{
    m_mainWindow.store(window);
}

void CAppModel::SignalWindowReady()
{
    if (m_windowReadyEvent)
        SetEvent(m_windowReadyEvent.Get());
}

void CAppModel::Release()
{
    if (m_releaseEvent)
        SetEvent(m_releaseEvent.Get());
}

bool CAppModel::IsReleased() const
{
    return m_releaseEvent && WaitForSingleObject(m_releaseEvent.Get(), 0) == WAIT_OBJECT_0;
}

stServiceLinks CAppModel::Links() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_links;
}

stProductInfo CAppModel::Product() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_product;
}

bool CAppModel::ExitAdvertisement(std::string& img, std::string& link) const
{
    if (RemovalRequested())
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_product.pop_ad.enable || m_product.pop_ad.img.empty())
        return false;
    img = m_product.pop_ad.img;
    link = m_product.pop_ad.link;
    return true;
}

void CAppModel::FetchSettingsInfo()
{
    stServiceLinks links;
    if (!ReadSettingsAnswer(CallService(m_endpoint, kApiSettingsInfo, Json::Value(Json::objectValue)), links))
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_links = std::move(links);
}

void CAppModel::FetchProducts()
{
    Json::Value members(Json::objectValue);
    members["os"] = m_endpoint.osVersionCode;
    members["bit64"] = IsNativeArch64();
    stProductInfo product;
    if (!ReadProductsAnswer(CallService(m_endpoint, kApiProducts, members), product))
        return;
    const bool remove = product.suicide;
    StoreProduct(std::move(product));
    if (remove) {
        RequestRemoval();
        return;
    }
    WaitForWindowThenPost();
}

void CAppModel::StoreProduct(stProductInfo product)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_product = std::move(product);
}

// The removal itself runs on the UI thread once its loop has ended: the
// process must end from there, after the windows are gone and before the
// delayed delete of the installer file runs.
void CAppModel::RequestRemoval()
{
    m_removal.store(true);
    PostThreadMessageW(m_uiThreadId, WM_QUIT, 0, 0);
}

void CAppModel::WaitForWindowThenPost()
{
    HANDLE events[] = {m_windowReadyEvent.Get(), m_releaseEvent.Get()};
    if (!events[0] || !events[1])
        return;
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 || IsReleased())
        return;
    HWND window = m_mainWindow.load();
    if (window)
        PostMessageW(window, kMsgProductReady, 0, 0);
}

void StartServiceFetches(const std::shared_ptr<CAppModel>& model)
{
    std::thread([model] { model->FetchSettingsInfo(); }).detach();
    std::thread([model] { model->FetchProducts(); }).detach();
}

void CreateAppModel(stServiceEndpoint endpoint)
{
    g_appModelOwner = std::make_shared<CAppModel>(std::move(endpoint));
    appModel = g_appModelOwner.get();
    StartServiceFetches(g_appModelOwner);
}

void ReleaseAppModel()
{
    if (g_appModelOwner)
        g_appModelOwner->Release();
    appModel = nullptr;
    g_appModelOwner.reset();
}
