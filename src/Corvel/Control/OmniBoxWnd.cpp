#include "Corvel/Control/OmniBoxWnd.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Control/Box.h"
#include "Corvel/Control/ComboBoxWnd.h"
#include "Corvel/Control/OmniBox.h"
#include "Corvel/Core/WindowBase.h"
#include "Corvel/Render/Easing.h"
#include "Corvel/Render/TimeLine.h"
#include "Corvel/Render/WndShadow.h"

namespace ui {

namespace {

// A pop-up that never takes the activation: the keyboard stays with the
// omnibox's window.
constexpr DWORD kDropDownStyle = WS_POPUP;
constexpr DWORD kDropDownExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
// The fade-in: opacity 0 to 255 along an Expo curve, easing out.
constexpr float kFadeMs = 1000.0f;
constexpr float kOpaque = 255.0f;
const wchar_t kFadeValue[] = L"a";
// Mode of the list's fade layer, as other controls ask for theirs.
constexpr uint8_t kLayerMode = 1;
// Characters of a pointer written as "%p", with room to spare.
constexpr size_t kPointerTextLength = 32;

bool IsAmongAncestors(const WindowCore* start, const WindowCore* core)
{
    for (const WindowCore* c = start; c; c = c->GetParentCore()) {
        if (c == core)
            return true;
    }
    return false;
}

} // namespace

OmniBoxWnd::OmniBoxWnd() { m_core.SetOwner(this); }

OmniBoxWnd::~OmniBoxWnd()
{
    StopFade();
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

Box* OmniBoxWnd::List() const { return m_owner ? m_owner->GetList() : nullptr; }

// ------------------------------------------------------------- placing

RECT OmniBoxWnd::ComputeRect() const
{
    Box* list = List();
    DropDownPlacement p;
    p.combo = m_owner->GetBounds();
    p.scale = m_owner->GetScale();
    p.listHeight = list->GetRawFixedHeight() < 0 ? -1.0f : list->GetFixedHeight();
    HWND ownerWindow = m_owner->GetCore() ? m_owner->GetCore()->GetWindow() : nullptr;
    // The owner window's monitor decides: the drop-down window may not
    // exist yet, or still stand on another monitor.
    const RECT work = OwnerWorkArea(ownerWindow);
    const float width = p.combo.Width();
    const float height = p.listHeight > 0 ? p.listHeight : static_cast<float>(work.bottom - work.top);
    for (int i = 0; i < list->ChildCount(); ++i) {
        Control* item = list->ChildAt(i);
        if (!item || !item->IsVisible())
            continue;
        const float h = item->MeasureSize(width, height).height;
        if (h > 0)
            p.itemsHeight += h;
    }
    p.inflate = list->GetExtraAttribute(L"inflate").GetData();
    p.offset = list->GetExtraAttribute(L"offset").GetData();
    if (ownerWindow)
        ClientToScreen(ownerWindow, &p.clientOrigin);
    return PlaceDropDown(p, work);
}

void OmniBoxWnd::UpdatePlacement()
{
    if (!m_open || !m_owner || !List() || !m_hwnd || !IsWindow(m_hwnd))
        return;
    const RECT r = ComputeRect();
    SetWindowPos(m_hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    MoveShadow();
}

// ------------------------------------------------------------- opening

void OmniBoxWnd::ShowDropDown(OmniBox* owner)
{
    if (m_open || !owner || !owner->GetList())
        return;
    WindowCore* ownerCore = owner->GetCore();
    if (!ownerCore || !ownerCore->GetWindow())
        return;
    StopFade();
    m_open = true;
    m_owner = owner;
    const RECT r = ComputeRect();
    if (!m_hwnd || !IsWindow(m_hwnd))
        ShowFirstTime(r);
    else
        ShowAgain(r);
    if (!m_open)
        return; // the window could not be made
    StartFade(owner->GetList());
    owner->OnDropDownClosed(true);
}

void OmniBoxWnd::ShowFirstTime(const RECT& r)
{
    HWND ownerWindow = m_owner->GetCore()->GetWindow();
    if (!Create(ownerWindow, L"", kDropDownStyle, kDropDownExStyle, r.left, r.top, r.right - r.left,
                r.bottom - r.top)) {
        m_open = false;
        return;
    }
    m_core.SetLayered(true);
    const float s = m_core.GetScale();
    m_core.SetStartSize(static_cast<int>((r.right - r.left) / s), static_cast<int>((r.bottom - r.top) / s));
    MoveShadow();
    ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
}

void OmniBoxWnd::ShowAgain(const RECT& r)
{
    Box* list = List();
    if (list->GetParent() != m_root)
        AdoptList(list);
    SetWindowPos(m_hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    list->SetAlpha(0);
    list->Repaint();
    MoveShadow();
    ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    EnsureItemVisible(m_owner->GetCurrentIndex());
    list->Repaint();
}

void OmniBoxWnd::MoveShadow()
{
    if (!m_shadow || !m_shadow->GetHandle())
        return;
    RECT w{};
    GetWindowRect(m_hwnd, &w);
    SetWindowPos(m_shadow->GetHandle(), nullptr, w.left + m_shadow->ScaledX(), w.top + m_shadow->ScaledY(), 0, 0,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

void OmniBoxWnd::StartFade(Box* list)
{
    if (m_skipFade) {
        list->SetAlpha(static_cast<int>(kOpaque));
        m_skipFade = false;
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
        Box* items = List();
        if (!items)
            return false;
        items->SetAlpha(static_cast<int>(t->GetValue(kFadeValue)));
        items->Repaint();
        return true;
    });
}

void OmniBoxWnd::StopFade()
{
    if (m_fade)
        m_fade->Stop(0);
}

// ------------------------------------------------------------- closing

void OmniBoxWnd::HideDropDown()
{
    if (!m_open)
        return;
    StopFade();
    m_open = false;
    if (m_shadow && m_shadow->GetHandle())
        ShowWindow(m_shadow->GetHandle(), SW_HIDE);
    const RECT client = m_core.GetClientRect();
    m_core.ClearAndPresent(RECTF(0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom)));
    if (Box* list = List()) {
        list->SetAlpha(0);
        list->Repaint();
    }
    ShowWindow(m_hwnd, SW_HIDE);
    if (m_owner)
        m_owner->OnDropDownClosed(false);
}

void OmniBoxWnd::Detach()
{
    StopFade();
    m_open = false;
    if (m_shadow && m_shadow->GetHandle())
        ShowWindow(m_shadow->GetHandle(), SW_HIDE);
    if (m_hwnd && IsWindow(m_hwnd))
        ShowWindow(m_hwnd, SW_HIDE);
    Box* list = List();
    if (m_root && list && list->GetParent() == m_root)
        m_root->DetachChild(list);
    m_owner = nullptr;
}

void OmniBoxWnd::EnsureItemVisible(int index)
{
    Box* list = List();
    if (!list || !list->GetVScrollBar() || list->ChildCount() == 0)
        return;
    const int count = list->ChildCount();
    index = std::clamp(index, 0, count - 1);
    int total = 0;
    int before = 0;
    for (int i = 0; i < count; ++i) {
        const Control* item = list->ChildAt(i);
        const int height = item ? static_cast<int>(item->GetFixedHeight()) : 0;
        total += height;
        if (i < index)
            before += height;
    }
    if (list->GetFixedHeight() >= static_cast<float>(total))
        return;
    const int extent = list->GetScrollExtent().vertical;
    list->SetScrollOffset(0.0f, static_cast<float>(std::min(before, extent)));
    if (m_root)
        m_root->Repaint();
}

void OmniBoxWnd::OnCloseMessage()
{
    if (!m_owner)
        return;
    Box* list = List();
    WindowCore* core = m_owner->GetCore();
    if (list) {
        if (m_root && list->GetParent() == m_root)
            m_root->DetachChild(list);
        list->AttachCore(core, m_owner, true);
    }
    m_owner->SetBounds(m_owner->GetBounds());
    m_owner->SetFocused(true);
}

// ------------------------------------------------------------ creation

void OmniBoxWnd::AdoptList(Box* list)
{
    list->EnsureLayer(kLayerMode);
    list->SetAlpha(0);
    list->Repaint();
    m_root->AppendChild(list);
    wchar_t group[kPointerTextLength] = {};
    swprintf(group, kPointerTextLength, L"%p", static_cast<const void*>(list));
    for (int i = 0; i < list->ChildCount(); ++i)
        list->ChildAt(i)->SetGroup(group);
}

LRESULT OmniBoxWnd::OnCreate()
{
    m_core.BindWindow(m_hwnd);
    const bool firstRoot = !m_root;
    if (firstRoot) {
        m_root = new Box();
        m_root->AttachCore(&m_core, nullptr, true);
        m_root->SetOwnsChildren(false);
    }
    WindowCore* ownerCore = m_owner->GetCore();
    if (ownerCore && !IsAmongAncestors(ownerCore, &m_core))
        m_core.SetParentCore(ownerCore);
    Box* list = List();
    if (list && list->GetParent() != m_root)
        AdoptList(list);
    if (firstRoot)
        m_core.SetRootControl(m_root);
    if (list)
        CreateShadowIfAsked(list);
    return 0;
}

void OmniBoxWnd::CreateShadowIfAsked(Box* list)
{
    const CUiString spec = list->GetExtraAttribute(L"dropshadow");
    if (m_shadow || spec.IsEmpty())
        return;
    m_core.ParseWindowShadow(spec.GetData());
    const WindowShadowSettings* settings = m_core.FindShadowSettings();
    if (!settings)
        return;
    m_shadow = CreateHiddenShadow(m_hwnd, m_core.GetScale(), *settings);
}

// ------------------------------------------------------------ messages

void OmniBoxWnd::OnKeyDown(WPARAM key, LPARAM lParam)
{
    if (!m_owner)
        return;
    InputEvent event;
    event.type = kEventKeyDown;
    event.sender = m_owner;
    event.timestamp = GetTickCount();
    event.key = static_cast<WORD>(key);
    event.wParam = key;
    event.lParam = lParam;
    m_owner->HandleEvent(&event);
}

LRESULT OmniBoxWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: return OnCreate();
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            // Closing goes through the loss of focus, like the other ways out.
            PostMessageW(m_hwnd, WM_KILLFOCUS, 0, 0);
            break;
        }
        OnKeyDown(wParam, lParam);
        return 0;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != m_hwnd)
            HideDropDown();
        break;
    case WM_CLOSE: OnCloseMessage(); break;
    case WM_DESTROY:
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

void OmniBoxWnd::OnDpiChanged(int)
{
    OmniBox* owner = m_owner;
    HideDropDown();
    if (owner)
        ShowDropDown(owner);
    m_skipFade = true;
    if (!m_shadow || !m_shadow->GetHandle())
        return;
    m_shadow->SetScale(m_core.GetScale());
    m_shadow->Update(m_hwnd);
    const bool shown = IsWindowVisible(m_hwnd) && !IsIconic(m_hwnd) && !IsZoomed(m_hwnd);
    ShowWindow(m_shadow->GetHandle(), shown ? SW_SHOWNA : SW_HIDE);
}

void OmniBoxWnd::OnNcDestroyed(HWND) { m_shadow.reset(); }

} // namespace ui
