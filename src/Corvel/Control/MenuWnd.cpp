#include "Corvel/Control/MenuWnd.h"

#include <algorithm>

#include "Corvel/Control/Menu.h"
#include "Corvel/Control/MenuElement.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/WindowBase.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/WndShadow.h"

namespace ui {

namespace {

constexpr DWORD kMenuStyle = WS_POPUP;
constexpr DWORD kMenuExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
// A sub-menu overlaps its parent menu window by this many pixels.
constexpr int kSubMenuOverlap = 2;
// The menu window draws its own frame: no caption, children clipped.
constexpr LONG_PTR kCaptionBits = WS_CAPTION;
constexpr LONG_PTR kClipBits = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr int kCloseCode = 1;
// A top-level menu is centred horizontally on its point.
constexpr float kCentre = 0.5f;

ObserverImpl& Observer() { return MenuObserver(); }

bool IsAmongAncestors(const WindowCore* start, const WindowCore* core)
{
    for (const WindowCore* c = start; c; c = c->GetParentCore()) {
        if (c == core)
            return true;
    }
    return false;
}

RECT WorkAreaOf(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info))
        return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return info.rcWork;
}

MenuElement* AsElement(Control* control)
{
    return control ? static_cast<MenuElement*>(control->CastTo(L"MenuElement")) : nullptr;
}

// The open menu windows, to tell them from other windows on focus changes.
std::vector<CMenuWnd*>& OpenWindows()
{
    static std::vector<CMenuWnd*> windows;
    return windows;
}

} // namespace

ObserverImpl& MenuObserver()
{
    static ObserverImpl observer;
    return observer;
}

RECT PlaceSubMenu(const RECT& parent, const RECTF& element, SIZE size, const RECT& workArea)
{
    int x = parent.right - kSubMenuOverlap;
    int y = parent.top + static_cast<int>(element.top);
    if (x + size.cx > workArea.right)
        x = parent.left - size.cx + kSubMenuOverlap;
    if (y + size.cy > workArea.bottom)
        y = y + static_cast<int>(element.bottom - element.top) - size.cy;
    return RECT{x, y, x + size.cx, y + size.cy};
}

CMenuWnd::CMenuWnd(HWND owner, ItemCallback callback) : m_owner(owner), m_itemCallback(std::move(callback))
{
    m_core.SetOwner(this);
    OpenWindows().push_back(this);
}

CMenuWnd::~CMenuWnd()
{
    auto& open = OpenWindows();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
    Observer().RemoveReceiver(this);
}

bool CMenuWnd::IsMenuWindow(HWND window)
{
    if (!window)
        return false;
    for (CMenuWnd* w : OpenWindows()) {
        if (w->GetHWND() == window && Observer().Contains(w))
            return true;
    }
    return false;
}

// ------------------------------------------------------------ opening

bool CMenuWnd::OpenSubMenu(MenuElement* element)
{
    m_requested = POINT{0, 0};
    m_ownerElement = element;
    m_subMenu = nullptr;
    m_skin.clear();
    Observer().AddReceiver(this);
    if (!Create(m_owner, L"", kMenuStyle, kMenuExStyle, 0, 0, 0, 0)) {
        m_ownerElement = nullptr;
        delete this;
        return false;
    }
    ShowWindow(m_hwnd, SW_SHOW);
    // The first frame was drawn while the window was hidden (its layout ran
    // in WM_CREATE): all of it is painted again now that it shows.
    InvalidateRect(m_hwnd, nullptr, FALSE);
    // The application window keeps its active caption.
    SendMessageW(GetAncestor(m_hwnd, GA_ROOTOWNER), WM_NCACTIVATE, TRUE, 0);
    return true;
}

bool CMenuWnd::Open(POINT at, std::wstring skin)
{
    m_requested = at;
    m_skin = std::move(skin);
    m_ownerElement = nullptr;
    Observer().AddReceiver(this);
    if (!Create(m_owner, L"", kMenuStyle, kMenuExStyle, 0, 0, 0, 0)) {
        delete this;
        return false;
    }
    return true;
}

LRESULT CMenuWnd::OnCreate()
{
    if (m_ownerElement)
        CreateSubMenuContent();
    else
        CreateTopLevelContent();
    return 0;
}

void CMenuWnd::CreateSubMenuContent()
{
    LONG_PTR style = GetWindowLongPtrW(m_hwnd, GWL_STYLE);
    SetWindowLongPtrW(m_hwnd, GWL_STYLE, (style & ~kCaptionBits) | kClipBits);
    RECT client{};
    GetClientRect(m_hwnd, &client);
    SetWindowPos(m_hwnd, nullptr, client.left, client.top, client.right - client.left,
                 client.bottom - client.top, SWP_FRAMECHANGED);

    m_core.BindWindow(m_hwnd);
    WindowCore* elementCore = m_ownerElement->GetCore();
    if (elementCore && elementCore->IsLayered())
        m_core.SetLayered(true);

    m_subMenu = new Menu();
    m_subMenu->SetOwnerElement(m_ownerElement);
    if (elementCore && !IsAmongAncestors(elementCore, &m_core))
        m_core.SetParentCore(elementCore);
    m_subMenu->AttachCore(&m_core, nullptr, true);
    if (elementCore) {
        if (const wchar_t* defaults = elementCore->FindDefaultAttributes(L"Menu"))
            m_subMenu->ApplyAttributeText(defaults);
    }
    m_subMenu->SetOwnsChildren(false);
    for (int i = 0; i < m_ownerElement->ChildCount(); ++i) {
        if (MenuElement* sub = AsElement(m_ownerElement->ChildAt(i)))
            m_subMenu->AppendChild(sub);  // the sub-menu becomes its list
    }
    m_subMenu->SetMenuWindow(this);
    m_core.SetRootControl(m_subMenu);
    m_core.AddNotifyListener(this);
    PlaceSubMenuWindow();
}

void CMenuWnd::PlaceSubMenuWindow()
{
    const RECT work = WorkAreaOf(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY));
    const float availW = static_cast<float>(work.right - work.left);
    const float availH = static_cast<float>(work.bottom - work.top);
    SIZE size{0, 0};
    for (int i = 0; i < m_ownerElement->ChildCount(); ++i) {
        MenuElement* sub = AsElement(m_ownerElement->ChildAt(i));
        if (!sub)
            continue;
        const ControlSize s = MeasureRow(sub, availW, availH);
        size.cx = std::max(size.cx, static_cast<LONG>(s.width));
        size.cy += static_cast<LONG>(s.height);
    }
    RECT parent{};
    if (WindowCore* elementCore = m_ownerElement->GetCore())
        GetWindowRect(elementCore->GetWindow(), &parent);
    const RECT r = PlaceSubMenu(parent, m_ownerElement->GetBounds(), size, work);
    MoveWindow(m_hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}

void CMenuWnd::CreateTopLevelContent()
{
    m_core.SetDpi(GetWindowDpi(m_owner));
    m_core.BindWindow(m_hwnd);
    DialogBuilder builder;
    Control* root = builder.Build(m_skin.c_str(), nullptr, &m_core, nullptr);
    Menu* menu = root ? static_cast<Menu*>(root->CastTo(L"Menu")) : nullptr;
    if (!root)
        return;
    m_core.SetRootControl(root);
    m_core.AddNotifyListener(this);
    if (!menu)
        return;  // the skin's root must be a menu
    menu->SetMenuWindow(this);
    PlaceTopLevelWindow(menu);
}

void CMenuWnd::PlaceTopLevelWindow(Menu* menu)
{
    const float scale = m_core.GetScale();
    const int ox = static_cast<int>(menu->GetOffsetX() * scale);
    const int oy = static_cast<int>(menu->GetOffsetY() * scale);
    const RECT work = WorkAreaOf(MonitorFromPoint(m_requested, MONITOR_DEFAULTTONEAREST));
    // No limit but the monitor's work area (a negative room would clamp
    // every row to nothing here).
    const ControlSize measured = menu->MeasureSize(static_cast<float>(work.right - work.left),
                                                   static_cast<float>(work.bottom - work.top));
    const SIZE unscaled{static_cast<LONG>(measured.width / scale), static_cast<LONG>(measured.height / scale)};
    m_core.SetStartSize(unscaled.cx, unscaled.cy);
    // A skin that sizes its window by the monitor gives that size instead.
    SIZE size = m_core.ComputeMonitorRelativeSize();
    if (size.cx <= 0 || size.cy <= 0)
        size = unscaled;
    RECT r{};
    r.left = static_cast<LONG>(m_requested.x + ox - scale * size.cx * kCentre);
    r.top = m_requested.y + oy;
    r.right = static_cast<LONG>(r.left + scale * size.cx);
    const float height = scale * size.cy;
    r.bottom = static_cast<LONG>(r.top + (height != 0 ? height : measured.height));
    if (r.right >= work.right) {
        const LONG width = r.right - r.left;
        r.right = m_requested.x;
        r.left = m_requested.x - width;
    }
    if (r.bottom >= work.bottom) {
        const LONG height2 = r.bottom - r.top;
        r.bottom = m_requested.y;
        r.top = m_requested.y - height2;
    }
    SetForegroundWindow(m_hwnd);
    MoveWindow(m_hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    SetWindowPos(m_hwnd, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
    InvalidateRect(m_hwnd, nullptr, FALSE);  // its first frame was drawn hidden
}

// ------------------------------------------------------------- queries

Menu* CMenuWnd::GetMenu() const
{
    if (m_subMenu)
        return m_subMenu;
    Control* root = m_core.GetRoot();
    return root ? static_cast<Menu*>(root->CastTo(L"Menu")) : nullptr;
}

bool CMenuWnd::IsKeyDisabled(const std::wstring& key) const
{
    return std::find(m_disabledKeys.begin(), m_disabledKeys.end(), key) != m_disabledKeys.end();
}

CMenuWnd* CMenuWnd::RootWindow()
{
    Menu* menu = GetMenu();
    CMenuWnd* root = menu ? menu->FindRootMenuWindow() : nullptr;
    return root ? root : this;
}

// ------------------------------------------------------------ closing

int CMenuWnd::Receive(ContextMenuParam param)
{
    if (!m_hwnd)
        return 1;
    if (param.kind == kCloseAllMenus) {
        Close(kCloseCode);
    } else if (param.kind == kCloseMenusBelow) {
        for (HWND w = GetParent(m_hwnd); w; w = GetParent(w)) {
            if (w == param.window) {
                Close(kCloseCode);
                break;
            }
        }
    }
    return 1;
}

void CMenuWnd::ReceiveNotify(tagTNotifyUI& msg)
{
    if (_wcsicmp(msg.type.GetData(), L"itemclick") != 0)
        return;
    MenuElement* element = AsElement(msg.sender);
    if (!element)
        return;
    m_clickedKey = element->GetKey();
    if (m_itemCallback)
        m_itemCallback(m_clickedKey);
}

void CMenuWnd::OnKillFocus(HWND gaining)
{
    if (IsMenuWindow(gaining))
        return;
    Observer().BroadcastReverse(ContextMenuParam{kCloseAllMenus, m_hwnd});
}

// Search predicate: the control drops the render target of this window,
// which goes with the window.
static Control* ForgetTarget(Control* control, void*)
{
    control->ForgetRenderTarget();
    return nullptr;
}

void CMenuWnd::ReturnRowsToOwner()
{
    if (!m_ownerElement)
        return;
    WindowCore* core = m_ownerElement->GetCore();
    if (m_subMenu) {
        for (int i = 0; i < m_subMenu->ChildCount(); ++i)
            m_subMenu->ChildAt(i)->SearchTree(&ForgetTarget, nullptr, 0);
        m_subMenu->ReleaseRows();
    }
    // Its sub-elements come back with it (parent and core).
    m_ownerElement->AttachCore(core, m_ownerElement->GetParent(), false);
    // Their names are found in their own window again.
    if (core)
        m_ownerElement->SearchTree(&WindowCore::CollectControlName, core, 0);
    m_ownerElement->SetBounds(m_ownerElement->GetBounds());
}

void CMenuWnd::OnCloseMessage()
{
    if (m_shadow && m_shadow->GetHandle())
        ShowWindow(m_shadow->GetHandle(), SW_HIDE);
    if (!m_ownerElement)
        return;
    ReturnRowsToOwner();
    if (WindowCore* core = m_ownerElement->GetCore())
        core->FocusControl(m_ownerElement);
}

void CMenuWnd::ReleaseOwnerElement()
{
    ReturnRowsToOwner();
    m_ownerElement = nullptr;
}

void CMenuWnd::CreateShadowOnce()
{
    if (m_shadow)
        return;
    const WindowShadowSettings* settings = m_core.FindShadowSettings();
    if (!settings)
        return;
    m_shadow = CreateHiddenShadow(m_hwnd, m_core.GetScale(), *settings);
    if (m_shadow && m_shadow->GetHandle())
        m_shadow->Update(m_hwnd);
}

LRESULT CMenuWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: return OnCreate();
    case WM_KILLFOCUS: OnKillFocus(reinterpret_cast<HWND>(wParam)); break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            Close(kCloseCode);
            return 0;
        }
        break;
    case WM_CLOSE: OnCloseMessage(); break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_CONTEXTMENU: return 0;
    case kMsgWindowInit: CreateShadowOnce(); break;
    case WM_DESTROY: m_core.RemoveNotifyListener(this); break;
    default: break;
    }
    LRESULT result = 0;
    if (m_core.GetWindow() && m_core.ProcessWindowMessage(msg, wParam, lParam, result))
        return result;
    return CWindowWnd::ProcessMessage(msg, wParam, lParam);
}

void CMenuWnd::OnNcDestroyed(HWND)
{
    m_core.RemoveNotifyListener(this);
    RemoveFromObservers();
    Observer().RemoveReceiver(this);
    if (m_ownerElement) {
        ReturnRowsToOwner();
        for (int i = 0; i < m_ownerElement->ChildCount(); ++i) {
            MenuElement* sub = AsElement(m_ownerElement->ChildAt(i));
            if (!sub)
                continue;
            sub->SetOwner(m_ownerElement->GetOwner());
            sub->SetVisible(false);
            sub->SetInternalVisible(false);
        }
        m_ownerElement->ForgetSubMenuWindow();
        m_ownerElement->InvalidateVisiblePart();
    }
    m_disabledKeys.clear();
    CMenuWnd* root = RootWindow();
    if (root != this)
        root->SetClickedKey(m_clickedKey);
    if (m_closeListener) {
        const std::wstring key = m_clickedKey;
        tagTNotifyUI note;
        note.type = L"menuclose";
        note.sender = m_core.GetRoot();
        note.timestamp = GetTickCount();
        note.wParam = key.empty() ? 0 : reinterpret_cast<WPARAM>(key.c_str());
        note.lParam = reinterpret_cast<LPARAM>(this);
        m_closeListener->ReceiveNotify(note);
    }
    m_clickedKey.clear();
    m_shadow.reset();
    // The menu window frees itself once its native window is gone.
    delete this;
}

} // namespace ui
