// The Internet Explorer engine: the system WebBrowser control hosted through
// ActiveX, its DWebBrowserEvents2 sink, the document host installed on each
// document, the subclassed browser windows (caption dragging, repaint
// forwarding in layered windows) and the layered drawing of its content.
// UI thread.
#include "Corvel/Control/WebView/WebView.h"

#include <mshtml.h>
#include <objbase.h>
#include <gdiplus.h>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

constexpr wchar_t kContextProperty[] = L"BrowserContext";
constexpr wchar_t kServerClass[] = L"Internet Explorer_Server";
constexpr wchar_t kHiddenClass[] = L"Internet Explorer_Hidden";
constexpr int kClassNameChars = 256;
constexpr Gdiplus::ARGB kCaretColor = 0xFF000000u;
// {3050F3F0-98B5-11CF-BB82-00AA00BDCE0B}
constexpr IID kIidICustomDoc = {0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

// ICustomDoc: lets a host install its document host answers on a document.
struct ICustomDocLike : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetUIHandler(IDocHostUIHandler* handler) = 0;
};

struct ClassSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    wchar_t name[kClassNameChars] = {};
    GetClassNameW(window, name, kClassNameChars);
    if (wcscmp(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

WebView* ContextOf(HWND window) { return static_cast<WebView*>(GetPropW(window, kContextProperty)); }

} // namespace

bool WebView::StartInternetExplorer(const RECTF& rect)
{
    m_wkeReady = false;
    if (m_core && m_core->IsLayered() && m_core->GetWindow())
        SendMessageW(m_core->GetWindow(), WM_PAINT, 0, 0);
    if (!ActiveX::CreateHostedObject(rect))
        return false;
    m_sinkConnected = SUCCEEDED(ConnectEventSink(true));
    if (m_core && !m_acceleratorAdded)
        m_acceleratorAdded = m_core->AddTranslateAccelerator(this);
    if (IOleObject* object = GetHostedObject())
        object->QueryInterface(IID_PPV_ARGS(&m_webBrowser));
    if (!m_handler)
        SetHandler(new CWebBrowserEventHandler(), true);
    if (m_webBrowser)
        m_webBrowser->put_Silent(VARIANT_TRUE);
    if (m_autoNavigate && !m_homePage.empty())
        Navigate(m_homePage.c_str());
    return true;
}

void WebView::ReleaseHostedObject()
{
    if (IsCreated()) {
        SetCreated(false);
        if (m_core && m_acceleratorAdded)
            m_core->RemoveTranslateAccelerator(this);
        m_acceleratorAdded = false;
        if (m_sinkConnected)
            ConnectEventSink(false);
        m_sinkConnected = false;
    }
    m_webBrowser.Reset();
    ActiveX::ReleaseHostedObject();
}

HRESULT WebView::ConnectEventSink(bool connect)
{
    IOleObject* object = GetHostedObject();
    if (!object)
        return E_UNEXPECTED;
    ComPtr<IWebBrowser2> browser;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = object->QueryInterface(IID_PPV_ARGS(&browser));
    if (SUCCEEDED(hr))
        hr = browser.As(&container);
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    if (FAILED(hr))
        return hr;
    if (connect)
        return point->Advise(static_cast<IDispatch*>(this), &m_sinkCookie);
    return point->Unadvise(m_sinkCookie);
}

void WebView::OnNavigateComplete2(DISPPARAMS* params)
{
    if (m_webBrowser) {
        ComPtr<IDispatch> document;
        ComPtr<ICustomDocLike> custom;
        if (SUCCEEDED(m_webBrowser->get_Document(&document)) && document &&
            SUCCEEDED(document->QueryInterface(kIidICustomDoc, reinterpret_cast<void**>(custom.GetAddressOf()))))
            custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this));
    }
    if (!m_engineWindow)
        SubclassServerWindow();
    if (m_handler && params && params->cArgs >= 2) {
        VARIANT* browser = &params->rgvarg[params->cArgs - 1];
        VARIANT* url = &params->rgvarg[params->cArgs - 2];
        m_handler->NavigateComplete2(browser->vt == VT_DISPATCH ? browser->pdispVal : nullptr,
                                     (url->vt & VT_BYREF) ? url->pvarVal : url);
    }
}

void WebView::OnDocumentComplete(DISPPARAMS* params)
{
    IDispatch* browser = nullptr;
    VARIANT* url = nullptr;
    if (params && params->cArgs >= 2) {
        VARIANT* b = &params->rgvarg[params->cArgs - 1];
        browser = b->vt == VT_DISPATCH ? b->pdispVal : nullptr;
        url = &params->rgvarg[params->cArgs - 2];
        if (url->vt & VT_BYREF)
            url = url->pvarVal;
    }
    // Only the top-level document ends loading; frames report too.
    ComPtr<IUnknown> eventIdentity, ownIdentity;
    if (browser && m_webBrowser && SUCCEEDED(browser->QueryInterface(IID_PPV_ARGS(&eventIdentity))) &&
        SUCCEEDED(m_webBrowser.As(&ownIdentity)) && eventIdentity == ownIdentity) {
        if (!m_hiddenWindow && m_core && m_core->IsLayered())
            SubclassHiddenWindow();
        OnLoadComplete();
    }
    if (m_handler)
        m_handler->DocumentComplete(browser, url);
}

void WebView::SubclassServerWindow()
{
    HWND host = GetHostWindow();
    if (!host)
        return;
    ClassSearch search{kServerClass, nullptr};
    EnumChildWindows(host, &MatchClass, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    m_engineWindow = search.found;
    SetPropW(m_engineWindow, kContextProperty, this);
    m_enginePrevProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_engineWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WebView::CaptionDragWndProc)));
    m_engineSubclassed = true;
}

void WebView::SubclassHiddenWindow()
{
    HWND host = GetHostWindow();
    if (!host)
        return;
    ClassSearch search{kHiddenClass, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(host, nullptr), &MatchClass, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    m_hiddenWindow = search.found;
    SetPropW(m_hiddenWindow, kContextProperty, this);
    m_hiddenPrevProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_hiddenWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WebView::HiddenWndProc)));
}

void WebView::RestoreSubclassedWindows()
{
    if (m_engineWindow && m_engineSubclassed && IsWindow(m_engineWindow)) {
        SetWindowLongPtrW(m_engineWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_enginePrevProc));
        RemovePropW(m_engineWindow, kContextProperty);
    } else if (m_engineWindow && IsWindow(m_engineWindow)) {
        RemovePropW(m_engineWindow, kContextProperty);
    }
    if (m_hiddenWindow && IsWindow(m_hiddenWindow)) {
        SetWindowLongPtrW(m_hiddenWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_hiddenPrevProc));
        RemovePropW(m_hiddenWindow, kContextProperty);
    }
    m_engineWindow = m_hiddenWindow = nullptr;
    m_enginePrevProc = m_hiddenPrevProc = nullptr;
    m_engineSubclassed = false;
}

LRESULT CALLBACK WebView::CaptionDragWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WebView* view = ContextOf(window);
    if (!view || !view->m_enginePrevProc)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_LBUTTONDOWN && view->m_core) {
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        RECT client{};
        GetClientRect(window, &client);
        const RECT& c = view->m_caption;
        if (x >= c.left && x <= client.right - c.right && y >= c.top && y <= c.bottom) {
            POINT screen{x, y};
            ClientToScreen(window, &screen);
            PostMessageW(view->m_core->GetWindow(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
            return 0;
        }
    }
    return CallWindowProcW(view->m_enginePrevProc, window, message, wParam, lParam);
}

LRESULT CALLBACK WebView::HiddenWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WebView* view = ContextOf(window);
    if (!view || !view->m_hiddenPrevProc)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_PAINT) {
        if (view->m_core)
            view->m_core->MarkDirty(view->GetBounds());
        return 0;
    }
    return CallWindowProcW(view->m_hiddenPrevProc, window, message, wParam, lParam);
}

void WebView::PaintLayeredInternetExplorer()
{
    if (!m_surface.IsValid())
        return;
    ComPtr<IDispatch> document;
    ComPtr<IHTMLDocument3> document3;
    ComPtr<IHTMLElement> root;
    ComPtr<IHTMLElementRender> render;
    if (SUCCEEDED(m_webBrowser->get_Document(&document)) && document && SUCCEEDED(document.As(&document3)) &&
        SUCCEEDED(document3->get_documentElement(&root)) && root && SUCCEEDED(root.As(&render)))
        render->DrawToDC(m_surface.GetDC());
    if (m_transImage && m_surface.HasMask())
        m_surface.ApplyMask(m_colorKeyOn, m_colorKey);
    RenderTarget* target = m_core->GetRenderTarget();
    HDC dc = target ? target->BeginGdiClip() : nullptr;
    if (!dc)
        return;
    BlendSurface(dc);
    DrawCaret(dc);
    target->EndGdiClip(dc);
}

void WebView::DrawCaret(HDC dc)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetCurrentThreadId(), &info) || !info.hwndCaret)
        return;
    RECT caret = info.rcCaret;
    MapWindowPoints(info.hwndCaret, m_core->GetWindow(), reinterpret_cast<POINT*>(&caret), 2);
    const RECTF bounds = GetBounds();
    if (caret.left < bounds.left || caret.left > bounds.right || caret.top < bounds.top || caret.top > bounds.bottom)
        return;
    Gdiplus::Graphics graphics(dc);
    Gdiplus::Pen pen(Gdiplus::Color(kCaretColor), 1.0f);
    graphics.DrawLine(&pen, static_cast<INT>(caret.left), static_cast<INT>(caret.top), static_cast<INT>(caret.left),
                      static_cast<INT>(caret.bottom));
}

} // namespace ui
