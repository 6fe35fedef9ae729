// Container base: an ordered list of child controls (paint and placement
// order), reached through the IBox part. A plain Box stacks its children
// inside its content rectangle. UI thread only, like every control.
#pragma once

#include <memory>
#include <vector>

#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Core/Control.h"

namespace ui {

class IBox {
public:
    // Null when the index is outside 0 .. count - 1.
    virtual Control* ChildAt(int index) const = 0;
    // -1 when the control is not a child.
    virtual int IndexOfChild(Control* child) const = 0;
    // False when the control is not a child or the index is outside
    // 0 .. count - 1 (counted with the child still in the list); nothing
    // moves then.
    virtual bool MoveChild(Control* child, int index) = 0;
    virtual int ChildCount() const = 0;
    // Attaches `child` to this box's core and puts it last. On true the box
    // holds it, and deletes it later when it owns its children (see
    // SetOwnsChildren). A control held by another box leaves that box first
    // (not deleted); one this box already holds only moves to the end; a
    // control has one parent box at a time. False, with nothing changed, for
    // null, for the box itself and for any of its ancestors; the caller then
    // keeps what it passed.
    virtual bool AppendChild(Control* child) = 0;
    // As AppendChild, at `index` (0 .. count, count appends; for a control
    // this box already holds, counted without it). False for an index
    // outside that range; nothing is attached or detached then.
    virtual bool InsertChildAt(Control* child, int index) = 0;
    // Takes `child` out of the list and, when the box owns its children,
    // deletes it: through the core's delayed-delete list when deferred
    // deletion is on and the box has a core, else at once. A child the box
    // does not own stays alive, keeps its core and loses its parent pointer;
    // the caller owns it. False for null or a control that is not a child.
    virtual bool RemoveChild(Control* child) = 0;
    // RemoveChild(ChildAt(index)); false for an index outside 0 .. count - 1.
    virtual bool RemoveChildAt(int index) = 0;
    // Every child as RemoveChild would, in order; relayout asks for layout.
    virtual void RemoveAllChildren(bool relayout) = 0;

    // Names the window core's walks use.
    Control* GetItemAt(int index) const { return ChildAt(index); }
    int GetCount() const { return ChildCount(); }

protected:
    ~IBox() = default;
};

class Box : public Control, public IBox {
public:
    Box();
    ~Box() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    int GetTraitFlags() const override;
    void AttachCore(WindowCore* core, Control* parent, bool initialise) override;
    using Control::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    void SetVisible(bool show) override;
    void SetInternalVisible(bool on) override;
    void SetMouseEnabled(bool on) override;
    Control* SearchTree(SearchPredicate predicate, void* data, unsigned flags) override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    ControlSize MeasureSize(float availableWidth, float availableHeight) override;
    void Paint(const RECTF& dirty, bool pushClip) override;
    void FinishTreeSetup() override;

    // IBox
    Control* ChildAt(int index) const override;
    int IndexOfChild(Control* child) const override;
    bool MoveChild(Control* child, int index) override;
    int ChildCount() const override;
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    bool RemoveChild(Control* child) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren(bool relayout) override;

    virtual RECTF GetContentInset() const;
    virtual void SetContentInset(const RECTF& inset);
    virtual float GetChildGap() const;
    virtual void SetChildGap(int gap);
    // On (the default): children removed from the box or left in it when it
    // is destroyed are deleted by the box. Off: the box only lists them and
    // whoever appended them deletes them. Applies to the children held when
    // they leave, not to when they joined.
    virtual bool GetOwnsChildren() const { return m_ownsChildren; }
    virtual void SetOwnsChildren(bool on) { m_ownsChildren = on; }
    // On (the default): owned children removed while the box has a core are
    // deleted from the core's delayed-delete list (after the event being
    // delivered), not at once. The box's own destructor always deletes at
    // once.
    virtual bool GetDeferredDelete() const { return m_deferredDelete; }
    virtual void SetDeferredDelete(bool on) { m_deferredDelete = on; }
    virtual bool GetChildrenTakeMouse() const { return m_childrenTakeMouse; }
    virtual void SetChildrenTakeMouse(bool on) { m_childrenTakeMouse = on; }
    virtual int FindNextFocusable(int start, bool forward) const;
    // Scrolling (BoxScroll.cpp). Offsets and extents are (horizontal,
    // vertical) pairs in client pixels; the bars hold them.
    struct ScrollOffset {
        float horizontal;
        float vertical;
    };
    struct ScrollExtent {
        int horizontal;
        int vertical;
    };
    // Over-scroll distance in skin units; 0 or less stores 0 and switches
    // the elastic behaviour off for good. Getters: scaled, truncated.
    virtual void SetVFlexRange(int range);
    virtual void SetHFlexRange(int range);
    virtual int GetVFlexRange() const;
    virtual int GetHFlexRange() const;
    // Wheel speed in skin units per second (negative as 0); getter scaled.
    virtual void SetScrollSpeed(float speed);
    virtual float GetScrollSpeed() const;
    // Line step in skin units; getter scaled and truncated.
    virtual void SetScrollStep(int step) { m_scrollStep = step; }
    virtual int GetScrollStep() const;
    // The bars' positions; 0 for a missing bar.
    virtual ScrollOffset GetScrollOffset() const;
    // The bars' ranges; 0 for a missing bar.
    virtual ScrollExtent GetScrollExtent() const;
    virtual void SetScrollExtent(int horizontal, int vertical);
    // Positions beyond the ends by up to the flex ranges; the children move
    // by the exact differences.
    virtual void SetScrollOffsetElastic(float x, float y);
    // Positions clamped into 0 .. range; the children move by whole pixels.
    virtual void SetScrollOffset(float x, float y);
    virtual void ShowScrollBars(bool show);
    // Animated (when the box has a tween for the axis) line, page and end
    // scrolling; nothing without a window core.
    virtual void ScrollLineUp();
    virtual void ScrollLineDown();
    virtual void ScrollPageUp();
    virtual void ScrollPageDown();
    virtual void ScrollToTop();
    virtual void ScrollToBottom();
    virtual void ScrollLineLeft();
    virtual void ScrollLineRight();
    virtual void ScrollPageLeft();
    virtual void ScrollPageRight();
    virtual void ScrollToLeft();
    virtual void ScrollToRight();
    // Creates the missing bars asked for (owned by the box) and deletes the
    // owned bars no longer asked for; a bar bound by name stays.
    virtual void EnableScrollBars(bool vertical, bool horizontal);
    // Borrowed; null without a bar on that axis. A bar the box made is
    // deleted with it; a bar bound by name belongs to its own parent.
    virtual ScrollBar* GetVScrollBar() const { return m_vScroll.bar; }
    virtual ScrollBar* GetHScrollBar() const { return m_hScroll.bar; }
    // Binds the bars named by "vscroll"/"hscroll"; a name that finds no
    // scroll bar gives the box a bar of its own.
    virtual void BindScrollBars();
    virtual void SetExclusiveChild(Control* control, bool member);
    virtual void ShowOnlyChild(Control* control);
    virtual void PlaceFloatChild(int index);
    // Called by the derived layouts with their content rectangle and the
    // content size they need: shows, places (owned bars) and sizes the bars.
    virtual void PlaceScrollBars(const RECTF& rect, int neededWidth, int neededHeight);

    // Names the control base's documentation uses for the same two.
    void SetOnlyMember(Control* control, bool on) { SetExclusiveChild(control, on); }
    void ShowOnlyMember(Control* control) { ShowOnlyChild(control); }

    void SetEnabledWithChildren(bool enable);
    // Takes `child` out of the box's lists without deleting it, whether or
    // not the box owns its children, and asks for layout. The child keeps its
    // core and loses its parent pointer; the caller owns it afterwards.
    // False for null or a control that is not a child.
    bool DetachChild(Control* child);
    // Called by a child's destructor: drops it from the box's lists without
    // deleting it again.
    void ChildDestroyed(Control* child);
    bool IsFlowable() const { return m_flowable; }

protected:
    // False for null, for this box and for its ancestors (a box cannot hold
    // itself, directly or further down).
    bool CanHold(const Control* child) const;
    // A control held by another box leaves it (not deleted) before joining.
    void LeavePreviousBox(Control* child);
    // Attaches a new child and asks for layout.
    void AdoptChild(Control* child);
    // Out of the child and exclusive lists, relayout; nothing else.
    bool TakeOutOfLists(Control* child);
    // Deletes a child the box owns (deferred through the core when asked).
    void DisposeChild(Control* child);

    // One scroll axis: its bar, the name it was bound by and its tween.
    struct ScrollAxis {
        // Owned (then `owned` holds it) or borrowed; null when none.
        ScrollBar* bar = nullptr;
        std::unique_ptr<ScrollBar> owned;
        // Name of a bar elsewhere in the window; empty when the box owns it.
        CUiString name;
        // Animated line and page scrolling; null without flex.
        std::unique_ptr<CTimeLineTween> tween;
    };
    ScrollAxis& Axis(bool horizontal) { return horizontal ? m_hScroll : m_vScroll; }
    const ScrollAxis& Axis(bool horizontal) const { return horizontal ? m_hScroll : m_vScroll; }
    // Scroll phases (BoxScroll.cpp).
    bool OwnsBar(const ScrollBar* bar) const
    {
        return bar && (bar == m_vScroll.owned.get() || bar == m_hScroll.owned.get());
    }
    void EnsureInertia();
    void CreateOwnedBar(bool horizontal);
    void DropOwnedBar(bool horizontal);
    void BindNamedBar(bool horizontal);
    void EnsureAxisTween(bool horizontal, float durationMs);
    void PlaceBar(bool horizontal, const RECTF& rect, int overflow);
    void MoveContent(float dx, float dy);
    int PageExtent(bool horizontal) const;
    void ScrollAxisTo(bool horizontal, float target);
    void SetAxisOffset(bool horizontal, float value, bool elastic);
    bool IsBarUsable(const ScrollBar* bar) const;
    bool OnScrollKey(bool horizontal, WORD key);
    bool OnWheel(bool horizontal, int direction);
    bool OnInertiaStep(CTimeLine* timeline, bool horizontal, int sign);
    void StartRebound(bool horizontal, float from, float to);
    // The scroll attributes; false for other names.
    bool OnScrollAttribute(const wchar_t* name, const wchar_t* value);
    // Mouse enter and leave, keys and wheel; the rest goes to the base.
    bool HandleScrollEvent(InputEvent* event);
    void PaintOwnBars(const RECTF& dirty);
    void AttachOwnedBars(WindowCore* core, bool initialise);
    void DestroyScrollState();

    std::vector<Control*> m_children;
    std::vector<Control*> m_exclusiveChildren;
    float m_inset[4] = {0, 0, 0, 0};
    int m_childGap = 0;
    int m_vFlexRange = 0;
    int m_hFlexRange = 0;
    int m_scrollStep = 30;
    float m_scrollSpeed = 200.0f;
    bool m_ownsChildren = true;
    bool m_deferredDelete = true;
    bool m_childrenTakeMouse = true;
    bool m_flexEnabled = true;
    bool m_flowable = false;
    ScrollAxis m_vScroll;
    ScrollAxis m_hScroll;
    // Wheel inertia, value "scrollPos"; the elastic return after over-scroll.
    std::unique_ptr<CTimeLineDecay> m_inertia;
    std::unique_ptr<CTimeLineTween> m_rebound;
};

} // namespace ui
