#include "Corvel/Core/WindowBase.h"

#include <shellapi.h>

#include <cmath>
#include <cwchar>

#include "Corvel/Core/Control.h"
#include "Corvel/Host/DropTarget.h"
#include "Corvel/Render/WindowBackdrop.h"
#include "Corvel/Render/WndShadow.h"

namespace {

using ui::Control;

// Messages answered at once: the themed caption and frame drawing.
constexpr UINT kMsgNcUahDrawCaption = 0x00AE;
constexpr UINT kMsgNcUahDrawFrame = 0x00AF;
constexpr UINT kMsgCopyGlobalData = 0x0049;
// Frame-margin codes SetFrameMargins answers (how a maximised window's
// client rectangle is grown) and its margin sets.
constexpr int kFrameGrowAllSides = 10;
constexpr int kFrameGrowBottom = 11;
constexpr int kMarginsNone = 0;
constexpr int kMarginsShadow = 1;
// Acrylic backdrop of a "glass" skin.
constexpr uint8_t kBackdropAcrylic = 1;
constexpr uint32_t kBackdropColor = 0x0FFF0000u;
// Sharpness values the shadow takes; larger blurs keep its default.
constexpr float kMaxShadowSharpness = 20.0f;
constexpr wchar_t kBuildFailedText[] = L"初始化界面资源失败！";
constexpr wchar_t kBuildFailedTitle[] = L"异常信息";

// Classes a press on which never drags the window.
bool IsInteractiveClass(const wchar_t* name, bool caseSensitive)
{
    static const wchar_t* const kNames[] = {L"Button", L"Option",  L"Edit",      L"Combo", L"ComboBox",
                                            L"OmniBox", L"List",   L"ScrollBar", L"Slider"};
    for (const wchar_t* n : kNames) {
        if ((caseSensitive ? wcscmp(name, n) : _wcsicmp(name, n)) == 0)
            return true;
    }
    return false;
}

bool Contains(const ui::RECTF& r, POINT p)
{
    const float x = static_cast<float>(p.x), y = static_cast<float>(p.y);
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

} // namespace

IWindowBase::IWindowBase() { m_core.SetOwner(this); }

IWindowBase::~IWindowBase() { RemoveTrayIcon(); }

void IWindowBase::RemoveTrayIcon()
{
    m_tray.Remove();
    if (m_tray.icon) {
        DestroyIcon(m_tray.icon);
        m_tray.icon = nullptr;
    }
}

std::wstring IWindowBase::QueryClassName() const
{
    wchar_t name[64];
    swprintf(name, 64, L"WndCls_%p", static_cast<const void*>(this));
    return name;
}

void IWindowBase::OnDpiChanged(int dpi)
{
    if (!m_shadow)
        return;
    m_shadow->SetScale(static_cast<float>(dpi) / 96.0f);
    m_shadow->Show(m_hwnd);
}

// ------------------------------------------------------------ dispatch

LRESULT IWindowBase::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (msg) {
    case WM_CREATE: result = OnCreate(wParam, lParam, handled); break;
    case WM_DESTROY: result = OnDestroy(wParam, lParam, handled); break;
    case WM_CLOSE: result = OnClose(wParam, lParam, handled); break;
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: handled = false; break;
    case WM_SHOWWINDOW:
        if (wParam)
            return 0;
        handled = false;
        if (m_core.FindShadowSettings() && ui::IsCompositionEnabled())
            SetFrameMargins(m_hwnd, kMarginsNone);
        break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(wParam, lParam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(wParam, lParam, handled); break;
    case kMsgNcUahDrawCaption:
    case kMsgNcUahDrawFrame: return 0;
    case WM_KEYDOWN: result = OnKeyDown(wParam, lParam, handled); break;
    case WM_COMMAND: result = OnCommand(wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(wParam, lParam, handled); break;
    case ui::TrayIcon::kCallbackMessage: result = OnTrayIconMessage(wParam, lParam, handled); break;
    case ui::kMsgShadowSetup: CreateWindowShadow(); return 1;
    default: handled = false; break;
    }
    if (handled)
        return result;
    if (m_core.GetWindow() && m_core.ProcessWindowMessage(msg, wParam, lParam, result))
        return result;
    return IsWindow(m_hwnd) ? CallWindowProcW(m_prevProc, m_hwnd, msg, wParam, lParam) : 0;
}

// ------------------------------------------------------------ creation

LRESULT IWindowBase::OnCreate(WPARAM, LPARAM lParam, bool&)
{
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    m_core.BindWindow(m_hwnd);
    m_core.SetOwner(this);
    m_core.AddPreMessageFilter(this);
    if (!BuildSkin(create)) {
        MessageBoxW(m_hwnd, kBuildFailedText, kBuildFailedTitle, MB_ICONHAND);
        Close(kCloseByUser);
        return 0;
    }
    AcceptDroppedFiles();
    AdjustFrame(create);
    FindCaptionButtons();
    OnWindowCreated();
    if (m_core.IsBackdropWanted()) {
        m_backdrop = true;
        EnableWindowBackdrop(m_hwnd, false, kBackdropAcrylic, kBackdropColor);
    }
    AddTrayIcon();
    return 0;
}

bool IWindowBase::BuildSkin(const CREATESTRUCTW* create)
{
    const std::wstring table = QueryStringTableFile();
    if (!table.empty()) {
        ui::DialogBuilder builder;
        builder.LoadStringTable(table.c_str(), &m_core);
    }
    if (create && (create->x != 0 || create->y != 0)) {
        POINT origin{0, 0};
        HWND parent = GetParent(m_hwnd);
        if (parent && IsWindowVisible(parent)) {
            RECT r;
            GetWindowRect(parent, &r);
            origin = POINT{r.left, r.top};
        }
        if (create->x != origin.x || create->y != origin.y)
            m_core.SetPosition(create->x, create->y);
    }
    ui::DialogBuilder builder;
    const std::wstring skin = QuerySkinFile();
    Control* root = builder.Build(skin.c_str(), this, &m_core, nullptr);
    if (!root)
        return false;
    root->SetName(L"Root");
    m_core.SetRootControl(root);
    m_core.AddNotifyListener(this);
    return true;
}

void IWindowBase::AcceptDroppedFiles()
{
    if (!m_acceptFiles)
        m_acceptFiles = m_core.GetAcceptFiles();
    if (!m_acceptFiles)
        return;
    DragAcceptFiles(m_hwnd, TRUE);
    // Lets files dropped from a less privileged process through (Vista on);
    // skipped where user32 lacks it.
    using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        if (auto filter = reinterpret_cast<FilterFn>(
                reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
            filter(WM_DROPFILES, MSGFLT_ADD);
            filter(kMsgCopyGlobalData, MSGFLT_ADD);
        }
    }
    // OLE drops reach the controls through the window's drop target.
    m_dropTarget = std::make_unique<ui::CDropTarget>(m_hwnd, &m_core);
    if (FAILED(m_dropTarget->Register()))
        m_dropTarget.reset();
}

void IWindowBase::AdjustFrame(const CREATESTRUCTW* create)
{
    const RECT box = m_core.GetScaledSizeBox();
    if (box.left == 0 && box.top == 0 && box.right == 0 && box.bottom == 0)
        SetMaximizeBox(false);
    const UINT keep = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED;
    if (m_core.IsCaptionless()) {
        LONG_PTR style = GetWindowLongPtrW(m_hwnd, GWL_STYLE);
        style = (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        SetWindowLongPtrW(m_hwnd, GWL_STYLE, style);
        SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0, keep);
        return;
    }
    const SIZE start = m_core.ComputeMonitorRelativeSize();
    if ((start.cx == 0 || start.cy == 0) && create && create->cx != 0 && create->cy != 0)
        SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0, keep | SWP_NOACTIVATE);
}

void IWindowBase::FindCaptionButtons()
{
    m_closeButton = m_core.FindControlByName(L"SysCloseBtn");
    m_maxButton = m_core.FindControlByName(L"SysMaxBtn");
    m_restoreButton = m_core.FindControlByName(L"SysRestoreBtn");
    m_minButton = m_core.FindControlByName(L"SysMinBtn");
}

// ------------------------------------------------------------ frame

LRESULT IWindowBase::OnClose(WPARAM, LPARAM, bool& handled)
{
    if (m_shadow && m_shadow->GetHandle())
        ShowWindow(m_shadow->GetHandle(), SW_HIDE);
    handled = false;
    return 0;
}

LRESULT IWindowBase::OnDestroy(WPARAM, LPARAM, bool& handled)
{
    // Dropped files stop reaching a window that is going away; OLE lets go
    // of the drop target while the window still exists.
    if (m_acceptFiles)
        DragAcceptFiles(m_hwnd, FALSE);
    if (m_dropTarget)
        m_dropTarget->Revoke();
    handled = false;
    return 0;
}

LRESULT IWindowBase::OnNcActivate(WPARAM wParam, LPARAM lParam, bool&)
{
    if (!ui::IsCompositionEnabled())
        return 1;
    return CallWindowProcW(m_prevProc, m_hwnd, WM_NCACTIVATE, wParam, lParam);
}

LRESULT IWindowBase::OnNcCalcSize(WPARAM wParam, LPARAM lParam, bool&)
{
    if (!wParam)
        return CallWindowProcW(m_prevProc, m_hwnd, WM_NCCALCSIZE, wParam, lParam);
    // The whole window is client area; a maximised one keeps to the work
    // area of its monitor.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(m_hwnd, &placement) || placement.showCmd != SW_SHOWMAXIMIZED)
        return 0;
    HMONITOR monitor = MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTONULL);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info))
        return 0;
    RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
    r = info.rcWork;
    if (m_frameMarginCode == kFrameGrowAllSides)
        InflateRect(&r, 1, 1);
    else if (m_frameMarginCode == kFrameGrowBottom)
        r.bottom += 1;
    return 0;
}

LRESULT IWindowBase::OnNcHitTest(WPARAM, LPARAM lParam, bool&)
{
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ScreenToClient(m_hwnd, &p);
    return HitTest(p);
}

LRESULT IWindowBase::HitTest(POINT p)
{
    for (Control* button : {m_maxButton, m_restoreButton}) {
        if (button && button->IsVisible() && Contains(button->GetBounds(), p))
            return HTMAXBUTTON;
    }
    RECT c;
    GetClientRect(m_hwnd, &c);
    if (!IsZoomed(m_hwnd) && m_resizable) {
        const RECT b = m_core.GetScaledSizeBox();
        const bool left = p.x < c.left + b.left, right = p.x > c.right - b.right;
        if (p.y < c.top + b.top)
            return left ? HTTOPLEFT : (right ? HTTOPRIGHT : HTTOP);
        if (p.y > c.bottom - b.bottom)
            return left ? HTBOTTOMLEFT : (right ? HTBOTTOMRIGHT : HTBOTTOM);
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
    }
    const RECT caption = m_core.GetCaption();
    const float s = m_core.GetScale();
    const int L = static_cast<int>(caption.left * s), T = static_cast<int>(caption.top * s);
    const int R = L + static_cast<int>((caption.right - caption.left) * s);
    int B = T + static_cast<int>((caption.bottom - caption.top) * s);
    auto inCaption = [&]() { return p.x >= c.left + L && p.x < c.right - R && p.y >= T && p.y < B; };
    if (inCaption()) {
        Control* at = m_core.FindControlAtPoint(p.x, p.y);
        if (at && !IsInteractiveClass(at->GetClassName(), false) && !at->GetHandCursor())
            return HTCAPTION;
    }
    if (B < 0)
        B = c.bottom;
    if (!inCaption())
        return HTCLIENT;
    Control* at = m_core.FindControlAtPoint(p.x, p.y);
    return (!at || IsCaptionControl(at)) ? HTCAPTION : HTCLIENT;
}

bool IWindowBase::IsCaptionControl(Control* control)
{
    if (!control || control->GetHandCursor())
        return false;
    for (Control* c = control; c; c = c->GetParent()) {
        if (IsInteractiveClass(c->GetClassName(), true))
            return false;
    }
    return true;
}

LRESULT IWindowBase::OnGetMinMaxInfo(WPARAM, LPARAM lParam, bool& handled)
{
    handled = false;
    HMONITOR monitor = MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info))
        return 0;
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    mmi->ptMaxPosition.x = info.rcWork.left - info.rcMonitor.left;
    mmi->ptMaxPosition.y = info.rcWork.top - info.rcMonitor.top;
    mmi->ptMaxSize.x = static_cast<LONG>(static_cast<float>(info.rcWork.right - info.rcWork.left));
    mmi->ptMaxSize.y = static_cast<LONG>(static_cast<float>(info.rcWork.bottom - info.rcWork.top));
    return 0;
}

LRESULT IWindowBase::OnSysCommand(WPARAM wParam, LPARAM lParam, bool&)
{
    const bool wasZoomed = IsZoomed(m_hwnd) != FALSE;
    const UINT command = static_cast<UINT>(wParam & 0xFFF0);
    if (command == SC_RESTORE && !IsWindowEnabled(m_hwnd))
        ShowWindow(m_hwnd, SW_SHOWNORMAL);
    const LRESULT result = IsWindow(m_hwnd) ? CallWindowProcW(m_prevProc, m_hwnd, WM_SYSCOMMAND, wParam, lParam) : 0;
    if (command != SC_CLOSE && IsWindow(m_hwnd)) {
        const bool zoomed = IsZoomed(m_hwnd) != FALSE;
        if (zoomed != wasZoomed) {
            if (m_restoreButton)
                m_restoreButton->SetVisible(zoomed);
            if (m_maxButton)
                m_maxButton->SetVisible(!zoomed);
        }
    }
    return result;
}

LRESULT IWindowBase::OnKeyDown(WPARAM wParam, LPARAM, bool& handled)
{
    handled = wParam == VK_RETURN && m_core.CallEditReturnHook(m_core.GetFocus());
    return 0;
}

// ------------------------------------------------------------ shadow

std::unique_ptr<CWndShadow> CreateHiddenShadow(HWND window, float scale, const ui::WindowShadowSettings& settings)
{
    auto shadow = std::make_unique<CWndShadow>();
    shadow->Create(window, scale);
    if (shadow->GetHandle())
        ShowWindow(shadow->GetHandle(), SW_HIDE);
    shadow->SetSize(static_cast<int8_t>(std::trunc(settings.size)));
    shadow->SetPosition(static_cast<int8_t>(std::trunc(settings.offsetX)),
                        static_cast<int8_t>(std::trunc(settings.offsetY)));
    if (settings.blur <= kMaxShadowSharpness)
        shadow->SetSharpness(static_cast<int>(std::trunc(settings.blur)));
    shadow->SetDarkness(static_cast<int>(settings.color >> 24));
    shadow->SetColor(settings.color);
    return shadow;
}

void IWindowBase::CreateWindowShadow()
{
    const ui::WindowShadowSettings* settings = m_core.FindShadowSettings();
    if (!settings)
        return;
    if (ui::IsCompositionEnabled() && (GetWindowLongPtrW(m_hwnd, GWL_STYLE) & WS_CAPTION)) {
        m_frameMarginCode = SetFrameMargins(m_hwnd, kMarginsShadow);
        return;
    }
    if (m_shadow)
        return;
    m_shadow = CreateHiddenShadow(m_hwnd, m_core.GetScale(), *settings);
    m_shadow->SetCorner(settings->roundX, settings->roundY);
    m_shadow->Show(m_hwnd);
}

// ------------------------------------------------------------ tray

void IWindowBase::AddTrayIcon()
{
    const ui::WindowCore::TrayMenuRecord* record = m_core.GetTrayMenu();
    if (!record || record->tip.empty() || !m_hwnd)
        return;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (m_tray.icon)
        DestroyIcon(m_tray.icon);
    m_tray.icon = ExtractIconW(GetModuleHandleW(nullptr), path, 0);
    if (m_tray.icon == reinterpret_cast<HICON>(1))
        m_tray.icon = nullptr;  // not an executable: no icon
    m_tray.tipText = record->tip;
    NOTIFYICONDATAW& data = m_tray.data;
    data = NOTIFYICONDATAW{};
    data.cbSize = sizeof(data);
    data.hWnd = m_hwnd;
    data.uID = m_tray.instance;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = ui::TrayIcon::kCallbackMessage;
    data.hIcon = m_tray.icon;
    // A longer tip is cut to what the field holds.
    wcsncpy(data.szTip, m_tray.tipText.c_str(), ARRAYSIZE(data.szTip) - 1);
    ui::TrayIcon::Notify(NIM_ADD, data);
    m_tray.shown = true;
}

LRESULT IWindowBase::OnTrayIconMessage(WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (wParam != m_tray.instance) {
        handled = false;
        return 0;
    }
    if (lParam == WM_LBUTTONDBLCLK) {
        if (IsWindow(m_hwnd))
            ShowWindow(m_hwnd, SW_SHOWNORMAL);
        SetForegroundWindow(m_hwnd);
    } else if (lParam == WM_RBUTTONDOWN) {
        const ui::WindowCore::TrayMenuRecord* record = m_core.GetTrayMenu();
        if (!record || record->items.empty())
            return 0;
        HMENU menu = CreatePopupMenu();
        for (const ui::WindowCore::TrayMenuItem& item : record->items)
            AppendMenuW(menu, MF_STRING, item.commandId, item.text.c_str());
        POINT cursor;
        GetCursorPos(&cursor);
        SetForegroundWindow(m_hwnd);
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hwnd, nullptr);
        PostMessageW(m_hwnd, WM_NULL, 0, 0);
        DestroyMenu(menu);
    }
    return 0;
}

LRESULT IWindowBase::OnCommand(WPARAM wParam, LPARAM, bool& handled)
{
    handled = false;
    if (const ui::WindowCore::TrayMenuItem* item = m_core.FindTrayMenuItem(LOWORD(wParam))) {
        const ui::WindowCore::TrayMenuItem copy = *item;
        OnTrayMenuCommand(copy);
    }
    return 0;
}

void IWindowBase::OnTrayMenuCommand(const ui::WindowCore::TrayMenuItem& item)
{
    if (item.command == L"show") {
        if (IsWindow(m_hwnd))
            ShowWindow(m_hwnd, SW_SHOWNORMAL);
        SetForegroundWindow(m_hwnd);
    } else if (item.command == L"exit") {
        Close(kCloseFromTray);
    }
}

// ------------------------------------------------------------ interfaces

void IWindowBase::ReceiveNotify(ui::tagTNotifyUI& msg)
{
    if (msg.type.Equals(L"windowinit")) {
        OnWindowReady();
        return;
    }
    if (!msg.type.Equals(L"click") || !msg.sender)
        return;
    if (msg.sender == m_closeButton)
        Close(kCloseByUser);
    else if (msg.sender == m_minButton)
        SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (msg.sender == m_maxButton)
        SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (msg.sender == m_restoreButton)
        SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT IWindowBase::FilterMessage(UINT message, WPARAM wParam, LPARAM, bool&)
{
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE))
        return OnDialogKey(wParam);
    if (message == WM_SYSKEYDOWN && wParam == VK_F4 && m_closeButton)
        m_core.RaiseNotification(m_closeButton, L"click");
    return 0;
}

LRESULT IWindowBase::OnDialogKey(WPARAM key)
{
    if (key != VK_ESCAPE)
        return 0;
    Close(kCloseByUser);
    return 1;
}

Control* IWindowBase::CreateCustomControl(const wchar_t*, ui::WindowCore*) { return nullptr; }

void IWindowBase::OnNcDestroyed(HWND)
{
    m_core.RemovePreMessageFilter(this);
    if (Control* root = m_core.GetRoot())
        m_core.ForgetControl(root);
    m_core.RemoveNotifyListener(this);
    m_core.UnbindWindow();
    // The icon would outlive the window it reports to.
    RemoveTrayIcon();
    if (HWND parent = GetParent(m_hwnd))
        SendMessageW(parent, ui::kMsgWindowInit, 0, 0);
    m_shadow.reset();
}
