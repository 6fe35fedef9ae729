// Window core: notifications and listeners, control timers, focus and Tab
// navigation, keyboard pre-processing, the root control, groups and the
// tree-search predicates.
#include "Corvel/Core/WindowCore.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/VectorItems.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace ui {

using detail::AddItem;
using detail::AddUnique;
using detail::RemoveFirst;

namespace {

struct TabSearch {
    Control* current;
    Control* last;
    bool forward;
    bool seen;
};

struct ShortcutSearch {
    wchar_t key;
    bool seen;
};

} // namespace

// --------------------------------------------------------- notifications

void WindowCore::RaiseNotification(Control* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam)
{
    tagTNotifyUI msg;
    msg.type = type;
    msg.sender = sender;
    msg.timestamp = GetTickCount();
    msg.point = m_lastMouse;
    msg.wParam = wParam;
    msg.lParam = lParam;
    // Any handler may destroy the window object that embeds this core.
    LifeWatch watch(*this);
    if (sender) {
        // Copy: the handler may replace itself.
        Control::NotifyHandler h = sender->GetNotifyHandler();
        if (h && h(&msg))
            return;
        if (watch.Gone())
            return;
    }
    std::vector<INotifyUI*> listeners = m_notifyListeners;
    for (INotifyUI* l : listeners) {
        if (watch.Gone())
            return;
        // A listener removed by an earlier one is skipped.
        if (std::find(m_notifyListeners.begin(), m_notifyListeners.end(), l) != m_notifyListeners.end())
            l->ReceiveNotify(msg);
    }
}

void WindowCore::QueueNotification(Control* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam)
{
    tagTNotifyUI* msg = new tagTNotifyUI();
    msg->type = type;
    msg->sender = sender;
    msg->timestamp = GetTickCount();
    msg->point = m_lastMouse;
    msg->wParam = wParam;
    msg->lParam = lParam;
    m_queuedNotifications.push_back(msg);
}

bool WindowCore::AddNotifyListener(INotifyUI* listener) { return AddItem(m_notifyListeners, listener); }
bool WindowCore::RemoveNotifyListener(INotifyUI* listener) { return RemoveFirst(m_notifyListeners, listener); }
bool WindowCore::AddMessageFilter(IMessageFilterUI* filter) { return AddItem(m_filters, filter); }
bool WindowCore::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveFirst(m_filters, filter); }
bool WindowCore::AddPreMessageFilter(IMessageFilterUI* filter) { return AddItem(m_preFilters, filter); }
bool WindowCore::RemovePreMessageFilter(IMessageFilterUI* filter) { return RemoveFirst(m_preFilters, filter); }
bool WindowCore::AddOverlayControl(Control* control) { return AddItem(m_overlays, control); }
bool WindowCore::RemoveOverlayControl(Control* control) { return RemoveFirst(m_overlays, control); }

// --------------------------------------------------------- control timers

bool WindowCore::StartControlTimer(Control* control, int key, UINT elapse)
{
    if (!control || !m_window)
        return false;
    for (TimerRecord* t : m_timers) {
        if (t->control == control && t->window == m_window && t->key == key) {
            if (!t->killed)
                return false;
            if (!SetTimer(m_window, t->id, elapse, nullptr))
                return false;
            t->killed = false;
            return true;
        }
    }
    // Ids run (last + 1) mod 255; one still held by a live or stopped timer
    // of this window is skipped, so two timers never share an id.
    UINT_PTR id = 0;
    bool found = false;
    for (int tries = 0; tries < 255 && !found; ++tries) {
        m_timerCounter = (m_timerCounter + 1) % 255;
        id = static_cast<UINT_PTR>(m_timerCounter);
        found = true;
        for (TimerRecord* t : m_timers) {
            if (t->window == m_window && t->id == id) {
                found = false;
                break;
            }
        }
    }
    if (!found)
        return false;
    if (!SetTimer(m_window, id, elapse, nullptr))
        return false;
    m_timers.push_back(new TimerRecord{control, key, m_window, id, false});
    return true;
}

bool WindowCore::StopControlTimer(Control* control, int key)
{
    for (TimerRecord* t : m_timers) {
        if (t->control == control && t->window == m_window && t->key == key && !t->killed) {
            if (IsWindow(m_window))
                KillTimer(m_window, t->id);
            t->killed = true;
            return true;
        }
    }
    return false;
}

bool WindowCore::GetControlTimerIdForTesting(Control* control, int key, UINT_PTR& id) const
{
    for (TimerRecord* t : m_timers) {
        if (t->control == control && t->window == m_window && t->key == key) {
            id = t->id;
            return true;
        }
    }
    id = 0;
    return false;
}

void WindowCore::KillAllControlTimers()
{
    for (TimerRecord* t : m_timers) {
        if (!t->killed && t->window && IsWindow(t->window))
            KillTimer(t->window, t->id);
        delete t;
    }
    m_timers.clear();
}

// ------------------------------------------------------------------ focus

void WindowCore::FocusControl(Control* c)
{
    if (m_window && ::GetFocus() != m_window && c && c != m_focus)
        SetFocus(m_window);
    if (c == m_focus)
        return;
    if (m_focus) {
        Control* old = m_focus;
        InputEvent ev;
        ev.type = kEventKillFocus;
        ev.sender = c;
        ev.timestamp = GetTickCount();
        ev.point = m_lastMouse;
        old->FireEvent(&ev);
        RaiseNotification(old, L"killfocus");
        m_focus = nullptr;
    }
    if (!c)
        return;
    if (c->GetCore() != this || !c->IsVisible() || !c->IsEnabled())
        return;
    m_focus = c;
    InputEvent ev;
    ev.type = kEventSetFocus;
    ev.sender = c;
    ev.timestamp = GetTickCount();
    ev.point = m_lastMouse;
    c->FireEvent(&ev);
    RaiseNotification(c, L"setfocus");
}

bool WindowCore::MoveFocusByTab(bool forward)
{
    if (!m_root)
        return false;
    if (m_relayoutNeeded) {
        MarkDirty(RECTF{0, 0, static_cast<float>(m_clientRect.right), static_cast<float>(m_clientRect.bottom)});
        return true;
    }
    if (m_focus) {
        CUiString name = forward ? m_focus->GetNextTabName() : m_focus->GetPrevTabName();
        if (!name.IsEmpty()) {
            if (Control* c = m_root->SearchTree(&MatchControlName, const_cast<wchar_t*>(name.GetData()),
                                                kSearchVisible)) {
                FocusControl(c);
                return true;
            }
        }
    }
    TabSearch s{m_focus, nullptr, forward, false};
    unsigned flags = kSearchSelfFirst | kSearchVisible | kSearchEnabled;
    Control* found = m_root->SearchTree(&FindTabStop, &s, flags);
    if (!found) {
        if (forward) {
            TabSearch first{nullptr, nullptr, true, false};
            found = m_root->SearchTree(&FindTabStop, &first, flags);
        } else {
            found = s.last;
        }
    }
    if (found)
        FocusControl(found);
    return true;
}

WORD WindowCore::KeyModifiers() const
{
    WORD m = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        m |= kModShift;
    if (GetKeyState(VK_CONTROL) < 0)
        m |= kModCtrl;
    if (GetKeyState(VK_MENU) < 0)
        m |= kModAlt;
    return m;
}

bool WindowCore::PreProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<IMessageFilterUI*> filters = m_preFilters;
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        f->FilterMessage(message, wParam, lParam, handled);
        if (handled)
            return true;
    }
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            if (m_focus && m_focus->IsVisible() && m_focus->IsEnabled() &&
                wcsstr(m_focus->GetClassName(), L"Edit") && m_focus->NeedsTab())
                return false;
            MoveFocusByTab(GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        return false;
    case WM_SYSKEYDOWN:
        if (m_focus)
            SendEvent(m_focus, kEventSysKey, KeyModifiers(), 0, 0, static_cast<WORD>(wParam));
        return false;
    case WM_SYSCHAR: {
        if (!m_root)
            return false;
        ShortcutSearch s{static_cast<wchar_t>(towupper(static_cast<wint_t>(wParam))), false};
        // Tree order (not reversed): the control after the matching label.
        Control* c = m_root->SearchTree(&MatchShortcutKey, &s, kSearchSelfFirst | kSearchEnabled);
        if (!c)
            return false;
        c->SetFocused(true);
        c->TryActivate();
        return true;
    }
    default:
        return false;
    }
}

// ------------------------------------------------------------ root, names

bool WindowCore::SetRootControl(Control* root)
{
    FocusControl(nullptr);
    m_keyControl = m_capture = m_click = nullptr;
    if (m_root) {
        m_overlays.clear();
        Control* old = m_root;
        m_root = nullptr;
        m_hover = nullptr;
        DeleteControlLater(old);
    }
    m_root = root;
    m_firstLayoutPending = true;
    m_relayoutNeeded = true;
    if (root) {
        root->AttachCore(this, root->GetParent(), true);
        root->SearchTree(&CollectControlName, this, 0);
    }
    std::vector<Control*> pending = m_pendingSetup;
    for (Control* c : pending)
        c->FinishTreeSetup();
    return root != nullptr;
}

void WindowCore::ForgetControl(Control* c)
{
    if (!c)
        return;
    if (m_keyControl == c)
        m_keyControl = nullptr;
    if (m_capture == c)
        m_capture = nullptr;
    if (m_click == c)
        m_click = nullptr;
    if (m_focus == c)
        m_focus = nullptr;
    if (m_hover == c)
        m_hover = nullptr;
    if (m_defaultFocus == c)
        m_defaultFocus = nullptr;
    if (m_root == c)
        m_root = nullptr;
    ForgetWaitingControl(c);
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        TimerRecord* t = *it;
        if (t->control == c) {
            if (!t->killed && t->window && IsWindow(t->window))
                KillTimer(t->window, t->id);
            delete t;
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
    CUiString name = c->GetName();
    if (!name.IsEmpty()) {
        auto it = m_names.find(name.GetData());
        if (it != m_names.end() && it->second == c)
            m_names.erase(it);
    }
    for (tagTNotifyUI* n : m_queuedNotifications) {
        if (n->sender == c)
            n->sender = nullptr;
    }
    if (!c->GetVGroupName().IsEmpty())
        RemoveVGroupMember(c->GetVGroupName(), c);
    if (!c->GetMutexName().IsEmpty())
        RemoveMutexGroupMember(c->GetMutexName(), c);
    // Nothing in the base keeps a member of a "group" once it is gone.
    if (!c->GetGroupName().IsEmpty())
        RemoveGroupMember(c->GetGroupName(), c);
    RemoveFirst(m_windowEventListeners, c);
    RemoveFirst(m_overlays, c);
    RemoveFirst(m_pendingSetup, c);
    if (!m_destroying)
        RemoveFirst(m_classSearch, c);
    UnregisterControl(c);
}

void WindowCore::RegisterControlName(Control* control)
{
    if (!control)
        return;
    CUiString name = control->GetName();
    if (!name.IsEmpty())
        m_names[name.GetData()] = control;
}

Control* WindowCore::FindControlByName(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    auto it = m_names.find(name);
    return it == m_names.end() ? nullptr : it->second;
}

// ----------------------------------------------------------------- groups

namespace {

using GroupTable = std::unordered_map<std::wstring, std::vector<Control*>, WideKeyHash>;

bool AddMember(GroupTable& table, const wchar_t* name, Control* c)
{
    if (!name || !c)
        return false;
    auto it = table.find(name);
    if (it == table.end()) {
        std::vector<Control*> list;
        list.reserve(6);
        list.push_back(c);
        table.emplace(name, std::move(list));
        return true;
    }
    return AddUnique(it->second, c);
}

void RemoveMember(GroupTable& table, const wchar_t* name, Control* c)
{
    if (!name)
        return;
    auto it = table.find(name);
    if (it == table.end())
        return;
    RemoveFirst(it->second, c);
    if (it->second.empty())
        table.erase(it);
}

const std::vector<Control*>* FindGroup(const GroupTable& table, const wchar_t* name)
{
    if (!name)
        return nullptr;
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

} // namespace

bool WindowCore::AddGroupMember(const wchar_t* name, Control* c) { return AddMember(m_groups, name, c); }
void WindowCore::RemoveGroupMember(const wchar_t* name, Control* c) { RemoveMember(m_groups, name, c); }
bool WindowCore::AddVGroupMember(const wchar_t* name, Control* c) { return AddMember(m_vgroups, name, c); }
void WindowCore::RemoveVGroupMember(const wchar_t* name, Control* c) { RemoveMember(m_vgroups, name, c); }
bool WindowCore::AddMutexGroupMember(const wchar_t* name, Control* c) { return AddMember(m_mutexGroups, name, c); }
void WindowCore::RemoveMutexGroupMember(const wchar_t* name, Control* c) { RemoveMember(m_mutexGroups, name, c); }
const std::vector<Control*>* WindowCore::GetGroup(const wchar_t* name) const { return FindGroup(m_groups, name); }
const std::vector<Control*>* WindowCore::GetVGroup(const wchar_t* name) const { return FindGroup(m_vgroups, name); }
const std::vector<Control*>* WindowCore::GetMutexGroup(const wchar_t* name) const
{
    return FindGroup(m_mutexGroups, name);
}
void WindowCore::ClearGroups() { m_groups.clear(); }
void WindowCore::ClearVGroups() { m_vgroups.clear(); }
void WindowCore::ClearMutexGroups() { m_mutexGroups.clear(); }

bool WindowCore::IsInSubtree(Control* container, Control* c)
{
    if (!container || !c)
        return false;
    if (wcscmp(c->GetClassName(), L"ScrollBar") == 0)
        return c->GetParent() == container;
    IBox* box = static_cast<IBox*>(container->CastTo(L"IBox"));
    if (!box)
        return false;
    for (int i = 0; i < box->ChildCount(); ++i) {
        Control* child = box->ChildAt(i);
        if (child == c || IsInSubtree(child, c))
            return true;
    }
    return false;
}

// ------------------------------------------------------------- predicates

Control* WindowCore::CollectControlName(Control* control, void* data)
{
    static_cast<WindowCore*>(data)->RegisterControlName(control);
    return nullptr;
}

Control* WindowCore::HitTestControl(Control* control, void* data)
{
    // Transformed controls map the point first once transforms exist.
    const POINT* pt = static_cast<const POINT*>(data);
    RECTF r = control->GetBounds();
    if (r.left <= pt->x && pt->x <= r.right && r.top <= pt->y && pt->y <= r.bottom)
        return control;
    return nullptr;
}

Control* WindowCore::FindTabStop(Control* control, void* data)
{
    TabSearch* s = static_cast<TabSearch*>(data);
    if (s->current && control == s->current) {
        if (s->forward) {
            s->seen = true;
            return nullptr;
        }
        return s->last;
    }
    if (control->GetTraitFlags() & 1) {
        s->last = control;
        if (s->seen || !s->current)
            return control;
    }
    return nullptr;
}

Control* WindowCore::MatchShortcutKey(Control* control, void* data)
{
    ShortcutSearch* s = static_cast<ShortcutSearch*>(data);
    if (!control->IsVisible())
        return nullptr;
    wchar_t sc = static_cast<wchar_t>(towupper(static_cast<wint_t>(control->GetShortcut())));
    if (sc && sc == s->key)
        s->seen = true;
    if (s->seen && !wcsstr(control->GetClassName(), L"Control"))
        return control;
    return nullptr;
}

Control* WindowCore::MatchNeedsRelayout(Control* control, void*)
{
    return control->IsLayoutPending() ? control : nullptr;
}

Control* WindowCore::MatchControlName(Control* control, void* data)
{
    const wchar_t* name = static_cast<const wchar_t*>(data);
    CUiString n = control->GetName();
    if (!n.IsEmpty() && name && n.EqualsNoCase(name))
        return control;
    return nullptr;
}

Control* WindowCore::MatchClassName(Control* control, void* data)
{
    const wchar_t* name = static_cast<const wchar_t*>(data);
    WindowCore* core = control->GetCore();
    if (core && name && (wcscmp(name, L"*") == 0 || wcscmp(control->GetClassName(), name) == 0))
        core->m_classSearch.push_back(control);
    return nullptr;
}

} // namespace ui
