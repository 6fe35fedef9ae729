// Window core: construction, binding to a native window, sizing, shadow
// settings, parent look-ups, UI tasks and delayed deletion, destruction.
#include "Corvel/Core/WindowCore.h"

#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/UiNetHandlers.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/VectorItems.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/UiImage.h"
#include "net/NetResManager.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace ui {

using detail::AddItem;
using detail::AddUnique;
using detail::RemoveFirst;

// The whole area of the monitor nearest the window; empty when unknown.
RECT WindowCore::NearestMonitorRect(HWND window)
{
    RECT mon{0, 0, 0, 0};
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &mi))
        mon = mi.rcMonitor;
    return mon;
}

WindowCore::WindowCore()
{
    InitializeCriticalSectionAndSpinCount(&m_taskLock, 5000);
    m_names.max_load_factor(1.0f);
    m_messageHandlers.max_load_factor(1.0f);
    UiProcessGlobals& g = UiGlobals();
    if (!g.sharedPen) {
        // Lives until library shutdown: every core shares it.
        g.sharedPen = CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
        InitCommonControls();
        LoadLibraryW(L"msimg32.dll");
    }
}

WindowCore::~WindowCore()
{
    m_destroying = true;
    if (m_dc && m_window) {
        ReleaseDC(m_window, m_dc);
    }
    m_dc = nullptr;
    delete m_shadow;
    m_shadow = nullptr;
    m_timeLines.DetachAll();
    DeleteImageBindings();

    DeleteQueuedControls();
    for (tagTNotifyUI* n : m_queuedNotifications)
        delete n;
    m_queuedNotifications.clear();
    m_names.clear();

    Control* root = m_root;
    m_root = nullptr;
    m_focus = m_hover = m_capture = m_click = m_keyControl = nullptr;
    delete root;
    // Controls that were handed to DeleteControlLater by the root's
    // destructor chain.
    DeleteQueuedControls();
    RemoveAllImages();

    ClearGroups();
    KillAllControlTimers();
    m_windowEventListeners.clear();
    ClearMutexGroups();
    ClearVGroups();
    DeletePendingTasks();
    m_pendingSetup.clear();
    if (m_toolTip && IsWindow(m_toolTip))
        DestroyWindow(m_toolTip);
    m_toolTip = nullptr;
    UnbindWindow();
    delete m_dpi;
    m_dpi = nullptr;
    DeleteCriticalSection(&m_taskLock);
}

void WindowCore::SetDpi(int dpi)
{
    if (!m_dpi)
        m_dpi = new DpiRecord{0, 0.0f};
    m_dpi->dpi = dpi;
    m_dpi->scale = dpi > 0 ? static_cast<float>(dpi) / 96.0f : 0.0f;
}

bool WindowCore::BindWindow(HWND window)
{
    if (m_window) {
        if (IsWindow(m_window))
            return false;
        // The window went without unbinding: release what it left.
        UnbindWindow();
    }
    if (!m_dpi) {
        int dpi = window ? GetWindowDpi(window) : 0;
        m_dpi = new DpiRecord{dpi, dpi > 0 ? static_cast<float>(dpi) / 96.0f : 0.0f};
    }
    m_window = window;
    m_dc = GetDC(window);
    if (m_picHandler)
        m_picHandler->SetWindow(window);
    m_fontManager = new FontManager(this, GetScale());
    m_renderTarget = seams::CreateWindowTarget(this, window);
    UiProcessGlobals& g = UiGlobals();
    AddUnique(g.translateCores, this);
    AddUnique(g.boundCores, this);
    return true;
}

void WindowCore::RemoveFromGlobalList(std::vector<WindowCore*>& list)
{
    // Keeps the order of the others; the idle tick re-reads the count on
    // every pass, so a core leaving during a tick is never read past the end.
    RemoveFirst(list, this);
}

void WindowCore::UnbindWindow()
{
    // Every release happens once: each handle is cleared as it goes.
    // A picture completing from now on has no window to go to: it is not
    // posted, and its bytes stay with its binding until the core goes.
    if (m_picHandler)
        m_picHandler->SetWindow(nullptr);
    if (m_dc) {
        ReleaseDC(m_window, m_dc);
        m_dc = nullptr;
    }
    UiProcessGlobals& g = UiGlobals();
    RemoveFromGlobalList(g.boundCores);
    ForgetWindowState();
    delete m_fontManager;
    m_fontManager = nullptr;
    seams::DestroyTarget(m_renderTarget);
    m_renderTarget = nullptr;
    RemoveFromGlobalList(g.translateCores);
    m_window = nullptr;
}

namespace {
Control* ForgetRenderTargetOf(Control* control, void*)
{
    control->ForgetRenderTarget();
    return nullptr;
}
} // namespace

void WindowCore::ForgetWindowState()
{
    if (m_root)
        m_root->SearchTree(&ForgetRenderTargetOf, nullptr, 0);
    const bool live = m_window && IsWindow(m_window);
    if (live && m_sizeMoveTimer)
        KillTimer(m_window, kTimerSizeMove);
    if (live)
        KillTimer(m_window, kTimerShadowSetup);
    m_sizeMoveTimer = false;
    // The tooltip is owned by the window and goes with it.
    if (m_toolTip && IsWindow(m_toolTip))
        DestroyWindow(m_toolTip);
    m_toolTip = nullptr;
    m_trackingArmed = false;
    m_buttonDown = false;
    m_capture = nullptr;
    m_dirty.clear();
    m_lateDirty.clear();
    m_wholeWindowDirty = false;
    // The next window shows the tree anew: first layout, 0x8002,
    // "windowinit", first paint and shadow set-up.
    if (m_window) {
        m_firstLayoutPending = true;
        m_shadowSetupPending = true;
    }
}

void WindowCore::SetTrackingLimits(int minW, int minH, int maxW, int maxH)
{
    m_minTrackW = minW;
    m_minTrackH = minH;
    m_maxTrackW = maxW;
    m_maxTrackH = maxH;
}

void WindowCore::SetStartSize(int cx, int cy)
{
    m_startCx = cx;
    m_startCy = cy;
    float s = GetScale();
    int w = static_cast<int>(cx * s), h = static_cast<int>(cy * s);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (w >= sw)
        w = sw - static_cast<int>(10 * s);
    if (h >= sh)
        h = sh - static_cast<int>(10 * s);
    m_clientRect.right = w;
    m_clientRect.bottom = h;
    int x, y;
    if (m_posFactorX == 0)
        x = m_posX < 0 ? static_cast<int>((sw - w) * 0.5) : static_cast<int>(m_posX * s);
    else
        x = static_cast<int>(m_posFactorX * (sw - w));
    if (m_posFactorY == 0)
        y = m_posY < 0 ? static_cast<int>((sh - h) * 0.5) : static_cast<int>(m_posY * s);
    else
        y = static_cast<int>(m_posFactorY * (sh - h));
    if (!m_root && m_window)
        SetWindowPos(m_window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE WindowCore::ComputeMonitorRelativeSize() const
{
    const RECT mon = NearestMonitorRect(m_window);
    LONG mw = mon.right - mon.left, mh = mon.bottom - mon.top;
    SIZE sz;
    sz.cx = m_sizeFactorX <= 1 ? static_cast<LONG>(m_sizeFactorX * mw) : static_cast<LONG>(m_sizeFactorX);
    sz.cy = m_sizeFactorY <= 1 ? static_cast<LONG>(m_sizeFactorY * mh) : static_cast<LONG>(m_sizeFactorY);
    return sz;
}

void WindowCore::SetMonitorRelativeSize(float fx, float fy, bool move)
{
    m_sizeFactorX = fx;
    m_sizeFactorY = fy;
    const RECT mon = NearestMonitorRect(m_window);
    float s = GetScale();
    int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
    int w = fx <= 1 ? static_cast<int>(fx * mw) : static_cast<int>(fx * s);
    int h = fy <= 1 ? static_cast<int>(fy * mh) : static_cast<int>(fy * s);
    if (mw <= w)
        w = mw - static_cast<int>(10 * s);
    if (mh <= h)
        h = mh - static_cast<int>(10 * s);
    int x = (mon.left <= m_posX + w) ? static_cast<int>(m_posX * s) : static_cast<int>(mon.left + (mw - w) * 0.5);
    int y = (mon.top <= m_posY + h) ? static_cast<int>(m_posY * s) : static_cast<int>(mon.top + (mh - h) * 0.5);
    if (m_posFactorX != 0)
        x = static_cast<int>(mon.left + (mw - w) * m_posFactorX);
    if (m_posFactorY != 0)
        y = static_cast<int>(mon.top + (mh - h) * m_posFactorY);
    m_clientRect.right = w;
    m_clientRect.bottom = h;
    if (!move && m_root)
        return;
    if (!m_window)
        return;
    RECT wr{};
    GetWindowRect(m_window, &wr);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (static_cast<int>(wr.left * s) == x && static_cast<int>(wr.top * s) == y) {
        flags |= SWP_NOMOVE;
        if (static_cast<int>((wr.right - wr.left) * s) == w && static_cast<int>((wr.bottom - wr.top) * s) == h)
            flags |= SWP_NOSIZE | SWP_FRAMECHANGED;
    }
    SetWindowPos(m_window, nullptr, x, y, w, h, flags);
}

RECT WindowCore::GetScaledSizeBox() const
{
    float s = GetScale();
    RECT r;
    r.left = static_cast<LONG>(m_sizeBox.left * s);
    r.top = static_cast<LONG>(m_sizeBox.top * s);
    r.right = r.left + static_cast<LONG>((m_sizeBox.right - m_sizeBox.left) * s);
    r.bottom = r.top + static_cast<LONG>((m_sizeBox.bottom - m_sizeBox.top) * s);
    return r;
}

void WindowCore::ParseWindowShadow(const wchar_t* text)
{
    if (!text || _wcsicmp(text, L"false") == 0) {
        delete m_shadow;
        m_shadow = nullptr;
        return;
    }
    if (!m_shadow)
        m_shadow = new WindowShadowSettings();
    WindowShadowSettings& s = *m_shadow;
    if (wcscmp(text, L"true") == 0) {
        s.size = 10.0f;
        s.blur = 13.0f;
        s.offsetX = s.offsetY = 3.0f;
        s.roundX = s.roundY = 0;
        s.color = 0x64505050u;
        return;
    }
    const wchar_t* p = text;
    for (;;) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        if (!*p)
            break;
        const wchar_t* keyStart = p;
        while (*p && *p != L'=')
            ++p;
        if (*p != L'=' || p[1] != L'\'')
            break;
        std::wstring key(keyStart, p);
        p += 2;
        const wchar_t* valStart = p;
        while (*p && *p != L'\'')
            ++p;
        if (*p != L'\'')
            break;
        std::wstring val(valStart, p);
        ++p;
        const wchar_t* v = val.c_str();
        wchar_t* end = nullptr;
        if (key == L"size") {
            s.size = static_cast<float>(wcstol(v, nullptr, 10));
        } else if (key == L"blur") {
            s.blur = static_cast<float>(wcstol(v, nullptr, 10));
        } else if (key == L"offset") {
            s.offsetX = static_cast<float>(wcstol(v, &end, 10));
            s.offsetY = (end && *end) ? static_cast<float>(wcstol(end + 1, nullptr, 10)) : 0.0f;
        } else if (key == L"round") {
            s.roundX = static_cast<int>(wcstol(v, &end, 10));
            s.roundY = (end && *end) ? static_cast<int>(wcstol(end + 1, nullptr, 10)) : 0;
        } else if (key == L"color") {
            while (*v == L' ')
                ++v;
            if (*v == L'#')
                ++v;
            s.color = static_cast<uint32_t>(wcstoul(v, nullptr, 16));
        }
        if (*p != L' ')
            break;
    }
}

WindowShadowSettings* WindowCore::FindShadowSettings() const
{
    for (const WindowCore* c = this; c; c = c->m_parentCore) {
        if (c->m_shadow)
            return c->m_shadow;
    }
    return nullptr;
}

namespace {
const WindowCore* TopCore(const WindowCore* c)
{
    while (c->GetParentCore())
        c = c->GetParentCore();
    return c;
}
} // namespace

void WindowCore::SetDefaultColors(uint32_t disabledText, uint32_t text, uint32_t link, uint32_t linkHot,
                                  uint32_t textBk)
{
    m_colors[0] = disabledText;
    m_colors[1] = text;
    m_colors[2] = link;
    m_colors[3] = linkHot;
    m_colors[4] = textBk;
}

uint32_t WindowCore::GetDisabledTextColor() const { return TopCore(this)->m_colors[0]; }
uint32_t WindowCore::GetTextColor() const { return TopCore(this)->m_colors[1]; }
uint32_t WindowCore::GetLinkTextColor() const { return TopCore(this)->m_colors[2]; }
uint32_t WindowCore::GetLinkHotTextColor() const { return TopCore(this)->m_colors[3]; }
uint32_t WindowCore::GetTextBkColor() const { return TopCore(this)->m_colors[4]; }

void WindowCore::AddTimeline(CTimeLine* timeline)
{
    if (timeline)
        m_timeLines.Add(timeline);
}

void WindowCore::RemoveTimeline(CTimeLine* timeline) { m_timeLines.Remove(timeline); }

void WindowCore::AddPendingSetupControl(Control* control)
{
    if (control)
        AddUnique(m_pendingSetup, control);
}

void WindowCore::RemovePendingSetupControl(Control* control) { RemoveFirst(m_pendingSetup, control); }

bool WindowCore::CallEditReturnHook(Control* edit) { return m_editReturnHook ? m_editReturnHook(edit) : false; }

void WindowCore::SetMessageHandler(UINT message, MessageHandler handler)
{
    if (handler)
        m_messageHandlers[message] = std::move(handler);
    else
        m_messageHandlers.erase(message);
}

bool WindowCore::AddTranslateAccelerator(ITranslateAccelerator* accel) { return AddItem(m_accelerators, accel); }

bool WindowCore::RemoveTranslateAccelerator(ITranslateAccelerator* accel)
{
    return RemoveFirst(m_accelerators, accel);
}

bool WindowCore::AddWindowEventListener(Control* control) { return AddItem(m_windowEventListeners, control); }

bool WindowCore::RemoveWindowEventListener(Control* control) { return RemoveFirst(m_windowEventListeners, control); }

// ------------------------------------------------------------- UI tasks

void WindowCore::PostUiTask(Control* guard, std::function<void()> task)
{
    TaskHolder* holder = new TaskHolder{std::move(task)};
    // The holder is in the list before the message can arrive, so the UI
    // thread only ever runs holders it finds there.
    EnterCriticalSection(&m_taskLock);
    m_pendingTasks.push_back(holder);
    LeaveCriticalSection(&m_taskLock);
    if (!m_window ||
        !PostMessageW(m_window, kMsgRunTask, reinterpret_cast<WPARAM>(holder), reinterpret_cast<LPARAM>(guard))) {
        // Nobody will run it: take it back.
        EnterCriticalSection(&m_taskLock);
        const bool found = RemoveFirst(m_pendingTasks, holder);
        LeaveCriticalSection(&m_taskLock);
        if (found)
            delete holder;
    }
}

void WindowCore::RunTask(WPARAM wParam, LPARAM lParam)
{
    TaskHolder* holder = reinterpret_cast<TaskHolder*>(wParam);
    if (!holder)
        return;
    EnterCriticalSection(&m_taskLock);
    const bool found = RemoveFirst(m_pendingTasks, holder);
    LeaveCriticalSection(&m_taskLock);
    // A pointer this core did not hand out (or already ran) is never touched.
    if (!found)
        return;
    std::unique_ptr<TaskHolder> owned(holder);
    Control* guard = reinterpret_cast<Control*>(lParam);
    if (guard && !IsControlRegistered(guard))
        return;
    if (owned->task)
        owned->task();
}

void WindowCore::DeletePendingTasks()
{
    std::vector<TaskHolder*> pending;
    EnterCriticalSection(&m_taskLock);
    pending.swap(m_pendingTasks);
    LeaveCriticalSection(&m_taskLock);
    for (TaskHolder* h : pending)
        delete h;
}

size_t WindowCore::PendingTaskCountForTesting()
{
    EnterCriticalSection(&m_taskLock);
    size_t n = m_pendingTasks.size();
    LeaveCriticalSection(&m_taskLock);
    return n;
}

void WindowCore::RegisterControl(Control* control)
{
    if (control)
        m_registered.insert(control);
}

void WindowCore::UnregisterControl(Control* control) { m_registered.erase(control); }

bool WindowCore::IsControlRegistered(Control* control) const { return m_registered.count(control) != 0; }

void WindowCore::DeleteControlLater(Control* control)
{
    if (!control)
        return;
    if (std::find(m_deleteLater.begin(), m_deleteLater.end(), control) != m_deleteLater.end())
        return;
    control->AttachCore(this, nullptr, false);
    m_deleteLater.push_back(control);
    if (m_window)
        PostMessageW(m_window, kMsgDeleteLater, 0, 0);
}

void WindowCore::DeleteQueuedControls()
{
    // Deleting may queue more (a box deleting deferred children): repeat.
    while (!m_deleteLater.empty()) {
        std::vector<Control*> list;
        list.swap(m_deleteLater);
        for (Control* c : list)
            delete c;
    }
}

} // namespace ui
