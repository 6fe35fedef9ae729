#include "Corvel/Control/Box.h"

#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <cstdlib>

namespace ui {

namespace {

// Up to four decimal integers, each read after one separator character.
void ParseIntList(const wchar_t* text, int* out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = 0;
    if (!text)
        return;
    const wchar_t* p = text;
    for (int i = 0; i < count; ++i) {
        wchar_t* end = nullptr;
        out[i] = static_cast<int>(wcstol(p, &end, 10));
        if (!end || !*end)
            break;
        p = end + 1;
    }
}

} // namespace

Box::Box() = default;

Box::~Box()
{
    // Owned children go at once: the box is being destroyed.
    m_deferredDelete = false;
    RemoveAllChildren(false);
    DestroyScrollState();
}

const wchar_t* Box::GetClassName() const { return L"Box"; }

void* Box::CastTo(const wchar_t* typeName)
{
    if (!typeName)
        return nullptr;
    if (wcscmp(typeName, L"IBox") == 0)
        return static_cast<IBox*>(this);
    if (wcscmp(typeName, L"Box") == 0)
        return this;
    return Control::CastTo(typeName);
}

int Box::GetTraitFlags() const { return (IsEnabled() && m_needCursor) ? kTraitWantsSetCursor : 0; }

void Box::AttachCore(WindowCore* core, Control* parent, bool initialise)
{
    for (Control* child : m_children)
        child->AttachCore(core, this, initialise);
    AttachOwnedBars(core, initialise);
    Control::AttachCore(core, parent, initialise);
}

// ------------------------------------------------------------- child list

Control* Box::ChildAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_children.size()))
        return nullptr;
    return m_children[static_cast<size_t>(index)];
}

int Box::IndexOfChild(Control* child) const
{
    auto it = std::find(m_children.begin(), m_children.end(), child);
    return it == m_children.end() ? -1 : static_cast<int>(it - m_children.begin());
}

int Box::ChildCount() const { return static_cast<int>(m_children.size()); }

bool Box::MoveChild(Control* child, int index)
{
    int from = IndexOfChild(child);
    // Check the target before taking the child out, so a bad index leaves
    // the list as it was.
    if (from < 0 || index < 0 || index >= ChildCount())
        return false;
    RequestRelayout();
    m_children.erase(m_children.begin() + from);
    m_children.insert(m_children.begin() + index, child);
    return true;
}

void Box::AdoptChild(Control* child)
{
    if (m_core) {
        child->AttachCore(m_core, this, true);
        child->SearchTree(&WindowCore::CollectControlName, m_core, 0);
    } else {
        child->AttachCore(nullptr, this, false);
    }
    if (IsVisible())
        RequestRelayout();
    else
        child->SetInternalVisible(false);
}

bool Box::CanHold(const Control* child) const
{
    if (!child)
        return false;
    for (const Control* p = this; p; p = p->GetParent()) {
        if (p == child)
            return false;
    }
    return true;
}

void Box::LeavePreviousBox(Control* child)
{
    Control* previous = child->GetParent();
    if (!previous || previous == this)
        return;
    if (Box* box = static_cast<Box*>(previous->CastTo(L"Box")))
        box->DetachChild(child);
}

bool Box::AppendChild(Control* child)
{
    if (!CanHold(child))
        return false;
    if (IndexOfChild(child) >= 0)
        return MoveChild(child, ChildCount() - 1);
    LeavePreviousBox(child);
    AdoptChild(child);
    m_children.push_back(child);
    return true;
}

bool Box::InsertChildAt(Control* child, int index)
{
    if (!CanHold(child))
        return false;
    if (IndexOfChild(child) >= 0)
        return MoveChild(child, index);
    if (index < 0 || index > ChildCount())
        return false;
    LeavePreviousBox(child);
    AdoptChild(child);
    m_children.insert(m_children.begin() + index, child);
    return true;
}

void Box::DisposeChild(Control* child)
{
    if (m_deferredDelete && m_core)
        m_core->DeleteControlLater(child);
    else
        delete child;
}

bool Box::TakeOutOfLists(Control* child)
{
    auto it = std::find(m_children.begin(), m_children.end(), child);
    if (!child || it == m_children.end())
        return false;
    RequestRelayout();
    m_children.erase(it);
    m_exclusiveChildren.erase(std::remove(m_exclusiveChildren.begin(), m_exclusiveChildren.end(), child),
                              m_exclusiveChildren.end());
    return true;
}

bool Box::DetachChild(Control* child)
{
    if (!TakeOutOfLists(child))
        return false;
    // Alive and attached to its core, but no pointer back to a box it no
    // longer belongs to.
    if (child->GetParent() == this)
        child->AttachCore(child->GetCore(), nullptr, false);
    return true;
}

bool Box::RemoveChild(Control* child)
{
    if (!m_ownsChildren)
        return DetachChild(child);
    // Out of the lists first, so nothing reached from the child's destructor
    // sees it as a child any more.
    if (!TakeOutOfLists(child))
        return false;
    DisposeChild(child);
    return true;
}

bool Box::RemoveChildAt(int index)
{
    Control* child = ChildAt(index);
    if (!child)
        return false;
    return RemoveChild(child);
}

void Box::RemoveAllChildren(bool relayout)
{
    std::vector<Control*> children;
    children.swap(m_children);
    m_exclusiveChildren.clear();
    for (Control* child : children) {
        if (m_ownsChildren)
            DisposeChild(child);
        else if (child->GetParent() == this)
            child->AttachCore(child->GetCore(), nullptr, false);
    }
    if (relayout)
        RequestRelayout();
}

void Box::SetExclusiveChild(Control* control, bool member)
{
    if (!control)
        return;
    auto it = std::find(m_exclusiveChildren.begin(), m_exclusiveChildren.end(), control);
    if (member) {
        if (it == m_exclusiveChildren.end())
            m_exclusiveChildren.push_back(control);
    } else if (it != m_exclusiveChildren.end()) {
        m_exclusiveChildren.erase(it);
    }
}

void Box::ChildDestroyed(Control* child)
{
    SetExclusiveChild(child, false);
    TakeOutOfLists(child);
}

void Box::ShowOnlyChild(Control* control)
{
    std::vector<Control*> copy = m_exclusiveChildren;
    for (Control* c : copy) {
        if (c != control)
            c->SetVisible(false);
    }
}

// ---------------------------------------------------------------- layout

RECTF Box::GetContentInset() const
{
    float s = GetScale();
    return RECTF{m_inset[0] * s, m_inset[1] * s, m_inset[2] * s, m_inset[3] * s};
}

void Box::SetContentInset(const RECTF& inset)
{
    m_inset[0] = inset.left;
    m_inset[1] = inset.top;
    m_inset[2] = inset.right;
    m_inset[3] = inset.bottom;
    RequestRelayout();
}

float Box::GetChildGap() const { return static_cast<float>(m_childGap) * GetScale(); }

void Box::SetChildGap(int gap)
{
    m_childGap = gap;
    RequestRelayout();
}

void Box::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    if (m_children.empty())
        return;
    RECTF inset = GetContentInset();
    RECTF r{m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
            m_bounds.bottom - inset.bottom};
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        RECTF pad = child->GetPadding();
        r.left += pad.left;
        r.top += pad.top;
        r.right -= pad.right;
        r.bottom -= pad.bottom;
        child->SetBounds(r);
    }
}

void Box::PlaceFloatChild(int index)
{
    Control* child = ChildAt(index);
    if (!child || !child->IsVisible() || !child->IsFloat())
        return;
    float L = m_bounds.left, T = m_bounds.top;
    float W = m_bounds.right - m_bounds.left, H = m_bounds.bottom - m_bounds.top;
    FloatRectInfo f = child->GetFloatRect();
    FixedPos pos = child->GetFixedPos();
    float w = child->GetFixedWidth(), h = child->GetFixedHeight();
    if (w <= 0 || h <= 0) {
        ControlSize m = child->MeasureSize(W, H);
        if (w <= 0)
            w = m.width;
        if (h <= 0)
            h = m.height;
    }
    if (f.pw > 0)
        w = W * f.pw / 100.0f;
    if (f.ph > 0)
        h = H * f.ph / 100.0f;
    float x = f.px == 0 ? L + pos.x : L + f.ox + (W - w) * f.px / 100.0f;
    float y = f.py == 0 ? T + pos.y : T + f.oy + (H - h) * f.py / 100.0f;
    child->SetBounds(x, y, x + w, y + h);
}

ControlSize Box::MeasureSize(float availableWidth, float availableHeight)
{
    ControlSize own = Control::MeasureSize(availableWidth, availableHeight);
    bool byWidth = m_widthMode == kSizeChildren, byHeight = m_heightMode == kSizeChildren;
    if (m_children.empty() || (!byWidth && !byHeight))
        return own;
    float w = 0, h = 0;
    for (Control* child : m_children) {
        if (!child->IsVisible())
            continue;
        ControlSize s = child->MeasureSize(availableWidth, availableHeight);
        // Minimum first, then maximum: the maximum wins.
        if (s.width > 0) {
            float c = std::min(std::max(s.width, static_cast<float>(child->GetMinWidth())),
                               static_cast<float>(child->GetMaxWidth()));
            w = std::max(w, c);
        }
        if (s.height > 0) {
            float c = std::min(std::max(s.height, static_cast<float>(child->GetMinHeight())),
                               static_cast<float>(child->GetMaxHeight()));
            h = std::max(h, c);
        }
    }
    // Paddings accumulate, matching the cumulative inset of the placement.
    for (Control* child : m_children) {
        if (!child->IsVisible())
            continue;
        RECTF pad = child->GetPadding();
        w += pad.left + pad.right;
        h += pad.top + pad.bottom;
    }
    RECTF inset = GetContentInset();
    w += inset.left + inset.right;
    h += inset.top + inset.bottom;
    if (byWidth)
        own.width = std::min(std::max(w, static_cast<float>(GetMinWidth())), static_cast<float>(GetMaxWidth()));
    if (byHeight)
        own.height = std::min(std::max(h, static_cast<float>(GetMinHeight())), static_cast<float>(GetMaxHeight()));
    return own;
}

// ------------------------------------------------------------ visibility

void Box::SetVisible(bool show)
{
    if (!IsShowHideAnimating() && m_visible == show)
        return;
    Control::SetVisible(show);
    bool v = IsVisible();
    for (Control* child : m_children)
        child->SetInternalVisible(v);
}

void Box::SetInternalVisible(bool on)
{
    Control::SetInternalVisible(on);
    bool v = IsVisible();
    for (Control* child : m_children)
        child->SetInternalVisible(v);
}

void Box::SetMouseEnabled(bool on)
{
    for (ScrollAxis* axis : {&m_vScroll, &m_hScroll}) {
        if (axis->owned)
            axis->owned->SetMouseEnabled(on);
    }
    Control::SetMouseEnabled(on);
}

void Box::SetEnabledWithChildren(bool enable)
{
    for (Control* child : m_children)
        child->SetEnabled(enable);
    SetEnabled(enable);
}

int Box::FindNextFocusable(int start, bool forward) const
{
    int count = ChildCount();
    if (count == 0)
        return -1;
    start = std::max(0, std::min(start, count - 1));
    if (forward) {
        for (int i = start; i < count; ++i) {
            Control* c = m_children[static_cast<size_t>(i)];
            if (c->IsVisible() && c->IsEnabled())
                return i;
        }
        return -1;
    }
    for (int i = start; i >= 0; --i) {
        Control* c = m_children[static_cast<size_t>(i)];
        if (c->IsVisible() && c->IsEnabled())
            return i;
    }
    return FindNextFocusable(0, true);
}

void Box::FinishTreeSetup() { BindScrollBars(); }

// ------------------------------------------------------------ tree search

Control* Box::SearchTree(SearchPredicate predicate, void* data, unsigned flags)
{
    if ((flags & kSearchVisible) && !(IsVisible() && IsPlaced()))
        return nullptr;
    if ((flags & kSearchEnabled) && !IsEnabled())
        return nullptr;
    const POINT* windowPoint = static_cast<const POINT*>(data);
    // Children of a transformed box are drawn through its transform: they
    // are searched with the point on the box's own plane.
    POINT onPlane{};
    const POINT* pt = windowPoint;
    if (flags & kSearchHitTest) {
        if (!windowPoint || !MapToOwnPlane(*windowPoint, onPlane))
            return nullptr;
        pt = &onPlane;
        if (!rectmath::Contains(m_bounds, static_cast<float>(pt->x), static_cast<float>(pt->y)))
            return nullptr;
    }
    // The box's own bars lie over its content: they come first. A bar bound
    // by name is searched where it lives.
    for (ScrollAxis* axis : {&m_vScroll, &m_hScroll}) {
        if (!axis->owned)
            continue;
        if (Control* r = axis->owned->SearchTree(predicate, (flags & kSearchHitTest) ? &onPlane : data, flags))
            return r;
    }
    if ((flags & kSearchHitTest) && !m_childrenTakeMouse)
        return Control::SearchTree(predicate, data, flags);
    if (flags & kSearchSelfFirst) {
        if (Control* r = Control::SearchTree(predicate, data, flags))
            return r;
    }
    RECTF inset = GetContentInset();
    RECTF inner{m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
                m_bounds.bottom - inset.bottom};
    // Copy: a predicate may change the tree.
    std::vector<Control*> children = m_children;
    int n = static_cast<int>(children.size());
    for (int k = 0; k < n; ++k) {
        Control* child = children[static_cast<size_t>((flags & kSearchReverse) ? n - 1 - k : k)];
        Control* r = child->SearchTree(predicate, (flags & kSearchHitTest) ? const_cast<POINT*>(pt) : data, flags);
        if (!r)
            continue;
        if (!(flags & kSearchHitTest))
            return r;
        if (r->IsFloat() || rectmath::Contains(inner, static_cast<float>(pt->x), static_cast<float>(pt->y)))
            return r;
    }
    if (!(flags & kSearchSelfFirst))
        return Control::SearchTree(predicate, data, flags);
    return nullptr;
}

bool Box::HandleEvent(InputEvent* event)
{
    if (!IsMouseEnabled() && event->type >= kEventMouseMove && event->type <= kEventScrollWheel) {
        if (m_parent)
            return m_parent->HandleEvent(event);
        return Control::HandleEvent(event);
    }
    return HandleScrollEvent(event);
}

void Box::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (wcscmp(name, L"inset") == 0) {
        int n[4];
        ParseIntList(v, n, 4);
        SetContentInset(RECTF{static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2]),
                              static_cast<float>(n[3])});
    } else if (wcscmp(name, L"mousechild") == 0) {
        SetChildrenTakeMouse(wcscmp(v, L"true") == 0);
    } else if (wcscmp(name, L"childpadding") == 0) {
        SetChildGap(static_cast<int>(wcstol(v, nullptr, 10)));
    } else if (wcscmp(name, L"flowable") == 0) {
        m_flowable = wcscmp(v, L"true") == 0;
    } else if (wcscmp(name, L"flexrange") == 0) {
        int r = static_cast<int>(wcstol(v, nullptr, 10));
        SetHFlexRange(r);
        SetVFlexRange(r);
    } else if (wcscmp(name, L"hflexrange") == 0) {
        SetHFlexRange(static_cast<int>(wcstol(v, nullptr, 10)));
    } else if (wcscmp(name, L"vflexrange") == 0) {
        SetVFlexRange(static_cast<int>(wcstol(v, nullptr, 10)));
    } else if (wcscmp(name, L"scrollstep") == 0) {
        SetScrollStep(static_cast<int>(wcstol(v, nullptr, 10)));
    } else if (wcscmp(name, L"scrollspeed") == 0) {
        SetScrollSpeed(static_cast<float>(wcstod(v, nullptr)));
    } else if (!OnScrollAttribute(name, v)) {
        Control::SetAttribute(name, value);
    }
}

// ---------------------------------------------------------------- painting

void Box::Paint(const RECTF& dirty, bool pushClip)
{
    RECTF clip;
    if (!rectmath::Intersect(dirty, m_bounds, clip))
        return;
    // The children draw into this box's layer too: its frame spans them.
    const bool layerOpen = IsVisible() && BeginLayer(clip);
    RenderTarget* target = m_renderTarget ? m_renderTarget : ResolveRenderTarget();
    uint32_t outerClip = seams::PushClip(target, clip);
    Control::Paint(dirty, false);

    RECTF inset = GetContentInset();
    RECTF inner(m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
                m_bounds.bottom - inset.bottom);
    bool insetClip = inset.left != 0 || inset.top != 0 || inset.right != 0 || inset.bottom != 0;
    uint32_t innerClip = insetClip ? seams::PushClip(target, inner) : 0;

    std::vector<Control*> children = m_children;
    for (Control* child : children) {
        if (child->IsVisible() && !child->IsFloat() && child->GetBoxShadowSize() > 0 &&
            rectmath::Overlaps(child->GetShadowBounds(), dirty))
            child->PaintOuterShadow(target, dirty);
    }
    bool innerDirty = rectmath::Overlaps(dirty, inner);
    for (Control* child : children) {
        if (!child->IsVisible() || !child->IsPlaced())
            continue;
        RECTF cb = child->GetBounds();
        if (child->IsFloat()) {
            if (!rectmath::Overlaps(cb, m_bounds) || !rectmath::Overlaps(cb, dirty))
                continue;
            if (child->GetBoxShadowSize() > 0 && rectmath::Overlaps(child->GetShadowBounds(), dirty))
                child->PaintOuterShadow(target, dirty);
            child->Paint(dirty, true);
        } else if (innerDirty && rectmath::Overlaps(cb, dirty)) {
            child->Paint(dirty, true);
        }
    }
    PaintOwnBars(dirty);
    seams::PopClip(target, innerClip);
    seams::PopClip(target, outerClip);
    if (layerOpen)
        EndLayer(clip);
}

} // namespace ui
