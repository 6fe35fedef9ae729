// The web view's COM parts: the document host answers (forwarded to the
// handler object), the service provider, the command target that swallows
// script errors, the IDispatch that is both the DWebBrowserEvents2 sink and
// the page's window.external, HTTP security and the keyboard accelerators.
// They share one reference count that never deletes the control: the
// control tree owns it. UI thread.
#include "Corvel/Control/WebView/WebView.h"

#include <exdispid.h>
#include <mshtml.h>

#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// {F38BC242-B950-11D1-8918-00C04FC2C836}
constexpr GUID kCgidDocHostCommandHandler = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
// The script-error properties of the page's event object, read in order.
const wchar_t* const kScriptErrorProperties[] = {L"errorLine", L"errorCharacter", L"errorCode", L"errorMessage",
                                                 L"errorUrl"};

// True when `window` is `ancestor` or lies inside it.
bool IsWindowOrChild(HWND window, HWND ancestor)
{
    for (HWND w = window; w; w = GetParent(w)) {
        if (w == ancestor)
            return true;
    }
    return false;
}

} // namespace

// ------------------------------------------------------------- IUnknown

HRESULT WebView::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else if (riid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    else if (riid == IID_IOleCommandTarget)
        *out = static_cast<IOleCommandTarget*>(this);
    else if (riid == IID_IServiceProvider)
        *out = static_cast<IServiceProvider*>(this);
    else if (riid == IID_IHttpSecurity || riid == IID_IWindowForBindingUI)
        *out = static_cast<IHttpSecurity*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG WebView::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_comRefs)); }
ULONG WebView::Release() { return static_cast<ULONG>(InterlockedDecrement(&m_comRefs)); }

HRESULT WebView::QueryHostService(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else if (riid == IID_IServiceProvider)
        *out = static_cast<IServiceProvider*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT WebView::OnDownloadRequest(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripSize,
                                   BINDINFO* bindInfo, LPCOLESTR headers, LPCOLESTR redirect, UINT codePage)
{
    return m_handler ? m_handler->Download(moniker, context, bindVerb, gripSize, bindInfo, headers, redirect, codePage)
                     : S_OK;
}

// ------------------------------------------------------------- IDocHostUIHandler

HRESULT WebView::ShowContextMenu(DWORD id, POINT* point, IUnknown* target, IDispatch* object)
{
    return m_handler ? m_handler->ShowContextMenu(id, point, target, object) : S_FALSE;
}

HRESULT WebView::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (m_handler)
        return m_handler->GetHostInfo(info);
    if (!info)
        return E_NOTIMPL;
    CWebBrowserEventHandler defaults;
    return defaults.GetHostInfo(info);
}

HRESULT WebView::ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target, IOleInPlaceFrame* frame,
                        IOleInPlaceUIWindow* doc)
{
    return m_handler ? m_handler->ShowUI(id, active, target, frame, doc) : S_OK;
}

HRESULT WebView::HideUI() { return m_handler ? m_handler->HideUI() : S_OK; }
HRESULT WebView::UpdateUI() { return m_handler ? m_handler->UpdateUI() : S_OK; }
HRESULT WebView::EnableModeless(BOOL enable) { return m_handler ? m_handler->EnableModeless(enable) : E_NOTIMPL; }

HRESULT WebView::OnDocWindowActivate(BOOL activate)
{
    return m_handler ? m_handler->OnDocWindowActivate(activate) : E_NOTIMPL;
}

HRESULT WebView::OnFrameWindowActivate(BOOL activate)
{
    return m_handler ? m_handler->OnFrameWindowActivate(activate) : E_NOTIMPL;
}

HRESULT WebView::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow)
{
    return m_handler ? m_handler->ResizeBorder(border, window, frameWindow) : E_NOTIMPL;
}

HRESULT WebView::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD command)
{
    return m_handler ? m_handler->TranslateAccelerator(msg, group, command) : S_FALSE;
}

HRESULT WebView::GetOptionKeyPath(LPOLESTR* key, DWORD reserved)
{
    if (m_handler)
        return m_handler->GetOptionKeyPath(key, reserved);
    if (key)
        *key = nullptr;
    return E_NOTIMPL;
}

HRESULT WebView::GetDropTarget(IDropTarget* target, IDropTarget** replacement)
{
    if (m_handler)
        return m_handler->GetDropTarget(target, replacement);
    if (replacement)
        *replacement = nullptr;
    return S_FALSE;
}

HRESULT WebView::GetExternal(IDispatch** external)
{
    if (!external)
        return E_POINTER;
    *external = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

HRESULT WebView::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated)
{
    if (m_handler)
        return m_handler->TranslateUrl(translate, url, translated);
    if (translated)
        *translated = nullptr;
    return E_NOTIMPL;
}

HRESULT WebView::FilterDataObject(IDataObject* object, IDataObject** replacement)
{
    if (m_handler)
        return m_handler->FilterDataObject(object, replacement);
    if (replacement)
        *replacement = nullptr;
    return E_NOTIMPL;
}

// ------------------------------------------------------------- IServiceProvider, IHttpSecurity

HRESULT WebView::QueryService(REFGUID, REFIID, void** out)
{
    if (out)
        *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT WebView::GetWindow(REFGUID, HWND* window)
{
    if (window)
        *window = m_core ? m_core->GetWindow() : nullptr;
    return S_OK;
}

HRESULT WebView::OnSecurityProblem(DWORD) { return S_OK; }

// ------------------------------------------------------------- IOleCommandTarget

HRESULT WebView::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) { return OLECMDERR_E_NOTSUPPORTED; }

HRESULT WebView::Exec(const GUID* group, DWORD command, DWORD, VARIANT* in, VARIANT* out)
{
    if (!group || !IsEqualGUID(*group, kCgidDocHostCommandHandler))
        return OLECMDERR_E_UNKNOWNGROUP;
    if (command != OLECMDID_SHOWSCRIPTERROR)
        return OLECMDERR_E_NOTSUPPORTED;
    return OnScriptError(in, out);
}

HRESULT WebView::OnScriptError(VARIANT* in, VARIANT* out)
{
    HRESULT status = E_FAIL;
    if (in && in->vt == VT_UNKNOWN && in->punkVal) {
        Microsoft::WRL::ComPtr<IHTMLDocument2> document;
        Microsoft::WRL::ComPtr<IHTMLWindow2> window;
        Microsoft::WRL::ComPtr<IHTMLEventObj> event;
        if (SUCCEEDED(in->punkVal->QueryInterface(IID_PPV_ARGS(&document))) &&
            SUCCEEDED(document->get_parentWindow(&window)) && window &&
            SUCCEEDED(window->get_event(&event)) && event) {
            // The details are read (a debugger sees them) and not shown.
            for (const wchar_t* property : kScriptErrorProperties) {
                DISPID id = 0;
                LPOLESTR name = const_cast<LPOLESTR>(property);
                status = event->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id);
                if (FAILED(status))
                    continue;
                DISPPARAMS none{nullptr, nullptr, 0, 0};
                VARIANT value;
                VariantInit(&value);
                status = event->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                       nullptr, nullptr);
                VariantClear(&value);
            }
        }
    }
    // Scripts keep running and no dialog shows.
    if (out) {
        VariantClear(out);
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
    }
    return status;
}

// ------------------------------------------------------------- IDispatch

HRESULT WebView::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT WebView::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT WebView::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    return m_handler ? m_handler->GetIDsOfNames(riid, names, count, locale, ids) : E_NOTIMPL;
}

HRESULT WebView::Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError)
{
    if (!IsEqualIID(riid, IID_NULL))
        return E_INVALIDARG;
    // Event arguments arrive last first.
    auto arg = [params](UINT fromFirst) -> VARIANT* {
        return params && fromFirst < params->cArgs ? &params->rgvarg[params->cArgs - 1 - fromFirst] : nullptr;
    };
    auto dispatchOf = [](VARIANT* v) -> IDispatch* { return v && v->vt == VT_DISPATCH ? v->pdispVal : nullptr; };
    auto refOf = [](VARIANT* v) -> VARIANT* { return v && (v->vt & VT_BYREF) ? v->pvarVal : v; };
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        if (m_handler && params && params->cArgs >= 7)
            m_handler->BeforeNavigate2(dispatchOf(arg(0)), refOf(arg(1)), refOf(arg(2)), refOf(arg(3)),
                                       refOf(arg(4)), refOf(arg(5)), arg(6)->pboolVal);
        return S_OK;
    case DISPID_NAVIGATECOMPLETE2:
        OnNavigateComplete2(params);
        return S_OK;
    case DISPID_DOCUMENTCOMPLETE:
        OnDocumentComplete(params);
        return S_OK;
    case DISPID_NAVIGATEERROR:
        if (m_handler && params && params->cArgs >= 5)
            m_handler->NavigateError(dispatchOf(arg(0)), refOf(arg(1)), refOf(arg(2)), refOf(arg(3)),
                                     arg(4)->pboolVal);
        return S_OK;
    case DISPID_NEWWINDOW3:
        if (m_handler && params && params->cArgs >= 5)
            m_handler->NewWindow3(arg(0)->ppdispVal, arg(1)->pboolVal, arg(2)->ulVal, arg(3)->bstrVal,
                                  arg(4)->bstrVal);
        return S_OK;
    default:
        break;
    }
    if (id >= kDispIdJsCallCpp)
        return m_handler ? m_handler->Invoke(this, id, riid, locale, flags, params, result, exception, argError)
                         : S_OK;
    return DISP_E_MEMBERNOTFOUND;
}

// ------------------------------------------------------------- accelerators

LRESULT WebView::TranslateKeyMessage(MSG* msg)
{
    if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return S_FALSE;
    if (!m_webBrowser)
        return E_NOTIMPL;
    HWND window = GetHostWindow();
    if (!window || !IsWindowOrChild(::GetFocus(), window))
        return S_FALSE;
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5)
        return S_OK; // consumed: no reload
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> active;
    if (!GetHostedObject() || FAILED(GetHostedObject()->QueryInterface(IID_PPV_ARGS(&active))))
        return S_FALSE;
    return active->TranslateAccelerator(msg);
}

} // namespace ui
