#include "Corvel/Control/OmniBox.h"

#include <cwchar>

#include "Corvel/Control/OmniBoxWnd.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

OmniBox::OmniBox() = default;

OmniBox::~OmniBox()
{
    if (m_dropDown) {
        if (m_core)
            m_core->RemoveWindowEventListener(this);
        m_dropDown->Detach();
    }
    // The list goes while the core it is attached to still exists.
    m_list.reset();
    m_dropDown.reset();
}

const wchar_t* OmniBox::GetClassName() const { return L"OmniBox"; }

void* OmniBox::CastTo(const wchar_t* typeName)
{
    if (typeName && std::wcscmp(typeName, L"OmniBox") == 0)
        return this;
    return Box::CastTo(typeName);
}

void OmniBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name && std::wcscmp(name, L"itemstyles") == 0) {
        m_itemStyle = value ? value : L"";
        return;
    }
    Edit::SetAttribute(name, value);
}

// ------------------------------------------------------------ suggestions

void OmniBox::PrepareSuggestion(Control* item, bool inserted)
{
    item->SetSelectable(true);
    if (inserted) {
        item->SetSelectHandler([this, item] {
            if (!item->IsSelected())
                return;
            SelectItem(item);
            HideDropDown();
        });
        return;
    }
    item->SetSelectHandler([this, item] {
        if (item->IsSelected())
            SelectItem(item);
    });
    item->SetClickHandler([this] { HideDropDown(); });
}

void OmniBox::AdoptList(Box* list)
{
    if (Control* previous = list->GetParent()) {
        if (Box* box = static_cast<Box*>(previous->CastTo(L"Box")))
            box->DetachChild(list);
    }
    m_list.reset(list);
    list->AttachCore(m_core, this, false);
    int initial = -1;
    for (int i = 0; i < list->ChildCount(); ++i) {
        Control* item = list->ChildAt(i);
        PrepareSuggestion(item, false);
        if (item->IsSelected())
            initial = i;
    }
    SelectIndex(initial);
}

bool OmniBox::AppendChild(Control* child)
{
    if (!child)
        return false;
    if (!m_list && child->CastTo(L"VBox") && child->CastTo(L"Box")) {
        AdoptList(static_cast<Box*>(child->CastTo(L"Box")));
        return true;
    }
    if (!m_list)
        return false;
    PrepareSuggestion(child, false);
    if (!m_list->AppendChild(child))
        return false;
    if (!m_itemStyle.empty())
        child->SetStyle(m_itemStyle.c_str());
    return true;
}

bool OmniBox::InsertChildAt(Control* child, int index)
{
    if (!m_list || !child)
        return false;
    PrepareSuggestion(child, true);
    if (!m_list->InsertChildAt(child, index))
        return false;
    if (!m_itemStyle.empty())
        child->SetStyle(m_itemStyle.c_str());
    if (m_current >= index)
        ++m_current;
    return true;
}

bool OmniBox::RemoveChild(Control* child)
{
    const int index = m_list ? m_list->IndexOfChild(child) : -1;
    if (index < 0 || !m_list->RemoveChild(child))
        return false;
    if (index == m_current) {
        m_current = -1;
        // The next suggestion that can take the focus, from where the
        // removed one stood.
        const int next = m_list->FindNextFocusable(index, true);
        if (next >= 0)
            SelectIndex(next);
    } else if (index < m_current) {
        --m_current;
    }
    return true;
}

bool OmniBox::RemoveChildAt(int index)
{
    if (!m_list || index < 0 || index >= m_list->ChildCount())
        return false;
    return RemoveChild(m_list->ChildAt(index));
}

void OmniBox::RemoveAllChildren(bool relayout)
{
    m_current = -1;
    if (m_list)
        m_list->RemoveAllChildren(relayout);
}

bool OmniBox::SelectIndex(int index)
{
    if (!m_list)
        return false;
    if (index == m_current)
        return true;
    m_current = index;
    for (int i = 0; i < m_list->ChildCount(); ++i)
        m_list->ChildAt(i)->SetSelected(i == index);
    if (m_dropDown)
        m_dropDown->EnsureItemVisible(m_current);
    return true;
}

bool OmniBox::SelectItem(Control* item)
{
    if (!m_list)
        return false;
    for (int i = 0; i < m_list->ChildCount(); ++i) {
        Control* c = m_list->ChildAt(i);
        if (c != item) {
            c->SetSelected(false);
            continue;
        }
        if (i == m_current)
            break;
        m_current = i;
        c->SetSelected(true);
    }
    Repaint();
    if (m_dropDown)
        m_dropDown->EnsureItemVisible(m_current);
    return true;
}

// ------------------------------------------------------------ drop-down

bool OmniBox::TryActivate()
{
    if (m_reopenGuard) {
        m_reopenGuard = false;
        m_state = (m_state | kStateHot) & ~kStatePushed;
        Repaint();
        return true;
    }
    if (!Control::TryActivate())
        return false;
    if (!m_dropDown) {
        m_dropDown = std::make_unique<OmniBoxWnd>();
        // The window's moves and sizes reach the omnibox, which places the
        // drop-down again.
        if (m_core)
            m_core->AddWindowEventListener(this);
    }
    if (!m_dropDown->IsOpen())
        m_dropDown->ShowDropDown(this);
    return true;
}

bool OmniBox::IsDropDownOpen() const { return m_dropDown && m_dropDown->IsOpen(); }

void OmniBox::HideDropDown()
{
    if (m_dropDown)
        m_dropDown->HideDropDown();
}

void OmniBox::OnDropDownClosed(bool open)
{
    if (open)
        return;
    SetSelected(false);
    if (!m_core || !m_core->GetWindow())
        return;
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(m_core->GetWindow(), &pt);
    if (rectmath::Contains(m_bounds, static_cast<float>(pt.x), static_cast<float>(pt.y))) {
        // The press that closed the drop-down lands on the omnibox: the
        // activation it brings must not open it again.
        m_state |= kStateHot;
        m_reopenGuard = true;
    }
}

bool OmniBox::HandleEvent(InputEvent* event)
{
    switch (event->type) {
    case kEventKillFocus: HideDropDown(); break;
    case kEventWindowMove:
    case kEventWindowSize:
        if (m_dropDown)
            m_dropDown->UpdatePlacement();
        break;
    default: break;
    }
    return Edit::HandleEvent(event);
}

} // namespace ui
