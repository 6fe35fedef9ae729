// What an application derives from to receive a web view's engine events and
// to answer page calls of JsCallCpp. Every operation has a default body, so
// a handler overrides only what it needs. UI thread: engines call it there.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <oaidl.h>
#include <urlmon.h>

#include <functional>
#include <string>

namespace ui {

class WebView;

// The script name pages call, and the dispatch id it maps to.
constexpr wchar_t kJsCallCppName[] = L"JsCallCpp";
constexpr DISPID kDispIdJsCallCpp = 300;

class CWebBrowserEventHandler {
public:
    using NarrowScriptHandler = std::function<std::string(const std::string& name, const std::string& args)>;
    using WideScriptHandler = std::function<std::wstring(const std::wstring& name, const std::wstring& args)>;

    virtual ~CWebBrowserEventHandler() = default;

    // DWebBrowserEvents2 of the Internet Explorer engine.
    virtual void BeforeNavigate2(IDispatch* browser, VARIANT* url, VARIANT* flags, VARIANT* targetFrame,
                                 VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel)
    {
    }
    virtual void NavigateError(IDispatch* browser, VARIANT* url, VARIANT* frame, VARIANT* statusCode,
                               VARIANT_BOOL* cancel)
    {
    }
    virtual void NavigateComplete2(IDispatch* browser, VARIANT* url) {}
    // Opens the URL with the shell and cancels the engine's own window.
    virtual void NewWindow3(IDispatch** newBrowser, VARIANT_BOOL* cancel, DWORD flags, BSTR contextUrl, BSTR url);
    virtual void DocumentComplete(IDispatch* browser, VARIANT* url) {}
    // wke engine events (texts as the engine gives them, UTF-8).
    virtual void LoadUrlFailed(const std::string& url) {}
    virtual void TitleChanged(const std::string& title) {}
    // The last answer to a page call of JsCallCpp; empty by default.
    virtual std::string JsCallCpp(WebView* view, const std::string& name, const std::string& args) { return {}; }
    // "JsCallCpp" is DISPID 300; any other name E_NOTIMPL.
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids);
    // The page's window.external calls (DISPID above 299): the script
    // dispatch of JsCallCpp.
    virtual HRESULT Invoke(WebView* view, DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError);
    // IDocHostUIHandler answers, in the interface's order.
    virtual HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown* target, IDispatch* object) { return S_OK; }
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info);
    virtual HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                           IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc)
    {
        return S_FALSE;
    }
    virtual HRESULT HideUI() { return S_OK; }
    virtual HRESULT UpdateUI() { return S_OK; }
    virtual HRESULT EnableModeless(BOOL enable) { return S_OK; }
    virtual HRESULT OnDocWindowActivate(BOOL activate) { return S_OK; }
    virtual HRESULT OnFrameWindowActivate(BOOL activate) { return S_OK; }
    virtual HRESULT ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) { return S_OK; }
    virtual HRESULT TranslateAccelerator(LPMSG msg, const GUID* group, DWORD command) { return S_FALSE; }
    virtual HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD reserved);
    virtual HRESULT GetDropTarget(IDropTarget* target, IDropTarget** replacement);
    virtual HRESULT GetExternal(IDispatch** external);
    virtual HRESULT TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated);
    virtual HRESULT FilterDataObject(IDataObject* object, IDataObject** replacement);
    // IDownloadManager::Download.
    virtual HRESULT Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripSize,
                             BINDINFO* bindInfo, LPCOLESTR headers, LPCOLESTR redirect, UINT codePage)
    {
        return S_OK;
    }

    // Used by the Internet Explorer engine's script dispatch, wide first.
    NarrowScriptHandler scriptHandlerA;
    WideScriptHandler scriptHandlerW;
};

} // namespace ui
