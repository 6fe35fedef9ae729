#include "Corvel/Control/WndBox.h"

#include <cwchar>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

namespace {

const wchar_t kHostClassName[] = L"WndBoxBound";
constexpr UINT kMoveNoActivate = SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kGiveBackFlags = SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER;

HINSTANCE ModuleInstance()
{
    HINSTANCE instance = UiGlobals().hInstance;
    return instance ? instance : GetModuleHandleW(nullptr);
}

void RegisterHostClassOnce()
{
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &WndBox::HostWindowProc;
        wc.hInstance = ModuleInstance();
        wc.lpszClassName = kHostClassName;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    (void)registered;  // a failed registration makes host windows fail, which TakeOver reports
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool ReachesPastOnAllSides(const RECT& window, const RECT& work)
{
    return window.left < work.left && window.top < work.top && window.right > work.right &&
           window.bottom > work.bottom;
}

} // namespace

WndBox::WndBox() { RegisterHostClassOnce(); }

WndBox::~WndBox() { Detach(); }

const wchar_t* WndBox::GetClassName() const { return L"WndBox"; }

void* WndBox::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"WndBox") == 0 || wcscmp(typeName, L"Control") == 0))
        return this;
    return nullptr;
}

void WndBox::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    if (m_placed && IsVisible())
        UpdatePlacement();
}

void WndBox::SetVisible(bool show)
{
    Control::SetVisible(show);
    SyncWindowVisibility();
}

void WndBox::SetInternalVisible(bool on)
{
    Control::SetInternalVisible(on);
    if (!on && m_core && m_core->GetFocus() == this)
        m_core->FocusControl(nullptr);
    SyncWindowVisibility();
}

void WndBox::SyncWindowVisibility()
{
    // The window follows what the box shows, not the flag just set: a box
    // shown inside a hidden container keeps its window hidden too.
    if (m_placed && IsWindow(m_placed))
        ShowWindow(m_placed, IsVisible() ? SW_SHOWNORMAL : SW_HIDE);
}

bool WndBox::FireEvent(InputEvent* event)
{
    if (event && event->type == kEventWindowMove)
        UpdatePlacement();
    else if (event && event->type == kEventWindowClose && m_detachOnClose)
        Detach();
    return Control::FireEvent(event);
}

void WndBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name && value && wcscmp(name, L"detachonclose") == 0)
        m_detachOnClose = wcscmp(value, L"true") == 0;
    Control::SetAttribute(name, value);
}

// ------------------------------------------------------------ take-over

bool WndBox::TakeOver(HWND foreign, const WndBoxHosting& hosting)
{
    if (!m_core || !m_core->GetWindow() || !foreign || !IsWindow(foreign) || m_hosted)
        return false;
    HWND skinned = m_core->GetWindow();
    m_previousParent = ::GetParent(foreign);
    GetWindowRect(foreign, &m_previousRect);
    if (m_previousParent)
        MapWindowPoints(nullptr, m_previousParent, reinterpret_cast<POINT*>(&m_previousRect), 2);
    m_fit = hosting.fit;
    m_hosted = foreign;
    m_placed = foreign;
    if (hosting.useHostWindow) {
        if (!CreateHostWindow(skinned, hosting.background)) {
            m_hosted = m_placed = nullptr;
            return false;
        }
        MakeChildOf(m_host);
        m_placed = m_host;
    } else if (hosting.makeChild) {
        MakeChildOf(skinned);
    }
    m_shownOnce = false;
    m_listeningCore = m_core;
    m_core->AddWindowEventListener(this);
    UpdatePlacement();
    return true;
}

void WndBox::FinishSkinnedWindowFrames()
{
    // Wine draws a Direct2D window through OpenGL on a Direct3D worker
    // thread, and replaces the window's GL drawable when a child window is
    // created in it or moved into it. A frame the worker is still presenting
    // then meets an X drawable that is gone; the X error it gets can leave
    // the worker and the UI thread (at its next X call, such as the one
    // SetParent makes when the window is given back) waiting on each other
    // for good. So before the skinned window's children change, its frames
    // are let reach the screen; on Windows the wait ends at once or nearly
    // so.
    if (RenderTarget* target = m_core ? m_core->GetRenderTarget() : nullptr)
        target->FinishQueuedFrames();
}

void WndBox::MakeChildOf(HWND parent)
{
    FinishSkinnedWindowFrames();
    m_previousStyle = GetWindowLongPtrW(m_hosted, GWL_STYLE);
    if (m_previousStyle & WS_POPUP)
        SetWindowLongPtrW(m_hosted, GWL_STYLE, (m_previousStyle & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
    SetParent(m_hosted, parent);
    m_child = true;
}

bool WndBox::CreateHostWindow(HWND skinned, uint32_t background)
{
    const COLORREF rgb = RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    m_brush = CreateSolidBrush(rgb);
    FinishSkinnedWindowFrames();
    m_host = CreateWindowExW(0, kHostClassName, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, skinned, nullptr,
                             ModuleInstance(), nullptr);
    if (!m_host) {
        DeleteObject(m_brush);
        m_brush = nullptr;
        return false;
    }
    SetWindowLongPtrW(m_host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

// ------------------------------------------------------------ placement

POINT WndBox::PlacementOrigin() const
{
    if (m_child)
        return POINT{0, 0};
    RECT window{};
    GetWindowRect(m_core->GetWindow(), &window);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(MonitorFromWindow(m_core->GetWindow(), MONITOR_DEFAULTTONEAREST), &info) &&
        ReachesPastOnAllSides(window, info.rcWork))
        return POINT{info.rcWork.left, info.rcWork.top};
    return POINT{window.left, window.top};
}

bool WndBox::UpdatePlacement()
{
    if (!m_core || !m_core->GetWindow() || !m_placed || !IsWindow(m_placed))
        return false;
    const RECT box{static_cast<LONG>(m_bounds.left), static_cast<LONG>(m_bounds.top),
                   static_cast<LONG>(m_bounds.right), static_cast<LONG>(m_bounds.bottom)};
    const POINT origin = PlacementOrigin();
    if (m_fit) {
        SetWindowPos(m_placed, nullptr, origin.x + box.left, origin.y + box.top, Width(box), Height(box),
                     kMoveNoActivate);
        if (m_host)
            PostMessageW(m_host, kMsgRefit, 0, 0);
    } else {
        if (Width(box) < 1 || Height(box) < 1)
            return false;
        // The placed window (a host too) takes the hosted window's size.
        RECT own{};
        GetWindowRect(m_hosted, &own);
        const int x = origin.x + box.left + (Width(box) - Width(own)) / 2;
        const int y = origin.y + box.top + (Height(box) - Height(own)) / 2;
        SetWindowPos(m_placed, nullptr, x, y, Width(own), Height(own), kMoveNoActivate);
    }
    ShowOnFirstPlacement();
    return true;
}

void WndBox::ShowOnFirstPlacement()
{
    if (m_shownOnce || !IsVisible())
        return;
    if (!IsWindowVisible(m_hosted))
        ShowWindow(m_hosted, SW_SHOWNOACTIVATE);
    if (m_placed != m_hosted)
        ShowWindow(m_placed, SW_SHOWNOACTIVATE);
    m_shownOnce = true;
}

void WndBox::RefitInHost()
{
    if (!m_host || !m_hosted || !IsWindow(m_hosted))
        return;
    RECT client{};
    GetClientRect(m_host, &client);
    if (m_fit) {
        SetWindowPos(m_hosted, nullptr, 0, 0, Width(client), Height(client), SWP_NOACTIVATE | SWP_NOZORDER);
        PostMessageW(m_hosted, WM_MOVE, 0, 0);
        return;
    }
    RECT own{};
    GetWindowRect(m_hosted, &own);
    SetWindowPos(m_hosted, nullptr, (Width(client) - Width(own)) / 2, (Height(client) - Height(own)) / 2, 0, 0,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

LRESULT CALLBACK WndBox::HostWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* box = reinterpret_cast<WndBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (box) {
        switch (msg) {
        case WM_SIZE:
        case kMsgRefit: box->RefitInHost(); break;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (box->m_brush)
                FillRect(dc, &ps.rcPaint, box->m_brush);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_DESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
        default: break;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// --------------------------------------------------------------- detach

void WndBox::ReturnToPreviousParent()
{
    if (!m_child || !m_hosted || !IsWindow(m_hosted))
        return;
    if (m_previousStyle & WS_POPUP) {
        const LONG_PTR visible = GetWindowLongPtrW(m_hosted, GWL_STYLE) & WS_VISIBLE;
        SetWindowLongPtrW(m_hosted, GWL_STYLE, (m_previousStyle & ~static_cast<LONG_PTR>(WS_VISIBLE)) | visible);
    }
    FinishSkinnedWindowFrames();
    SetParent(m_hosted, m_previousParent);
    if (IsRectEmpty(&m_previousRect)) {
        RECT own{};
        GetWindowRect(m_hosted, &own);
        const int x = (GetSystemMetrics(SM_CXSCREEN) - Width(own)) / 2;
        const int y = (GetSystemMetrics(SM_CYSCREEN) - Height(own)) / 2;
        SetWindowPos(m_hosted, nullptr, x, y, 0, 0, kGiveBackFlags | SWP_NOSIZE);
    } else {
        SetWindowPos(m_hosted, nullptr, m_previousRect.left, m_previousRect.top, Width(m_previousRect),
                     Height(m_previousRect), kGiveBackFlags);
    }
}

void WndBox::Detach()
{
    ReturnToPreviousParent();
    if (m_host && IsWindow(m_host))
        DestroyWindow(m_host);
    m_host = nullptr;
    if (m_brush)
        DeleteObject(m_brush);
    m_brush = nullptr;
    m_hosted = m_placed = nullptr;
    m_child = false;
    if (m_listeningCore)
        m_listeningCore->RemoveWindowEventListener(this);
    m_listeningCore = nullptr;
}

} // namespace ui
