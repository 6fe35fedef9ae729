// Window core: turning native window messages into control events,
// notifications, focus and capture changes, layout and painting; and the
// message pre-translation of the main and modal loops.
#include "Corvel/Core/WindowCore.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowWnd.h"
#include "Corvel/Render/FontManager.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>

namespace ui {

namespace {

POINT PointFromLParam(LPARAM lParam)
{
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return pt;
}

// A point in screen coordinates (non-client mouse messages, the wheel, the
// context menu) in the window's client coordinates.
POINT ClientPointFromScreen(HWND window, LPARAM lParam)
{
    POINT pt = PointFromLParam(lParam);
    ScreenToClient(window, &pt);
    return pt;
}

bool IsScrollBar(Control* c) { return c && wcscmp(c->GetClassName(), L"ScrollBar") == 0; }

IBox* AsIBox(Control* c) { return c ? static_cast<IBox*>(c->CastTo(L"IBox")) : nullptr; }

bool IsWindows8OrLater()
{
    OSVERSIONINFOEXW vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    vi.dwMajorVersion = 6;
    vi.dwMinorVersion = 2;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&vi, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

} // namespace

void WindowCore::SendEvent(Control* target, int type, WORD modifiers, WPARAM wParam, LPARAM lParam, WORD key,
                           Control* sender)
{
    if (!target)
        return;
    InputEvent ev;
    ev.type = type;
    ev.sender = sender ? sender : target;
    ev.timestamp = GetTickCount();
    ev.point = m_lastMouse;
    ev.key = key;
    ev.modifiers = modifiers;
    ev.wParam = wParam;
    ev.lParam = lParam;
    target->FireEvent(&ev);
}

void WindowCore::DrainNotifications(bool& handled)
{
    handled = false;
    while (!m_queuedNotifications.empty()) {
        std::unique_ptr<tagTNotifyUI> msg(m_queuedNotifications.front());
        m_queuedNotifications.erase(m_queuedNotifications.begin());
        if (msg->sender) {
            Control::NotifyHandler h = msg->sender->GetNotifyHandler();
            if (h && h(msg.get())) {
                handled = true;
                return;
            }
        }
        std::vector<INotifyUI*> listeners = m_notifyListeners;
        for (INotifyUI* l : listeners)
            l->ReceiveNotify(*msg);
    }
}

Control* WindowCore::FindControlAtPoint(int x, int y)
{
    if (!m_root)
        return nullptr;
    POINT pt{x, y};
    return m_root->SearchTree(&HitTestControl, &pt, kSearchVisible | kSearchHitTest | kSearchReverse);
}

void WindowCore::ArmTracking(bool nonClient)
{
    if (m_trackingArmed || !m_window)
        return;
    DWORD hover = 400;
    if (m_toolTip)
        hover = static_cast<DWORD>(SendMessageW(m_toolTip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_HOVER | TME_LEAVE | (nonClient ? TME_NONCLIENT : 0);
    tme.hwndTrack = m_window;
    tme.dwHoverTime = hover;
    _TrackMouseEvent(&tme);
    m_trackingArmed = true;
}

void WindowCore::DisarmTracking() { m_trackingArmed = false; }

void WindowCore::HideToolTip()
{
    if (m_toolTip)
        SendMessageW(m_toolTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_toolInfo));
}

void WindowCore::LeaveHotChain(Control* control)
{
    // The control and its hot ancestors, innermost first.
    for (Control* c = control; c && c->IsHot(); c = c->GetParent())
        SendEvent(c, kEventMouseLeave);
}

void WindowCore::LeaveHotSubtree(Control* container, bool childrenFirst)
{
    if (!container)
        return;
    IBox* box = AsIBox(container);
    if (childrenFirst) {
        if (box) {
            for (int i = 0; i < box->ChildCount(); ++i)
                LeaveHotSubtree(box->ChildAt(i), true);
        }
        if (container->IsHot())
            SendEvent(container, kEventMouseLeave);
        return;
    }
    // Container before its children; a control that is not hot stops the
    // descent below it.
    if (!container->IsHot())
        return;
    SendEvent(container, kEventMouseLeave);
    if (box) {
        for (int i = 0; i < box->ChildCount(); ++i)
            LeaveHotSubtree(box->ChildAt(i), false);
    }
}

void WindowCore::OnMouseMove(LPARAM lParam, bool nonClient)
{
    ArmTracking(nonClient);
    POINT pt = PointFromLParam(lParam);
    if (nonClient)
        ScreenToClient(m_window, &pt);
    if (pt.x == m_lastMouse.x && pt.y == m_lastMouse.y)
        return;
    m_lastMouse = pt;

    if (m_capture) {
        SendEvent(m_capture, kEventMouseMove);
    } else {
        Control* next = FindControlAtPoint(pt.x, pt.y);
        if (next && next->GetCore() != this)
            return;
        Control* old = m_hover;
        if (next == old) {
            SendEvent(next, kEventMouseMove);
        } else if (!next) {
            if (old && old->IsHot())
                LeaveHotChain(old);
            m_hover = nullptr;
        } else {
            bool oldIsBar = IsScrollBar(old);
            bool outward = old && ((oldIsBar && old->GetParent() == next) ||
                                   (!oldIsBar && AsIBox(next) && IsInSubtree(next, old)));
            if (outward) {
                IBox* box = AsIBox(next);
                if (box) {
                    for (int i = 0; i < box->ChildCount(); ++i)
                        LeaveHotSubtree(box->ChildAt(i), true);
                }
                m_hover = next;
                SendEvent(next, kEventMouseMove);
            } else {
                bool skipLeave = !old || (IsScrollBar(next) && next->GetParent() == old) ||
                                 (AsIBox(old) && IsInSubtree(old, next));
                bool left = false;
                if (!skipLeave && old->IsHot()) {
                    SendEvent(old, kEventMouseLeave);
                    if (IBox* box = AsIBox(old)) {
                        for (int i = 0; i < box->ChildCount(); ++i)
                            LeaveHotSubtree(box->ChildAt(i), false);
                    }
                    left = true;
                }
                std::vector<Control*> chain;
                for (Control* c = next; c; c = c->GetParent())
                    chain.push_back(c);
                std::reverse(chain.begin(), chain.end());
                Control* innermostHot = nullptr;
                for (Control* c : chain) {
                    if (!c->IsHot())
                        SendEvent(c, kEventMouseEnter);
                    else
                        innermostHot = c;
                }
                if (left && old && innermostHot && innermostHot != old) {
                    std::vector<Control*> between;
                    bool isAncestor = false;
                    for (Control* c = old->GetParent(); c; c = c->GetParent()) {
                        if (c == innermostHot) {
                            isAncestor = true;
                            break;
                        }
                        between.push_back(c);
                    }
                    if (isAncestor) {
                        for (auto it = between.rbegin(); it != between.rend(); ++it)
                            SendEvent(*it, kEventMouseLeave);
                    }
                }
                m_hover = next;
                SendEvent(next, kEventMouseMove);
            }
        }
    }
    HideToolTip();
    DisarmTracking();
}

// A left or right press in the client area: the control under the mouse
// becomes the clicked one, takes focus and, when it asks, the capture.
void WindowCore::OnButtonDown(int event, WPARAM wParam, LPARAM lParam)
{
    POINT pt = PointFromLParam(lParam);
    m_lastMouse = pt;
    Control* c = FindControlAtPoint(pt.x, pt.y);
    if (!BelongsHere(c))
        return;
    m_click = c;
    c->SetFocused(true);
    SetCapture(m_window);
    // Taking focus runs handlers that may have moved the click elsewhere.
    if (m_click == c && c->NeedsCapture())
        m_capture = c;
    m_buttonDown = true;
    if (m_click == c)
        SendEvent(c, event, LOWORD(wParam), wParam, lParam);
}

// The press is over: the window gives the capture back and no control keeps
// it.
void WindowCore::EndPress()
{
    ReleaseCapture();
    m_capture = nullptr;
    m_buttonDown = false;
}

void WindowCore::OnHover(POINT pt)
{
    m_trackingArmed = true;
    Control* c = FindControlAtPoint(pt.x, pt.y);
    if (!BelongsHere(c))
        return;
    SendEvent(c, kEventMouseHover);
    if (c->GetCore() != this)
        return;
    CUiString tip = c->GetToolTip();
    if (tip.IsEmpty())
        return;
    m_toolTipText = tip.ToStdString();
    m_toolInfo.cbSize = sizeof(m_toolInfo);
    m_toolInfo.uFlags = TTF_IDISHWND;
    m_toolInfo.hwnd = m_window;
    m_toolInfo.uId = reinterpret_cast<UINT_PTR>(m_window);
    m_toolInfo.hinst = UiGlobals().hInstance;
    m_toolInfo.lpszText = const_cast<wchar_t*>(m_toolTipText.c_str());
    ::GetClientRect(m_window, &m_toolInfo.rect);
    if (!m_toolTip) {
        m_toolTip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                                    UiGlobals().hInstance, nullptr);
        if (m_toolTip)
            SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
    }
    if (!m_toolTip)
        return;
    SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, c->GetToolTipWidth());
    SendMessageW(m_toolTip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
    SendMessageW(m_toolTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_toolInfo));
}

void WindowCore::OnMouseLeave(bool hideTipAlways)
{
    if (hideTipAlways)
        HideToolTip();
    POINT cur{};
    GetCursorPos(&cur);
    RECT wr{};
    GetWindowRect(m_window, &wr);
    InflateRect(&wr, -1, -1);
    if (PtInRect(&wr, cur)) {
        DisarmTracking();
        return;
    }
    HideToolTip();
    if (m_hover && m_hover->IsHot())
        LeaveHotChain(m_hover);
    m_hover = nullptr;
    m_click = nullptr;
    if (!m_capture)
        m_buttonDown = false;
    DisarmTracking();
}

bool WindowCore::OnSize(bool)
{
    RECT rc{};
    ::GetClientRect(m_window, &rc);
    m_clientRect = rc;
    if (IsRectEmpty(&rc) || !m_root || IsIconic(m_window))
        return true;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (!m_firstLayoutPending && m_root->GetWidth() == w && m_root->GetHeight() == h)
        return true;
    if (!m_windowEventListeners.empty()) {
        SendEvent(m_focus, kEventWindowSize);
        std::vector<Control*> copy = m_windowEventListeners;
        for (Control* c : copy)
            SendEvent(c, kEventWindowSize);
    }
    SendEvent(m_focus, kEventWindowSize);
    seams::ResizeTarget(m_renderTarget, 0, 0, w, h);
    m_relayoutNeeded = false;
    m_root->SetBounds(RECTF(0, 0, static_cast<float>(w), static_cast<float>(h)));
    RECTF all(0, 0, static_cast<float>(w), static_cast<float>(h));
    if (m_firstLayoutPending) {
        m_firstLayoutPending = false;
        if (m_owner && m_owner->GetHWND())
            SendMessageW(m_owner->GetHWND(), kMsgWindowInit, 0, 0);
        if (m_root)
            RaiseNotification(m_root, L"windowinit");
        MarkDirty(all);
        RunIdleStep();
        return true;
    }
    MarkDirty(all);
    if (IsWindows8OrLater() && (!m_windowEventListeners.empty() || m_hostsNativeContent)) {
        HDC screen = GetDC(nullptr);
        if (screen) {
            RECT one{0, 0, 1, 1};
            FillRect(screen, &one, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
            ReleaseDC(nullptr, screen);
        }
    }
    RunIdleStep();
    return true;
}

void WindowCore::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    if (!m_dpi)
        return;
    int dpi = HIWORD(wParam);
    SetDpi(dpi);
    float scale = GetScale();
    RECT suggested{};
    if (lParam)
        suggested = *reinterpret_cast<const RECT*>(lParam);
    else
        GetWindowRect(m_window, &suggested);
    if (!IsZoomed(m_window) && (m_sizeFactorX != 0 || m_sizeFactorY != 0)) {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        if (GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &mi)) {
            RECT mon = mi.rcMonitor;
            int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
            int w = m_sizeFactorX <= 1 ? static_cast<int>(m_sizeFactorX * mw) : static_cast<int>(m_sizeFactorX * scale);
            int h = m_sizeFactorY <= 1 ? static_cast<int>(m_sizeFactorY * mh) : static_cast<int>(m_sizeFactorY * scale);
            if (w < mw && h < mh &&
                (w != suggested.right - suggested.left || h != suggested.bottom - suggested.top)) {
                int x = m_posX >= 0 ? static_cast<int>(m_posX * scale) : mon.left + (mw - w) / 2;
                int y = m_posY >= 0 ? static_cast<int>(m_posY * scale) : mon.top + (mh - h) / 2;
                suggested = RECT{x, y, x + w, y + h};
            }
        }
    }
    ReloadImagesOfAllWindows();
    if (m_fontManager)
        m_fontManager->Rescale(scale);
    // Edits re-apply their font at the new scale.
    m_classSearch.clear();
    if (m_root)
        m_root->SearchTree(&MatchClassName, const_cast<wchar_t*>(L"Edit"), 0);
    std::vector<Control*> edits = m_classSearch;
    for (Control* e : edits)
        e->SetFontId(e->GetFontId());
    SetWindowPos(m_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc{};
    ::GetClientRect(m_window, &rc);
    m_clientRect = rc;
    if (m_root && !IsRectEmpty(&rc)) {
        int w = rc.right, h = rc.bottom;
        std::vector<Control*> copy = m_windowEventListeners;
        for (Control* c : copy)
            SendEvent(c, kEventWindowSize);
        seams::ResizeTarget(m_renderTarget, 0, 0, w, h);
        m_relayoutNeeded = false;
        m_root->SetBounds(RECTF(0, 0, static_cast<float>(w), static_cast<float>(h)));
        MarkDirty(RECTF(0, 0, static_cast<float>(w), static_cast<float>(h)));
        RunIdleStep();
    }
    if (m_owner)
        m_owner->OnDpiChanged(dpi);
}

bool WindowCore::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!m_window)
        return false;
    bool handled = false;
    DrainNotifications(handled);
    if (handled) {
        result = 0;
        return true;
    }
    {
        std::vector<IMessageFilterUI*> filters = m_filters;
        for (IMessageFilterUI* f : filters) {
            bool h = false;
            LRESULT r = f->FilterMessage(message, wParam, lParam, h);
            if (h) {
                result = r;
                return true;
            }
        }
    }
    auto mh = m_messageHandlers.find(message);
    if (mh != m_messageHandlers.end()) {
        MessageHandler fn = mh->second;
        UINT m = message;
        WPARAM w = wParam;
        LPARAM l = lParam;
        if (fn && fn(m, w, l)) {
            result = 1;
            return true;
        }
    }

    switch (message) {
    case WM_MOVE:
        if (!m_windowEventListeners.empty()) {
            SendEvent(m_focus, kEventWindowMove);
            std::vector<Control*> copy = m_windowEventListeners;
            for (Control* c : copy)
                SendEvent(c, kEventWindowMove);
        }
        break;
    case WM_SIZE:
        OnSize(true);
        result = 0;
        return true;
    case WM_SETFOCUS:
        if (!m_focus) {
            FocusControl(m_defaultFocus);
        } else if (wcscmp(m_focus->GetClassName(), L"Edit") == 0) {
            SendEvent(m_focus, kEventSetFocus);
            RaiseNotification(m_focus, L"setfocus");
        }
        break;
    case WM_KILLFOCUS:
        FocusControl(nullptr);
        break;
    case WM_PAINT: {
        if (m_layered) {
            LONG_PTR ex = GetWindowLongPtrW(m_window, GWL_EXSTYLE);
            if (!(ex & WS_EX_LAYERED))
                SetWindowLongPtrW(m_window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        }
        RECT r{};
        if (!GetUpdateRect(m_window, &r, FALSE)) {
            result = 0;
            return true;
        }
        if (m_root && !IsRectEmpty(&r))
            MarkDirty(RECTF(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                            static_cast<float>(r.bottom)));
        PAINTSTRUCT ps{};
        BeginPaint(m_window, &ps);
        EndPaint(m_window, &ps);
        if (m_shadowSetupPending) {
            m_shadowSetupPending = false;
            if (m_owner && FindShadowSettings())
                SetTimer(m_window, kTimerShadowSetup, 50, nullptr);
        }
        result = 0;
        return true;
    }
    case WM_CLOSE: {
        SendEvent(m_hover, kEventMouseLeave);
        std::vector<Control*> copy = m_windowEventListeners;
        for (Control* c : copy)
            SendEvent(c, kEventWindowClose);
        FocusControl(nullptr);
        if (HWND owner = ::GetWindow(m_window, GW_OWNER))
            SetFocus(owner);
        break;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_SHOWWINDOW:
        if (!wParam)
            m_shadowSetupPending = true;
        break;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
        if (mmi) {
            if (m_minTrackW > 0)
                mmi->ptMinTrackSize.x = m_minTrackW;
            if (m_minTrackH > 0)
                mmi->ptMinTrackSize.y = m_minTrackH;
            if (m_maxTrackW > 0)
                mmi->ptMaxTrackSize.x = m_maxTrackW;
            if (m_maxTrackH > 0)
                mmi->ptMaxTrackSize.y = m_maxTrackH;
        }
        break;
    }
    case WM_NOTIFY: {
        if (!lParam) {
            result = 0;
            return true;
        }
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        result = SendMessageW(hdr->hwndFrom, message + 0x2000, wParam, lParam);
        return true;
    }
    case WM_CONTEXTMENU: {
        POINT pt = ClientPointFromScreen(m_window, lParam);
        m_lastMouse = pt;
        if (m_click) {
            Control* c = m_click;
            EndPress();
            SendEvent(c, kEventContextMenu, LOWORD(wParam), wParam, reinterpret_cast<LPARAM>(c));
            m_click = nullptr;
        }
        break;
    }
    case WM_NCMOUSEMOVE:
        OnMouseMove(lParam, true);
        break;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTMAXBUTTON) {
            POINT pt = ClientPointFromScreen(m_window, lParam);
            m_lastMouse = pt;
            Control* c = FindControlAtPoint(pt.x, pt.y);
            if (BelongsHere(c)) {
                m_click = c;
                c->SetFocused(true);
                SetCapture(m_window);
                if (c->NeedsCapture())
                    m_capture = c;
                m_buttonDown = true;
                SendEvent(c, kEventButtonDown, 9, 9, lParam);
            }
            result = 0;
            return true;
        }
        HideToolTip();
        break;
    case WM_NCLBUTTONUP:
        if (wParam == HTMAXBUTTON) {
            POINT pt = ClientPointFromScreen(m_window, lParam);
            m_lastMouse = pt;
            EndPress();
            if (Control* c = m_click) {
                SendEvent(c, kEventButtonUp, 9, 9, lParam);
                m_click = nullptr;
            }
            result = 0;
            return true;
        }
        break;
    case WM_KEYDOWN:
        if (m_focus) {
            SendEvent(m_focus, kEventKeyDown, KeyModifiers(), wParam, lParam, static_cast<WORD>(wParam));
            m_keyControl = m_focus;
        }
        break;
    case WM_KEYUP:
        if (Control* c = m_keyControl) {
            SendEvent(c, kEventKeyUp, KeyModifiers(), wParam, lParam, static_cast<WORD>(wParam));
            m_keyControl = nullptr;
        }
        break;
    case WM_CHAR:
        if (m_focus)
            SendEvent(m_focus, kEventChar, KeyModifiers(), wParam, lParam, static_cast<WORD>(wParam));
        break;
    case WM_COMMAND:
        if (lParam) {
            result = SendMessageW(reinterpret_cast<HWND>(lParam), message + 0x2000, wParam, lParam);
            return true;
        }
        break;
    case WM_TIMER:
        if (wParam == kTimerShadowSetup) {
            if (m_owner && m_owner->GetHWND())
                PostMessageW(m_owner->GetHWND(), kMsgShadowSetup, 0, 0);
            KillTimer(m_window, kTimerShadowSetup);
        } else if (wParam == kTimerSizeMove) {
            IdleTick();
            result = 0;
            return true;
        } else {
            for (TimerRecord* t : m_timers) {
                if (t->window == m_window && t->id == wParam && !t->killed) {
                    SendEvent(t->control, kEventTimer, 0, static_cast<WPARAM>(t->key), 0);
                    break;
                }
            }
        }
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam && IsWindow(reinterpret_cast<HWND>(lParam))) {
            result = SendMessageW(reinterpret_cast<HWND>(lParam), message + 0x2000, wParam, lParam);
            return true;
        }
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam, false);
        break;
    case WM_LBUTTONDOWN:
        OnButtonDown(kEventButtonDown, wParam, lParam);
        break;
    case WM_LBUTTONUP: {
        m_lastMouse = PointFromLParam(lParam);
        EndPress();
        if (Control* c = m_click) {
            SendEvent(c, kEventButtonUp, LOWORD(wParam), wParam, lParam);
            m_click = nullptr;
        }
        break;
    }
    case WM_LBUTTONDBLCLK: {
        SetFocus(m_window);
        POINT pt = PointFromLParam(lParam);
        m_lastMouse = pt;
        Control* c = FindControlAtPoint(pt.x, pt.y);
        if (!BelongsHere(c))
            break;
        SetCapture(m_window);
        if (c->NeedsCapture())
            m_capture = c;
        m_buttonDown = true;
        m_click = c;
        SendEvent(c, kEventDblClick, LOWORD(wParam), wParam, lParam);
        break;
    }
    case WM_RBUTTONDOWN:
        SetFocus(m_window);
        OnButtonDown(kEventRButtonDown, wParam, lParam);
        break;
    case WM_RBUTTONUP:
        m_lastMouse = PointFromLParam(lParam);
        if (Control* c = m_click) {
            EndPress();
            SendEvent(c, kEventRButtonUp, LOWORD(wParam), wParam, lParam);
        }
        break;
    case WM_MOUSEWHEEL: {
        POINT pt = ClientPointFromScreen(m_window, lParam);
        m_lastMouse = pt;
        Control* c = FindControlAtPoint(pt.x, pt.y);
        if (BelongsHere(c)) {
            short delta = GET_WHEEL_DELTA_WPARAM(wParam);
            WPARAM w = (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16) | (delta < 0 ? 1 : 0);
            SendEvent(c, kEventScrollWheel, KeyModifiers(), w, lParam);
            SendMessageW(m_window, WM_MOUSEMOVE, 0, MAKELPARAM(m_lastMouse.x, m_lastMouse.y));
        }
        break;
    }
    case WM_SETCURSOR: {
        WORD hit = LOWORD(lParam);
        if (hit != HTCLIENT && hit != HTMAXBUTTON)
            break;
        if (m_buttonDown) {
            result = TRUE;
            return true;
        }
        POINT cur{};
        GetCursorPos(&cur);
        ScreenToClient(m_window, &cur);
        Control* c = FindControlAtPoint(cur.x, cur.y);
        if (BelongsHere(c) && (c->GetTraitFlags() & 2)) {
            SendEvent(c, kEventSetCursor, KeyModifiers());
            result = TRUE;
            return true;
        }
        break;
    }
    case WM_ENTERSIZEMOVE:
        if (!m_sizeMoveTimer) {
            SetTimer(m_window, kTimerSizeMove, 15, nullptr);
            m_sizeMoveTimer = true;
        }
        break;
    case WM_EXITSIZEMOVE:
        if (m_sizeMoveTimer) {
            KillTimer(m_window, kTimerSizeMove);
            m_sizeMoveTimer = false;
        }
        break;
    case WM_MOUSEHOVER:
        OnHover(PointFromLParam(lParam));
        break;
    case WM_NCMOUSEHOVER: {
        POINT pt = ClientPointFromScreen(m_window, lParam);
        OnHover(pt);
        break;
    }
    case WM_MOUSELEAVE:
        OnMouseLeave(true);
        break;
    case WM_NCMOUSELEAVE:
        OnMouseLeave(false);
        break;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        result = 0;
        return true;
    case kMsgDeleteLater:
        DeleteQueuedControls();
        break;
    case kMsgWindowInit:
        if (!m_focus) {
            FocusControl(m_defaultFocus);
        } else if (wcscmp(m_focus->GetClassName(), L"Edit") == 0 ||
                   wcscmp(m_focus->GetClassName(), L"ComboBox") == 0) {
            SendEvent(m_focus, kEventSetFocus);
            RaiseNotification(m_focus, L"setfocus");
        }
        break;
    case kMsgNetImage:
        OnNetImage(wParam);
        result = 0;
        return true;
    case kMsgNetText:
        // Network texts arrive only for bindings this core made; it makes
        // none, so nothing is touched.
        result = 0;
        return true;
    case kMsgRunTask:
        RunTask(wParam, lParam);
        break;
    default:
        break;
    }

    DrainNotifications(handled);
    return false;
}

bool WindowCore::PreTranslateMessage(const MSG& msg)
{
    std::vector<WindowCore*>& cores = UiGlobals().translateCores;
    if (cores.empty() || !msg.hwnd)
        return false;
    wchar_t cls[256] = {0};
    LONG style = GetWindowLongW(msg.hwnd, GWL_STYLE);
    GetClassNameW(msg.hwnd, cls, 255);
    MSG copy = msg;
    if ((wcscmp(cls, L"EditWnd") == 0 || wcscmp(cls, L"Internet Explorer_Server") == 0) && (style & WS_CHILD)) {
        std::vector<WindowCore*> list = cores;
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            WindowCore* core = *it;
            // A core unbound by an earlier one's processing is skipped.
            if (std::find(cores.begin(), cores.end(), core) == cores.end())
                continue;
            if (!core->m_window || !IsWindowEnabled(core->m_window))
                continue;
            for (HWND w = GetParent(msg.hwnd); w; w = GetParent(w)) {
                if (core->m_window == msg.hwnd || core->m_window == w) {
                    if (!core->m_accelerators.empty() && core->m_accelerators.front()->TranslateKeyMessage(&copy) == 0)
                        return true;
                    core->PreProcessMessage(msg.message, msg.wParam, msg.lParam);
                    if (std::find(cores.begin(), cores.end(), core) == cores.end())
                        break;
                }
            }
        }
        return false;
    }
    for (WindowCore* core : std::vector<WindowCore*>(cores)) {
        if (!core->m_window || !IsWindowEnabled(core->m_window))
            continue;
        if (core->m_window != msg.hwnd && msg.message != WM_HOTKEY)
            continue;
        if (!core->m_accelerators.empty() && core->m_accelerators.front()->TranslateKeyMessage(&copy) == 0)
            return true;
        return core->PreProcessMessage(msg.message, msg.wParam, msg.lParam);
    }
    return false;
}

} // namespace ui
