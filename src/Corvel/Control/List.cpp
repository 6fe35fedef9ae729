#include "Corvel/Control/List.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Control/BoxLayout.h"
#include "Corvel/Control/ListBody.h"
#include "Corvel/Control/ListHeader.h"
#include "Corvel/Control/ListItem.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

bool IsTrue(const wchar_t* v) { return v && wcscmp(v, L"true") == 0; }

// "vscroll"/"hscroll" (and the "...bar" spellings) switched on, and the
// bar styles; a bar named elsewhere is bound through BindScrollBars.
bool IsBodyScrollAttribute(const wchar_t* name, const wchar_t* v)
{
    for (const wchar_t* style : {L"vscrollbarstyle", L"hscrollbarstyle"}) {
        if (wcscmp(name, style) == 0)
            return true;
    }
    for (const wchar_t* flag : {L"vscroll", L"hscroll", L"vscrollbar", L"hscrollbar"}) {
        if (wcscmp(name, flag) == 0)
            return IsTrue(v) || wcscmp(v, L"false") == 0;
    }
    return false;
}

ListItem* AsRow(Control* c) { return c ? static_cast<ListItem*>(c->CastTo(L"ListItem")) : nullptr; }

bool IsHeaderItem(Control* c)
{
    const wchar_t* name = c ? c->GetClassName() : nullptr;
    return name && wcsstr(name, L"ListHeaderItem") != nullptr;
}

// Alpha of the band outline when only the fill colour is given.
constexpr uint32_t kBandBorderAlpha = 0xEF000000u;

} // namespace

List::List()
{
    m_body = new ListBody(this);
    Box::AppendChild(m_body);
}

List::~List() = default;

const wchar_t* List::GetClassName() const { return L"List"; }

void* List::CastTo(const wchar_t* typeName)
{
    RefreshColumnCount();
    if (wcscmp(typeName, L"List") == 0)
        return this;
    if (wcscmp(typeName, L"IList") == 0)
        return static_cast<IList*>(this);
    if (wcscmp(typeName, L"IListOwner") == 0)
        return static_cast<IListOwner*>(this);
    return VBox::CastTo(typeName);
}

void List::RefreshColumnCount()
{
    m_itemStyle.columnCount = m_header ? std::min(m_header->ChildCount(), kMaxListColumns) : 1;
}

Control* List::RowAt(int index) const
{
    if (index < 0 || !m_body)
        return nullptr;
    Control* c = m_body->ChildAt(index);
    return AsRow(c) ? c : nullptr;
}

// ------------------------------------------------------------ selection

int List::GetFirstSelected() const { return m_selected.empty() ? -1 : m_selected.front(); }

bool List::SelectRow(int index, bool takeFocus)
{
    Control* row = RowAt(index);
    if (!row)
        return false;
    DeselectAllRows();
    row->SetSelected(true);
    m_selected.push_back(index);
    EnsureRowVisible(index);
    if (takeFocus && m_core)
        m_core->FocusControl(row);
    if (m_core)
        m_core->RaiseNotification(this, L"itemselect", static_cast<WPARAM>(index), 0);
    return true;
}

bool List::DeselectRow(int index)
{
    Control* row = RowAt(index);
    if (!row || !row->IsVisible() || !row->IsEnabled() || !row->IsSelected())
        return false;
    row->SetSelected(false);
    m_selected.erase(std::remove(m_selected.begin(), m_selected.end(), index), m_selected.end());
    return true;
}

bool List::AddRowToSelection(int index, bool takeFocus)
{
    if (m_singleSelect)
        return SelectRow(index, takeFocus);
    Control* row = RowAt(index);
    if (!row || !row->IsVisible() || !row->IsEnabled())
        return false;
    if (std::find(m_selected.begin(), m_selected.end(), index) != m_selected.end())
        return false;
    row->SetSelected(true);
    m_selected.push_back(index);
    EnsureRowVisible(index);
    if (takeFocus && m_core)
        m_core->FocusControl(row);
    if (m_core)
        m_core->RaiseNotification(this, L"itemselect", static_cast<WPARAM>(index), 0);
    return true;
}

void List::SetSingleSelect(bool single)
{
    m_singleSelect = single;
    DeselectAllRows();
}

void List::SelectAllRows()
{
    DeselectAllRows();
    const int count = m_body->ChildCount();
    for (int i = 0; i < count; ++i) {
        Control* row = RowAt(i);
        if (!row || !row->IsVisible() || !row->IsEnabled())
            continue;
        row->SetSelected(true);
        m_selected.push_back(i);
    }
}

void List::DeselectAllRows()
{
    // The array is emptied first: a row's handlers may look at it.
    std::vector<int> previous;
    previous.swap(m_selected);
    for (int index : previous) {
        Control* row = RowAt(index);
        if (row && row->IsVisible() && row->IsEnabled())
            row->SetSelected(false);
    }
}

int List::GetNextSelected(int after) const
{
    if (after < 0)
        return GetFirstSelected();
    auto it = std::find(m_selected.begin(), m_selected.end(), after);
    if (it == m_selected.end() || it + 1 == m_selected.end())
        return -1;
    return *(it + 1);
}

bool List::SetHotRow(int index, bool hot)
{
    if (m_hotRow >= 0 && !m_itemStyle.multiExpanding)
        m_hotRow = -1;
    if (hot) {
        Control* row = m_body->ChildAt(index);
        if (row && row->IsVisible())
            m_hotRow = -1;
        return false;
    }
    RequestRelayout();
    return true;
}

bool List::ForwardEvent(InputEvent* event) { return HandleEvent(event); }

void List::EnsureRowVisible(int index)
{
    if (!IsInitialised())
        return;
    Control* row = m_body->ChildAt(index);
    if (!row)
        return;
    const RECTF body = m_body->GetBounds();
    const RECTF inset = m_body->GetContentInset();
    float bandTop = body.top + inset.top;
    float bandBottom = body.bottom - inset.bottom;
    if (ScrollBar* bar = m_body->GetHScrollBar(); bar && bar->IsVisible())
        bandBottom -= bar->GetFixedHeight();
    const RECTF r = row->GetBounds();
    if (r.top >= bandTop && r.bottom < bandBottom)
        return;
    float shift = 0;
    if (r.top < bandTop)
        shift = r.top - bandTop;
    if (r.bottom > bandBottom)
        shift = r.bottom - bandBottom;
    const int whole = static_cast<int>(shift);
    if (whole == 0)
        return;
    const ScrollOffset now = m_body->GetScrollOffset();
    m_body->SetScrollOffset(now.horizontal, now.vertical + static_cast<float>(whole));
}

// ------------------------------------------------------------ child list

void List::AdoptRow(Control* row, int index)
{
    ListItem* item = AsRow(row);
    if (!item)
        return;
    item->SetIndex(index);
    item->SetOwner(static_cast<IList*>(this));
    if (!m_rowStyleNames.IsEmpty()) {
        if (m_core && row->GetCore() != m_core)
            row->AttachCore(m_core, m_body, false);
        row->SetStyle(m_rowStyleNames.GetData());
    }
}

void List::RenumberRows(int first)
{
    const int count = m_body->ChildCount();
    for (int i = std::max(first, 0); i < count; ++i) {
        if (ListItem* row = AsRow(m_body->ChildAt(i)))
            row->SetIndex(i);
    }
}

bool List::SetHeader(ListHeader* header)
{
    if (header == m_header)
        return true;
    if (m_header) {
        // The list shows one header: the one it had leaves its box.
        ListHeader* old = m_header;
        m_header = nullptr;
        old->SetOwnerList(nullptr);
        Box::RemoveChild(old);
    }
    // Always first among the list's own children.
    if (!Box::InsertChildAt(header, 0)) {
        RefreshColumnCount();
        return false;
    }
    m_header = header;
    header->SetOwnerList(this);
    RefreshColumnCount();
    return true;
}

bool List::AppendChild(Control* child)
{
    if (!child || child == this)
        return false;
    if (auto* header = static_cast<ListHeader*>(child->CastTo(L"ListHeader")))
        return SetHeader(header);
    if (IsHeaderItem(child)) {
        if (!m_header || !m_header->AppendChild(child))
            return false;
        RefreshColumnCount();
        return true;
    }
    const int index = m_body->ChildCount();
    if (!m_body->AppendChild(child))
        return false;
    AdoptRow(child, m_body->IndexOfChild(child) >= 0 ? m_body->IndexOfChild(child) : index);
    return true;
}

bool List::InsertChildAt(Control* child, int index)
{
    if (!child || child == this)
        return false;
    if (auto* header = static_cast<ListHeader*>(child->CastTo(L"ListHeader"))) {
        if (m_header && m_header != header && m_header->ChildCount() > 0)
            return false;
        return SetHeader(header);
    }
    if (IsHeaderItem(child)) {
        if (!m_header || !m_header->InsertChildAt(child, index))
            return false;
        RefreshColumnCount();
        return true;
    }
    if (!m_body->InsertChildAt(child, index))
        return false;
    OnRowInserted(child, m_body->IndexOfChild(child));
    return true;
}

void List::OnRowInserted(Control* child, int at)
{
    if (AsRow(child)) {
        for (int& selected : m_selected) {
            if (selected >= at)
                ++selected;
        }
    }
    RenumberRows(at);
    AdoptRow(child, at);
}

bool List::RemoveChild(Control* child)
{
    if (!child)
        return false;
    if (child == m_header) {
        m_header = nullptr;
        static_cast<ListHeader*>(child)->SetOwnerList(nullptr);
        RefreshColumnCount();
        return Box::RemoveChild(child);
    }
    if (m_header && child->GetParent() == m_header) {
        const bool ok = m_header->RemoveChild(child);
        RefreshColumnCount();
        return ok;
    }
    const int index = m_body->IndexOfChild(child);
    if (index < 0)
        return false;
    return RemoveChildAt(index);
}

bool List::RemoveChildAt(int index)
{
    if (!m_body->ChildAt(index))
        return false;
    if (ListItem* row = AsRow(m_body->ChildAt(index)))
        row->SetOwner(nullptr);
    if (!m_body->RemoveChildAt(index))
        return false;
    RenumberRows(index);
    std::vector<int> kept;
    kept.reserve(m_selected.size());
    for (int selected : m_selected) {
        if (selected < index)
            kept.push_back(selected);
        else if (selected > index)
            kept.push_back(selected - 1);
    }
    m_selected.swap(kept);
    return true;
}

bool List::MoveChild(Control* child, int index)
{
    if (!child)
        return false;
    if (child == m_header) {
        RequestRelayout();
        // Within the list's own two children (ChildCount counts rows).
        if (index < 0 || index >= static_cast<int>(m_children.size()))
            return false;
        m_children.erase(std::find(m_children.begin(), m_children.end(), child));
        m_children.insert(m_children.begin() + index, child);
        return true;
    }
    if (m_header && child->GetParent() == m_header)
        return m_header->MoveChild(child, index);
    const int from = m_body->IndexOfChild(child);
    if (from < 0)
        return false;
    if (from == index)
        return true;
    if (!m_body->MoveChild(child, index))
        return false;
    const int last = std::max(from, index);
    for (int i = std::min(from, index); i <= last; ++i) {
        if (ListItem* row = AsRow(m_body->ChildAt(i)))
            row->SetIndex(i);
    }
    DeselectAllRows();
    return true;
}

void List::RemoveAllChildren(bool relayout)
{
    m_hotRow = -1;
    m_selected.clear();
    m_body->RemoveAllChildren(relayout);
}

Control* List::ChildAt(int index) const { return m_body->ChildAt(index); }

int List::IndexOfChild(Control* child) const
{
    if (child && child == m_header)
        return Box::IndexOfChild(child);
    if (m_header && child && child->GetParent() == m_header)
        return m_header->IndexOfChild(child);
    return m_body->IndexOfChild(child);
}

int List::ChildCount() const { return m_body->ChildCount(); }

bool List::GetOwnsChildren() const { return m_body->GetOwnsChildren(); }
void List::SetOwnsChildren(bool on) { m_body->SetOwnsChildren(on); }

// ------------------------------------------------------------ layout

void List::SetBounds(float left, float top, float right, float bottom)
{
    // A hidden header still gives the columns their widths: its items are
    // laid out over the list's width, at no height, before the rows.
    if (m_header && !m_header->IsVisible()) {
        SetHeaderItemsShown(true);
        m_header->SetBounds(left, top, right, top);
        SetHeaderItemsShown(false);
    }
    PlaceHeaderAndBody(left, top, right, bottom);
    if (!m_header) {
        const float shift = m_body->GetScrollOffset().horizontal;
        m_itemStyle.columnCount = 1;
        const float by = shift >= 1.0f ? shift : 0.0f;
        m_itemStyle.columns[0] = RECT{static_cast<LONG>(m_bounds.left - by), 0,
                                      static_cast<LONG>(m_bounds.right - by), 0};
        return;
    }
    CopyColumnRects();
}

void List::ShiftHeaderItems(float dx)
{
    if (!m_header || dx == 0)
        return;
    const bool hidden = !m_header->IsVisible();
    if (hidden)
        SetHeaderItemsShown(true);
    const int count = std::min(m_header->ChildCount(), kMaxListColumns);
    for (int i = 0; i < count; ++i) {
        Control* item = m_header->ChildAt(i);
        if (!item->IsVisible() || item->IsFloat())
            continue;
        const RECTF r = item->GetBounds();
        item->SetBounds(r.left - dx, r.top, r.right - dx, r.bottom);
    }
    if (hidden)
        SetHeaderItemsShown(false);
}

void List::PlaceHeaderAndBody(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const RECTF inner = boxlayout::Deflate(m_bounds, GetContentInset());
    float y = inner.top;
    if (m_header && m_header->IsVisible()) {
        const RECTF pad = m_header->GetPadding();
        const ControlSize s = m_header->MeasureSize(inner.Width(), inner.Height());
        float h = s.height < 0 ? 0.0f : s.height;
        h = boxlayout::ClampSize(h, m_header->GetMinHeight(), m_header->GetMaxHeight());
        h = std::min(h, std::max(0.0f, inner.bottom - y - pad.top - pad.bottom));
        // A header with a width of its own may be wider than the list: the
        // body then scrolls it sideways.
        const float right = s.width < 0 ? inner.right - pad.right
                                        : inner.left + pad.left +
                                              boxlayout::ClampSize(s.width, m_header->GetMinWidth(),
                                                                   m_header->GetMaxWidth());
        m_header->SetBounds(inner.left + pad.left, y + pad.top, right, y + pad.top + h);
        y += pad.top + h + pad.bottom;
    }
    // The header items follow the body's sideways scrolling before the rows
    // are placed over them.
    const float shift = m_body->GetScrollOffset().horizontal;
    if (shift > 0)
        ShiftHeaderItems(shift);
    if (m_body->IsVisible()) {
        const RECTF pad = m_body->GetPadding();
        m_body->SetBounds(inner.left + pad.left, y + pad.top, inner.right - pad.right,
                          std::max(y + pad.top, inner.bottom - pad.bottom));
    }
}

int List::FindNextFocusable(int start, bool forward) const
{
    // Over the list's own two children, not the rows ChildCount counts.
    const int count = static_cast<int>(m_children.size());
    if (count == 0)
        return -1;
    start = std::max(0, std::min(start, count - 1));
    const int step = forward ? 1 : -1;
    for (int i = start; i >= 0 && i < count; i += step) {
        const Control* c = m_children[static_cast<size_t>(i)];
        if (c->IsVisible() && c->IsEnabled())
            return i;
    }
    return forward ? -1 : FindNextFocusable(0, true);
}

void List::SetHeaderItemsShown(bool on)
{
    for (int i = 0; i < m_header->ChildCount(); ++i)
        m_header->ChildAt(i)->SetInternalVisible(on);
}

void List::CopyColumnRects()
{
    RefreshColumnCount();
    if (!m_header)
        return;
    const bool hidden = !m_header->IsVisible();
    for (int i = 0; i < m_itemStyle.columnCount; ++i) {
        Control* item = m_header->ChildAt(i);
        if (hidden)
            item->SetInternalVisible(true);
        if (item->IsVisible() && !item->IsFloat()) {
            const RECTF r = item->GetBounds();
            m_itemStyle.columns[i] = RECT{static_cast<LONG>(r.left), static_cast<LONG>(r.top),
                                          static_cast<LONG>(r.right), static_cast<LONG>(r.bottom)};
        }
        if (hidden)
            item->SetInternalVisible(false);
    }
}

// ------------------------------------------------------------ input

bool List::HandleEvent(InputEvent* event)
{
    const bool mouse = event->type >= kEventMouseMove && event->type <= kEventScrollWheel;
    if (mouse && !IsMouseEnabled())
        return m_parent ? m_parent->HandleEvent(event) : false;
    if (event->type == kEventScrollWheel) {
        if (m_body->GetVScrollBar() || m_body->GetHScrollBar())
            m_body->HandleEvent(event);
        event->handled = true;
        return VBox::HandleEvent(event);
    }
    if (event->type == kEventKeyDown && OnListKey(event))
        return true;
    return VBox::HandleEvent(event);
}

bool List::OnListKey(InputEvent* event)
{
    const int count = m_body->ChildCount();
    switch (event->key) {
    case VK_PRIOR:
        m_body->ScrollPageUp();
        return true;
    case VK_NEXT:
        m_body->ScrollPageDown();
        return true;
    case VK_HOME:
        if (count > 0)
            SelectRow(0, true);
        return true;
    case VK_END:
        if (count > 0)
            SelectRow(count - 1, true);
        return true;
    case VK_UP:
        if (count > 0 && !m_selected.empty()) {
            const int r = *std::min_element(m_selected.begin(), m_selected.end());
            DeselectAllRows();
            SelectRow(std::max(r - 1, 0), true);
        }
        return true;
    case VK_DOWN:
        if (count > 0 && !m_selected.empty()) {
            const int r = *std::max_element(m_selected.begin(), m_selected.end());
            DeselectAllRows();
            SelectRow(r + 1 < count ? r + 1 : count - 1, true);
        }
        return true;
    case 'A':
        if ((event->modifiers & kModCtrl) == 0)
            return false;
        if (!m_singleSelect)
            SelectAllRows();
        return true;
    default:
        return false;
    }
}

// ------------------------------------------------------------ attributes

bool List::OnRowStyleAttribute(const wchar_t* name, const wchar_t* v)
{
    ListItemStyle& s = m_itemStyle;
    struct ColourSlot {
        const wchar_t* name;
        uint32_t ListItemStyle::*field;
    };
    static const ColourSlot kColours[] = {
        {L"itemtextcolor", &ListItemStyle::textColor},
        {L"itembkcolor", &ListItemStyle::bkColor},
        {L"itemselectedtextcolor", &ListItemStyle::selectedTextColor},
        {L"itemselectedbkcolor", &ListItemStyle::selectedBkColor},
        {L"itemhottextcolor", &ListItemStyle::hotTextColor},
        {L"itemhotbkcolor", &ListItemStyle::hotBkColor},
        {L"itemdisabledtextcolor", &ListItemStyle::disabledTextColor},
        {L"itemdisabledbkcolor", &ListItemStyle::disabledBkColor},
        {L"itemlinecolor", &ListItemStyle::lineColor},
    };
    for (const ColourSlot& slot : kColours) {
        if (wcscmp(name, slot.name) == 0) {
            s.*(slot.field) = ParseHexColor(v);
            Repaint();
            return true;
        }
    }
    struct ImageSlot {
        const wchar_t* name;
        CUiImage ListItemStyle::*field;
    };
    static const ImageSlot kImages[] = {
        {L"itembkimage", &ListItemStyle::bkImage},
        {L"itemselectedimage", &ListItemStyle::selectedImage},
        {L"itemhotimage", &ListItemStyle::hotImage},
        {L"itemdisabledimage", &ListItemStyle::disabledImage},
    };
    for (const ImageSlot& slot : kImages) {
        if (wcscmp(name, slot.name) == 0) {
            SetImageDescriptor(s.*(slot.field), v);
            Repaint();
            return true;
        }
    }
    return false;
}

void List::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    ListItemStyle& s = m_itemStyle;
    if (wcscmp(name, L"header") == 0) {
        if (m_header)
            m_header->SetVisible(IsTrue(v));
    } else if (wcscmp(name, L"headerbkimage") == 0) {
        if (m_header)
            m_header->SetBkImage(v);
    } else if (wcscmp(name, L"scrollselect") == 0) {
        m_scrollSelect = IsTrue(v);
    } else if (wcscmp(name, L"multiexpanding") == 0) {
        s.multiExpanding = IsTrue(v);
    } else if (wcscmp(name, L"multi") == 0) {
        m_singleSelect = !IsTrue(v);
        if (IsTrue(v))
            m_selectByBound = true;
    } else if (wcscmp(name, L"showvline") == 0) {
        s.showVLines = IsTrue(v);
    } else if (wcscmp(name, L"showhline") == 0) {
        s.showHLines = IsTrue(v);
    } else if (wcscmp(name, L"itemfont") == 0) {
        s.font = ParseInt(v);
    } else if (wcscmp(name, L"itemalign") == 0) {
        if (wcsstr(v, L"left"))
            s.textStyle &= ~static_cast<unsigned>(DT_CENTER | DT_RIGHT);
        if (wcsstr(v, L"center")) {
            s.textStyle |= DT_CENTER;
            s.textStyle &= ~static_cast<unsigned>(DT_RIGHT);
        }
        if (wcsstr(v, L"right")) {
            s.textStyle |= DT_RIGHT;
            s.textStyle &= ~static_cast<unsigned>(DT_CENTER);
        }
    } else if (wcscmp(name, L"itemendellipsis") == 0) {
        if (IsTrue(v))
            s.textStyle |= DT_END_ELLIPSIS;
        else
            s.textStyle &= ~static_cast<unsigned>(DT_END_ELLIPSIS);
    } else if (wcscmp(name, L"itemtextpadding") == 0) {
        int n[4] = {0, 0, 0, 0};
        ParseIntList(v, n, 4);
        for (int i = 0; i < 4; ++i)
            s.textPadding[i] = static_cast<float>(n[i]);
        RequestRelayout();
    } else if (wcscmp(name, L"itemcheckimgsize") == 0 || wcscmp(name, L"itemiconimgsize") == 0) {
        int n[2] = {0, 0};
        ParseIntList(v, n, 2);
        SIZE& size = name[4] == L'c' ? s.checkImageSize : s.iconImageSize;
        size = SIZE{n[0], n[1]};
    } else if (OnRowStyleAttribute(name, v)) {
    } else if (wcscmp(name, L"itemaltbk") == 0) {
        s.alternateRows = IsTrue(v);
        Repaint();
    } else if (wcscmp(name, L"itemshowhtml") == 0) {
        s.showHtml = IsTrue(v);
        RequestRelayout();
    } else if (wcscmp(name, L"itemstyles") == 0) {
        m_rowStyleNames = v;
        for (int i = 0; i < m_body->ChildCount(); ++i) {
            if (Control* row = RowAt(i))
                row->SetStyle(v);
        }
    } else if (wcscmp(name, L"selectbybound") == 0) {
        m_selectByBound = IsTrue(v);
    } else if (wcscmp(name, L"selectboundcolor") == 0) {
        m_boundFill = ParseHexColor(v);
        m_boundBorder = (m_boundFill & 0x00FFFFFFu) | kBandBorderAlpha;
    } else if (wcscmp(name, L"selectboundbordercolor") == 0) {
        m_boundBorder = ParseHexColor(v);
    } else if (IsBodyScrollAttribute(name, v)) {
        // The rows scroll, not the list: the body makes and keeps the bars.
        m_body->SetAttribute(name, v);
    } else if (_wcsicmp(name, L"itemalign") == 0) {
        // Other spellings name the vertical box's child alignment.
        VBox::SetAttribute(L"itemalign", value);
    } else {
        VBox::SetAttribute(name, value);
    }
}

void List::BindScrollBars()
{
    const CUiString vName = m_vScroll.name;
    const CUiString hName = m_hScroll.name;
    if (vName.IsEmpty() && hName.IsEmpty()) {
        VBox::BindScrollBars();
        return;
    }
    // Skins name the bars on the list; the body scrolls with them.
    m_body->SetAttribute(L"vscroll", vName.GetData());
    m_body->SetAttribute(L"hscroll", hName.GetData());
    m_body->BindScrollBars();
}

// ------------------------------------------------------------ scrolling (the body's)

float List::GetChildGap() const { return m_body->GetChildGap(); }
void List::SetChildGap(int gap) { m_body->SetChildGap(gap); }
void List::SetScrollStep(int step) { m_body->SetScrollStep(step); }
int List::GetScrollStep() const { return m_body->GetScrollStep(); }
void List::SetScrollSpeed(float speed) { m_body->SetScrollSpeed(speed); }
float List::GetScrollSpeed() const { return m_body->GetScrollSpeed(); }
void List::SetVFlexRange(int range) { m_body->SetVFlexRange(range); }
void List::SetHFlexRange(int range) { m_body->SetHFlexRange(range); }
int List::GetVFlexRange() const { return m_body->GetVFlexRange(); }
int List::GetHFlexRange() const { return m_body->GetHFlexRange(); }
Box::ScrollOffset List::GetScrollOffset() const { return m_body->GetScrollOffset(); }
Box::ScrollExtent List::GetScrollExtent() const { return m_body->GetScrollExtent(); }
void List::SetScrollExtent(int horizontal, int vertical) { m_body->SetScrollExtent(horizontal, vertical); }
void List::SetScrollOffset(float x, float y) { m_body->SetScrollOffset(x, y); }
void List::SetScrollOffsetElastic(float x, float y) { m_body->SetScrollOffsetElastic(x, y); }
void List::ScrollLineUp() { m_body->ScrollLineUp(); }
void List::ScrollLineDown() { m_body->ScrollLineDown(); }
void List::ScrollPageUp() { m_body->ScrollPageUp(); }
void List::ScrollPageDown() { m_body->ScrollPageDown(); }
void List::ScrollToTop() { m_body->ScrollToTop(); }
void List::ScrollToBottom() { m_body->ScrollToBottom(); }
void List::ScrollLineLeft() { m_body->ScrollLineLeft(); }
void List::ScrollLineRight() { m_body->ScrollLineRight(); }
void List::ScrollPageLeft() { m_body->ScrollPageLeft(); }
void List::ScrollPageRight() { m_body->ScrollPageRight(); }
void List::ScrollToLeft() { m_body->ScrollToLeft(); }
void List::ScrollToRight() { m_body->ScrollToRight(); }
void List::EnableScrollBars(bool vertical, bool horizontal) { m_body->EnableScrollBars(vertical, horizontal); }
ScrollBar* List::GetVScrollBar() const { return m_body->GetVScrollBar(); }
ScrollBar* List::GetHScrollBar() const { return m_body->GetHScrollBar(); }

} // namespace ui
