#include "Corvel/Host/ActiveXWnd.h"

#include "Corvel/Host/ActiveX.h"
#include "Corvel/Host/ActiveXSite.h"

namespace ui {

namespace {
constexpr wchar_t kCaption[] = L"UIActiveX";
constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
} // namespace

CActiveXWnd::~CActiveXWnd()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

HWND CActiveXWnd::Init(HWND parent) { return Create(parent, kCaption, kStyle, 0, 0, 0, 0, 0); }

LRESULT CActiveXWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SETFOCUS:
        return OnSetFocus(wParam, lParam);
    case WM_KILLFOCUS:
        m_site->SetFocusedFlag(false);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(m_hwnd, &ps);
        EndPaint(m_hwnd, &ps);
        return 1;
    }
    case WM_ERASEBKGND:
        if (m_site->GetViewObject())
            return 1;
        break;
    case WM_MOUSEACTIVATE:
        return OnMouseActivate(wParam, lParam);
    case WM_MOUSEWHEEL:
        return 0;
    default:
        break;
    }
    return m_hwnd ? CWindowWnd::ProcessMessage(msg, wParam, lParam) : 0;
}

LRESULT CActiveXWnd::OnSetFocus(WPARAM, LPARAM)
{
    m_site->SetFocusedFlag(true);
    if (!m_site->IsUiActive())
        DoVerb(OLEIVERB_UIACTIVATE);
    return 0;
}

LRESULT CActiveXWnd::OnMouseActivate(WPARAM wParam, LPARAM lParam)
{
    ActiveX* owner = m_site->GetOwner();
    IOleObject* object = owner ? owner->GetHostedObject() : nullptr;
    if (!object)
        return 0;
    DWORD status = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &status);
    if (status & OLEMISC_NOUIACTIVATE)
        return 0;
    if (!m_site->IsInPlaceActive())
        DoVerb(OLEIVERB_INPLACEACTIVATE);
    return CWindowWnd::ProcessMessage(WM_MOUSEACTIVATE, wParam, lParam);
}

void CActiveXWnd::DoVerb(LONG verb)
{
    ActiveX* owner = m_site->GetOwner();
    IOleObject* object = owner ? owner->GetHostedObject() : nullptr;
    if (!object)
        return;
    RECT rect = owner->GetControlRect();
    object->DoVerb(verb, nullptr, static_cast<IOleClientSite*>(m_site), 0, m_hwnd, &rect);
}

} // namespace ui
