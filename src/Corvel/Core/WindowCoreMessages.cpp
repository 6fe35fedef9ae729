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

// A child window's WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* go back to that
// child as the same message plus this offset (the reflected-message range
// that starts at WM_USER + 0x1C00), which self-drawing child controls answer.
constexpr UINT kReflectOffset = 0x2000;

// Hover time asked of TrackMouseEvent while no tooltip window exists yet to
// give its initial delay.
constexpr DWORD kDefaultHoverMs = 400;

// Period of timer 3066, which runs the idle tick while the system's move or
// size loop keeps the application's loop from running: just under the 16 ms
// frame, so that no frame is skipped.
constexpr UINT kSizeMoveTickMs = 15;

// Delay from a window's first paint to the set-up of its shadow window and
// backdrop (message 0x8007 to the owner): the window has been composed once
// before anything is placed beside it.
constexpr UINT kShadowSetupDelayMs = 50;

// A press or release on the maximise button of the non-client area reaches
// the control under it with the hit-test code in both the modifier and the
// wParam fields, so that handlers can tell it from a client-area press.
constexpr WORD kMaxButtonCode = HTMAXBUTTON;

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

RECTF WholeRect(int width, int height)
{
    return RECTF(0, 0, static_cast<float>(width), static_cast<float>(height));
}

bool IsScrollBar(Control* c) { return c && wcscmp(c->GetClassName(), L"ScrollBar") == 0; }

bool HasClass(Control* c, const wchar_t* className) { return c && wcscmp(c->GetClassName(), className) == 0; }

IBox* AsIBox(Control* c) { return c ? static_cast<IBox*>(c->CastTo(L"IBox")) : nullptr; }

bool IsWindows8OrLater()
{
    static const bool answer = [] {
        OSVERSIONINFOEXW vi{};
        vi.dwOSVersionInfoSize = sizeof(vi);
        vi.dwMajorVersion = 6;
        vi.dwMinorVersion = 2;
        DWORDLONG mask = 0;
        mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
        mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
        return VerifyVersionInfoW(&vi, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
    }();
    return answer;
}

// Windows 8 and later: after a resize, the desktop compositor can go on
// showing native child content (a hosted web view, a listener's child
// window) at its old size until something on the screen changes. Filling
// one screen pixel with the null brush draws nothing but is such a change,
// so a fresh frame is composed. Earlier systems, and Wine (which reports
// Windows 7), never call this.
void NudgeCompositorAfterResize()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return;
    RECT onePixel{0, 0, 1, 1};
    FillRect(screen, &onePixel, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    ReleaseDC(nullptr, screen);
}

} // namespace

// ------------------------------------------------------------ the entry

bool WindowCore::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!m_window)
        return false;
    LifeWatch watch(*this);
    if (DeliverQueuedNotifications() != Delivery::kAllDelivered) {
        result = 0;
        return true;
    }
    if (RunMessageFilters(message, wParam, lParam, result))
        return true;
    if (RunMessageHandler(message, wParam, lParam)) {
        result = 1;
        return true;
    }
    const bool handled = RouteMessage(message, wParam, lParam, result);
    // A handler destroyed the window object that embeds this core: the
    // caller must not go on with it either.
    if (watch.Gone()) {
        result = 0;
        return true;
    }
    if (handled)
        return true;
    return DeliverQueuedNotifications() == Delivery::kCoreGone;
}

WindowCore::Delivery WindowCore::DeliverQueuedNotifications()
{
    LifeWatch watch(*this);
    while (!m_queuedNotifications.empty()) {
        std::unique_ptr<tagTNotifyUI> msg(m_queuedNotifications.front());
        m_queuedNotifications.erase(m_queuedNotifications.begin());
        if (msg->sender) {
            Control::NotifyHandler h = msg->sender->GetNotifyHandler();
            if (h && h(msg.get()))
                return watch.Gone() ? Delivery::kCoreGone : Delivery::kTaken;
            if (watch.Gone())
                return Delivery::kCoreGone;
        }
        std::vector<INotifyUI*> listeners = m_notifyListeners;
        for (INotifyUI* l : listeners) {
            l->ReceiveNotify(*msg);
            if (watch.Gone())
                return Delivery::kCoreGone;
        }
    }
    return Delivery::kAllDelivered;
}

bool WindowCore::RunMessageFilters(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    LifeWatch watch(*this);
    std::vector<IMessageFilterUI*> filters = m_filters;
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        LRESULT r = f->FilterMessage(message, wParam, lParam, handled);
        if (handled || watch.Gone()) {
            result = handled ? r : 0;
            return true;
        }
    }
    return false;
}

bool WindowCore::RunMessageHandler(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto it = m_messageHandlers.find(message);
    if (it == m_messageHandlers.end() || !it->second)
        return false;
    // Copy: the handler may replace itself.
    MessageHandler fn = it->second;
    return fn(message, wParam, lParam);
}

// One case per message group; each answers whether the message is handled,
// with `result` as the answer.
bool WindowCore::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_MOVE:
        OnMove();
        return false;
    case WM_SIZE:
        OnSize();
        return true;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return false;
    case WM_DISPLAYCHANGE:
        OnDisplayChange();
        return false;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        return true;
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
        OnSizeMoveLoop(message == WM_ENTERSIZEMOVE);
        return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case kMsgWindowInit:
        OnFocusMessage(message);
        return false;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_SHOWWINDOW:
        if (!wParam)
            m_shadowSetupPending = true;
        return false;
    case WM_CLOSE:
        OnClose();
        return false;
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return OnReflectedMessage(message, wParam, lParam, result);
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        OnKeyMessage(message, wParam, lParam);
        return false;
    case WM_TIMER:
        return OnTimer(wParam);
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        OnMouseMove(lParam, message == WM_NCMOUSEMOVE);
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        OnMouseButton(message, wParam, lParam);
        return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
        return OnNcButton(message, wParam, lParam);
    case WM_CONTEXTMENU:
        OnContextMenu(wParam, lParam);
        return false;
    case WM_MOUSEWHEEL:
        OnMouseWheel(wParam, lParam);
        return false;
    case WM_SETCURSOR:
        return OnSetCursor(lParam, result);
    case WM_MOUSEHOVER:
        OnHover(PointFromLParam(lParam));
        return false;
    case WM_NCMOUSEHOVER:
        OnHover(ClientPointFromScreen(m_window, lParam));
        return false;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
        OnMouseLeave(message == WM_MOUSELEAVE);
        return false;
    case kMsgDeleteLater:
        DeleteQueuedControls();
        return false;
    case kMsgNetImage:
        OnNetImage(wParam);
        return true;
    case kMsgNetText:
        // Network texts arrive only for bindings this core made; it makes
        // none, so nothing is touched.
        return true;
    case kMsgRunTask:
        RunTask(wParam, lParam);
        return false;
    default:
        return false;
    }
}

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

void WindowCore::SendWindowEvent(int type)
{
    if (m_windowEventListeners.empty())
        return;
    SendEvent(m_focus, type);
    std::vector<Control*> listeners = m_windowEventListeners;
    for (Control* c : listeners)
        SendEvent(c, type);
}

Control* WindowCore::FindControlAtPoint(int x, int y)
{
    if (!m_root)
        return nullptr;
    POINT pt{x, y};
    return m_root->SearchTree(&HitTestControl, &pt, kSearchVisible | kSearchHitTest | kSearchReverse);
}

// ------------------------------------------------- geometry and layout

void WindowCore::OnMove()
{
    SendWindowEvent(kEventWindowMove);
}

void WindowCore::OnGetMinMaxInfo(MINMAXINFO* mmi)
{
    if (!mmi)
        return;
    if (m_minTrackW > 0)
        mmi->ptMinTrackSize.x = m_minTrackW;
    if (m_minTrackH > 0)
        mmi->ptMinTrackSize.y = m_minTrackH;
    if (m_maxTrackW > 0)
        mmi->ptMaxTrackSize.x = m_maxTrackW;
    if (m_maxTrackH > 0)
        mmi->ptMaxTrackSize.y = m_maxTrackH;
}

void WindowCore::LayOutTree(int width, int height)
{
    SendWindowEvent(kEventWindowSize);
    SendEvent(m_focus, kEventWindowSize);
    seams::ResizeTarget(m_renderTarget, 0, 0, width, height);
    m_relayoutNeeded = false;
    if (m_root)
        m_root->SetBounds(WholeRect(width, height));
}

void WindowCore::OnSize()
{
    RECT rc{};
    ::GetClientRect(m_window, &rc);
    m_clientRect = rc;
    if (IsRectEmpty(&rc) || !m_root || IsIconic(m_window))
        return;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (!m_firstLayoutPending && m_root->GetWidth() == w && m_root->GetHeight() == h)
        return;
    LayOutTree(w, h);
    if (m_firstLayoutPending) {
        AnnounceFirstLayout();
        return;
    }
    MarkDirty(WholeRect(w, h));
    if (IsWindows8OrLater() && (!m_windowEventListeners.empty() || m_hostsNativeContent))
        NudgeCompositorAfterResize();
    RunIdleStep();
}

void WindowCore::AnnounceFirstLayout()
{
    m_firstLayoutPending = false;
    // The owner and the "windowinit" handlers may destroy the window.
    LifeWatch watch(*this);
    if (m_owner && m_owner->GetHWND())
        SendMessageW(m_owner->GetHWND(), kMsgWindowInit, 0, 0);
    if (watch.Unbound())
        return;
    if (m_root)
        RaiseNotification(m_root, L"windowinit");
    if (watch.Unbound())
        return;
    MarkDirty(WholeRect(m_clientRect.right, m_clientRect.bottom));
    RunIdleStep();
}

void WindowCore::OnDisplayChange()
{
    // Without a monitor-relative size there is nothing to apply again (an
    // unset factor would size the window to nothing).
    if (m_sizeFactorX == 0 || m_sizeFactorY == 0)
        return;
    const bool absolute = m_sizeFactorX > 1 && m_sizeFactorY > 1;
    if (absolute && IsZoomed(m_window))
        return;
    const RECT mon = NearestMonitorRect(m_window);
    const SIZE size = ComputeMonitorRelativeSize();
    if (size.cx < mon.right - mon.left && size.cy < mon.bottom - mon.top)
        SetMonitorRelativeSize(m_sizeFactorX, m_sizeFactorY, true);
}

void WindowCore::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    if (!m_dpi)
        return;
    const int dpi = HIWORD(wParam);
    SetDpi(dpi);
    RECT target{};
    if (lParam)
        target = *reinterpret_cast<const RECT*>(lParam);
    else
        GetWindowRect(m_window, &target);
    if (!IsZoomed(m_window))
        FitMonitorRelativeSize(target);
    RescaleResources();
    SetWindowPos(m_window, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc{};
    ::GetClientRect(m_window, &rc);
    m_clientRect = rc;
    if (m_root && !IsRectEmpty(&rc)) {
        LayOutTree(rc.right, rc.bottom);
        MarkDirty(WholeRect(rc.right, rc.bottom));
        RunIdleStep();
    }
    if (m_owner)
        m_owner->OnDpiChanged(dpi);
}

void WindowCore::FitMonitorRelativeSize(RECT& suggested) const
{
    if (m_sizeFactorX == 0 && m_sizeFactorY == 0)
        return;
    const RECT mon = NearestMonitorRect(m_window);
    const int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
    if (mw <= 0 || mh <= 0)
        return;
    const float scale = GetScale();
    const int w = m_sizeFactorX <= 1 ? static_cast<int>(m_sizeFactorX * mw) : static_cast<int>(m_sizeFactorX * scale);
    const int h = m_sizeFactorY <= 1 ? static_cast<int>(m_sizeFactorY * mh) : static_cast<int>(m_sizeFactorY * scale);
    if (w >= mw || h >= mh)
        return;
    if (w == suggested.right - suggested.left && h == suggested.bottom - suggested.top)
        return;
    const int x = m_posX >= 0 ? static_cast<int>(m_posX * scale) : mon.left + (mw - w) / 2;
    const int y = m_posY >= 0 ? static_cast<int>(m_posY * scale) : mon.top + (mh - h) / 2;
    suggested = RECT{x, y, x + w, y + h};
}

void WindowCore::RescaleResources()
{
    ReloadImagesOfAllWindows();
    if (m_fontManager)
        m_fontManager->Rescale(GetScale());
    // Edits re-apply their font at the new scale.
    m_classSearch.clear();
    if (m_root)
        m_root->SearchTree(&MatchClassName, const_cast<wchar_t*>(L"Edit"), 0);
    std::vector<Control*> edits = m_classSearch;
    for (Control* e : edits)
        e->SetFontId(e->GetFontId());
}

void WindowCore::OnSizeMoveLoop(bool entering)
{
    if (entering && !m_sizeMoveTimer) {
        SetTimer(m_window, kTimerSizeMove, kSizeMoveTickMs, nullptr);
        m_sizeMoveTimer = true;
    } else if (!entering && m_sizeMoveTimer) {
        KillTimer(m_window, kTimerSizeMove);
        m_sizeMoveTimer = false;
    }
}

// ------------------------------------------------------ focus, painting

void WindowCore::OnFocusMessage(UINT message)
{
    if (message == WM_KILLFOCUS) {
        FocusControl(nullptr);
        return;
    }
    if (!m_focus) {
        FocusControl(m_defaultFocus);
        return;
    }
    // The window got the focus back, or its tree is ready: a focused edit
    // (or combo box, after the first layout) hears it again.
    const bool again =
        HasClass(m_focus, L"Edit") || (message == kMsgWindowInit && HasClass(m_focus, L"ComboBox"));
    if (again) {
        SendEvent(m_focus, kEventSetFocus);
        RaiseNotification(m_focus, L"setfocus");
    }
}

void WindowCore::OnPaint()
{
    if (m_layered) {
        LONG_PTR ex = GetWindowLongPtrW(m_window, GWL_EXSTYLE);
        if (!(ex & WS_EX_LAYERED))
            SetWindowLongPtrW(m_window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    }
    RECT r{};
    if (!GetUpdateRect(m_window, &r, FALSE))
        return;
    // Nothing is drawn here: the next idle tick paints what is marked.
    if (m_root && !IsRectEmpty(&r))
        MarkDirty(RECTF(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                        static_cast<float>(r.bottom)));
    PAINTSTRUCT ps{};
    BeginPaint(m_window, &ps);
    EndPaint(m_window, &ps);
    if (m_shadowSetupPending) {
        m_shadowSetupPending = false;
        if (m_owner && FindShadowSettings())
            SetTimer(m_window, kTimerShadowSetup, kShadowSetupDelayMs, nullptr);
    }
}

void WindowCore::OnClose()
{
    SendEvent(m_hover, kEventMouseLeave);
    std::vector<Control*> listeners = m_windowEventListeners;
    for (Control* c : listeners)
        SendEvent(c, kEventWindowClose);
    FocusControl(nullptr);
    if (HWND owner = ::GetWindow(m_window, GW_OWNER))
        SetFocus(owner);
}

bool WindowCore::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = nullptr;
    if (message == WM_NOTIFY) {
        // A notification without its header is taken and dropped.
        if (!lParam)
            return true;
        child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    } else if (message == WM_COMMAND) {
        child = reinterpret_cast<HWND>(lParam);
        if (!child)
            return false;
    } else {
        child = reinterpret_cast<HWND>(lParam);
        if (!child || !IsWindow(child))
            return false;
    }
    result = SendMessageW(child, message + kReflectOffset, wParam, lParam);
    return true;
}

bool WindowCore::OnTimer(WPARAM id)
{
    if (id == kTimerShadowSetup) {
        if (m_owner && m_owner->GetHWND())
            PostMessageW(m_owner->GetHWND(), kMsgShadowSetup, 0, 0);
        KillTimer(m_window, kTimerShadowSetup);
        return false;
    }
    if (id == kTimerSizeMove) {
        IdleTick();
        return true;
    }
    for (TimerRecord* t : m_timers) {
        if (t->window == m_window && t->id == id && !t->killed) {
            SendEvent(t->control, kEventTimer, 0, static_cast<WPARAM>(t->key), 0);
            break;
        }
    }
    return false;
}

// ------------------------------------------------------------ keyboard

void WindowCore::OnKeyMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const WORD key = static_cast<WORD>(wParam);
    if (message == WM_KEYDOWN) {
        if (m_focus) {
            SendEvent(m_focus, kEventKeyDown, KeyModifiers(), wParam, lParam, key);
            m_keyControl = m_focus;
        }
    } else if (message == WM_KEYUP) {
        if (Control* c = m_keyControl) {
            m_keyControl = nullptr;
            SendEvent(c, kEventKeyUp, KeyModifiers(), wParam, lParam, key);
        }
    } else if (m_focus) {
        SendEvent(m_focus, kEventChar, KeyModifiers(), wParam, lParam, key);
    }
}

// --------------------------------------------------------------- mouse

void WindowCore::ArmTracking(bool nonClient)
{
    if (m_trackingArmed || !m_window)
        return;
    DWORD hover = kDefaultHoverMs;
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
        MoveHover(next);
    }
    HideToolTip();
    DisarmTracking();
}

void WindowCore::MoveHover(Control* next)
{
    Control* old = m_hover;
    if (next == old) {
        SendEvent(next, kEventMouseMove);
        return;
    }
    if (!next) {
        if (old && old->IsHot())
            LeaveHotChain(old);
        m_hover = nullptr;
        return;
    }
    const bool oldIsBar = IsScrollBar(old);
    const bool outward =
        old && ((oldIsBar && old->GetParent() == next) || (!oldIsBar && AsIBox(next) && IsInSubtree(next, old)));
    if (outward) {
        // Back onto a container that is hot already: what is hot inside it
        // leaves, and no enter follows.
        if (IBox* box = AsIBox(next)) {
            for (int i = 0; i < box->ChildCount(); ++i)
                LeaveHotSubtree(box->ChildAt(i), true);
        }
        m_hover = next;
        SendEvent(next, kEventMouseMove);
        return;
    }
    const bool left = LeaveOldHover(old, next);
    Control* innermostHot = EnterChainTo(next);
    if (left && innermostHot && innermostHot != old)
        LeaveAncestorsBelow(old, innermostHot);
    m_hover = next;
    SendEvent(next, kEventMouseMove);
}

bool WindowCore::LeaveOldHover(Control* old, Control* next)
{
    const bool skip = !old || (IsScrollBar(next) && next->GetParent() == old) || (AsIBox(old) && IsInSubtree(old, next));
    if (skip || !old->IsHot())
        return false;
    SendEvent(old, kEventMouseLeave);
    if (IBox* box = AsIBox(old)) {
        for (int i = 0; i < box->ChildCount(); ++i)
            LeaveHotSubtree(box->ChildAt(i), false);
    }
    return true;
}

Control* WindowCore::EnterChainTo(Control* next)
{
    // From the root down to the new control, each one not yet hot enters;
    // the innermost one that already was hot is remembered.
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
    return innermostHot;
}

void WindowCore::LeaveAncestorsBelow(Control* old, Control* hotAncestor)
{
    // The ancestors of the old control below the still-hot one leave,
    // outermost first.
    std::vector<Control*> between;
    for (Control* c = old->GetParent(); c; c = c->GetParent()) {
        if (c == hotAncestor) {
            for (auto it = between.rbegin(); it != between.rend(); ++it)
                SendEvent(*it, kEventMouseLeave);
            return;
        }
        between.push_back(c);
    }
}

void WindowCore::OnMouseButton(UINT message, WPARAM wParam, LPARAM lParam)
{
    const WORD modifiers = LOWORD(wParam);
    switch (message) {
    case WM_LBUTTONDOWN:
        PressControlAt(PointFromLParam(lParam), kEventButtonDown, modifiers, wParam, lParam);
        break;
    case WM_RBUTTONDOWN:
        SetFocus(m_window);
        PressControlAt(PointFromLParam(lParam), kEventRButtonDown, modifiers, wParam, lParam);
        break;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick(wParam, lParam);
        break;
    case WM_LBUTTONUP: {
        m_lastMouse = PointFromLParam(lParam);
        EndPress();
        // Cleared before the event: its click handler may destroy the window.
        Control* c = m_click;
        m_click = nullptr;
        SendEvent(c, kEventButtonUp, modifiers, wParam, lParam);
        break;
    }
    case WM_RBUTTONUP:
        m_lastMouse = PointFromLParam(lParam);
        // The click control stays for the WM_CONTEXTMENU that follows.
        if (Control* c = m_click) {
            EndPress();
            SendEvent(c, kEventRButtonUp, modifiers, wParam, lParam);
        }
        break;
    default:
        break;
    }
}

// A press on the control under `pt`: it becomes the clicked one, takes the
// focus and, when it asks, the capture.
void WindowCore::PressControlAt(POINT pt, int event, WORD modifiers, WPARAM wParam, LPARAM lParam)
{
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
        SendEvent(c, event, modifiers, wParam, lParam);
}

void WindowCore::OnDoubleClick(WPARAM wParam, LPARAM lParam)
{
    SetFocus(m_window);
    POINT pt = PointFromLParam(lParam);
    m_lastMouse = pt;
    Control* c = FindControlAtPoint(pt.x, pt.y);
    if (!BelongsHere(c))
        return;
    SetCapture(m_window);
    if (c->NeedsCapture())
        m_capture = c;
    m_buttonDown = true;
    m_click = c;
    SendEvent(c, kEventDblClick, LOWORD(wParam), wParam, lParam);
}

// The press is over: the window gives the capture back and no control keeps
// it.
void WindowCore::EndPress()
{
    ReleaseCapture();
    m_capture = nullptr;
    m_buttonDown = false;
}

bool WindowCore::OnNcButton(UINT message, WPARAM hitCode, LPARAM lParam)
{
    if (hitCode != HTMAXBUTTON) {
        if (message == WM_NCLBUTTONDOWN)
            HideToolTip();
        return false;
    }
    const POINT pt = ClientPointFromScreen(m_window, lParam);
    if (message == WM_NCLBUTTONDOWN) {
        PressControlAt(pt, kEventButtonDown, kMaxButtonCode, kMaxButtonCode, lParam);
        return true;
    }
    m_lastMouse = pt;
    EndPress();
    Control* c = m_click;
    m_click = nullptr;
    SendEvent(c, kEventButtonUp, kMaxButtonCode, kMaxButtonCode, lParam);
    return true;
}

void WindowCore::OnContextMenu(WPARAM wParam, LPARAM lParam)
{
    m_lastMouse = ClientPointFromScreen(m_window, lParam);
    Control* c = m_click;
    if (!c)
        return;
    EndPress();
    m_click = nullptr;
    SendEvent(c, kEventContextMenu, LOWORD(wParam), wParam, reinterpret_cast<LPARAM>(c));
}

void WindowCore::OnMouseWheel(WPARAM wParam, LPARAM lParam)
{
    m_lastMouse = ClientPointFromScreen(m_window, lParam);
    Control* c = FindControlAtPoint(m_lastMouse.x, m_lastMouse.y);
    if (!BelongsHere(c))
        return;
    // The delta in the high word, bit 0 set when it is negative.
    const short delta = GET_WHEEL_DELTA_WPARAM(wParam);
    const WPARAM w = (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16) | (delta < 0 ? 1 : 0);
    SendEvent(c, kEventScrollWheel, KeyModifiers(), w, lParam);
    // The hover follows what scrolled under the mouse.
    SendMessageW(m_window, WM_MOUSEMOVE, 0, MAKELPARAM(m_lastMouse.x, m_lastMouse.y));
}

bool WindowCore::OnSetCursor(LPARAM lParam, LRESULT& result)
{
    const WORD hit = LOWORD(lParam);
    if (hit != HTCLIENT && hit != HTMAXBUTTON)
        return false;
    if (m_buttonDown) {
        result = TRUE;
        return true;
    }
    POINT cur{};
    GetCursorPos(&cur);
    ScreenToClient(m_window, &cur);
    Control* c = FindControlAtPoint(cur.x, cur.y);
    if (!BelongsHere(c) || !(c->GetTraitFlags() & kTraitWantsSetCursor))
        return false;
    SendEvent(c, kEventSetCursor, KeyModifiers());
    result = TRUE;
    return true;
}

void WindowCore::OnHover(POINT pt)
{
    m_trackingArmed = true;
    Control* c = FindControlAtPoint(pt.x, pt.y);
    if (!BelongsHere(c))
        return;
    SendEvent(c, kEventMouseHover);
    if (!BelongsHere(c))
        return;
    CUiString tip = c->GetToolTip();
    if (!tip.IsEmpty())
        ShowToolTip(tip, c->GetToolTipWidth());
}

void WindowCore::ShowToolTip(const CUiString& text, int maxWidth)
{
    m_toolTipText = text.ToStdString();
    m_toolInfo = TOOLINFOW{};
    // The version-5 size: the common controls without a version-6 manifest
    // refuse a record that claims the later, longer layout.
    m_toolInfo.cbSize = TTTOOLINFOW_V2_SIZE;
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
        if (!m_toolTip)
            return;
        SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
    }
    SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, maxWidth);
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

// ------------------------------------------------------ pre-translation

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
