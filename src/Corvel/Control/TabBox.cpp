#include "Corvel/Control/TabBox.h"

#include <algorithm>
#include <cwchar>
#include <cstdlib>

#include "Corvel/Control/BoxLayout.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

TabBox::~TabBox()
{
    // No tick may post for a box that is going.
    StopTimer();
}

const wchar_t* TabBox::GetClassName() const { return L"TabBox"; }

void* TabBox::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"TabBox") == 0)
        return this;
    return Box::CastTo(typeName);
}

void TabBox::AttachCore(WindowCore* core, Control* parent, bool initialise)
{
    Box::AttachCore(core, parent, initialise);
    m_tickCore.store(core);
}

// ------------------------------------------------------------------ pages

bool TabBox::SelectPage(int index)
{
    if (index < 0 || index >= ChildCount())
        return false;
    if (index == m_current)
        return true;
    m_previous = m_current;
    m_current = index;
    for (int i = 0; i < ChildCount(); ++i)
        m_children[static_cast<size_t>(i)]->SetVisible(i == index);
    Control* page = ChildAt(index);
    if (page && !page->IsFloat())
        PlacePage(page);
    if (m_core)
        m_core->RaiseNotification(this, L"tabselect", static_cast<WPARAM>(m_current),
                                  static_cast<LPARAM>(m_previous));
    InvokeNamedCallback(L"tabselect");
    return true;
}

bool TabBox::SelectPageByControl(Control* child)
{
    const int index = IndexOfChild(child);
    return index >= 0 && SelectPage(index);
}

void TabBox::PlacePage(Control* page)
{
    const RECTF r = boxlayout::Deflate(boxlayout::Deflate(m_bounds, GetContentInset()), page->GetPadding());
    const ControlSize s = page->MeasureSize(r.Width(), r.Height());
    // No size of its own on an axis: the page fills it.
    float width = s.width < 0 ? std::max(0.0f, r.Width()) : s.width;
    float height = s.height < 0 ? std::max(0.0f, r.Height()) : s.height;
    width = boxlayout::ClampSize(width, page->GetMinWidth(), page->GetMaxWidth());
    height = boxlayout::ClampSize(height, page->GetMinHeight(), page->GetMaxHeight());
    page->SetBounds(r.left, r.top, r.left + width, r.top + height);
}

void TabBox::SetBounds(float left, float top, float right, float bottom)
{
    const int dpi = m_core ? m_core->GetDpi() : 0;
    // An autoswitching box asked again for the same place keeps its layout.
    if (RECTF(left, top, right, bottom) == m_bounds && dpi == m_layoutDpi && m_timer) {
        m_layoutPending = false;
        return;
    }
    m_layoutDpi = dpi;
    Control::SetBounds(left, top, right, bottom);
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            child->ClearPlaced();
        else if (child->IsFloat())
            PlaceFloatChild(i);
        else if (i == m_current)
            PlacePage(child);
        else
            child->ClearPlaced();
    }
}

// ------------------------------------------------------------- child list

bool TabBox::AppendChild(Control* child)
{
    // A control the box holds already moves to the end.
    const int end = IndexOfChild(child) >= 0 ? ChildCount() - 1 : ChildCount();
    return InsertChildAt(child, end);
}

bool TabBox::InsertChildAt(Control* child, int index)
{
    const int before = IndexOfChild(child);
    if (!Box::InsertChildAt(child, index))
        return false;
    const int at = IndexOfChild(child);
    if (m_current < 0 && child->IsVisible()) {
        // Before the first layout the page is only recorded: nobody has seen
        // the box yet.
        if (m_layoutDpi >= 0)
            SelectPage(at);
        else
            m_current = at;
        return true;
    }
    if (before >= 0) {
        // A page moved within the box: the current one stays current.
        if (before == m_current)
            m_current = at;
        else if (before < m_current && at >= m_current)
            --m_current;
        else if (before > m_current && at <= m_current)
            ++m_current;
        if (at != m_current)
            child->SetVisible(false);
        return true;
    }
    child->SetVisible(false);
    if (at <= m_current)
        ++m_current;
    return true;
}

bool TabBox::RemoveChild(Control* child)
{
    const int index = IndexOfChild(child);
    if (!Box::RemoveChild(child))
        return false;
    if (index == m_current) {
        // Page 0 takes over without a notification.
        if (ChildCount() > 0) {
            m_current = 0;
            ChildAt(0)->SetVisible(true);
        } else {
            m_current = -1;
        }
        RequestParentRelayout();
    } else if (index < m_current) {
        --m_current;
    }
    return true;
}

void TabBox::RemoveAllChildren(bool relayout)
{
    m_current = -1;
    m_previous = -1;
    Box::RemoveAllChildren(false);
    if (relayout)
        RequestParentRelayout();
}

// ------------------------------------------------------------- autoswitch

void TabBox::StopTimer()
{
    // Joins the timer's thread: no tick runs once this returns.
    m_timer.reset();
}

void TabBox::SetAutoSwitch(int milliseconds)
{
    if (milliseconds == 0 && !m_timer)
        return;
    m_autoSwitchMs = milliseconds;
    StopTimer();
    if (milliseconds <= 0)
        return;
    // The tick runs on the timer's thread and touches no control: it posts
    // the step, guarded by the box, to the UI thread.
    m_timer.reset(ThreadTimer::Create(
        [this](int) {
            if (WindowCore* core = m_tickCore.load())
                core->PostUiTask(this, [this] { ShowNextPage(); });
            return true;
        },
        milliseconds));
}

void TabBox::ShowNextPage()
{
    const int next = m_current + 1;
    SelectPage(next >= ChildCount() ? 0 : next);
}

void TabBox::SetVisible(bool show)
{
    if (show) {
        SetAutoSwitch(m_autoSwitchMs);
    } else {
        StopTimer();
        m_autoSwitchMs = 0;
    }
    Box::SetVisible(show);
}

void TabBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (wcscmp(name, L"selectedid") == 0)
        SelectPage(static_cast<int>(wcstol(v, nullptr, 10)));
    else if (wcscmp(name, L"autoswitch") == 0)
        SetAutoSwitch(static_cast<int>(wcstol(v, nullptr, 10)));
    Box::SetAttribute(name, value);
}

} // namespace ui
