#include "Corvel/Control/Tip.h"

#include <cwchar>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

const wchar_t kPopupName[] = L"DavaTipWnd";
constexpr DWORD kPopupStyle = WS_POPUP;
constexpr DWORD kPopupExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kRefreshFrame = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

bool IsMouseEvent(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

} // namespace

// ------------------------------------------------------------- pop-up

CTipPopWnd::CTipPopWnd(std::wstring skin, std::wstring text) : m_skin(std::move(skin)), m_text(std::move(text)) {}

CTipPopWnd::~CTipPopWnd()
{
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

void CTipPopWnd::OnWindowReady()
{
    const LONG_PTR ex = GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE);
    if (ex & WS_EX_LAYERED) {
        SetWindowLongPtrW(m_hwnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0, kRefreshFrame);
    }
    SetWindowLongPtrW(m_hwnd, GWL_EXSTYLE, 0);
    SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0, kRefreshFrame);
    m_tipControl = m_core.FindControlByName(L"tip");
    if (m_tipControl)
        m_tipControl->SetText(m_text.c_str());
    m_animate = m_core.FindControlByName(L"animate");
}

bool CTipPopWnd::IsPlaying(const wchar_t* trigger) const
{
    const CTimeLineTween* line = m_animate ? m_animate->GetTransitionTimeline(trigger) : nullptr;
    return line && line->IsRunning();
}

void CTipPopWnd::ShowTip(bool show)
{
    if (!m_hwnd)
        return;
    const HWND hwnd = m_hwnd;
    if (show) {
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        // Frames drawn while it was hidden never reached the screen.
        InvalidateRect(hwnd, nullptr, FALSE);
        if (!m_animate || IsPlaying(L"hide"))
            return;
        // A show turned back before its end leaves nothing to see.
        m_animate->PlayTransition(L"show", [hwnd](bool reachedEnd) {
            if (!reachedEnd)
                ShowWindow(hwnd, SW_HIDE);
        });
        return;
    }
    if (!m_animate) {
        ShowWindow(hwnd, SW_HIDE);
        return;
    }
    if (IsPlaying(L"show"))
        return;
    m_animate->PlayTransition(L"hide", [hwnd](bool reachedEnd) {
        if (reachedEnd)
            ShowWindow(hwnd, SW_HIDE);
    });
}

// ---------------------------------------------------------------- tip

Tip::Tip() = default;

Tip::~Tip() { m_popup.reset(); }

const wchar_t* Tip::GetClassName() const { return L"Tip"; }

void* Tip::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"Tip") == 0 || wcscmp(typeName, L"Control") == 0))
        return this;
    return nullptr;
}

void Tip::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcscmp(name, L"xml") == 0) {
        m_skin = value;
    } else if (wcscmp(name, L"tip") == 0) {
        m_tipText = value;
    } else if (wcscmp(name, L"showon") == 0) {
        if (wcscmp(value, L"enter") == 0)
            m_mode = TipShowMode::kOnEnter;
        else if (wcscmp(value, L"click") == 0)
            m_mode = TipShowMode::kOnClick;
        else
            m_mode = TipShowMode::kOnHover;
    } else if (wcscmp(name, L"offset") == 0) {
        const ValueList offsets(value);
        m_offsetX = static_cast<int>(offsets.At(0).value);
        if (offsets.GetCount() > 1)
            m_offsetY = static_cast<int>(offsets.At(1).value);
    } else {
        Control::SetAttribute(name, value);
    }
}

bool Tip::HandleEvent(InputEvent* event)
{
    if (!event)
        return false;
    if (IsMouseEvent(event->type) && !IsMouseEnabled()) {
        return m_parent ? m_parent->HandleEvent(event) : false;
    }
    switch (event->type) {
    case kEventMouseEnter:
        if (m_mode == TipShowMode::kOnEnter)
            ShowPopup(true);
        break;
    case kEventMouseHover:
        if (m_mode == TipShowMode::kOnHover)
            ShowPopup(true);
        break;
    case kEventButtonUp:
        if (m_mode == TipShowMode::kOnClick)
            ShowPopup(true);
        break;
    case kEventMouseLeave: ShowPopup(false); break;
    default: break;
    }
    return Control::HandleEvent(event);
}

POINT Tip::AnchorPoint() const
{
    const float scale = m_core ? m_core->GetScale() : 1.0f;
    POINT p{static_cast<LONG>(m_bounds.left + (m_bounds.right - m_bounds.left) * 0.5f + m_offsetX * scale),
            static_cast<LONG>(m_bounds.top + m_offsetY * scale)};
    if (m_core && m_core->GetWindow())
        ClientToScreen(m_core->GetWindow(), &p);
    return p;
}

bool Tip::CreatePopup()
{
    if (!m_core || !m_core->GetWindow())
        return false;
    auto popup = std::make_unique<CTipPopWnd>(m_skin, m_tipText);
    if (!popup->Create(m_core->GetWindow(), kPopupName, kPopupStyle, kPopupExStyle, 0, 0, 0, 0))
        return false;
    m_popup = std::move(popup);
    return true;
}

void Tip::ShowPopup(bool show)
{
    if (!show) {
        if (m_popup)
            m_popup->ShowTip(false);
        return;
    }
    const POINT anchor = AnchorPoint();
    if (!m_popup && !CreatePopup())
        return;
    RECT r{};
    GetWindowRect(m_popup->GetHWND(), &r);
    const int x = static_cast<int>(anchor.x - (r.right - r.left) * 0.5f);
    const int y = static_cast<int>(anchor.y - (r.bottom - r.top) * 0.5f);
    SetWindowPos(m_popup->GetHWND(), nullptr, x, y, 0, 0, kMoveOnly);
    m_popup->ShowTip(true);
}

} // namespace ui
