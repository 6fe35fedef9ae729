#include "Corvel/Control/WebView/WebView2Binding.h"

#include <cwctype>

#include "Corvel/Control/WebView/ScriptTexts.h"
#include "Corvel/Control/WebView/WebView.h"
#include "Corvel/Render/ImageSources.h"

namespace ui {

namespace {

constexpr wchar_t kLoaderName[] = L"WebView2.dll";
constexpr wchar_t kSchemeSeparator[] = L"://";
constexpr wchar_t kFileUrlPrefix[] = L"file:///";
constexpr size_t kFileUrlPrefixLength = 8;

using GetVersionFn = HRESULT(STDAPICALLTYPE*)(PCWSTR browserFolder, LPWSTR* version);
using CreateEnvironmentFn = HRESULT(STDAPICALLTYPE*)(PCWSTR browserFolder, PCWSTR dataFolder, IUnknown* options,
                                                     IUnknown* handler);

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
    if (!m_owner || !IsHomeOrigin(m_owner->GetHomePage(), m_pageUrl))
        return E_ACCESSDENIED;
    std::wstring answer;
    if (m_owner)
        answer = m_owner->AnswerWebView2ScriptCall(name ? std::wstring(name, SysStringLen(name)) : std::wstring(),
                                                   args ? std::wstring(args, SysStringLen(args)) : std::wstring());
    *result = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT WebView2Native::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch)
        return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG WebView2Native::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG WebView2Native::Release()
{
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
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
    // The runtime's environment and controller interfaces are not declared
    // in this build (their SDK header is not available to it): with or
    // without a runtime the choice moves on to the next engine, so that a
    // machine with the runtime still shows its pages.
    IsRuntimeAvailable();
    return nullptr;
}

WebView2Binding::~WebView2Binding() = default;

void WebView2Binding::SetBounds(const RECT&) {}
void WebView2Binding::SetVisible(bool) {}
void WebView2Binding::Navigate(const std::wstring&) {}

} // namespace ui
