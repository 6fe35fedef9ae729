#include "Corvel/Control/ComboBoxWnd.h"

#include <algorithm>

#include "Corvel/Control/Box.h"
#include "Corvel/Control/ComboBox.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowBase.h"
#include "Corvel/Render/Easing.h"
#include "Corvel/Render/TimeLine.h"
#include "Corvel/Render/WndShadow.h"

namespace ui {

namespace {

constexpr DWORD kDropDownStyle = WS_POPUP | WS_VISIBLE;
constexpr DWORD kDropDownExStyle = WS_EX_TOOLWINDOW;
// The fade-in: opacity 0 to 255 along an Expo curve, easing out.
constexpr float kFadeMs = 1000.0f;
constexpr float kOpaque = 255.0f;
const wchar_t kFadeValue[] = L"a";
// Mode of the container's fade layer, as other controls ask for theirs.
constexpr uint8_t kLayerMode = 1;

bool IsAmongAncestors(const WindowCore* start, const WindowCore* core)
{
    for (const WindowCore* c = start; c; c = c->GetParentCore()) {
        if (c == core)
            return true;
    }
    return false;
}

} // namespace

RECT PlaceDropDown(const DropDownPlacement& p, const RECT& workArea)
{
    const RECTF& r = p.combo;
    RECTF d{r.left, r.bottom, r.right, r.bottom + p.listHeight};
    if (p.listHeight < 0 || d.top + p.itemsHeight < d.bottom)
        d.bottom = d.top + p.itemsHeight;

    const ValueList inflate(p.inflate.c_str());
    if (!inflate.IsEmpty()) {
        const float x = inflate.At(0).value * p.scale, y = inflate.At(1).value * p.scale;
        d = RECTF{d.left - x, d.top - y, d.right + x, d.bottom + y};
    }
    const ValueList offset(p.offset.c_str());
    if (!offset.IsEmpty()) {
        const float dx = offset.At(0).value * p.scale, dy = offset.At(1).value * p.scale;
        d = RECTF{d.left + dx, d.top + dy, d.right + dx, d.bottom + dy};
        if (offset.GetCount() >= 3)
            d.right += offset.At(2).value * p.scale;
        if (offset.GetCount() >= 4)
            d.bottom += offset.At(3).value * p.scale;
    }
    auto toScreen = [&p](const RECTF& f) {
        return RECT{static_cast<LONG>(f.left) + p.clientOrigin.x, static_cast<LONG>(f.top) + p.clientOrigin.y,
                    static_cast<LONG>(f.right) + p.clientOrigin.x, static_cast<LONG>(f.bottom) + p.clientOrigin.y};
    };
    RECT screen = toScreen(d);
    if (screen.bottom > workArea.bottom) {
        // Above the combo box, with every item: no limit, inflate or offset.
        screen = toScreen(RECTF{r.left, r.top - p.itemsHeight, r.right, r.top});
    }
    return screen;
}

RECT OwnerWorkArea(HWND owner)
{
    // The drop-down opens by its owner, so the owner's monitor decides,
    // also before the drop-down window exists.
    HMONITOR monitor = owner ? MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)
                             : MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) {
        RECT all{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return all;
    }
    return info.rcWork;
}

CComboBoxWnd::CComboBoxWnd() { m_core.SetOwner(this); }

CComboBoxWnd::~CComboBoxWnd()
{
    StopFade();
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

// ------------------------------------------------------------- opening

RECT CComboBoxWnd::ComputeRect(Box* container) const
{
    DropDownPlacement p;
    p.combo = m_combo->GetBounds();
    p.scale = m_combo->GetScale();
    p.listHeight = container->GetRawFixedHeight() < 0 ? -1.0f : container->GetFixedHeight();
    HWND owner = m_combo->GetCore() ? m_combo->GetCore()->GetWindow() : nullptr;
    const RECT work = OwnerWorkArea(owner);
    // Items are measured in the room the list may take: its fixed height,
    // or without one the monitor's (an item fitted to its text would
    // otherwise be cut to nothing).
    const float width = p.combo.Width();
    const float height = p.listHeight > 0 ? p.listHeight : static_cast<float>(work.bottom - work.top);
    for (int i = 0; i < container->ChildCount(); ++i) {
        Control* item = container->ChildAt(i);
        if (!item || !item->IsVisible())
            continue;
        const float h = item->MeasureSize(width, height).height;
        if (h > 0)
            p.itemsHeight += h;
    }
    p.inflate = container->GetExtraAttribute(L"inflate").GetData();
    p.offset = container->GetExtraAttribute(L"offset").GetData();
    if (owner)
        ClientToScreen(owner, &p.clientOrigin);
    return PlaceDropDown(p, work);
}

void CComboBoxWnd::Open(ComboBox* combo)
{
    if (m_open || !combo)
        return;
    Box* container = combo->GetItemContainer();
    WindowCore* ownerCore = combo->GetCore();
    if (!container || !ownerCore || !ownerCore->GetWindow())
        return;
    StopFade();
    m_open = true;
    m_combo = combo;
    const RECT r = ComputeRect(container);
    if (!m_hwnd || !IsWindow(m_hwnd))
        ShowFirstTime(r);
    else
        ShowAgain(r);
    if (!m_open)
        return;  // the window could not be made
    StartFade(container);
    combo->OnDropDownOpened();
    // The application window keeps its active caption.
    SendMessageW(GetAncestor(m_hwnd, GA_ROOTOWNER), WM_NCACTIVATE, TRUE, 0);
}

void CComboBoxWnd::ShowFirstTime(const RECT& r)
{
    HWND owner = m_combo->GetCore()->GetWindow();
    if (!Create(owner, L"", kDropDownStyle, kDropDownExStyle, r.left, r.top, r.right - r.left, r.bottom - r.top)) {
        m_open = false;
        return;
    }
    m_core.SetLayered(true);
    const float s = m_core.GetScale();
    m_core.SetStartSize(static_cast<int>((r.right - r.left) / s), static_cast<int>((r.bottom - r.top) / s));
    MoveShadow();
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
}

void CComboBoxWnd::ShowAgain(const RECT& r)
{
    Box* container = m_combo->GetItemContainer();
    if (container->GetParent() != m_root)
        AdoptContainer(container);
    SetWindowPos(m_hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | SWP_NOZORDER);
    container->SetAlpha(0);
    container->Repaint();
    MoveShadow();
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    ScrollToItem(m_combo->GetCurrentIndex());
    if (m_root)
        m_root->Repaint();
}

void CComboBoxWnd::MoveShadow()
{
    if (!m_shadow || !m_shadow->GetHandle())
        return;
    RECT w{};
    GetWindowRect(m_hwnd, &w);
    SetWindowPos(m_shadow->GetHandle(), nullptr, w.left + m_shadow->ScaledX(), w.top + m_shadow->ScaledY(), 0, 0,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

void CComboBoxWnd::StartFade(Box* container)
{
    if (m_noAnimation) {
        // No fade this time: the items show at once.
        container->SetAlpha(static_cast<int>(kOpaque));
        m_noAnimation = false;
        return;
    }
    if (!m_fade) {
        m_fade = std::make_unique<CTimeLineTween>();
        m_fade->SetEasing(kEaseExpo, kEaseModeOut, kFadeMs);
    }
    m_fade->AddValue(kFadeValue, 0.0f, kOpaque);
    m_fade->Reset();
    m_core.TimeLines().Remove(m_fade.get());
    m_fade->Start(&m_core, [this](CTimeLine* t) {
        Box* items = m_combo ? m_combo->GetItemContainer() : nullptr;
        if (!items)
            return false;
        items->SetAlpha(static_cast<int>(t->GetValue(kFadeValue)));
        items->Repaint();
        return true;
    });
}

void CComboBoxWnd::StopFade()
{
    if (m_fade)
        m_fade->Stop(0);
}

// ------------------------------------------------------------- closing

void CComboBoxWnd::Close()
{
    if (!m_open)
        return;
    StopFade();
    m_open = false;
    if (m_shadow && m_shadow->GetHandle())
        ShowWindow(m_shadow->GetHandle(), SW_HIDE);
    const RECT client = m_core.GetClientRect();
    m_core.MarkDirty(RECTF(0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom)));
    StopFade();
    if (Box* container = m_combo ? m_combo->GetItemContainer() : nullptr) {
        container->SetAlpha(0);
        container->Repaint();
    }
    ShowWindow(m_hwnd, SW_HIDE);
    if (m_combo)
        m_combo->OnDropDownClosed();
}

void CComboBoxWnd::Detach()
{
    StopFade();
    m_open = false;
    if (m_shadow && m_shadow->GetHandle())
        ShowWindow(m_shadow->GetHandle(), SW_HIDE);
    if (m_hwnd && IsWindow(m_hwnd))
        ShowWindow(m_hwnd, SW_HIDE);
    if (m_combo)
        ReleaseContainer(m_combo->GetItemContainer());
    m_combo = nullptr;
}

void CComboBoxWnd::ScrollToItem(int index)
{
    Box* container = m_combo ? m_combo->GetItemContainer() : nullptr;
    // Only a container that shows a vertical scroll bar scrolls.
    if (!container || !container->GetVScrollBar() || container->ChildCount() == 0)
        return;
    const int count = container->ChildCount();
    index = std::clamp(index, 0, count - 1);
    // Whole pixels per row, as the rows are placed.
    int total = 0;
    int before = 0;
    for (int i = 0; i < count; ++i) {
        const Control* item = container->ChildAt(i);
        const int height = item ? static_cast<int>(item->GetFixedHeight()) : 0;
        total += height;
        if (i < index)
            before += height;
    }
    if (static_cast<float>(total) <= container->GetFixedHeight())
        return;
    const int extent = container->GetScrollExtent().vertical;
    container->SetScrollOffset(0.0f, static_cast<float>(std::min(before, extent)));
    if (m_root)
        m_root->Repaint();
}

void CComboBoxWnd::ReleaseContainer(Box* container)
{
    if (m_root && container && container->GetParent() == m_root)
        m_root->DetachChild(container);
}

void CComboBoxWnd::OnCloseMessage()
{
    if (!m_combo)
        return;
    // The window is going: the drop-down closes as by any other way first.
    Close();
    Box* container = m_combo->GetItemContainer();
    WindowCore* core = m_combo->GetCore();
    if (container) {
        ReleaseContainer(container);
        container->AttachCore(core, m_combo, true);
    }
    m_combo->SetBounds(m_combo->GetBounds());
    if (core)
        core->FocusControl(m_combo);
}

// ------------------------------------------------------------ creation

void CComboBoxWnd::AdoptContainer(Box* container)
{
    container->EnsureLayer(kLayerMode);
    container->SetAlpha(0);
    container->Repaint();
    m_root->AppendChild(container);
    const std::wstring group = m_combo->GroupName();
    for (int i = 0; i < container->ChildCount(); ++i)
        container->ChildAt(i)->SetGroup(group.c_str());
}

LRESULT CComboBoxWnd::OnCreate()
{
    m_core.BindWindow(m_hwnd);
    WindowCore* comboCore = m_combo->GetCore();
    if (comboCore && !IsAmongAncestors(comboCore, &m_core))
        m_core.SetParentCore(comboCore);
    // A window made again after WM_CLOSE destroyed the first one finds the
    // root its core kept.
    const bool firstRoot = !m_root;
    if (firstRoot) {
        m_root = new Box();
        m_root->AttachCore(&m_core, nullptr, true);
        m_root->SetOwnsChildren(false);
    }
    Box* container = m_combo->GetItemContainer();
    if (container && container->GetParent() != m_root)
        AdoptContainer(container);
    if (firstRoot)
        m_core.SetRootControl(m_root);
    if (container)
        CreateShadowIfAsked(container);
    return 0;
}

void CComboBoxWnd::CreateShadowIfAsked(Box* container)
{
    const CUiString spec = container->GetExtraAttribute(L"dropshadow");
    // "false" asks for none (the parent core's settings must not make one).
    if (m_shadow || spec.IsEmpty() || spec.EqualsNoCase(L"false"))
        return;
    m_core.ParseWindowShadow(spec.GetData());
    const WindowShadowSettings* settings = m_core.FindShadowSettings();
    if (!settings)
        return;
    m_shadow = CreateHiddenShadow(m_hwnd, m_core.GetScale(), *settings);
}

// ------------------------------------------------------------ messages

void CComboBoxWnd::OnKeyDown(WPARAM key, LPARAM lParam)
{
    if (key == VK_RETURN || key == VK_ESCAPE) {
        // Closing goes through the loss of focus, like every other way out.
        PostMessageW(m_hwnd, WM_KILLFOCUS, 0, 0);
        return;
    }
    if (!m_combo)
        return;
    InputEvent event;
    event.type = kEventKeyDown;
    event.sender = m_combo;
    event.timestamp = GetTickCount();
    event.key = static_cast<WORD>(key);
    event.wParam = key;
    event.lParam = lParam;
    m_combo->HandleEvent(&event);
}

LRESULT CComboBoxWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: return OnCreate();
    case WM_KEYDOWN: OnKeyDown(wParam, lParam); return 0;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != m_hwnd)
            Close();
        break;
    case WM_CLOSE: OnCloseMessage(); break;
    case WM_DESTROY:
        // Destroyed with its owner while open: nothing is shown any more.
        m_open = false;
        StopFade();
        m_core.UnbindWindow();
        break;
    default: break;
    }
    LRESULT result = 0;
    if (m_core.GetWindow() && m_core.ProcessWindowMessage(msg, wParam, lParam, result))
        return result;
    return CWindowWnd::ProcessMessage(msg, wParam, lParam);
}

void CComboBoxWnd::OnDpiChanged(int)
{
    ComboBox* combo = m_combo;
    Close();
    if (combo)
        Open(combo);
    m_noAnimation = true;
    if (!m_shadow || !m_shadow->GetHandle())
        return;
    m_shadow->SetScale(m_core.GetScale());
    m_shadow->Update(m_hwnd);
    const bool shown = IsWindowVisible(m_hwnd) && !IsIconic(m_hwnd) && !IsZoomed(m_hwnd);
    ShowWindow(m_shadow->GetHandle(), shown ? SW_SHOWNA : SW_HIDE);
}

void CComboBoxWnd::OnNcDestroyed(HWND) { m_shadow.reset(); }

} // namespace ui
