// Control geometry, layout requests, visibility, interaction states and the
// base handling of input events.
#include "Corvel/Core/Control.h"

#include <cmath>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/Layer.h"

#include <algorithm>
#include <cwchar>

namespace ui {

namespace {

bool IsMouseEvent(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

Box* AsBox(Control* c) { return c ? static_cast<Box*>(c->CastTo(L"Box")) : nullptr; }

// After a change of size or position: a floating control places itself, any
// other is placed by its parent.
void RelayoutPlacement(Control* c, bool isFloat)
{
    if (isFloat)
        c->RequestRelayout();
    else
        c->RequestParentRelayout();
}

// Stores a size limit and relayouts; negative values are ignored.
void SetLimit(Control* c, bool isFloat, int& field, int value)
{
    if (value < 0 || value == field)
        return;
    field = value;
    RelayoutPlacement(c, isFloat);
}

} // namespace

// ---------------------------------------------------------------- geometry

void Control::ClearPlaced() { m_placed = false; }
bool Control::IsPlaced() const { return m_placed; }
RECTF Control::GetBounds() const { return m_bounds; }
int Control::GetWidth() const { return static_cast<int>(m_bounds.right - m_bounds.left); }
int Control::GetHeight() const { return static_cast<int>(m_bounds.bottom - m_bounds.top); }
int Control::GetLeft() const { return static_cast<int>(m_bounds.left); }
int Control::GetTop() const { return static_cast<int>(m_bounds.top); }

bool Control::ClipByAncestors(RECTF& r) const
{
    for (Control* p = m_parent; p; p = p->GetParent()) {
        RECTF out;
        if (!rectmath::Intersect(r, p->GetBounds(), out))
            return false;
        r = out;
    }
    return !rectmath::IsEmpty(r);
}

void Control::ForgetRenderTarget()
{
    m_renderTarget = nullptr;
    if (m_layer)
        m_layer->DropTarget();
}

RenderTarget* Control::ResolveRenderTarget() const
{
    for (const Control* p = m_parent; p; p = p->m_parent)
        if (p->m_layer && p->m_layer->GetTarget())
            return p->m_layer->GetTarget();
    return m_core ? m_core->GetRenderTarget() : nullptr;
}

void Control::EnsureLayer(uint8_t mode)
{
    if (!m_layer)
        m_layer = std::make_unique<Layer>(mode);
}

void Control::PlaceLayer()
{
    RenderTarget* outer = ResolveRenderTarget();
    if (!m_layer) {
        m_renderTarget = outer;
        return;
    }
    // The layer is made over the target it composites into (again when that
    // changed); until one exists (no core yet) the control draws nowhere.
    if (outer)
        m_layer->SetUp(m_core, outer);
    m_layer->Place(m_bounds);
    m_renderTarget = m_layer->GetTarget();
}

void Control::SetBounds(float left, float top, float right, float bottom)
{
    m_placed = true;
    if (left > right)
        right = left;
    if (top > bottom)
        bottom = top;
    RECTF next{left, top, right, bottom};
    RECTF dirty;
    if (rectmath::IsEmpty(m_bounds))
        dirty = next;
    else if (!rectmath::SameTruncated(next, m_bounds) && !rectmath::IsEmpty(next))
        dirty = rectmath::Union(m_bounds, next);
    else
        dirty = m_bounds;
    m_bounds = next;

    if (m_parent && !rectmath::Overlaps(next, m_parent->GetBounds())) {
        m_layoutPending = false;
        m_placed = false;
        return;
    }

    PlaceLayer();
    RefreshTransformFrame();

    if (m_float && m_parent) {
        float s = GetScale();
        RECTF pb = m_parent->GetBounds();
        m_fixedX = (left - pb.left) / s;
        m_fixedY = (top - pb.top) / s;
        m_fixedWidth = (right - left) / s;
        m_fixedHeight = (bottom - top) / s;
    }

    if (m_boundsHook)
        m_boundsHook();
    if (!m_core)
        return;
    if (m_layoutHook && !m_inLayoutHook) {
        m_inLayoutHook = true;
        m_layoutHook();
        m_inLayoutHook = false;
    }
    m_layoutPending = false;
    if (ClipByAncestors(dirty))
        m_core->MarkDirty(dirty);
}

RECTF Control::GetPadding() const
{
    float s = GetScale();
    return RECTF{m_padding[0] * s, m_padding[1] * s, m_padding[2] * s, m_padding[3] * s};
}

void Control::SetPadding(float left, float top, float right, float bottom)
{
    m_padding[0] = left;
    m_padding[1] = top;
    m_padding[2] = right;
    m_padding[3] = bottom;
    RequestParentRelayout();
}

FixedPos Control::GetFixedPos() const
{
    float s = GetScale();
    return FixedPos{m_fixedX * s, m_fixedY * s};
}

void Control::SetFixedPos(float x, float y)
{
    m_fixedX = x;
    m_fixedY = y;
    RelayoutPlacement(this, m_float);
}

float Control::GetFixedWidth() const { return m_fixedWidth < 0 ? m_fixedWidth : m_fixedWidth * GetScale(); }
float Control::GetFixedHeight() const { return m_fixedHeight < 0 ? m_fixedHeight : m_fixedHeight * GetScale(); }

void Control::SetFixedWidth(float width, bool relayout)
{
    if (width == m_fixedWidth)
        return;
    if (width > 0)
        m_autoWidth = false;
    m_fixedWidth = width;
    if (relayout)
        RelayoutPlacement(this, m_float);
}

void Control::SetFixedHeight(float height, bool relayout)
{
    if (height == m_fixedHeight)
        return;
    if (height > 0)
        m_autoHeight = false;
    m_fixedHeight = height;
    if (relayout)
        RelayoutPlacement(this, m_float);
}

int Control::GetMinWidth() const { return ScaleTrunc(static_cast<float>(m_minWidth), GetScale()); }
int Control::GetMaxWidth() const { return ScaleTrunc(static_cast<float>(m_maxWidth), GetScale()); }
int Control::GetMinHeight() const { return ScaleTrunc(static_cast<float>(m_minHeight), GetScale()); }
int Control::GetMaxHeight() const { return ScaleTrunc(static_cast<float>(m_maxHeight), GetScale()); }

void Control::SetMinWidth(int value) { SetLimit(this, m_float, m_minWidth, value); }
void Control::SetMaxWidth(int value) { SetLimit(this, m_float, m_maxWidth, value); }
void Control::SetMinHeight(int value) { SetLimit(this, m_float, m_minHeight, value); }
void Control::SetMaxHeight(int value) { SetLimit(this, m_float, m_maxHeight, value); }

RECTF Control::GetShadowBounds() const
{
    float sc = GetScale();
    float s = m_boxShadow.size * sc, ox = m_boxShadow.offsetX * sc, oy = m_boxShadow.offsetY * sc;
    return RECTF{m_bounds.left - s + ox, m_bounds.top - s + oy, m_bounds.right + s + ox, m_bounds.bottom + s + oy};
}

void Control::SetFloatRect(float px, float py, float ox, float oy)
{
    if (!m_float)
        SetFloat(true);
    m_floatRect[0] = px;
    m_floatRect[1] = py;
    m_floatRect[2] = ox;
    m_floatRect[3] = oy;
}

void Control::SetFloatScale(float pw, float ph)
{
    if (pw > 0)
        m_floatFactors[0] = pw;
    if (ph > 0)
        m_floatFactors[1] = ph;
}

FloatRectInfo Control::GetFloatRect() const
{
    float s = GetScale();
    return FloatRectInfo{m_floatRect[0], m_floatRect[1], m_floatRect[2] * s, m_floatRect[3] * s,
                         m_floatFactors[0], m_floatFactors[1]};
}

bool Control::IsFloat() const { return m_float; }

void Control::SetFloat(bool on)
{
    if (m_float == on)
        return;
    m_float = on;
    if (!on)
        m_floatAnchor = false;
    RequestParentRelayout();
}

bool Control::GetFloatAnchor() const { return m_float && m_floatAnchor; }

void Control::SetFloatAnchor(bool on)
{
    if (m_float)
        m_floatAnchor = on;
}

void Control::RequestRelayout()
{
    if (!IsVisible())
        return;
    if (m_parent && !(m_parent->IsVisible() && m_parent->IsPlaced()))
        return;
    m_layoutPending = true;
    if (m_core)
        m_core->SetRelayoutNeeded();
    Repaint();
}

void Control::RequestParentRelayout()
{
    if (m_core)
        m_core->SetRelayoutNeeded();
    if (m_parent)
        m_parent->RequestRelayout();
    else
        RequestRelayout();
}

void Control::Repaint()
{
    if (!m_core || !IsVisible() || !m_initialised)
        return;
    RECTF r = m_bounds;
    if (rectmath::IsEmpty(r) || !ClipByAncestors(r))
        return;
    m_core->MarkDirty(r);
}

bool Control::MapToOwnPlane(const POINT& window, POINT& onPlane) const
{
    onPlane = window;
    // A transform is drawn through the control's layer; without one it
    // changes nothing on screen.
    if (!m_transform || !m_layer)
        return true;
    float u = 0, v = 0;
    if (!MapWindowPointToPlane(m_transform->GetMatrix(), static_cast<float>(window.x) + 0.5f,
                               static_cast<float>(window.y) + 0.5f, u, v))
        return false;
    onPlane.x = static_cast<LONG>(std::floor(u));
    onPlane.y = static_cast<LONG>(std::floor(v));
    return true;
}

Control* Control::SearchTree(SearchPredicate predicate, void* data, unsigned flags)
{
    if ((flags & kSearchVisible) && !(IsVisible() && IsPlaced()))
        return nullptr;
    if ((flags & kSearchEnabled) && !IsEnabled())
        return nullptr;
    if (flags & kSearchHitTest) {
        const POINT* pt = static_cast<const POINT*>(data);
        POINT onPlane;
        if (!m_mouseEnabled || !pt || !MapToOwnPlane(*pt, onPlane) ||
            !rectmath::Contains(m_bounds, static_cast<float>(onPlane.x), static_cast<float>(onPlane.y)))
            return nullptr;
    }
    return predicate ? predicate(this, data) : nullptr;
}

// -------------------------------------------------------------- visibility

bool Control::IsShowHideAnimating() const { return m_showHideAnimating; }
bool Control::IsVisible() const { return m_visible && m_internalVisible; }

void Control::SetVisible(bool show)
{
    if (!m_showHideAnimating && show == m_visible)
        return;
    // A hide carried by its timeline clears the flag at the timeline's end.
    const bool carried = CarryVisibilityChange(show);
    if (show || !carried)
        CommitVisible(show);
    else if (m_core && m_core->GetFocus() == this)
        m_core->FocusControl(nullptr);
    if (show) {
        if (m_core && !m_vgroupName.IsEmpty()) {
            if (const std::vector<Control*>* group = m_core->GetVGroup(m_vgroupName)) {
                std::vector<Control*> copy = *group;
                for (Control* c : copy) {
                    if (c != this)
                        c->SetVisible(false);
                }
            }
        }
        if (m_exclusive) {
            if (Box* box = AsBox(m_parent))
                box->ShowOnlyChild(this);
        }
    }
}

void Control::CommitVisible(bool show)
{
    bool wasVisible = IsVisible();
    m_visible = show;
    if (!show && m_core && m_core->GetFocus() == this)
        m_core->FocusControl(nullptr);
    if (IsVisible() == wasVisible)
        return;
    if (m_core)
        m_core->SetRelayoutNeeded();
    if (m_parent)
        m_parent->RequestRelayout();
    else
        RequestRelayout();
    if (!show && m_core && !rectmath::IsEmpty(m_bounds)) {
        // The area the control covered must be repainted without it.
        RECTF r = m_bounds;
        if (ClipByAncestors(r))
            m_core->MarkDirty(r);
    }
}

void Control::SetVisibilityOption(bool exclusive)
{
    m_exclusive = exclusive;
    if (Box* box = AsBox(m_parent))
        box->SetExclusiveChild(this, exclusive);
}

void Control::SetInternalVisible(bool on)
{
    m_internalVisible = on;
    if (!on && m_core && m_core->GetFocus() == this)
        m_core->FocusControl(nullptr);
}

// ---------------------------------------------------------- interaction

bool Control::IsMouseEnabled() const { return m_mouseEnabled; }
void Control::SetMouseEnabled(bool on) { m_mouseEnabled = on; }
bool Control::IsKeyboardEnabled() const { return m_keyboardEnabled; }
void Control::SetKeyboardEnabled(bool on) { m_keyboardEnabled = on; }
bool Control::IsNormal() const { return (m_state & kStateNormal) != 0; }
bool Control::IsEnabled() const { return (m_state & kStateDisabled) == 0; }
bool Control::IsSelected() const { return m_selected; }
bool Control::IsBusy() const { return (m_state & kStateBusy) != 0; }
bool Control::IsHot() const { return (m_state & kStateHot) != 0; }
bool Control::IsHover() const { return (m_state & kStateHover) != 0; }
bool Control::IsPushed() const { return (m_state & kStatePushed) != 0; }
bool Control::IsFocused() const { return (m_state & kStateFocused) != 0; }

void Control::SetNormal()
{
    if (IsNormal())
        return;
    const int before = m_state;
    m_state = kStateNormal;
    PlayStateTransitions(before);
    PlayOrRepaint(L"normal");
}

void Control::SetEnabled(bool on)
{
    if (on == IsEnabled())
        return;
    const int before = m_state;
    if (!on) {
        if (m_core && m_core->GetFocus() == this)
            m_core->FocusControl(nullptr);
        m_state = kStateDisabled;
    } else {
        m_state &= ~kStateDisabled;
        if (!IsHot() && !m_selected)
            m_state = kStateNormal;
    }
    PlayStateTransitions(before);
    // Without a style set the background colour may still change.
    if (HasStyleState(L"disabled") || !HasStyleSet())
        Repaint();
}

void Control::SetBusy(bool on)
{
    if (on == IsBusy() || !IsEnabled())
        return;
    const int before = m_state;
    if (on) {
        m_state = kStateBusy;
    } else {
        m_state &= ~kStateBusy;
        if (!IsHot())
            m_state = kStateNormal;
    }
    PlayStateTransitions(before);
    if (HasStyleState(L"busy"))
        Repaint();
}

void Control::SetHot(bool on)
{
    if (on == IsHot())
        return;
    const int before = m_state;
    bool keep = m_selected || IsFocused();
    if (on) {
        m_state &= ~kStateNormal;
        if (keep)
            m_state = (m_state & ~kStatePushed) | kStateHot;
        else
            m_state = kStateHot;
    } else {
        if (keep)
            m_state &= ~(kStateHot | kStateHover);
        else
            m_state = kStateNormal;
    }
    PlayStateTransitions(before);
    if (IsEnabled() && HasStyleState(L"hot"))
        PlayOrRepaint(L"hot");
}

void Control::SetHover()
{
    if (IsHover() || !IsEnabled())
        return;
    const int before = m_state;
    m_state |= kStateHover;
    PlayStateTransitions(before);
    if (HasStyleState(L"hover"))
        PlayOrRepaint(L"hover");
}

void Control::SetPushed()
{
    if (IsPushed() || !IsEnabled())
        return;
    if (m_core)
        m_pressPoint = m_core->GetLastMousePoint();
    const int before = m_state;
    m_state &= ~(kStateHot | kStateHover);
    m_state |= kStatePushed;
    PlayStateTransitions(before);
    if (HasStyleState(L"pushed"))
        PlayOrRepaint(L"pushed");
}

void Control::SetFocused(bool on)
{
    if (!IsEnabled() || on == IsFocused())
        return;
    const int before = m_state;
    if (on) {
        m_state |= kStateFocused;
        if (m_core) {
            m_core->FocusControl(this);
            // A hidden or foreign control is refused by the core: it must
            // not keep a focused look without the focus.
            if (m_core->GetFocus() != this) {
                m_state &= ~kStateFocused;
                return;
            }
        }
        PlayStateTransitions(before);
        if (!HasStyleSet())
            return;
    } else {
        m_state &= ~kStateFocused;
        m_state &= ~(kStatePushed | kStateHot);
        if (!m_selected)
            m_state = kStateNormal;
        PlayStateTransitions(before);
        if (!HasStyleSet() && wcscmp(GetClassName(), L"Edit") != 0)
            return;
    }
    PlayOrRepaint(L"focused");
}

void Control::SetSelected(bool on)
{
    if (on == m_selected)
        return;
    m_selected = on;
    if (!IsEnabled())
        return;
    const int before = m_state;
    if (on) {
        m_state &= ~(kStateNormal | kStatePushed);
        m_state |= kStateSelected;
    } else {
        m_state &= ~kStateSelected;
        if (!IsHot() && !IsPushed())
            m_state |= kStateNormal;
    }
    PlayStateTransitions(before);
    if (m_core && !m_groupName.IsEmpty() && on) {
        if (const std::vector<Control*>* group = m_core->GetGroup(m_groupName)) {
            std::vector<Control*> copy = *group;
            for (Control* c : copy) {
                if (c != this)
                    c->SetSelected(false);
            }
        }
    }
    if (on && m_selectHandler)
        m_selectHandler();
    if (m_core)
        m_core->RaiseNotification(this, L"selectchanged", 0, 0);
    if (HasStyleSet()) {
        if (HasStyleState(L"selected"))
            PlayOrRepaint(L"selected");
    } else {
        Repaint();
    }
}

bool Control::TryActivate()
{
    if (!IsVisible() || !IsEnabled())
        return false;
    const int before = m_state;
    m_state &= ~kStatePushed;
    m_state |= kStateHot;
    PlayStateTransitions(before);
    if (HasStyleSet()) {
        if (HasStyleState(L"pushed") || HasStyleState(L"hot"))
            Repaint();
        else if (!m_selectable) {
            if (m_clickHandler)
                m_clickHandler();
            return true;
        }
        if (HasStyleState(L"selected"))
            Repaint();
    }
    if (m_selectable) {
        if (!m_groupName.IsEmpty())
            SetSelected(true);
        else
            SetSelected(!m_selected);
    }
    if (m_clickHandler)
        m_clickHandler();
    return true;
}

// ---------------------------------------------------------------- events

bool Control::FireEvent(InputEvent* event)
{
    auto it = m_eventHandlers.find(event->type);
    if (it == m_eventHandlers.end()) {
        if (m_genericHandler && !m_genericHandler(event))
            return false;
        return HandleEvent(event);
    }
    // Copy: the handler may replace itself.
    EventHandler handler = it->second;
    if (!handler(event))
        return false;
    return HandleEvent(event);
}

bool Control::HandleEvent(InputEvent* event)
{
    auto passOn = [this, event]() -> bool {
        if (event->handled || !m_parent)
            return false;
        return m_parent->HandleEvent(event);
    };

    if (!m_mouseEnabled && IsMouseEvent(event->type))
        return m_parent ? m_parent->HandleEvent(event) : false;

    switch (event->type) {
    case kEventKeyDown:
        if (m_keyboardEnabled && (event->key == VK_SPACE || event->key == VK_RETURN)) {
            if (!m_selectable)
                SetPushed();
            return true;
        }
        return passOn();
    case kEventKeyUp:
        if (m_keyboardEnabled && (event->key == VK_SPACE || event->key == VK_RETURN)) {
            TryActivate();
            return true;
        }
        return passOn();
    case kEventMouseMove:
        // Dragging a control out of the window comes with drag and drop.
        return passOn();
    case kEventMouseLeave:
    case kEventDragLeave:
        if (IsEnabled() && !IsBusy() && !IsPushed()) {
            SetHot(false);
            event->handled = true;
            return true;
        }
        return false;
    case kEventMouseEnter:
    case kEventDragEnter:
        if (IsEnabled() && !IsBusy()) {
            SetHot(true);
            event->handled = true;
            return true;
        }
        return false;
    case kEventMouseHover:
        if (IsEnabled() && !IsBusy())
            SetHover();
        return false;
    case kEventButtonDown:
    case kEventDblClick:
        if (m_passThrough)
            return passOn();
        if (IsEnabled() && !IsBusy()) {
            SetPushed();
            return true;
        }
        return false;
    case kEventButtonUp:
        if (m_passThrough)
            return passOn();
        if (IsEnabled() && !IsBusy()) {
            if (rectmath::Contains(m_bounds, static_cast<float>(event->point.x),
                                   static_cast<float>(event->point.y))) {
                TryActivate();
            } else {
                // A release outside ends the press as well: nothing may stay
                // pushed once the button is up.
                bool was = (m_state & (kStateHot | kStatePushed)) != 0;
                m_state &= ~(kStateHot | kStatePushed);
                if ((m_state & ~kStateFocused & ~kStateSelected) == 0)
                    m_state |= kStateNormal;
                if (was)
                    Repaint();
            }
            return true;
        }
        return false;
    case kEventContextMenu:
        if (m_contextMenu) {
            if (m_core)
                m_core->RaiseNotification(this, L"menu", event->wParam, event->lParam);
            return true;
        }
        return passOn();
    case kEventKillFocus:
        SetFocused(false);
        return true;
    case kEventSetFocus:
        if (IsEnabled() && !IsBusy()) {
            if (m_float && m_floatAnchor && m_parent) {
                if (Box* box = AsBox(m_parent)) {
                    int count = box->ChildCount();
                    if (count > 0)
                        box->MoveChild(this, count - 1);
                }
            }
            SetFocused(true);
            return true;
        }
        return false;
    case kEventSetCursor:
        SetCursor(LoadCursorW(nullptr, m_handCursor ? IDC_HAND : IDC_ARROW));
        return true;
    default:
        return passOn();
    }
}

} // namespace ui
