#include "Corvel/Core/WindowWnd.h"

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"

#include <dwmapi.h>
#include <mmsystem.h>

#include <utility>
#include <vector>

namespace ui {

namespace {

// Frame step of the idle tick the modal loop drives, as the main loop does.
constexpr DWORD kModalTickMs = 16;
// Wake mask of the loop's wait: QS_ALLINPUT including touch and pointer
// input (0x1CFF), whatever the headers' Windows version says.
constexpr DWORD kModalWakeMask = 0x1CFF;
// At most this long the loop waits for input between passes.
constexpr DWORD kModalWaitMs = 1;

DWORD RealModalLoopClock() { return timeGetTime(); }

ModalLoopClock g_modalLoopClock = &RealModalLoopClock;

} // namespace

bool IsClockAtOrPast(DWORD now, DWORD due)
{
    return static_cast<LONG>(now - due) >= 0;
}

void SetModalLoopClockForTesting(ModalLoopClock clock)
{
    g_modalLoopClock = clock ? clock : &RealModalLoopClock;
}

bool IsCompositionEnabled()
{
    BOOL on = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&on)) && on;
}

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd()
{
    if (m_hwnd && IsWindow(m_hwnd)) {
        // The window must not call back into a half-destroyed object.
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    m_hwnd = nullptr;
}

BOOL CWindowWnd::Close(int code)
{
    if (!m_hwnd || !IsWindow(m_hwnd))
        return FALSE;
    m_closeCode = code;
    return PostMessageW(m_hwnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

LRESULT CWindowWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_hwnd || !IsWindow(m_hwnd))
        return 0;
    return CallWindowProcW(m_prevProc, m_hwnd, msg, wParam, lParam);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* caption, DWORD style, DWORD exStyle, int x, int y, int cx,
                        int cy)
{
    std::wstring className = QueryClassName();
    HINSTANCE inst = UiGlobals().hInstance ? UiGlobals().hInstance : GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.style = QueryClassStyle();
    wc.lpfnWndProc = &CWindowWnd::WindowProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className.c_str();
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;

    if (parent && x < 0 && y < 0) {
        RECT pr{};
        GetWindowRect(parent, &pr);
        x = pr.left;
        y = pr.top;
    }
    if (style == static_cast<DWORD>(-1)) {
        bool small = (cx != CW_USEDEFAULT && cx < GetSystemMetrics(SM_CXMINTRACK)) ||
                     (cy != CW_USEDEFAULT && cy < GetSystemMetrics(SM_CYMINTRACK));
        if (small)
            style = 0x860B0000u;
        else
            style = IsCompositionEnabled() ? 0x86CF0000u : 0x860F0000u;
    }
    HWND hwnd = CreateWindowExW(exStyle, className.c_str(), caption, style, x, y, cx, cy, parent, nullptr, inst,
                                this);
    m_parent = parent;
    if (hwnd)
        m_hwnd = hwnd;
    return hwnd;
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (msg == WM_NCCREATE) {
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = cs ? static_cast<CWindowWnd*>(cs->lpCreateParams) : nullptr;
        if (!self)
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self->ProcessMessage(msg, wParam, lParam);
    }
    self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        LRESULT r = CallWindowProcW(self->m_prevProc, hwnd, msg, wParam, lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        self->OnNcDestroyed(hwnd);
        return r;
    }
    return self->ProcessMessage(msg, wParam, lParam);
}

// The ancestors a modal loop disables, each with the enabled state it gets
// back at the end.
class CWindowWnd::ModalAncestors {
public:
    explicit ModalAncestors(HWND firstParent)
        : m_firstParent(firstParent)
    {
        // Owned pop-ups report their owner as parent; that is the window to
        // disable.
        HWND desktop = GetDesktopWindow();
        for (HWND p = firstParent; p && p != desktop; p = GetParent(p))
            m_entries.push_back(Entry{p, IsWindowEnabled(p) != FALSE});
    }

    HWND FirstParent() const { return m_firstParent; }

    // Every recorded window, those already disabled included.
    void Disable() const
    {
        for (const Entry& e : m_entries)
            EnableWindow(e.hwnd, FALSE);
    }

    // Each window as it was, in list order; then the focus to the first.
    void Restore() const
    {
        for (const Entry& e : m_entries)
            EnableWindow(e.hwnd, e.wasEnabled ? TRUE : FALSE);
        if (m_firstParent)
            SetFocus(m_firstParent);
    }

private:
    struct Entry {
        HWND hwnd;
        bool wasEnabled;
    };
    HWND m_firstParent;
    std::vector<Entry> m_entries;
};

int CWindowWnd::RunModalLoop()
{
    ModalAncestors ancestors(m_hwnd ? GetParent(m_hwnd) : nullptr);
    if (m_hwnd)
        ShowWindow(m_hwnd, SW_SHOWNORMAL);
    ancestors.Disable();

    // The first tick is due at once.
    DWORD nextTick = g_modalLoopClock();
    for (;;) {
        MSG msg{};
        int result = 0;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (TakeModalMessage(msg, ancestors, result))
                return result;
        } else {
            const DWORD now = g_modalLoopClock();
            if (IsClockAtOrPast(now, nextTick)) {
                nextTick = now + kModalTickMs;
                WindowCore::IdleTick();
            }
        }
        // A window destroyed by a dispatched message or a tick ends the loop
        // with the stored close code.
        if (!m_hwnd) {
            ancestors.Restore();
            return m_closeCode;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, kModalWaitMs, kModalWakeMask, MWMO_INPUTAVAILABLE);
    }
}

bool CWindowWnd::TakeModalMessage(MSG& msg, const ModalAncestors& ancestors, int& result)
{
    if (!m_hwnd) {
        ancestors.Restore();
        result = m_closeCode;
        return true;
    }
    if (msg.message == WM_QUIT) {
        // The outer loop must end as well.
        result = EndModalLoop(ancestors);
        PostQuitMessage(static_cast<int>(msg.wParam));
        return true;
    }
    if (msg.message == WM_CLOSE && msg.hwnd == m_hwnd) {
        // Taken here and never dispatched: its wParam is the close code.
        ancestors.Restore();
        result = static_cast<int>(msg.wParam);
        HWND h = m_hwnd;
        DestroyWindow(h);
        m_hwnd = nullptr;
        return true;
    }
    if (msg.message == WM_CLOSE && ancestors.FirstParent() && msg.hwnd == ancestors.FirstParent()) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        result = EndModalLoop(ancestors);
        return true;
    }
    if (!WindowCore::PreTranslateMessage(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return false;
}

int CWindowWnd::EndModalLoop(const ModalAncestors& ancestors)
{
    if (m_hwnd && IsWindow(m_hwnd)) {
        HWND h = m_hwnd;
        DestroyWindow(h);
    }
    m_hwnd = nullptr;
    ancestors.Restore();
    return 0;
}

void CWindowWnd::CenterOverOwner()
{
    if (!m_hwnd)
        return;
    RECT w{};
    GetWindowRect(m_hwnd, &w);
    HWND owner = GetWindow(m_hwnd, GW_OWNER);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : m_hwnd, MONITOR_DEFAULTTONEAREST), &mi);
    RECT work = mi.rcWork;
    RECT c = work;
    if (owner && !IsIconic(owner))
        GetWindowRect(owner, &c);
    int width = w.right - w.left, height = w.bottom - w.top;
    int x = (c.left + c.right) / 2 - width / 2;
    int y = (c.top + c.bottom) / 2 - height / 2;
    if (x < work.left)
        x = work.left;
    else if (x + width > work.right)
        x = work.right - width;
    if (y < work.top)
        y = work.top;
    else if (y + height > work.bottom)
        y = work.bottom - height;
    SetWindowPos(m_hwnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetMaximizeBox(bool enable)
{
    if (enable)
        return;
    m_resizable = false;
    if (m_hwnd) {
        LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
        SetWindowLongW(m_hwnd, GWL_STYLE, style & ~WS_MAXIMIZEBOX);
    }
}

} // namespace ui
