#include "Corvel/Host/ActiveXSite.h"

#include <mshtmhst.h>
#include <servprov.h>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Host/ActiveX.h"
#include "Corvel/Host/ActiveXEnum.h"
#include "Corvel/Host/ActiveXWnd.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

RECTF ToRectF(const RECT& r)
{
    return RECTF{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                 static_cast<float>(r.bottom)};
}

} // namespace

CActiveXCtrl::CActiveXCtrl(ActiveX* owner) : m_owner(owner) {}

CActiveXCtrl::~CActiveXCtrl() { DestroyObjectWindow(); }

// ------------------------------------------------------------- IUnknown

HRESULT STDMETHODCALLTYPE CActiveXCtrl::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IOleClientSite))
        *out = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
             IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleInPlaceSiteEx) ||
             IsEqualIID(riid, IID_IOleInPlaceSiteWindowless))
        *out = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (IsEqualIID(riid, IID_IOleControlSite))
        *out = static_cast<IOleControlSite*>(this);
    else if (IsEqualIID(riid, IID_IObjectWithSite))
        *out = static_cast<IObjectWithSite*>(this);
    else if (IsEqualIID(riid, IID_IOleContainer))
        *out = static_cast<IOleContainer*>(this);
    else if (IsEqualIID(riid, IID_IDocHostUIHandler) || IsEqualIID(riid, IID_IServiceProvider))
        return m_owner ? m_owner->QueryHostService(riid, out) : E_NOINTERFACE;
    if (!*out)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CActiveXCtrl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG STDMETHODCALLTYPE CActiveXCtrl::Release()
{
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// ------------------------------------------------------------- IOleClientSite

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SaveObject() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetContainer(IOleContainer** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (m_site && SUCCEEDED(m_site->QueryInterface(IID_PPV_ARGS(out))))
        return S_OK;
    return QueryInterface(IID_PPV_ARGS(out));
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ShowObject()
{
    if (!m_owner)
        return E_UNEXPECTED;
    HWND window = m_owner->GetHostWindow();
    HDC dc = window ? ::GetDC(window) : nullptr;
    if (!dc)
        return E_FAIL;
    if (m_viewObject) {
        const RECT rect = m_owner->GetControlRect();
        const RECTL draw{rect.left, rect.top, rect.right, rect.bottom};
        m_viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &draw, nullptr, nullptr, 0);
    }
    ::ReleaseDC(window, dc);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnShowWindow(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::RequestNewObjectLayout() { return E_NOTIMPL; }

// ------------------------------------------------------------- IOleWindow

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetWindow(HWND* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_owner)
        return E_UNEXPECTED;
    if (!m_owner->GetHostWindow())
        EnsureObjectWindow();
    *out = m_owner->GetHostWindow();
    return *out ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ContextSensitiveHelp(BOOL) { return S_OK; }

// ------------------------------------------------------------- IOleInPlaceSite

HRESULT STDMETHODCALLTYPE CActiveXCtrl::CanInPlaceActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceActivate()
{
    BOOL noRedraw = FALSE;
    return OnInPlaceActivateEx(&noRedraw, 0);
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnUIActivate()
{
    m_uiActive = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                                         RECT* pos, RECT* clip, OLEINPLACEFRAMEINFO* info)
{
    // Every out-parameter is written, whatever happens: objects use what
    // they get without looking at the answer first.
    if (frame)
        *frame = nullptr;
    if (doc)
        *doc = nullptr;
    const RECT rect = m_owner ? ObjectRect() : RECT{0, 0, 0, 0};
    if (pos)
        *pos = rect;
    if (clip)
        *clip = rect;
    if (info) {
        // cb is the caller's: it says how much of the record it has.
        info->fMDIApp = FALSE;
        info->hwndFrame = (m_owner && m_owner->GetCore()) ? m_owner->GetCore()->GetWindow() : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::Scroll(SIZE) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnUIDeactivate(BOOL)
{
    m_uiActive = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceDeactivate() { return OnInPlaceDeactivateEx(TRUE); }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::DiscardUndoState() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::DeactivateAndUndo() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnPosRectChange(LPCRECT) { return E_NOTIMPL; }

// ------------------------------------------------------------- IOleInPlaceSiteEx

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceActivateEx(BOOL*, DWORD flags)
{
    if (!m_owner || !m_owner->GetHostedObject())
        return E_UNEXPECTED;
    IOleObject* object = m_owner->GetHostedObject();
    OleLockRunning(object, TRUE, FALSE);
    HRESULT found = E_NOINTERFACE;
    m_inPlaceObject.Reset();
    if (flags & ACTIVATE_WINDOWLESS) {
        ComPtr<IOleInPlaceObjectWindowless> windowless;
        found = object->QueryInterface(IID_PPV_ARGS(&windowless));
        if (SUCCEEDED(found)) {
            m_windowless = true;
            m_inPlaceObject = windowless;
            WindowCore* core = m_owner->GetCore();
            m_owner->SetHostWindow(core ? core->GetWindow() : nullptr);
            if (core)
                core->AddMessageFilter(m_owner);
        }
    }
    if (!m_inPlaceObject) {
        m_windowless = false;
        EnsureObjectWindow();
        found = object->QueryInterface(IID_PPV_ARGS(&m_inPlaceObject));
    }
    if (m_inPlaceObject) {
        const RECT rect = ObjectRect();
        m_inPlaceObject->SetObjectRects(&rect, &rect);
    }
    m_inPlaceActive = SUCCEEDED(found);
    return found;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnInPlaceDeactivateEx(BOOL)
{
    m_inPlaceActive = false;
    m_inPlaceObject.Reset();
    DestroyObjectWindow();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::RequestUIActivate() { return S_OK; }

// ------------------------------------------------------------- IOleInPlaceSiteWindowless

HRESULT STDMETHODCALLTYPE CActiveXCtrl::CanWindowlessActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetCapture() { return m_captured ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SetCapture(BOOL capture)
{
    if (!m_owner)
        return E_UNEXPECTED;
    m_captured = capture != FALSE;
    if (m_captured)
        ::SetCapture(m_owner->GetHostWindow());
    else
        ::ReleaseCapture();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetFocus() { return m_focused ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SetFocus(BOOL focus)
{
    if (!m_owner)
        return E_UNEXPECTED;
    if (focus)
        m_owner->SetFocused(true);
    m_focused = focus != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetDC(LPCRECT, DWORD flags, HDC* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_owner)
        return E_UNEXPECTED;
    HWND window = m_owner->GetHostWindow();
    if (!window)
        return E_FAIL;
    *out = ::GetDC(window);
    if (!*out)
        return E_FAIL;
    if (flags & OLEDC_PAINTBKGND) {
        const RECT area = ObjectRect();
        FillRect(*out, &area, GetSysColorBrush(COLOR_WINDOW));
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ReleaseDC(HDC dc)
{
    if (!m_owner)
        return E_UNEXPECTED;
    ::ReleaseDC(m_owner->GetHostWindow(), dc);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::InvalidateRect(LPCRECT rect, BOOL)
{
    if (!m_owner)
        return E_UNEXPECTED;
    if (!m_owner->GetHostWindow() || !m_owner->GetCore())
        return E_FAIL;
    m_owner->GetCore()->MarkDirty(rect ? ToRectF(*rect) : m_owner->GetBounds());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::InvalidateRgn(HRGN region, BOOL)
{
    if (!m_owner)
        return E_UNEXPECTED;
    if (!m_owner->GetHostWindow() || !m_owner->GetCore())
        return E_FAIL;
    RECT box{};
    if (!region || GetRgnBox(region, &box) == ERROR)
        m_owner->GetCore()->MarkDirty(m_owner->GetBounds());
    else
        m_owner->GetCore()->MarkDirty(ToRectF(box));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ScrollRect(INT, INT, LPCRECT, LPCRECT) { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::AdjustRect(LPRECT) { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                                           LRESULT* result)
{
    if (!m_owner)
        return E_UNEXPECTED;
    const LRESULT answer = DefWindowProcW(m_owner->GetHostWindow(), message, wParam, lParam);
    if (result)
        *result = answer;
    return S_OK;
}

// ------------------------------------------------------------- IOleControlSite

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnControlInfoChanged() { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::LockInPlaceActive(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetExtendedControl(IDispatch** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_owner || !m_owner->GetHostedObject())
        return E_UNEXPECTED;
    return m_owner->GetHostedObject()->QueryInterface(IID_PPV_ARGS(out));
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::TransformCoords(POINTL*, POINTF*, DWORD) { return S_OK; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::TranslateAccelerator(MSG*, DWORD) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE CActiveXCtrl::OnFocus(BOOL focus)
{
    m_focused = focus != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ShowPropertyFrame() { return E_NOTIMPL; }

// ------------------------------------------------------------- IObjectWithSite

HRESULT STDMETHODCALLTYPE CActiveXCtrl::SetSite(IUnknown* site)
{
    m_site = site;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::GetSite(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_site)
        return E_FAIL;
    return m_site->QueryInterface(riid, out);
}

// ------------------------------------------------------------- IOleContainer

HRESULT STDMETHODCALLTYPE CActiveXCtrl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::EnumObjects(DWORD, IEnumUnknown** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_owner)
        return E_UNEXPECTED;
    *out = new CActiveXEnum(m_owner->GetHostedObject());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXCtrl::LockContainer(BOOL lock)
{
    m_containerLocked = lock != FALSE;
    return S_OK;
}

// ------------------------------------------------------------- helpers

void CActiveXCtrl::LookUpViewObject(IUnknown* object)
{
    m_viewObject.Reset();
    ComPtr<IViewObjectEx> ex;
    ComPtr<IViewObject2> two;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&ex))))
        m_viewObject = ex;
    else if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&two))))
        m_viewObject = two;
    else
        object->QueryInterface(IID_PPV_ARGS(&m_viewObject));
}

RECT CActiveXCtrl::ObjectRect() const
{
    const RECT rect = m_owner->GetControlRect();
    if (m_windowless)
        return rect;
    return RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top};
}

bool CActiveXCtrl::EnsureObjectWindow()
{
    if (!m_owner)
        return false;
    if (!m_window) {
        WindowCore* core = m_owner->GetCore();
        auto window = std::make_unique<CActiveXWnd>(this);
        if (!window->Init(core ? core->GetWindow() : nullptr))
            return false;
        m_window = std::move(window);
    }
    m_owner->SetHostWindow(m_window->GetHWND());
    return true;
}

void CActiveXCtrl::DestroyObjectWindow()
{
    if (!m_window)
        return;
    if (m_owner && m_owner->GetHostWindow() == m_window->GetHWND())
        m_owner->SetHostWindow(nullptr);
    m_window.reset();
}

} // namespace ui
