// Control base: construction, links, texts, simple members and destruction.
// Geometry, state and events are in ControlGeometry.cpp.
#include "Corvel/Core/Control.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/Layer.h"

#include <cwchar>

namespace ui {

Control::Control()
{
    m_namedCallbacks.max_load_factor(1.0f);
    m_eventHandlers.max_load_factor(1.0f);
    m_namedObjects.max_load_factor(1.0f);
    m_stateNames.max_load_factor(1.0f);
    m_extraAttributes.max_load_factor(1.0f);
    m_stateNames[L"disabled"] = kStateDisabled;
    m_stateNames[L"busy"] = kStateBusy;
    m_stateNames[L"normal"] = kStateNormal;
    m_stateNames[L"selected"] = kStateSelected;
    m_stateNames[L"focused"] = kStateFocused;
    m_stateNames[L"hot"] = kStateHot;
    m_stateNames[L"hover"] = kStateHover;
    m_stateNames[L"pushed"] = kStatePushed;
}

Control::~Control()
{
    if (m_destroyHook)
        m_destroyHook();
    if (m_parent) {
        // A child deleted directly, not through its box, must not stay in
        // the box's lists.
        if (Box* box = static_cast<Box*>(m_parent->CastTo(L"Box")))
            box->ChildDestroyed(this);
    }
    if (m_core)
        m_core->ForgetControl(this);
}

CUiString Control::GetName() const { return m_name; }
void Control::SetName(const wchar_t* name) { m_name = name; }
const wchar_t* Control::GetClassName() const { return L"Control"; }

void* Control::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"Control") == 0)
        return this;
    return nullptr;
}

int Control::GetTraitFlags() const { return 0; }

WindowCore* Control::GetCore() const { return m_core; }

void Control::AttachCore(WindowCore* core, Control* parent, bool initialise)
{
    // Registration with the core is what lets UI tasks guarded by this
    // control run; a control moving to another core leaves the old one.
    if (m_core != core) {
        if (m_core)
            m_core->ForgetControl(this);
        if (core)
            core->RegisterControl(this);
    }
    bool joined = m_core != core;
    m_parent = parent;
    m_core = core;
    if (joined && core) {
        if (!m_groupName.IsEmpty())
            core->AddGroupMember(m_groupName, this);
        if (!m_vgroupName.IsEmpty())
            core->AddVGroupMember(m_vgroupName, this);
        if (!m_mutexName.IsEmpty())
            core->AddMutexGroupMember(m_mutexName, this);
    }
    if (initialise && core && !m_initialised)
        Initialize();
}

Control* Control::GetParent() const { return m_parent; }

Control* Control::FindAncestorByName(const wchar_t* name) const
{
    for (Control* p = m_parent; p; p = p->GetParent()) {
        if (p->GetName().Equals(name))
            return p;
    }
    return nullptr;
}

Control* Control::FindAncestorByType(const wchar_t* typeName) const
{
    for (Control* p = m_parent; p; p = p->GetParent()) {
        if (p->CastTo(typeName))
            return p;
    }
    return nullptr;
}

void Control::SetToolTipWidth(int width) { m_toolTipWidth = width; }
int Control::GetToolTipWidth() const { return ScaleTrunc(static_cast<float>(m_toolTipWidth), GetScale()); }
wchar_t Control::GetShortcut() const { return m_shortcut; }
void Control::SetShortcut(wchar_t ch) { m_shortcut = ch; }

void Control::SetFontId(int id)
{
    m_fontId = id;
    Repaint();
}

bool Control::IsContextMenuEnabled() const { return m_contextMenu; }
void Control::SetContextMenuEnabled(bool on) { m_contextMenu = on; }
CUiString Control::GetUserData() const { return m_userData; }
void Control::SetUserData(const wchar_t* text) { m_userData = text; }

void* Control::GetNamedObject(const std::string& name)
{
    // A missing name is entered with null, as callers expect a slot after a read.
    return m_namedObjects[name];
}

int Control::GetTag() const { return m_tag; }
void Control::SetNamedObject(const std::string& name, void* object) { m_namedObjects[name] = object; }
void Control::SetTag(int tag) { m_tag = tag; }
void Control::SetMiscValue(int value) { m_miscValue = value; }
int Control::GetMiscValue() const { return m_miscValue; }
int Control::GetTextDrawOption() const { return m_textDrawOption; }
void Control::SetTextDrawOption(int value) { m_textDrawOption = value; }
CUiString Control::GetStyleName() const { return m_styleName; }

bool Control::GetHandCursor() const { return m_handCursor; }

void Control::SetHandCursor(bool on)
{
    m_handCursor = on;
    m_needCursor = on;
}

void Control::Initialize()
{
    CompleteInit();
    if (m_initHook)
        m_initHook();
}

CUiString Control::GetExtraAttribute(const wchar_t* name) const
{
    if (!name)
        return CUiString();
    auto it = m_extraAttributes.find(name);
    return it == m_extraAttributes.end() ? CUiString() : CUiString(it->second);
}

void Control::InvokeNamedCallback(const wchar_t* name)
{
    if (!name)
        return;
    auto it = m_namedCallbacks.find(name);
    if (it != m_namedCallbacks.end() && it->second)
        it->second();
}

void Control::BindNamedCallback(const wchar_t* name, Callback cb)
{
    if (!name)
        return;
    if (wcscmp(name, L"click") == 0)
        m_clickHandler = std::move(cb);
    else if (wcscmp(name, L"select") == 0)
        m_selectHandler = std::move(cb);
    else
        m_namedCallbacks[name] = std::move(cb);
}

void Control::SetEventHandler(int type, EventHandler handler)
{
    if (handler)
        m_eventHandlers[type] = std::move(handler);
    else
        m_eventHandlers.erase(type);
}

float Control::GetScale() const { return m_core ? m_core->GetScale() : 1.0f; }

namespace {

using MemberChange = void (*)(WindowCore*, const wchar_t*, Control*);

// Moves the control from the core's list under the old name to the list
// under the new one; the same name changes nothing.
void ChangeGroupName(Control* control, WindowCore* core, CUiString& stored, const wchar_t* name,
                     MemberChange remove, MemberChange add)
{
    if (stored.Equals(name ? name : L""))
        return;
    if (core && !stored.IsEmpty())
        remove(core, stored.GetData(), control);
    stored = name;
    if (core && !stored.IsEmpty())
        add(core, stored.GetData(), control);
}

} // namespace

void Control::SetGroupName(const wchar_t* name)
{
    ChangeGroupName(
        this, m_core, m_groupName, name,
        [](WindowCore* c, const wchar_t* n, Control* m) { c->RemoveGroupMember(n, m); },
        [](WindowCore* c, const wchar_t* n, Control* m) { c->AddGroupMember(n, m); });
}

void Control::SetVGroupName(const wchar_t* name)
{
    ChangeGroupName(
        this, m_core, m_vgroupName, name,
        [](WindowCore* c, const wchar_t* n, Control* m) { c->RemoveVGroupMember(n, m); },
        [](WindowCore* c, const wchar_t* n, Control* m) { c->AddVGroupMember(n, m); });
}

void Control::SetMutexName(const wchar_t* name)
{
    ChangeGroupName(
        this, m_core, m_mutexName, name,
        [](WindowCore* c, const wchar_t* n, Control* m) { c->RemoveMutexGroupMember(n, m); },
        [](WindowCore* c, const wchar_t* n, Control* m) { c->AddMutexGroupMember(n, m); });
}

void Control::SetTabOrderNames(const wchar_t* next, const wchar_t* prev)
{
    m_nextTab = next;
    m_prevTab = prev;
}

void Control::SetBkColor(uint32_t argb)
{
    if (m_bkColor == argb)
        return;
    m_bkColor = argb;
    Repaint();
}

void Control::SetDisabledBkColor(uint32_t argb)
{
    m_disabledBkColor = argb;
    Repaint();
}

void Control::SetBoxShadow(float size, float offsetX, float offsetY)
{
    m_boxShadow.size = size;
    m_boxShadow.offsetX = offsetX;
    m_boxShadow.offsetY = offsetY;
}

void Control::PlayOrRepaint(const wchar_t* stateName)
{
    if (!PlayAnimation(stateName))
        Repaint();
}

void Control::FinishTreeSetup() {}
void Control::PaintOverlay(const RECTF&) {}

} // namespace ui
