// The WebView2 engine of the web view: the runtime's loader ("WebView2.dll",
// loaded by name once per process), the rules its handlers follow and the
// host object "Native" that gives page scripts JsCallCpp. Pages may fetch
// "file:///" URLs, answered from disk, and call the host object only while
// the page belongs to the home page's origin. The environment and the
// controller are made asynchronously; the runtime calls every handler on the
// UI thread that made the environment. UI thread.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

#include "Corvel/Control/WebView/WebView2Interfaces.h"
#include "Corvel/Host/ComObject.h"

namespace ui {

class WebView;

// The scheme, host and port of a URL, lower-cased ("https://a.example:8443");
// for file URLs "file://". Empty when the text has no "scheme://" part.
std::wstring UrlOrigin(const std::wstring& url);
// True when `url` belongs to the origin of `homePage` (both non-empty).
bool IsHomeOrigin(const std::wstring& homePage, const std::wstring& url);
// The disk path a "file:///" URL names ("file:///C:/a/b.txt" gives
// "C:\a\b.txt"), percent escapes decoded; empty for any other URL, for an
// escape that is not two hex digits, and for a path that decodes to a
// control character.
std::wstring FileUrlToPath(const std::wstring& url);

// What the "file:///" resource handler answers a page: true with the whole
// file in `bytes` when the page (`pageUrl`) belongs to the home page's origin
// and `requestUri` names a readable file; false (no answer) otherwise.
bool ServeFileRequest(const std::wstring& homePage, const std::wstring& pageUrl, const std::wstring& requestUri,
                      std::string& bytes);

// The host object pages reach as chrome.webview.hostObjects.Native: an
// IDispatch whose one method JsCallCpp(name, arguments) answers with the
// owner control's script handlers. Reference-counted; the last Release
// deletes it. The owner is borrowed and cleared when the control goes.
class WebView2Native : public ComObject<IDispatch> {
public:
    static constexpr DISPID kDispIdJsCallCpp = 1;

    explicit WebView2Native(WebView* owner);
    void ClearOwner() { m_owner = nullptr; }
    // The URL of the page now shown, for a host object without a source.
    void SetPageUrl(const std::wstring& url) { m_pageUrl = url; }
    // Where the URL of the page now shown is read at each call (the web
    // view's current source); it takes the place of SetPageUrl.
    void SetPageUrlSource(std::function<std::wstring()> source) { m_pageSource = std::move(source); }
    // The answer to JsCallCpp: the result text as a new BSTR (empty when no
    // handler answers). E_ACCESSDENIED, with no handler asked, when the page
    // is not of the home page's origin or the owner is gone.
    HRESULT JsCallCpp(BSTR name, BSTR args, BSTR* result);

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

private:
    ~WebView2Native() override = default;
    WebView* m_owner;
    std::wstring m_pageUrl;
    std::function<std::wstring()> m_pageSource;
};

// The texts the binding hands the runtime: the environment's options and
// the two scripts injected when the runtime lacks the matching settings.
extern const wchar_t kWebView2Language[];
extern const wchar_t kWebView2BrowserArguments[];
extern const wchar_t kWebView2TargetVersion[];
extern const wchar_t kWebView2NoReloadKeysScript[];
extern const wchar_t kWebView2DragScript[];

class WebView2Binding {
public:
    // True when the runtime's loader loads, offers both entry points and
    // reports an installed runtime (a non-empty version). The loader is
    // probed once per process; the version is asked at every call.
    static bool IsRuntimeAvailable();
    // Starts the environment for the control when the runtime is there:
    // null when it is not (the engine choice moves on). A binding whose
    // environment call failed is returned with Failed() true.
    static std::unique_ptr<WebView2Binding> Start(WebView* owner);

    explicit WebView2Binding(WebView* owner);
    ~WebView2Binding();
    bool Failed() const { return m_failed; }
    // The engine calls of the control; nothing until the controller exists.
    void SetBounds(const RECT& rect);
    void SetVisible(bool visible);
    void Navigate(const std::wstring& url);

    ICoreWebView2Controller* GetController() const { return m_controller.Get(); }
    ICoreWebView2* GetWebView() const { return m_webView.Get(); }
    WebView2Native* GetHostObject() const { return m_native.Get(); }

    // The bodies of the runtime's handlers.
    void OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment);
    void OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller);
    void OnNavigationCompleted();
    void OnWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args);
    void OnWebResourceRequested(ICoreWebView2* sender, ICoreWebView2WebResourceRequestedEventArgs* args);
    static void OnAcceleratorKey(ICoreWebView2AcceleratorKeyPressedEventArgs* args);

    // What handlers hold: the binding while it lives, null after. The
    // runtime may call a handler after the control and its binding are gone.
    struct Link {
        WebView2Binding* binding = nullptr;
    };

private:
    HWND HostWindow() const;
    std::wstring CurrentSource() const;
    // The controller is closed and released first, then the host object,
    // then the web view.
    void Release();

    WebView* m_owner;
    bool m_failed = false;
    std::shared_ptr<Link> m_link;
    Microsoft::WRL::ComPtr<ICoreWebView2Controller> m_controller;
    Microsoft::WRL::ComPtr<ICoreWebView2> m_webView;
    Microsoft::WRL::ComPtr<WebView2Native> m_native;
};

} // namespace ui
