#include "Corvel/Control/WebView/WebView2Binding.h"

#include <objbase.h>

#include <cstring>
#include <cwctype>
#include <utility>

#include "Corvel/Control/WebView/ScriptTexts.h"
#include "Corvel/Control/WebView/WebView.h"
#include "Corvel/Core/UiNetHandlers.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Host/ComRef.h"
#include "Corvel/Render/ImageSources.h"

namespace ui {

namespace {

constexpr wchar_t kLoaderName[] = L"WebView2.dll";
constexpr wchar_t kSchemeSeparator[] = L"://";
constexpr wchar_t kFileUrlPrefix[] = L"file:///";
constexpr size_t kFileUrlPrefixLength = 8;

using GetVersionFn = GetAvailableCoreWebView2BrowserVersionStringFn;
using CreateEnvironmentFn = CreateCoreWebView2EnvironmentWithOptionsFn;

// The loader's two entry points, looked up once for the process.
struct Loader {
    bool probed = false;
    HMODULE module = nullptr;
    GetVersionFn getVersion = nullptr;
    CreateEnvironmentFn createEnvironment = nullptr;
};

Loader& TheLoader()
{
    static Loader loader;
    if (!loader.probed) {
        loader.probed = true;
        loader.module = LoadLibraryW(kLoaderName);
        if (loader.module) {
            loader.getVersion = reinterpret_cast<GetVersionFn>(
                reinterpret_cast<void*>(GetProcAddress(loader.module, "GetAvailableCoreWebView2BrowserVersionString")));
            loader.createEnvironment = reinterpret_cast<CreateEnvironmentFn>(
                reinterpret_cast<void*>(GetProcAddress(loader.module, "CreateCoreWebView2EnvironmentWithOptions")));
        }
    }
    return loader;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

} // namespace

// ------------------------------------------------------------- URL rules

std::wstring UrlOrigin(const std::wstring& url)
{
    const size_t scheme = url.find(kSchemeSeparator);
    if (scheme == std::wstring::npos || scheme == 0)
        return {};
    std::wstring origin;
    for (size_t i = 0; i < scheme; ++i) {
        const wchar_t c = url[i];
        if (!iswalnum(c) && c != L'+' && c != L'-' && c != L'.')
            return {};
        origin += static_cast<wchar_t>(towlower(c));
    }
    origin += kSchemeSeparator;
    if (origin == L"file://")
        return origin;
    // The authority ends at the first "/", "?" or "#"; user information
    // before an "@" is not part of the origin.
    const size_t start = scheme + 3;
    size_t end = url.find_first_of(L"/?#\\", start);
    if (end == std::wstring::npos)
        end = url.size();
    std::wstring authority = url.substr(start, end - start);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos)
        authority = authority.substr(at + 1);
    if (authority.empty())
        return {};
    for (wchar_t& c : authority)
        c = static_cast<wchar_t>(towlower(c));
    return origin + authority;
}

bool IsHomeOrigin(const std::wstring& homePage, const std::wstring& url)
{
    const std::wstring home = UrlOrigin(homePage);
    return !home.empty() && home == UrlOrigin(url);
}

std::wstring FileUrlToPath(const std::wstring& url)
{
    if (url.size() <= kFileUrlPrefixLength || _wcsnicmp(url.c_str(), kFileUrlPrefix, kFileUrlPrefixLength) != 0)
        return {};
    std::string bytes;
    const std::wstring rest = url.substr(kFileUrlPrefixLength);
    std::wstring path;
    for (size_t i = 0; i < rest.size(); ++i) {
        wchar_t c = rest[i];
        if (c == L'?' || c == L'#')
            break;
        if (c == L'%') {
            const int high = i + 2 < rest.size() ? HexDigit(rest[i + 1]) : -1;
            const int low = i + 2 < rest.size() ? HexDigit(rest[i + 2]) : -1;
            if (high < 0 || low < 0)
                return {};
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
            continue;
        }
        if (!bytes.empty()) {
            path += Utf8ToWide(bytes);
            bytes.clear();
        }
        path += c == L'/' ? L'\\' : c;
    }
    if (!bytes.empty())
        path += Utf8ToWide(bytes);
    for (wchar_t c : path) {
        if (c < 0x20)
            return {};
    }
    return path;
}

bool ServeFileRequest(const std::wstring& homePage, const std::wstring& pageUrl, const std::wstring& requestUri,
                      std::string& bytes)
{
    bytes.clear();
    if (!IsHomeOrigin(homePage, pageUrl))
        return false;
    const std::wstring path = FileUrlToPath(requestUri);
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow == 0 &&
        data.nFileSizeHigh == 0)
        return true; // an empty file is an empty answer
    return ReadWholeFile(path, bytes);
}

// ------------------------------------------------------------- host object

WebView2Native::WebView2Native(WebView* owner) : m_owner(owner) {}

HRESULT WebView2Native::JsCallCpp(BSTR name, BSTR args, BSTR* result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    // Only the home page's own pages may call the host: a page the user
    // navigated to elsewhere gets nothing.
    if (!m_owner || !IsHomeOrigin(m_owner->GetHomePage(), m_pageSource ? m_pageSource() : m_pageUrl))
        return E_ACCESSDENIED;
    std::wstring answer;
    if (m_owner)
        answer = m_owner->AnswerWebView2ScriptCall(name ? std::wstring(name, SysStringLen(name)) : std::wstring(),
                                                   args ? std::wstring(args, SysStringLen(args)) : std::wstring());
    *result = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

// The object answers its one method by name, so no type library is needed.
HRESULT WebView2Native::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return S_OK;
}

HRESULT WebView2Native::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT WebView2Native::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const bool known = i == 0 && names[0] && wcscmp(names[0], kJsCallCppName) == 0;
        ids[i] = known ? kDispIdJsCallCpp : DISPID_UNKNOWN;
        if (!known)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT WebView2Native::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO*, UINT* argError)
{
    if (id != kDispIdJsCallCpp)
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != 2)
        return DISP_E_BADPARAMCOUNT;
    // Arguments arrive last first; texts only.
    VARIANT* name = &params->rgvarg[1];
    VARIANT* args = &params->rgvarg[0];
    for (UINT i = 0; i < 2; ++i) {
        if (params->rgvarg[i].vt != VT_BSTR) {
            if (argError)
                *argError = i;
            return DISP_E_TYPEMISMATCH;
        }
    }
    BSTR answer = nullptr;
    const HRESULT hr = JsCallCpp(name->bstrVal, args->bstrVal, &answer);
    if (FAILED(hr))
        return hr;
    if (result) {
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = answer;
    } else {
        SysFreeString(answer);
    }
    return S_OK;
}

// ------------------------------------------------------------- runtime objects

const wchar_t kWebView2Language[] = L"zh-CN";
const wchar_t kWebView2BrowserArguments[] =
    L"--disable-web-security --allow-insecure-localhost --allow-file-access-from-files "
    L"--disable-site-isolation-trials --unsafely-treat-insecure-origin-as-secure=http:*";
const wchar_t kWebView2TargetVersion[] = L"129.0.2783.0";
const wchar_t kWebView2NoReloadKeysScript[] =
    L"document.addEventListener('keydown', function(e) {    if (e.key === 'F5' || e.key === 'F7') {        "
    L"e.preventDefault();    }});";
const wchar_t kWebView2DragScript[] =
    L"document.addEventListener('mousedown', function(e) {    if (!e.target.closest('.app-noDrag') && "
    L"e.target.closest('.app-drag')) {        window.chrome.webview.postMessage({ type: 'dragWindow' });    }});";

namespace {

constexpr wchar_t kFileFilter[] = L"file:///*";
constexpr wchar_t kHostObjectName[] = L"Native";
constexpr wchar_t kDragMessage[] = L"dragWindow";
constexpr int kStatusOk = 200;
constexpr wchar_t kReasonOk[] = L"OK";
constexpr wchar_t kFileResponseHeaders[] = L"Content-Type: application/octet-stream\r\n";
// The find bar's accelerator: Ctrl+F.
constexpr UINT kFindKey = 'F';

// A text the runtime frees with CoTaskMemFree.
HRESULT CopyForRuntime(const std::wstring& text, LPWSTR* out)
{
    if (!out)
        return E_POINTER;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out)
        return E_OUTOFMEMORY;
    memcpy(*out, text.c_str(), bytes);
    return S_OK;
}

// A text the runtime handed out, freed with CoTaskMemFree.
std::wstring TakeRuntimeText(LPWSTR text)
{
    std::wstring copy = text ? text : L"";
    if (text)
        CoTaskMemFree(text);
    return copy;
}

// The environment's options: the runtime reads them while it creates the
// environment; every option not set here keeps its default.
class EnvironmentOptions final : public ui::ComObject<ICoreWebView2EnvironmentOptions> {
public:
    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override
    {
        return CopyForRuntime(m_arguments, value);
    }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override
    {
        m_arguments = value ? value : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override { return CopyForRuntime(m_language, value); }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override
    {
        m_language = value ? value : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override
    {
        return CopyForRuntime(m_targetVersion, value);
    }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override
    {
        m_targetVersion = value ? value : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override
    {
        if (!allow)
            return E_POINTER;
        *allow = m_singleSignOn;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override
    {
        m_singleSignOn = allow;
        return S_OK;
    }

private:
    ~EnvironmentOptions() override = default;
    std::wstring m_arguments;
    std::wstring m_language;
    std::wstring m_targetVersion;
    BOOL m_singleSignOn = FALSE;
};

// A handler the runtime calls: a reference-counted object whose Invoke runs
// `body` while the binding lives, and answers S_OK.
template <typename Interface, typename... Args>
class Delegate final : public ui::ComObject<Interface> {
public:
    using Body = void (*)(WebView2Binding&, Args...);
    Delegate(std::shared_ptr<WebView2Binding::Link> link, Body body) : m_link(std::move(link)), m_body(body) {}

    HRESULT STDMETHODCALLTYPE Invoke(Args... args) override
    {
        if (m_link && m_link->binding)
            m_body(*m_link->binding, args...);
        return S_OK;
    }

private:
    ~Delegate() override = default;
    std::shared_ptr<WebView2Binding::Link> m_link;
    Body m_body;
};

template <typename Interface, typename... Args>
Microsoft::WRL::ComPtr<Interface> MakeDelegate(const std::shared_ptr<WebView2Binding::Link>& link,
                                               void (*body)(WebView2Binding&, Args...))
{
    return ui::AdoptComRef<Interface>(new Delegate<Interface, Args...>(link, body));
}

} // namespace

// ------------------------------------------------------------- binding

bool WebView2Binding::IsRuntimeAvailable()
{
    Loader& loader = TheLoader();
    if (!loader.getVersion || !loader.createEnvironment)
        return false;
    LPWSTR version = nullptr;
    const HRESULT hr = loader.getVersion(nullptr, &version);
    const bool installed = SUCCEEDED(hr) && version && version[0];
    if (version)
        CoTaskMemFree(version);
    return installed;
}

std::unique_ptr<WebView2Binding> WebView2Binding::Start(WebView* owner)
{
    if (!owner || !IsRuntimeAvailable())
        return nullptr;
    auto binding = std::make_unique<WebView2Binding>(owner);
    if (owner->m_dataFolder.empty())
        owner->m_dataFolder = GetUiCacheFolder();

    Microsoft::WRL::ComPtr<ICoreWebView2EnvironmentOptions> options =
        ui::AdoptComRef<ICoreWebView2EnvironmentOptions>(new EnvironmentOptions());
    options->put_Language(kWebView2Language);
    options->put_AdditionalBrowserArguments(kWebView2BrowserArguments);
    options->put_TargetCompatibleBrowserVersion(kWebView2TargetVersion);

    auto handler = MakeDelegate<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        binding->m_link, +[](WebView2Binding& self, HRESULT result, ICoreWebView2Environment* environment) {
            self.OnEnvironmentCreated(result, environment);
        });
    // Without any folder the loader picks its default one beside the program.
    const wchar_t* dataFolder = owner->m_dataFolder.empty() ? nullptr : owner->m_dataFolder.c_str();
    const HRESULT hr = TheLoader().createEnvironment(nullptr, dataFolder, options.Get(), handler.Get());
    if (FAILED(hr))
        binding->m_failed = true;
    return binding;
}

WebView2Binding::WebView2Binding(WebView* owner) : m_owner(owner), m_link(std::make_shared<Link>())
{
    m_link->binding = this;
}

WebView2Binding::~WebView2Binding()
{
    m_link->binding = nullptr;
    Release();
}

void WebView2Binding::Release()
{
    if (m_controller) {
        m_controller->Close();
        m_controller.Reset();
    }
    if (m_native) {
        m_native->ClearOwner();
        m_native->SetPageUrlSource(nullptr);
        m_native.Reset();
    }
    m_webView.Reset();
}

HWND WebView2Binding::HostWindow() const
{
    return m_owner && m_owner->m_core ? m_owner->m_core->GetWindow() : nullptr;
}

std::wstring WebView2Binding::CurrentSource() const
{
    LPWSTR source = nullptr;
    if (!m_webView || FAILED(m_webView->get_Source(&source)))
        return {};
    return TakeRuntimeText(source);
}

void WebView2Binding::OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment)
{
    HRESULT hr = result;
    if (SUCCEEDED(hr) && environment) {
        auto handler = MakeDelegate<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
            m_link, +[](WebView2Binding& self, HRESULT code, ICoreWebView2Controller* controller) {
                self.OnControllerCreated(code, controller);
            });
        hr = environment->CreateCoreWebView2Controller(HostWindow(), handler.Get());
    } else if (SUCCEEDED(hr)) {
        hr = E_POINTER;
    }
    if (FAILED(hr)) {
        // No environment, no page: the loading phase ends instead of running
        // until its timeout over nothing.
        m_failed = true;
        if (m_owner && m_owner->m_core)
            m_owner->EndWithoutEngine();
    }
}

void WebView2Binding::OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller)
{
    if (FAILED(result) || !controller) {
        m_failed = true;
        if (m_owner && m_owner->m_core)
            m_owner->EndWithoutEngine();
        return;
    }
    Release();
    m_controller = controller;
    if (FAILED(m_controller->get_CoreWebView2(m_webView.ReleaseAndGetAddressOf())) || !m_webView) {
        m_controller.Reset();
        m_failed = true;
        if (m_owner && m_owner->m_core)
            m_owner->EndWithoutEngine();
        return;
    }
    EventRegistrationToken token{};

    // "file:///" requests from scripts are answered from disk.
    m_webView->AddWebResourceRequestedFilter(kFileFilter, COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH);
    m_webView->AddWebResourceRequestedFilter(kFileFilter, COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST);
    m_webView->add_WebResourceRequested(
        MakeDelegate<ICoreWebView2WebResourceRequestedEventHandler>(
            m_link,
            +[](WebView2Binding& self, ICoreWebView2* sender, ICoreWebView2WebResourceRequestedEventArgs* args) {
                self.OnWebResourceRequested(sender, args);
            })
            .Get(),
        &token);

    Microsoft::WRL::ComPtr<ICoreWebView2Settings> settings;
    if (SUCCEEDED(m_webView->get_Settings(&settings)) && settings) {
        settings->put_IsScriptEnabled(TRUE);
        settings->put_AreDefaultScriptDialogsEnabled(TRUE);
        settings->put_IsWebMessageEnabled(TRUE);
        settings->put_AreDefaultContextMenusEnabled(FALSE);
        settings->put_AreDevToolsEnabled(FALSE);
    }

    // The browser's own accelerator keys (reload, find, ...) stay off.
    Microsoft::WRL::ComPtr<ICoreWebView2Settings3> settings3;
    if (settings && SUCCEEDED(settings.As(&settings3)) && settings3) {
        settings3->put_AreBrowserAcceleratorKeysEnabled(FALSE);
    } else {
        m_controller->add_AcceleratorKeyPressed(
            MakeDelegate<ICoreWebView2AcceleratorKeyPressedEventHandler>(
                m_link,
                +[](WebView2Binding&, ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
                    OnAcceleratorKey(args);
                })
                .Get(),
            &token);
        m_webView->AddScriptToExecuteOnDocumentCreated(kWebView2NoReloadKeysScript, nullptr);
    }

    // Pages drag the window from their drag regions.
    Microsoft::WRL::ComPtr<ICoreWebView2Settings9> settings9;
    if (settings && SUCCEEDED(settings.As(&settings9)) && settings9) {
        settings9->put_IsNonClientRegionSupportEnabled(TRUE);
    } else {
        m_webView->add_WebMessageReceived(
            MakeDelegate<ICoreWebView2WebMessageReceivedEventHandler>(
                m_link,
                +[](WebView2Binding& self, ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
                    self.OnWebMessage(args);
                })
                .Get(),
            &token);
        m_webView->AddScriptToExecuteOnDocumentCreated(kWebView2DragScript, nullptr);
    }

    if (m_owner)
        SetBounds(m_owner->GetControlRect());

    Microsoft::WRL::ComPtr<ICoreWebView2Controller2> controller2;
    if (SUCCEEDED(m_controller.As(&controller2)) && controller2)
        controller2->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{0, 0, 0, 0});

    m_webView->add_NavigationCompleted(
        MakeDelegate<ICoreWebView2NavigationCompletedEventHandler>(
            m_link,
            +[](WebView2Binding& self, ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*) {
                self.OnNavigationCompleted();
            })
            .Get(),
        &token);

    // The host object answers only while the page shown is of the home
    // page's origin: it reads the web view's source at every call.
    m_native = ui::AdoptComRef(new WebView2Native(m_owner));
    std::weak_ptr<Link> link = m_link;
    m_native->SetPageUrlSource([link]() -> std::wstring {
        const auto alive = link.lock();
        return alive && alive->binding ? alive->binding->CurrentSource() : std::wstring();
    });
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = static_cast<IDispatch*>(m_native.Get());
    m_webView->AddHostObjectToScript(kHostObjectName, &object);

    if (m_owner && m_owner->m_autoNavigate && !m_owner->m_homePage.empty())
        Navigate(m_owner->m_homePage);
}

void WebView2Binding::OnNavigationCompleted()
{
    if (m_owner)
        m_owner->OnLoadComplete();
}

void WebView2Binding::OnWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args)
{
    LPWSTR json = nullptr;
    if (!args || FAILED(args->get_WebMessageAsJson(&json)))
        return;
    const std::wstring message = TakeRuntimeText(json);
    if (message.find(kDragMessage) == std::wstring::npos)
        return;
    if (HWND host = HostWindow()) {
        ReleaseCapture();
        SendMessageW(host, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    }
}

void WebView2Binding::OnAcceleratorKey(ICoreWebView2AcceleratorKeyPressedEventArgs* args)
{
    if (!args)
        return;
    COREWEBVIEW2_KEY_EVENT_KIND kind{};
    args->get_KeyEventKind(&kind);
    UINT key = 0;
    if (SUCCEEDED(args->get_VirtualKey(&key)) && key == kFindKey && GetKeyState(VK_CONTROL) < 0)
        args->put_Handled(TRUE);
}

void WebView2Binding::OnWebResourceRequested(ICoreWebView2* sender, ICoreWebView2WebResourceRequestedEventArgs* args)
{
    if (!sender || !args || !m_owner)
        return;
    Microsoft::WRL::ComPtr<ICoreWebView2WebResourceRequest> request;
    LPWSTR uri = nullptr;
    if (FAILED(args->get_Request(&request)) || !request || FAILED(request->get_Uri(&uri)))
        return;
    const std::wstring requestUri = TakeRuntimeText(uri);
    LPWSTR source = nullptr;
    const std::wstring pageUrl = SUCCEEDED(sender->get_Source(&source)) ? TakeRuntimeText(source) : std::wstring();
    std::string bytes;
    if (!ServeFileRequest(m_owner->GetHomePage(), pageUrl, requestUri, bytes))
        return;

    Microsoft::WRL::ComPtr<ICoreWebView2_2> webView2;
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment;
    if (FAILED(sender->QueryInterface(__uuidof(ICoreWebView2_2), reinterpret_cast<void**>(webView2.GetAddressOf()))) ||
        !webView2 || FAILED(webView2->get_Environment(&environment)) || !environment)
        return;
    Microsoft::WRL::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return;
    ULONG written = 0;
    if (!bytes.empty() &&
        (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) || written != bytes.size()))
        return;
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    Microsoft::WRL::ComPtr<ICoreWebView2WebResourceResponse> response;
    if (SUCCEEDED(environment->CreateWebResourceResponse(stream.Get(), kStatusOk, kReasonOk, kFileResponseHeaders,
                                                         &response)) &&
        response)
        args->put_Response(response.Get());
}

void WebView2Binding::SetBounds(const RECT& rect)
{
    if (m_controller)
        m_controller->put_Bounds(rect);
}

void WebView2Binding::SetVisible(bool visible)
{
    if (m_controller)
        m_controller->put_IsVisible(visible ? TRUE : FALSE);
}

void WebView2Binding::Navigate(const std::wstring& url)
{
    if (m_webView && !url.empty())
        m_webView->Navigate(url.c_str());
}

} // namespace ui
